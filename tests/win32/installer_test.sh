#!/usr/bin/env bash
# The Windows installer as a user meets it, for the current user and for
# the machine, silently: the editor started from its Start-menu entry, which
# neither installer nor uninstaller may touch while it runs; the uninstall
# takes what the install and the editor's .jbx association added and leaves
# the user's settings; the quiet uninstall command, run as a deployment tool
# runs it, tells how it went. With CPACK and CPACK_CONFIG, the install for
# the user is of a package signed here with a throw-away certificate.
#
#   installer_test.sh INSTALLER_EXE PACKAGE_PROBE_EXE VERSION WORK_FOLDER [CPACK CPACK_CONFIG]
#
# In a Wine prefix of its own, which the shared prefix's tests must not see.
set -euo pipefail

[ $# -eq 4 ] || [ $# -eq 6 ] || { echo "usage: installer_test.sh INSTALLER_EXE PACKAGE_PROBE_EXE VERSION WORK_FOLDER [CPACK CPACK_CONFIG]" >&2; exit 2; }

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=tests/win32/privateprefix.sh
. "$source_dir/tests/win32/privateprefix.sh"

installer=$(absolute "$1")
probe=$(absolute "$2")
version=$3
work=$(absolute "$4")
[ -f "$installer" ] || { echo "FAILED: no installer at $installer"; exit 1; }

use_private_prefix installer-prefix "$work"

# The signed package is made meanwhile.
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

settings_key='HKEY_CURRENT_USER\Software\Brackwater\JBXMaker'
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\JBXMaker'
hkcu="HKCU\\$uninstall_key"
hklm="HKLM\\$uninstall_key"
classes='HKCU\Software\Classes'
# What an earlier run may have left in the kept prefix.
for key in "$hkcu" "$hklm" "$settings_key" "$classes\\.jbx" "$classes\\jbxfile" "$classes\\OtherApp.Bank"; do
    run reg.exe delete "$key" /f >/dev/null 2>&1 || true
done

{ read -r appdata; read -r localappdata; read -r profile; } < <(run cmd.exe /c 'echo %APPDATA%& echo %LOCALAPPDATA%& echo %USERPROFILE%')
unix() { printf '%s' "$WINEPREFIX/drive_c/${1#?:\\}" | tr '\\' /; }
installed="$localappdata\\Programs\\JBX Maker"
installed_unix=$(unix "$installed")
shortcut="$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\JBX Maker.lnk"
shortcut_unix=$(unix "$shortcut")
rm -rf "$installed_unix" "$shortcut_unix"

per_user=$installer
if [ -n "${signing:-}" ]; then
    wait "$signing_pid" || fail "making the signed package failed: $(tail -n 20 "$signing/make.log")"
    per_user="$signing/package/$(basename "$installer")"
fi
run "$per_user" /S >/dev/null || fail "the silent install failed"
if [ -n "${signing:-}" ]; then
    unsigned=()
    for file in "$per_user" "$installed_unix"/{jbxmaker,jbxtool,Uninstall}.exe; do
        osslsigncode verify -CAfile "$signing/cert.pem" -in "$file" >>"$signing/verify.log" 2>&1 \
            || unsigned+=("$(basename "$file")")
    done
    [ ${#unsigned[@]} -eq 0 ] && pass "signed with a given certificate: the installer, and the programs and uninstaller it installs" \
        || fail "no valid signature on ${unsigned[*]} (see $signing/verify.log)"
fi

# Passes WHAT when `GETTER... NAME` gives VALUE for each NAME=VALUE.
fields_are() {
    local getter=$1 what=$2 pair got ok=yes
    shift 2
    for pair; do
        got=$($getter "${pair%%=*}")
        [ "$got" = "${pair#*=}" ] || { fail "$what: ${pair%%=*} is '$got', not '${pair#*=}'"; ok=; }
    done
    [ -z "$ok" ] || pass "$what"
}
# "there" or "gone": a file or folder (Linux path) or a registry key.
state() { { [ -e "$1" ] || run reg.exe query "$1" >/dev/null 2>&1; } && echo there || echo gone; }
# Imports the registry entries on its input.
import_reg() {
    { printf 'Windows Registry Editor Version 5.00\n\n'; cat; } >"$work/import.reg"
    (cd "$work" && run reg.exe import import.reg) >/dev/null
}

# EstimatedSize in KiB, as the installed files take it (GetSize rounds down).
bytes=$(find "$installed_unix" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
fields_are "reg_value $hkcu" "the Add/Remove Programs entry in HKCU" "DisplayName=JBX Maker" "DisplayVersion=$version" \
    Publisher=Brackwater "DisplayIcon=\"$installed\\jbxmaker.exe\",0" \
    "UninstallString=\"$installed\\Uninstall.exe\" /CurrentUser" "EstimatedSize=$(printf '0x%x' $((bytes / 1024)))"
fields_are state "installed for the current user into $installed, not for the machine" "$hklm=gone" \
    "$installed_unix/jbxtool.exe=there" "$installed_unix/README.txt=there" "$installed_unix/LICENSE.txt=there"
said=$(run "$installed_unix/jbxtool.exe" --version 2>&1 | head -n 1 || true)
[[ $said == *" $version"* ]] || fail "the installed jbxtool.exe --version said '$said', not version $version"

# What the Details tab of a file's properties shows, and jbxtool.exe's
# manifest: the editor's product texts and this version on the installer
# and both programs; jbxtool.exe runs with its caller's rights and takes
# long paths.
resource() { sed -n "s/^$1: //p" "$work/resources.out"; }
for file in "Z:$per_user" "$installed\\jbxmaker.exe" "$installed\\jbxtool.exe"; do
    run "$probe" resources "$file" >"$work/resources.out" || true
    fields_are resource "the version resource of ${file##*[\\/]}" "ProductName=JBX Maker" "ProductVersion=$version" \
        CompanyName=Brackwater "LegalCopyright=Copyright 2026 The JBX Maker developers" "fixed=$version.0"
done
manifest=$(resource manifest)
if [[ $manifest =~ \<requestedExecutionLevel[^\>]*level=\"asInvoker\" && $manifest =~ \<longPathAware[^\>]*\>true\</longPathAware\> ]]; then
    pass "jbxtool.exe's manifest asks for asInvoker and long paths"
else
    fail "jbxtool.exe's manifest lacks asInvoker or longPathAware: $manifest"
fi

snapshot() {
    { find "$installed_unix" -printf '%P %s %T@\n' 2>/dev/null || true; } | sort
    run reg.exe query "$hkcu" 2>&1 || true
}

# The quiet uninstall command of the entry in $1 (HKCU or HKLM), run as a
# deployment tool runs it: the command line as recorded, waited for. What
# is left of files $2... the moment it ends goes to quiet.out.
quiet_uninstall() {
    local root=$1
    shift
    run "$probe" quiet-uninstall "$root" "$uninstall_key" "$@" >"$work/quiet.out"
}

# While the editor runs, the command must end with exit code 2 and change
# nothing.
refuses() {
    local status=0
    "$@" >/dev/null || status=$?
    snapshot >"$work/after.snapshot"
    if [ "$status" -eq 2 ] && cmp -s "$work/before.snapshot" "$work/after.snapshot"; then
        pass "the silent $what refuses while the editor runs (exit code 2) and changes nothing"
    else
        fail "the silent $what with the editor running: exit code $status, changed: $(diff "$work/before.snapshot" "$work/after.snapshot" | tr '\n' ' ')"
    fi
}

close_when="$work/close-editor"
"$wine" "$probe" shortcut "$shortcut" JBXMaker "Z:$close_when" </dev/null >"$work/probe.out" 2>&1 &
probe_pid=$!
probe_waits() { grep -q '^caption: ' "$work/probe.out" || ! kill -0 "$probe_pid" 2>/dev/null; }
wait_for 30 probe_waits || true
if grep -q '^caption: ' "$work/probe.out"; then
    snapshot >"$work/before.snapshot"
    what=installer refuses run "$per_user" /S
    what="uninstall command" refuses quiet_uninstall HKCU
fi
touch "$close_when"
wait "$probe_pid" || true
probed() { tr -d '\r' <"$work/probe.out" | sed -n "s/^$1: //p"; }
fields_are probed "the Start-menu entry starts the installed editor in Documents, which closes with exit code 0" \
    "target=$installed\\jbxmaker.exe" "folder=$profile\\Documents" "caption=JBX Maker - Untitled" exit=0

# A default value not set reads as none, whatever reg.exe makes of it.
reg_default() {
    { run reg.exe query "$1" /ve 2>/dev/null || true; } | sed -n 's/^ *([^)]*) *REG_[A-Z_]* *//p' \
        | sed '/^(value not set)$/d' | grep . || echo none
}
record="$settings_key\\Association"
run reg.exe add "$settings_key" /v InstallerTest /t REG_SZ /d kept /f >/dev/null

# Now the quiet command must end with 0 only when everything is gone, the
# uninstaller and its folder included. Wine holds a running program file
# as Windows does: no deleting it, and no renaming it while a handle that
# does not share deletion is open on it, so the uninstaller's way out of
# its own folder is the one it takes on Windows. The editor had linked a
# .jbx that held only another program's values (its "open with" entry and
# a content type) to its own new class.
import_reg <<'EOF2'
[HKEY_CURRENT_USER\Software\Classes\.jbx]
@="jbxfile"
"Content Type"="audio/x-jbx"

[HKEY_CURRENT_USER\Software\Classes\.jbx\OpenWithProgids]
"OtherApp.Bank"=""

[HKEY_CURRENT_USER\Software\Classes\jbxfile\shell\jbx\command]

[HKEY_CURRENT_USER\Software\Brackwater\JBXMaker\Association]
"Class"="jbxfile"
"CreatedExtension"=dword:00000001
"CreatedClass"=dword:00000001
EOF2
status=0
quiet_uninstall HKCU "$installed\\Uninstall.exe" "$installed" || status=$?
[ "$status" -eq 0 ] || fail "the quiet uninstall command ended with exit code $status"
after() { grep -F "after: $1: " "$work/quiet.out" | sed 's/.*: //'; }
fields_are after "the moment the quiet uninstall command ends, the uninstaller and its folder are gone" \
    "$installed\\Uninstall.exe=gone" "$installed=gone"
fields_are state "so are the programs, the entries and the editor's class" \
    "$installed_unix=gone" "$shortcut_unix=gone" "$hkcu=gone" "$classes\\jbxfile=gone" "$record=gone"
fields_are reg_default "the uninstall takes the editor's default out of .jbx" "$classes\\.jbx=none"
fields_are "reg_value $classes\\.jbx" "another program's content type in .jbx stays" "Content Type=audio/x-jbx"
fields_are state "another program's \"open with\" entry for .jbx stays" "$classes\\.jbx\\OpenWithProgids=there"
fields_are "reg_value $settings_key" "the user's settings stay" InstallerTest=kept
run reg.exe delete "$classes\\.jbx" /f >/dev/null 2>&1 || true

# The plain uninstaller, as Add/Remove Programs starts it, runs a copy of
# itself and ends: it is done when the folder $1, removed last, is gone.
uninstall() {
    run "$1/Uninstall.exe" /S >/dev/null || true
    wait_for 30 gone "$1" || true
}
gone() { [ ! -e "$1" ]; }

# It finds /AllUsers, started without a mode, from the machine's key. This
# time another program's class lent the editor its verb and icon, and gets
# its own back.
machine='C:\Program Files\JBX Maker'
machine_unix=$(unix "$machine")
rm -rf "$machine_unix"
run "$installer" /S /AllUsers >/dev/null || fail "the silent /AllUsers install failed"
fields_are "reg_value $hklm" "/AllUsers installs into $machine with the entry in HKLM" \
    "UninstallString=\"$machine\\Uninstall.exe\" /AllUsers"
import_reg <<'EOF2'
[HKEY_CURRENT_USER\Software\Classes\OtherApp.Bank\shell]
@="jbx"

[HKEY_CURRENT_USER\Software\Classes\OtherApp.Bank\shell\jbx\command]

[HKEY_CURRENT_USER\Software\Classes\OtherApp.Bank\DefaultIcon]
@="jbxmaker.exe,0"

[HKEY_CURRENT_USER\Software\Brackwater\JBXMaker\Association]
"Class"="OtherApp.Bank"
"PreviousVerb"="open"
"PreviousIcon"="otherapp.exe,1"
EOF2
# Copies of its uninstaller, for the cases after it.
for copy in spare1 spare2; do
    mkdir -p "$work/$copy"
    cp "$machine_unix/Uninstall.exe" "$work/$copy/"
done
uninstall "$machine_unix"
other="$classes\\OtherApp.Bank"
fields_are state "the silent uninstall finds and removes the machine-wide installation and our verb" \
    "$machine_unix=gone" "$hklm=gone" "$other\\shell\\jbx=gone" "$record=gone"
fields_are reg_default "the uninstall gives OtherApp.Bank its verb and icon back" \
    "$other\\shell=open" "$other\\DefaultIcon=otherapp.exe,1"

# The same uninstaller, started in place in a folder of its own, where the
# user's record has nothing installed to go with it.
spare_uninstall() {
    local folder
    folder="Z:$(printf '%s' "$work/$1" | tr / '\\')"
    run "$work/$1/Uninstall.exe" /CurrentUser /S "_?=$folder" >/dev/null || fail "the uninstaller in $1 failed"
}

# A .jbx that held nothing but the editor's default goes with it.
own_extension='[HKEY_CURRENT_USER\Software\Classes\.jbx]
@="jbxfile"

[HKEY_CURRENT_USER\Software\Classes\jbxfile\shell\jbx\command]

[HKEY_CURRENT_USER\Software\Brackwater\JBXMaker\Association]
"Class"="jbxfile"
"CreatedExtension"=dword:00000001
"CreatedClass"=dword:00000001'
import_reg <<<"$own_extension"
spare_uninstall spare1
fields_are state "the uninstall takes a .jbx that held only the editor's default" \
    "$classes\\.jbx=gone" "$classes\\jbxfile=gone" "$record=gone"

# One that another program has taken since keeps its default.
import_reg <<<"$own_extension"
run reg.exe add "$classes\\.jbx" /ve /d OtherApp.Bank /f >/dev/null
spare_uninstall spare2
fields_are reg_default "the uninstall leaves the default another program has put in .jbx since" "$classes\\.jbx=OtherApp.Bank"

summary
