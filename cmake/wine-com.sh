#!/bin/sh
# wine-com.sh PREFIX COMn PTY: maps the Windows port COMn of the Wine prefix PREFIX
# to the pseudo-terminal PTY, and proves it before anyone writes a byte.
#
# Wine's mount manager rewrites the dosdevices/comN links at every start, to the
# machine's own /dev/ttyS*; only the prefix's registry (HKLM\Software\Wine\Ports)
# survives. So the value is written there, the prefix's server is stopped so the
# next session reads it, a new session is started, and both the value and the link
# the mount manager made from it are checked; the server is left stopped. Exits
# non-zero, leaving the port unmapped, when either does not name PTY: a test must
# then not open COMn.
set -eu
[ $# -eq 3 ] || { echo "usage: $0 PREFIX COMn PTY" >&2; exit 2; }
prefix=$1
com=$2
pty=$3
here=$(cd "$(dirname "$0")" && pwd)
run="$here/wine-run.sh"
fail() { echo "wine-com: $*" >&2; exit 1; }

case $com in
    COM[1-9] | COM[1-9][0-9]) ;;
    *) fail "not a COM port name: $com" ;;
esac
[ -c "$pty" ] || fail "not a character device: $pty"
link=$prefix/dosdevices/$(echo "$com" | tr 'A-Z' 'a-z')

export WINEPREFIX="$prefix" WINEDEBUG=-all
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=$(command -v wineserver64 || command -v wineserver)

# wine-run.sh makes the prefix on first use and starts the session's services.
"$run" "$prefix" reg add 'HKLM\Software\Wine\Ports' /v "$com" /t REG_SZ /d "$pty" /f >/dev/null 2>&1 ||
    fail "could not write HKLM\\Software\\Wine\\Ports\\$com in $prefix"
"$server" -k </dev/null >/dev/null 2>&1 || true
"$server" -w </dev/null >/dev/null 2>&1 || true

# A new session: its mount manager makes the link from the value just written.
value=$("$run" "$prefix" reg query 'HKLM\Software\Wine\Ports' /v "$com" 2>/dev/null |
    tr -d '\r' | awk -v n="$com" 'toupper($1) == n && $2 == "REG_SZ" { print $3 }')
target=$(readlink "$link" 2>/dev/null || true)
if [ "$value" != "$pty" ] || [ "$target" != "$pty" ]; then
    "$run" "$prefix" reg delete 'HKLM\Software\Wine\Ports' /v "$com" /f >/dev/null 2>&1 || true
    rm -f "$link"
    fail "$com of $prefix is not mapped to $pty (registry: '${value}', link: '${target}')"
fi
# The session started here has no display (wine-run.sh): a window program started
# into it would show nothing. The next program starts a session of its own.
"$server" -k </dev/null >/dev/null 2>&1 || true
"$server" -w </dev/null >/dev/null 2>&1 || true
