#!/usr/bin/env python3
"""jbxtool convert against a plain copy and ffmpeg's stream copy of the same voice file.

    bench/convert_vs_copy.py [--jbxtool build/default/cli/jbxtool] [--megabytes 100] [--rounds 7]

Writes an 8-bit voice file of one sound block and 1 MiB continuation blocks on tmpfs, then runs
`cp`, `ffmpeg -c:a copy` and `jbxtool convert` in turn, round after round, so that a change in the
machine's load falls on all three alike. Prints each one's median time and peak memory
(/usr/bin/time's maximum resident set) and jbxtool's ratios to the other two. A copy is the least
this work can cost; the ratios are what count, not the seconds.
"""

import argparse
import os
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time

BLOCK = 1 << 20
TARGETS = {"cp": 1.5, "ffmpeg": 0.5}   # jbxtool's time at most this many times theirs
PEAK_TARGET_MIB = 16


def write_voice_file(path, megabytes):
    version = 0x010A
    header = b"Creative Voice File\x1a" + struct.pack("<HHH", 26, version, (~version + 0x1234) & 0xFFFF)
    samples = bytes(range(256)) * (BLOCK // 256)
    with open(path, "wb") as out:
        out.write(header)
        # A sound block at 11025 Hz, 8-bit, then continuations of the same format.
        out.write(struct.pack("<B", 1) + (BLOCK + 2).to_bytes(3, "little") + bytes([165, 0]) + samples)
        for _ in range(megabytes - 1):
            out.write(struct.pack("<B", 2) + BLOCK.to_bytes(3, "little") + samples)
        out.write(b"\0")


def run(command):
    """Seconds and peak resident MiB of one run; fails loudly if the command does."""
    started = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, capture_output=True, text=True)
    seconds = time.perf_counter() - started
    if result.returncode != 0:
        sys.exit(f"{' '.join(command)} failed ({result.returncode}): {result.stderr}")
    return seconds, int(result.stderr.strip().splitlines()[-1]) / 1024


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--jbxtool", default="build/default/cli/jbxtool")
    parser.add_argument("--megabytes", type=int, default=100)
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()
    jbxtool = os.path.abspath(args.jbxtool)
    for tool in ("/usr/bin/time", "ffmpeg"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing; scripts/install-deps installs it")

    folder = tempfile.mkdtemp(dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    try:
        voice = os.path.join(folder, "in.voc")
        write_voice_file(voice, args.megabytes)
        out = os.path.join(folder, "out.wav")
        commands = {
            "cp": ["cp", voice, out],
            "ffmpeg": ["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", voice, "-c:a", "copy", out],
            "jbxtool": [jbxtool, "convert", voice, out],
        }
        times = {name: [] for name in commands}
        peaks = {name: 0.0 for name in commands}
        for _ in range(args.rounds):
            for name, command in commands.items():
                if os.path.exists(out):
                    os.remove(out)
                seconds, peak = run(command)
                times[name].append(seconds)
                peaks[name] = max(peaks[name], peak)
    finally:
        shutil.rmtree(folder)

    medians = {name: statistics.median(values) for name, values in times.items()}
    print(f"{args.megabytes} MiB voice file, {args.rounds} rounds, medians:")
    for name in commands:
        print(f"  {name:8} {medians[name] * 1000:8.1f} ms  peak {peaks[name]:7.1f} MiB")
    for other, target in TARGETS.items():
        ratio = medians["jbxtool"] / medians[other]
        print(f"jbxtool / {other}: {ratio:.2f}x (target at most {target}x){'' if ratio <= target else '  NOT MET'}")
    met = peaks["jbxtool"] <= PEAK_TARGET_MIB
    print(f"jbxtool peak: {peaks['jbxtool']:.1f} MiB (target at most {PEAK_TARGET_MIB} MiB){'' if met else '  NOT MET'}")


if __name__ == "__main__":
    main()
