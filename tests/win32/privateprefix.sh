# Sourced by the Windows tests that need a Wine session of their own (the
# shared one of scripts/wine-run keeps its display driver and its registry):
#
#   use_private_prefix NAME WORK_FOLDER   # WINEPREFIX=<parent of WORK>/NAME,
#                                         # made once and kept; WORK emptied
#   start_private_wine                    # a server and Wine's services
#   stop_private_wine                     # ends them; also run on exit

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

stop_private_wine() {
    "$wineserver" -k >/dev/null 2>&1 || true
    "$wineserver" -w >/dev/null 2>&1 || true
}

use_private_prefix() {
    export WINEPREFIX=$(dirname "$2")/$1 WINELOADER=$wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    export LC_ALL=C.UTF-8
    rm -rf "$2"
    mkdir -p "$2"
    trap stop_private_wine EXIT
    "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-prefix" "$WINEPREFIX"
}

start_private_wine() {
    "$wineserver" -p
    # Wine's background services start with the session's first program and
    # keep its output open: let that be a program with none.
    "$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1
}
