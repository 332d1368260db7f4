#!/usr/bin/env python3
"""jbxtool convert against a plain copy and ffmpeg's stream copy of the same voice file.

    bench/convert_vs_copy.py [--jbxtool build/default/cli/jbxtool] [--before OLD_JBXTOOL]
                             [--megabytes 100] [--rounds 7] [--large-megabytes 1024]
                             [--folder DIR] [--replace]

Writes an 8-bit voice file of one sound block and 1 MiB continuation blocks in a new folder inside
--folder (by default the current one, on a disk: a save's flush means little on tmpfs), then runs
`cp`, `cp` followed by `sync` of the new file and its folder, `ffmpeg -c:a copy` and `jbxtool
convert` in turn, round after round, so that a change in the machine's load falls on all alike.
Every command starts with nothing of the others left to write (an untimed sync comes first), and
with no output file, or with the last one's in place with --replace. Prints each one's median time
and peak memory (/usr/bin/time's maximum resident set) and jbxtool's ratios to the others. A copy
is the least this work can cost, and a copy made as durable as a save is the fair match for one
(jbxtool's save flushes its file and the folder before it reports success); the ratios are what
count, not the seconds.

Then the peak memory of `convert` on a voice file of --large-megabytes and on one a tenth of that
made of 16-byte blocks, and of `info`, `check`, `extract`
(of a voice lump and of a WAVE lump) and `rewrite` on a bank of that size, once each.

--before names another jbxtool (say, one built from an older commit) that runs beside this one in
every measurement, so that before and after come from the same run.
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
TARGETS = {"cp": 1.5, "cp + sync": 1.1, "ffmpeg": 0.5}   # jbxtool's time at most this many times theirs
PEAK_TARGET_MIB = 16
SLOTS = 10


def voice_file(megabytes):
    """An 8-bit voice file at 11025 Hz: a sound block, then continuations of the same format."""
    version = 0x010A
    header = b"Creative Voice File\x1a" + struct.pack("<HHH", 26, version, (~version + 0x1234) & 0xFFFF)
    samples = bytes(range(256)) * (BLOCK // 256)
    parts = [header, struct.pack("<B", 1) + (BLOCK + 2).to_bytes(3, "little") + bytes([165, 0]) + samples]
    parts += [struct.pack("<B", 2) + BLOCK.to_bytes(3, "little") + samples] * (megabytes - 1)
    parts.append(b"\0")
    return parts


def small_blocks_voice_file(megabytes, samples_per_block=16):
    """A voice file of many short continuation blocks, the worst case for a walk that copies block by block."""
    version = 0x010A
    header = b"Creative Voice File\x1a" + struct.pack("<HHH", 26, version, (~version + 0x1234) & 0xFFFF)
    block = bytes([2]) + samples_per_block.to_bytes(3, "little") + bytes(range(samples_per_block))
    return [header, bytes([1, 3, 0, 0, 165, 0, 7]), block * (megabytes * BLOCK // len(block)), b"\0"]


def write_parts(out, parts):
    size = 0
    for part in parts:
        out.write(part)
        size += len(part)
    return size


def pcm_wave(megabytes):
    samples = bytes(range(256)) * (BLOCK // 256)
    size = megabytes * BLOCK
    header = (b"RIFF" + struct.pack("<I", 36 + size) + b"WAVE" + b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, 11025, 11025, 1, 8)
              + b"data" + struct.pack("<I", size))
    return [header] + [samples] * megabytes


def write_bank(path, megabytes):
    """A bank of ten sounds, together about megabytes: slot 1 a voice file, the others PCM WAVE files."""
    each = max(1, megabytes // SLOTS)
    entries = []
    with open(path, "wb") as out:
        out.write(b"IWAD" + struct.pack("<ii", 12, 0))
        offset = 12
        for slot in range(SLOTS):
            size = write_parts(out, voice_file(each) if slot == 0 else pcm_wave(each))
            entries.append((offset, size, f"sound{slot + 1}"))
            offset += size
        directory = offset
        out.write(struct.pack("<ii8s", 0, 0, b"JEERSTRT"))
        for lump_offset, size, name in entries:
            out.write(struct.pack("<ii8s", lump_offset, size, name.encode()))
        out.write(struct.pack("<ii8s", 0, 0, b"JEERSTOP"))
        out.seek(8)
        out.write(struct.pack("<i", directory))


def run(command, may_fail=False):
    """Seconds and peak resident MiB of one run; fails loudly if the command does, unless it may
    (an older jbxtool may lack a command), when it gives None."""
    started = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, capture_output=True, text=True)
    seconds = time.perf_counter() - started
    if result.returncode != 0:
        if may_fail:
            return None
        sys.exit(f"{' '.join(command)} failed ({result.returncode}): {result.stderr}")
    return seconds, int(result.stderr.strip().splitlines()[-1]) / 1024


def remove(path):
    if os.path.exists(path):
        os.remove(path)


def compare_with_copies(folder, tools, megabytes, rounds, replace):
    voice = os.path.join(folder, "in.voc")
    with open(voice, "wb") as out:
        write_parts(out, voice_file(megabytes))
    out = os.path.join(folder, "out.wav")
    commands = {
        "cp": ["cp", voice, out],
        "cp + sync": ["sh", "-c", 'cp "$0" "$1" && sync "$1" "$(dirname "$1")"', voice, out],
        "ffmpeg": ["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", voice, "-c:a", "copy", out],
    }
    commands.update({name: [tool, "convert", voice, out] for name, tool in tools.items()})
    times = {name: [] for name in commands}
    peaks = {name: 0.0 for name in commands}
    for _ in range(rounds):
        for name, command in commands.items():
            if not replace:
                remove(out)
            os.sync()
            seconds, peak = run(command)
            times[name].append(seconds)
            peaks[name] = max(peaks[name], peak)
    remove(voice)
    remove(out)

    medians = {name: statistics.median(values) for name, values in times.items()}
    kind = file_system(folder)
    print(f"{megabytes} MiB voice file on {kind}, {'over the last output, ' if replace else ''}{rounds} rounds, medians:")
    for name in commands:
        print(f"  {name:16} {medians[name] * 1000:8.1f} ms  peak {peaks[name]:7.1f} MiB")
    for name in tools:
        for other, target in TARGETS.items():
            ratio = medians[name] / medians[other]
            if other == "cp" and kind != "tmpfs":
                # On a disk a copy that is not flushed is no match for a save that is.
                print(f"{name} / {other}: {ratio:.2f}x (a target on tmpfs only)")
                continue
            print(f"{name} / {other}: {ratio:.2f}x (target at most {target}x){'' if ratio <= target else '  NOT MET'}")
        met = peaks[name] <= PEAK_TARGET_MIB
        print(f"{name} peak: {peaks[name]:.1f} MiB (target at most {PEAK_TARGET_MIB} MiB){'' if met else '  NOT MET'}")


def file_system(folder):
    result = subprocess.run(["df", "--output=fstype", folder], capture_output=True, text=True)
    lines = result.stdout.split()
    return lines[-1] if result.returncode == 0 and len(lines) > 1 else "unknown"


def large_peaks(folder, tools, megabytes):
    voice = os.path.join(folder, "large.voc")
    with open(voice, "wb") as out:
        write_parts(out, voice_file(megabytes))
    small = os.path.join(folder, "small-blocks.voc")
    with open(small, "wb") as out:
        write_parts(out, small_blocks_voice_file(max(1, megabytes // 10)))
    bank = os.path.join(folder, "large.jbx")
    write_bank(bank, megabytes)
    out = os.path.join(folder, "out")
    commands = {
        "convert": ["convert", voice, out],
        "convert small": ["convert", small, out],
        "info": ["info", bank],
        "check": ["check", bank],
        "extract voice": ["extract", bank, "1", out],
        "extract wave": ["extract", bank, "2", out],
        "rewrite": ["rewrite", bank, out],
    }
    print(f"\nPeak memory on a {megabytes} MiB voice file, a {max(1, megabytes // 10)} MiB one of 16-byte blocks"
          f" (convert small) and a {megabytes} MiB bank (one run each):")
    for label, arguments in commands.items():
        line = f"  {label:14}"
        for name, tool in tools.items():
            remove(out)
            measured = run([tool] + arguments, may_fail=name != "jbxtool")
            if measured is None:
                line += f"  {name} (no such command)"
                continue
            seconds, peak = measured
            met = "" if name != "jbxtool" or peak <= PEAK_TARGET_MIB else "  NOT MET"
            line += f"  {name} {peak:7.1f} MiB in {seconds:5.2f} s{met}"
        print(line)
    for path in (voice, small, bank, out):
        remove(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--jbxtool", default="build/default/cli/jbxtool")
    parser.add_argument("--before", help="another jbxtool measured beside this one")
    parser.add_argument("--megabytes", type=int, default=100)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--large-megabytes", type=int, default=1024, help="0 leaves the large files out")
    parser.add_argument("--folder", default=".", help="where the files are made (tmpfs: /dev/shm)")
    parser.add_argument("--replace", action="store_true", help="each command writes over the last one's output")
    args = parser.parse_args()
    tools = {"jbxtool": os.path.abspath(args.jbxtool)}
    if args.before:
        tools["jbxtool (before)"] = os.path.abspath(args.before)
    for tool in ("/usr/bin/time", "ffmpeg"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing; scripts/install-deps installs it")

    folder = tempfile.mkdtemp(dir=args.folder, prefix="convert-bench-")
    try:
        compare_with_copies(folder, tools, args.megabytes, args.rounds, args.replace)
        if args.large_megabytes > 0:
            large_peaks(folder, tools, args.large_megabytes)
    finally:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
