#!/bin/sh
# The sounds the Media Foundation decoder's test reads, made by the build
# machine's ffmpeg: whole ones of known length, and the first halves of two
# of them, as a download cut short leaves them.
set -eu
out=$1
mkdir -p "$out"
tone() {   # RATE CHANNELS SECONDS FILE [ENCODER OPTIONS...]
    rate=$1 channels=$2 seconds=$3 file=$4
    shift 4
    ffmpeg -v error -nostdin -y -f lavfi -i "sine=frequency=440:sample_rate=$rate:duration=$seconds" \
        -ac "$channels" "$@" "$out/$file"
}
tone 44100 2 3 tone.mp3 -c:a libmp3lame -b:a 128k
tone 22050 1 2 tone.flac -c:a flac
tone 48000 2 1.5 tone.ogg -c:a libvorbis
for file in tone.mp3 tone.flac; do
    size=$(wc -c <"$out/$file")
    head -c $((size / 2)) "$out/$file" >"$out/half-$file"
done
