#!/usr/bin/env bash
# jbxmaker.exe at the keyboard, the keys coming through a virtual X server:
# started from a command prompt with a quoted bank path, as the association
# hands it over, in a folder whose name needs Unicode; saved under a new name
# through the Save dialog, quit with its mnemonic. JBX_UPDATE_SCREENSHOT=1
# also writes the README's picture.
#
#   keyboard_test.sh JBXMAKER_EXE DEMO_BANK WORK_FOLDER
#
# The shared prefix's null display driver makes no X windows, and a Wine
# session keeps the driver it started with: hence a prefix of its own.
set -euo pipefail

[ $# -eq 3 ] || { echo "usage: keyboard_test.sh JBXMAKER_EXE DEMO_BANK WORK_FOLDER" >&2; exit 2; }

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=tests/win32/privateprefix.sh
. "$source_dir/tests/win32/privateprefix.sh"
fonts=/usr/share/wine/fonts

# Without Wine's own fonts the dialogs have no face for MS Sans Serif.
[ -e "$fonts/ms_sans_serif.ttf" ] || { echo "FAILED: $fonts has no MS Sans Serif; scripts/install-deps installs fonts-wine"; exit 1; }

if [ -z "${JBX_KEYBOARD_TEST_XVFB:-}" ]; then
    export JBX_KEYBOARD_TEST_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

editor=$(absolute "$1")
demo_bank=$(absolute "$2")
work=$(absolute "$3")

use_private_prefix keyboard-prefix "$work"
cp "$fonts"/* "$WINEPREFIX/drive_c/windows/Fonts/"
# Unmanaged windows are found and typed into without a window manager. The
# settings and the file dialogs' last folders go: Save must begin in the
# current folder whatever earlier runs left.
cat >"$work/x11.reg" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Graphics"="x11"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[-HKEY_CURRENT_USER\Software\Brackwater\JBXMaker]

[-HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32]
EOF
(cd "$work" && "$wine" reg.exe import x11.reg) >"$work/reg.log" 2>&1 \
    || { cat "$work/reg.log"; echo "FAILED: cannot switch the private prefix to the X11 driver"; exit 1; }
# The driver is chosen when a session starts: end the one reg.exe began.
stop_private_wine
start_private_wine

folder="$work/Klänge 音"
mkdir -p "$folder"
cp "$editor" "$folder/jbxmaker.exe"
cp "$demo_bank" "$folder/My taunts.jbx"

limit=30
shot=0
# A failure with a picture of the screen.
fail_here() {
    shot=$((shot + 1))
    local picture="$work/failure-$shot.png"
    xwd -root -silent | convert xwd:- "$picture" 2>/dev/null || picture="(no picture)"
    fail "$* (the screen then: $picture)"
    return 1
}

window_titled() {
    local pattern deadline=$((SECONDS + limit)) id
    pattern="^$(printf '%s' "$1" | sed 's/[][\.*^$+?(){}|]/\\&/g')\$"
    while [ "$SECONDS" -le "$deadline" ] && kill -0 "$editor_pid" 2>/dev/null; do
        id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1) || true
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

# Without a window manager the test gives the focus; one never taken must
# not hang.
focus() { timeout 10 xdotool windowfocus --sync "$1"; }
press() { focus "$1" && xdotool key "$2"; }
caption_is() { [ "$(xdotool getwindowname "$main" 2>/dev/null)" = "$1" ]; }
ended() { ! kill -0 "$1" 2>/dev/null; }

# Wine on a loaded machine now and then refuses to start a process.
launch() {
    local attempt
    for attempt in 1 2 3; do
        (cd "$folder" && exec "$wine" cmd.exe /c jbxmaker.exe "Z:$(tr / '\\' <<<"$folder")\\My taunts.jbx") \
            >"$work/editor.log" 2>&1 &
        editor_pid=$!
        main=$(window_titled "JBX Maker - My taunts.jbx") && return 0
        ! kill -0 "$editor_pid" 2>/dev/null && grep -q "could not be started" "$work/editor.log" || return 1
        wait "$editor_pid" || true
    done
    return 1
}

user_path() {
    local dialog status=0
    launch || fail_here "no window 'JBX Maker - My taunts.jbx' within $limit s" || return 1
    if [ "${JBX_UPDATE_SCREENSHOT:-}" = 1 ]; then
        focus "$main" && screenshot "$main" "$source_dir/docs/images/jbxmaker-windows.png"
    fi
    # The demo bank has credits, so Save asks nothing before its dialog.
    press "$main" alt+s || fail_here "Alt+S could not be typed into the main window" || return 1
    dialog=$(window_titled "Save") || fail_here "Alt+S opened no 'Save' dialog within $limit s" || return 1
    focus "$dialog" && xdotool type --delay 30 saved.jbx && xdotool key Return \
        || fail_here "could not type into the Save dialog" || return 1
    wait_for "$limit" caption_is "JBX Maker - saved.jbx" \
        || fail_here "after saving as saved.jbx the caption is '$(xdotool getwindowname "$main")'" || return 1
    [ -s "$folder/saved.jbx" ] || fail_here "no saved.jbx beside the bank opened" || return 1
    press "$main" alt+q || fail_here "Alt+Q could not be typed into the main window" || return 1
    wait_for "$limit" ended "$editor_pid" || fail_here "the program was still running $limit s after Alt+Q" || return 1
    wait "$editor_pid" || status=$?
    [ "$status" -eq 0 ] || fail_here "the program ended with exit code $status after Alt+Q, not 0" || return 1
    pass "the bank named on the command line opens, Alt+S, a name and Enter save it beside it, Alt+Q ends with 0"
}

# Taken once two grabs in a row are alike.
screenshot() {
    xwd -id "$1" -silent >"$work/shot-a.xwd"
    same_shot() {
        sleep 0.2
        xwd -id "$1" -silent >"$work/shot-b.xwd"
        cmp -s "$work/shot-a.xwd" "$work/shot-b.xwd" || { mv "$work/shot-b.xwd" "$work/shot-a.xwd"; return 1; }
    }
    wait_for "$limit" same_shot "$1" || true
    mkdir -p "$(dirname "$2")"
    convert "xwd:$work/shot-a.xwd" -strip -define png:exclude-chunks=date,time "$2"
    rm -f "$work"/shot-*.xwd
    echo "wrote $2"
}

user_path || true
summary
