#!/usr/bin/env bash
# jbxtool.exe, run under Wine, against the jbxtool built for this machine:
# the same commands on the same files must end with the same exit status,
# print the same text and write the same files, byte for byte.
#
#   matchnative.sh NATIVE_BUILD WINDOWS_DEMO_BANK JBXTOOLBATCH WINE_RUN INPUT_FOLDER...
#
# NATIVE_BUILD is a build folder for this machine, whose jbxtool and demo
# bank are used, with every *.jbx and *.voc file of the input folders. The
# Windows commands all run from one start of Wine, through JBXTOOLBATCH.
# Exits 77 (skipped) when the native build has no jbxtool and demo bank yet.
set -euo pipefail

[ $# -ge 4 ] || { echo "usage: matchnative.sh NATIVE_BUILD WINDOWS_DEMO_BANK JBXTOOLBATCH WINE_RUN INPUT_FOLDER..." >&2; exit 2; }
# The tools run in folders of their own, so every path given is made absolute.
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
native_build=$(absolute "$1")
windows_demo_bank=$(absolute "$2")
batch=$(absolute "$3")
wine_run=$(absolute "$4")
shift 4

native_tool=$native_build/cli/jbxtool
if [ ! -x "$native_tool" ] || [ ! -e "$native_build/demo.jbx" ]; then
    echo "skipped: no jbxtool and demo bank in $native_build; build it first"
    exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/jbx-matchnative-XXXXXX")
trap 'rm -rf "$work"' EXIT

failed=0
fail() {
    echo "FAILED: $*"
    failed=$((failed + 1))
}

# Each build makes the demo bank with its own core.
cmp -s "$native_build/demo.jbx" "$windows_demo_bank" || fail "the two builds' demo banks differ"

# The inputs, under names that both tools see the same way: relative ones.
inputs=$work/inputs
mkdir "$inputs"
cp "$native_build/demo.jbx" "$inputs/demo.jbx"
cp "$native_build/demo.jbx" "$inputs/Überraschung-ß 音.jbx"
for folder in "$@"; do
    folder=$(absolute "$folder")
    for file in "$folder"/*.jbx "$folder"/*.voc; do
        [ -e "$file" ] && cp "$file" "$inputs/"
    done
done
printf 'not a bank' >"$inputs/garbage.jbx"
mkdir "$inputs/folder.jbx"

# The commands, one a line, their arguments separated by tabs.
commands=$work/commands
add() {
    local IFS=$'\t'
    printf '%s\n' "$*" >>"$commands"
}
: >"$commands"
cd "$inputs"
for bank in *.jbx; do
    add info "$bank"
    add info --json --any-version --unknown-block=skip "$bank"
    add rewrite "$bank" "copy of $bank"
    add extract "$bank" 1 "$bank.1.wav"
    add extract "$bank" 10 "$bank.10.wav"
done
for voice in *.voc; do
    add convert "$voice" "$voice.wav"
    add convert --unknown-block=force --any-version "$voice" "$voice.force.wav"
done
add
add --help
add info missing.jbx
add extract demo.jbx 11 out.wav
add extract demo.jbx 1 no/such/folder/out.wav
add convert demo.jbx out.wav
add rewrite garbage.jbx "copy of demo.jbx"

cp -r "$inputs" "$work/native"
cp -r "$inputs" "$work/windows"
mkdir -p "$work/results/native" "$work/results/windows"

n=0
while IFS=$'\t' read -r -a args; do
    n=$((n + 1))
    status=0
    (cd "$work/native" && "$native_tool" "${args[@]}" \
        >"$work/results/native/$n.out" 2>"$work/results/native/$n.err") || status=$?
    echo "$status" >"$work/results/native/$n.status"
done <"$commands"

if ! (cd "$work/windows" && "$wine_run" "$batch" ../commands ../results/windows); then
    fail "jbxtoolbatch.exe could not run every command"
fi
for i in $(seq 1 "$n"); do
    for part in status out err; do
        if ! cmp -s "$work/results/native/$i.$part" "$work/results/windows/$i.$part"; then
            fail "jbxtool $(sed -n "${i}p" "$commands" | tr '\t' ' '): the $part differs (native <, Windows >)"
            diff "$work/results/native/$i.$part" "$work/results/windows/$i.$part" 2>&1 | head -n 10 || true
        fi
    done
done

# Every file either tool wrote, compared by name and content.
if ! diff -r "$work/native" "$work/windows" >"$work/tree.diff"; then
    fail "the files written differ"
    head -n 20 "$work/tree.diff"
fi

echo "$n commands compared, $failed failures"
[ "$failed" -eq 0 ]
