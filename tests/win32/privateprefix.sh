# Sourced by the Windows tests that need a Wine session of their own.

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[ -x "$wine" ] || { echo "FAILED: $wine is missing; scripts/install-deps installs it"; exit 1; }
started=$SECONDS
passed=0
failed=0

absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
pass() { passed=$((passed + 1)); echo "ok: $*"; }
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }
summary() {
    echo "took $((SECONDS - started)) s"
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}

# Until the command succeeds; status 1 when it never did.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -le "$deadline" ] || return 1
        sleep 0.2
    done
}

stop_private_wine() {
    "$wineserver" -k >/dev/null 2>&1 || true
    "$wineserver" -w >/dev/null 2>&1 || true
}

# use_private_prefix NAME WORK: WINEPREFIX=<parent of WORK>/NAME, kept; WORK emptied.
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

run() { "$wine" "$@" </dev/null 2>>"$WINEPREFIX.stderr" | tr -d '\r'; }

reg_value() {
    { run reg.exe query "$1" /v "$2" 2>/dev/null || true; } | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
