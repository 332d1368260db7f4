#!/usr/bin/env bash
# The Windows installer as a user meets it: installed silently for the
# current user, the editor started from its Start-menu entry (and neither
# installer nor uninstaller touching it while it runs), then uninstalled
# silently, which must take the programs, the Add/Remove Programs entry and
# what the editor's .jbx association added, and leave the user's settings.
# With CPACK and its CPACK_CONFIG, the install for the current user is of a
# package made here and signed with a throw-away certificate, and the
# signatures of all four programs are checked.
#
#   installer_test.sh INSTALLER_EXE SHORTCUT_PROBE_EXE VERSION WORK_FOLDER [CPACK CPACK_CONFIG]
#
# Runs in a Wine prefix of its own (null display driver), made once by
# scripts/wine-prefix beside the work folder, with a Wine server of its own:
# the shared prefix's tests must not see the installation, nor this test
# theirs.
set -euo pipefail

[ $# -eq 4 ] || [ $# -eq 6 ] || { echo "usage: installer_test.sh INSTALLER_EXE SHORTCUT_PROBE_EXE VERSION WORK_FOLDER [CPACK CPACK_CONFIG]" >&2; exit 2; }

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=tests/win32/privateprefix.sh
. "$source_dir/tests/win32/privateprefix.sh"

installer=$(absolute "$1")
probe=$(absolute "$2")
version=$3
work=$(absolute "$4")
[ -f "$installer" ] || { echo "FAILED: no installer at $installer"; exit 1; }

use_private_prefix installer-prefix "$work"

# The signed package is made meanwhile, into a folder of its own, with a
# certificate that lives as long as the test; the machine-wide install is of
# the package given.
if [ $# -eq 6 ]; then
    signing="$work/signing"
    mkdir -p "$signing"
    (
        openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=JBX Maker test" \
            -keyout "$signing/key.pem" -out "$signing/cert.pem" &&
        JBX_SIGN_CERT="$signing/cert.pem" JBX_SIGN_KEY="$signing/key.pem" \
            "$5" --config "$6" -G NSIS64 -B "$signing/package"
    ) >"$signing/make.log" 2>&1 &
    signing_pid=$!
fi

start_private_wine

uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\JBXMaker'
settings_key='HKEY_CURRENT_USER\Software\Brackwater\JBXMaker'

# What an earlier run may have left: the prefix is kept between runs.
cat >"$work/clean.reg" <<EOF2
Windows Registry Editor Version 5.00

[-HKEY_CURRENT_USER\\$uninstall_key]

[-HKEY_LOCAL_MACHINE\\$uninstall_key]

[-$settings_key]

[-HKEY_CURRENT_USER\\Software\\Classes\\.jbx]

[-HKEY_CURRENT_USER\\Software\\Classes\\jbxfile]

[-HKEY_CURRENT_USER\\Software\\Classes\\OtherApp.Bank]
EOF2
(cd "$work" && run reg.exe import clean.reg) >/dev/null

# The user's folders, as Windows and as Linux paths.
{ read -r appdata; read -r localappdata; read -r profile; } < <(run cmd.exe /c 'echo %APPDATA%& echo %LOCALAPPDATA%& echo %USERPROFILE%')
unix() { printf '%s' "$WINEPREFIX/drive_c/${1#?:\\}" | tr '\\' /; }
folder='JBX Maker'
installed="$localappdata\\Programs\\$folder"
installed_unix=$(unix "$installed")
shortcut="$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\JBX Maker.lnk"
shortcut_unix=$(unix "$shortcut")
rm -rf "$installed_unix" "$shortcut_unix"
echo "prefix ready after $((SECONDS - started)) s"

# --- Install --------------------------------------------------------------

per_user=$installer
if [ -n "${signing:-}" ]; then
    wait "$signing_pid" || fail "making the signed package failed: $(tail -n 20 "$signing/make.log")"
    per_user="$signing/package/$(basename "$installer")"
fi
status=0
run "$per_user" /S >/dev/null || status=$?
[ "$status" -eq 0 ] || fail "the silent install ended with exit code $status"
if [ -n "${signing:-}" ]; then
    unsigned=()
    for file in "$per_user" "$installed_unix"/{jbxmaker,jbxtool,Uninstall}.exe; do
        osslsigncode verify -CAfile "$signing/cert.pem" -in "$file" >>"$signing/verify.log" 2>&1 \
            || unsigned+=("$(basename "$file")")
    done
    [ ${#unsigned[@]} -eq 0 ] && pass "signed with a given certificate: the installer, and the programs and uninstaller it installs" \
        || fail "no valid signature on ${unsigned[*]} (see $signing/verify.log)"
fi

missing=()
for file in jbxmaker.exe jbxtool.exe Uninstall.exe README.txt LICENSE.txt; do
    [ -f "$installed_unix/$file" ] || missing+=("$file")
done
if [ ${#missing[@]} -eq 0 ]; then
    pass "installed for the current user into $installed"
else
    fail "not in $installed: ${missing[*]} (there: $(ls "$installed_unix" 2>/dev/null | tr '\n' ' '))"
fi
said=$(run "$installed_unix/jbxtool.exe" --version 2>&1 | head -n 1 || true)
[[ $said == *" $version"* ]] && pass "the installed jbxtool.exe runs: $said" \
    || fail "the installed jbxtool.exe --version said '$said', not version $version"

# Passes WHAT when `GETTER NAME` gives VALUE for each NAME=VALUE after it.
fields_are() {
    local getter=$1 what=$2 pair got ok=yes
    shift 2
    for pair; do
        got=$("$getter" "${pair%%=*}")
        [ "$got" = "${pair#*=}" ] || { fail "$what: ${pair%%=*} is '$got', not '${pair#*=}'"; ok=; }
    done
    [ -z "$ok" ] || pass "$what"
}

hkcu="HKCU\\$uninstall_key"
entry() { reg_value "$hkcu" "$1"; }
# EstimatedSize in KiB, as the installed files take it (GetSize rounds down).
bytes=$(find "$installed_unix" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
fields_are entry "the Add/Remove Programs entry in HKCU" "DisplayName=JBX Maker" "DisplayVersion=$version" \
    Publisher=Brackwater "DisplayIcon=\"$installed\\jbxmaker.exe\",0" \
    "UninstallString=\"$installed\\Uninstall.exe\" /CurrentUser" "EstimatedSize=$(printf '0x%x' $((bytes / 1024)))"
run reg.exe query "HKLM\\$uninstall_key" >/dev/null 2>&1 \
    && fail "a per-user install wrote the machine's Uninstall key"

# --- The editor from its Start-menu entry, and set-up while it runs -------

# A listing of the installed files and the Add/Remove entry, to see that a
# refused run changed neither.
snapshot() {
    { find "$installed_unix" -printf '%P %s %T@\n' 2>/dev/null || true; } | sort
    run reg.exe query "$hkcu" 2>&1 || true
}

# Runs the command given while the editor runs: it must refuse, with a
# non-zero exit code, and change nothing.
refuses() {
    local status=0
    "$@" >/dev/null || status=$?
    snapshot >"$work/after.snapshot"
    if [ "$status" -ne 0 ] && cmp -s "$work/before.snapshot" "$work/after.snapshot"; then
        pass "the silent $what refuses while the editor runs (exit code $status) and changes nothing"
    else
        fail "the silent $what with the editor running: exit code $status, changed: $(diff "$work/before.snapshot" "$work/after.snapshot" | tr '\n' ' ')"
    fi
}

close_when="$work/close-editor"
"$wine" "$probe" "$shortcut" JBXMaker "Z:$close_when" </dev/null >"$work/probe.out" 2>&1 &
probe_pid=$!
probe_waits() { grep -q '^caption: ' "$work/probe.out" || ! kill -0 "$probe_pid" 2>/dev/null; }
wait_for 30 probe_waits || true
if grep -q '^caption: ' "$work/probe.out"; then
    snapshot >"$work/before.snapshot"
    what=installer refuses run "$per_user" /S
    # _?= runs the uninstaller in place, and so gives its exit code; it takes
    # the folder unquoted, blank and all, which only a batch file passes on.
    printf '@"%s\\Uninstall.exe" /S _?=%s\r\n@exit /b %%errorlevel%%\r\n' "$installed" "$installed" >"$work/uninstall.bat"
    what=uninstaller refuses run cmd.exe /c "Z:$work/uninstall.bat"
fi
touch "$close_when"
wait "$probe_pid" || true
probed() { tr -d '\r' <"$work/probe.out" | sed -n "s/^$1: //p"; }
fields_are probed "the Start-menu entry starts the installed editor in Documents, which closes with exit code 0" \
    "target=$installed\\jbxmaker.exe" "folder=$profile\\Documents" "caption=JBX Maker - Untitled" exit=0 \
    "copyright=Copyright 2026 The JBX Maker developers"

# --- Uninstall --------------------------------------------------------------

has_key() { run reg.exe query "$1" >/dev/null 2>&1; }
no_key() { ! has_key "$1"; }
# The uninstaller copies itself to the temporary folder, starts the copy
# and ends: the work is done when the Add/Remove entry $1, removed last,
# is gone.
wait_for_uninstall() { wait_for 30 no_key "$1" || true; }

# Default value of key $1, or nothing.
reg_default() {
    { run reg.exe query "$1" /ve 2>/dev/null || true; } | sed -n 's/^ *([^)]*) *REG_[A-Z_]* *//p'
}

classes='HKCU\Software\Classes'
record="$settings_key\\Association"
# What the editor leaves when it associated .jbx with itself where nothing
# was: its own class and extension under HKCU, and the record saying so.
cat >"$work/own-class.reg" <<'EOF2'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Classes\.jbx]
@="jbxfile"

[HKEY_CURRENT_USER\Software\Classes\jbxfile\shell\jbx\command]
@="jbxmaker.exe \"%1\""

[HKEY_CURRENT_USER\Software\Brackwater\JBXMaker\Association]
"Class"="jbxfile"
"CreatedExtension"=dword:00000001
"CreatedClass"=dword:00000001
EOF2
(cd "$work" && run reg.exe import own-class.reg) >/dev/null
run reg.exe add "$settings_key" /v InstallerTest /t REG_SZ /d kept /f >/dev/null
run "$installed_unix/Uninstall.exe" /S >/dev/null || true
wait_for_uninstall "$hkcu"
if [ -e "$installed_unix" ] || [ -e "$shortcut_unix" ] || has_key "$hkcu"; then
    fail "30 s after the silent uninstall, still there: $(ls "$installed_unix" "$shortcut_unix" 2>/dev/null | tr '\n' ' ')$(has_key "$hkcu" && echo " $hkcu")"
else
    pass "the silent uninstall removed $installed, the Start-menu entry and the Add/Remove Programs entry"
fi
kept=$(reg_value "$settings_key" InstallerTest)
[ "$kept" = kept ] && pass "the user's settings under $settings_key stay" \
    || fail "after uninstalling, $settings_key InstallerTest is '$kept', not 'kept'"
left=()
for key in "$classes\\.jbx" "$classes\\jbxfile" "$record"; do
    has_key "$key" && left+=("$key")
done
[ ${#left[@]} -eq 0 ] && pass "the uninstall takes back the editor's own .jbx class and its record" \
    || fail "after uninstalling, still there: ${left[*]}"

# --- For the whole machine ------------------------------------------------

# The other choice: an administrator's /AllUsers. The uninstaller, started
# without a mode, finds it from the machine's Uninstall key.
machine='C:\Program Files\JBX Maker'
machine_unix=$(unix "$machine")
rm -rf "$machine_unix"
status=0
run "$installer" /S /AllUsers >/dev/null || status=$?
hklm="HKLM\\$uninstall_key"
uninstall=$(reg_value "$hklm" UninstallString)
if [ "$status" -eq 0 ] && [ -f "$machine_unix/jbxmaker.exe" ] && [ "$uninstall" = "\"$machine\\Uninstall.exe\" /AllUsers" ]; then
    pass "/AllUsers installs into $machine with the entry in HKLM"
else
    fail "/AllUsers: exit code $status, $machine holds '$(ls "$machine_unix" 2>/dev/null | tr '\n' ' ')', HKLM UninstallString '$uninstall'"
fi
# This time .jbx belonged to another program, whose class the editor lent
# its verb and icon: they go, and the class gets its own verb and icon back.
cat >"$work/other-class.reg" <<'EOF2'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Classes\OtherApp.Bank\shell]
@="jbx"

[HKEY_CURRENT_USER\Software\Classes\OtherApp.Bank\shell\open\command]
@="otherapp.exe \"%1\""

[HKEY_CURRENT_USER\Software\Classes\OtherApp.Bank\shell\jbx\command]
@="jbxmaker.exe \"%1\""

[HKEY_CURRENT_USER\Software\Classes\OtherApp.Bank\DefaultIcon]
@="jbxmaker.exe,0"

[HKEY_CURRENT_USER\Software\Brackwater\JBXMaker\Association]
"Class"="OtherApp.Bank"
"CreatedExtension"=dword:00000000
"CreatedClass"=dword:00000000
"PreviousVerb"="open"
"PreviousIcon"="otherapp.exe,1"
EOF2
(cd "$work" && run reg.exe import other-class.reg) >/dev/null
run "$machine_unix/Uninstall.exe" /S >/dev/null || true
wait_for_uninstall "$hklm"
if [ -e "$machine_unix" ] || has_key "$hklm"; then
    fail "the silent uninstall left $machine or its HKLM entry behind"
else
    pass "the silent uninstall finds and removes the machine-wide installation"
fi
other="$classes\\OtherApp.Bank"
verb=$(reg_default "$other\\shell")
icon=$(reg_default "$other\\DefaultIcon")
if [ "$verb" = open ] && [ "$icon" = "otherapp.exe,1" ] && has_key "$other\\shell\\open\\command" \
    && ! has_key "$other\\shell\\jbx" && ! has_key "$classes\\.jbx" && ! has_key "$record" \
    && [ "$(reg_value "$settings_key" InstallerTest)" = kept ]; then
    pass "the uninstall gives OtherApp.Bank its verb and icon back and keeps the settings"
else
    fail "after uninstalling, OtherApp.Bank's verb is '$verb', its icon '$icon'; shell\\jbx $(has_key "$other\\shell\\jbx" && echo there || echo gone), the record $(has_key "$record" && echo there || echo gone), InstallerTest '$(reg_value "$settings_key" InstallerTest)'"
fi

summary
