#!/bin/sh
# wine-run.sh PREFIX PROGRAM [ARGS...]: runs a Windows program of the Windows
# tree under Wine, the same way every time: its own prefix (made on first use),
# no display, no Wine chatter, no stdin to wait on, no add-on installers.
# wine-run.sh PREFIX --stop: waits until Wine's server for PREFIX has quit.
# wine-run.sh --test PREFIX PROGRAM...: a test program of the tree (the tree's
# emulator); one that never started is started once more (see the end).
set -eu
test=false
if [ "$1" = --test ]; then
    test=true
    shift
fi
prefix=$1
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY
wine=/usr/lib/wine/wine64  # Debian's wine64 (the wine package adds only wrappers)
server=/usr/lib/wine/wineserver64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
[ -x "$server" ] || server=$(command -v wineserver64 || command -v wineserver)

if [ "${1:-}" = --stop ]; then
    # The server outlives the last program by seconds and writes into the prefix
    # as it quits; waiting for it leaves a build tree nothing writes to.
    exec "$server" -w </dev/null >/dev/null 2>&1
fi

mkdir -p "$(dirname "$prefix")"
session() (
    # Tests start side by side; one at a time gets here.
    flock 9
    if [ ! -e "$prefix/.serbox-ready" ]; then
        "$wine" wineboot --init </dev/null >/dev/null 2>&1 9>&- || true
        [ -d "$prefix/drive_c" ] && touch "$prefix/.serbox-ready"
    fi
    # The first program of a Wine session starts the session's services, which
    # inherit its output and hold it open until the server quits, seconds later;
    # the test runner would wait for them. So a new session is started here,
    # detached from our output. With a server running already, both do nothing.
    # Neither may keep the lock: it would last as long as they do.
    if "$server" -p3 </dev/null >/dev/null 2>&1 9>&-; then
        "$wine" wineboot </dev/null >/dev/null 2>&1 9>&- || true
    fi
) 9>"$prefix.lock"
session
$test || exec "$wine" "$@" </dev/null

# A test program says something whatever its verdict; one that failed without a
# word never ran: it reached a Wine session as that session was ending. It gets
# a new session and one more start; its words go out as it wrote them.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2; do
    status=0
    "$wine" "$@" </dev/null >"$out" 2>"$err" || status=$?
    if [ "$status" -eq 0 ] || [ -s "$out" ] || [ -s "$err" ] || [ "$attempt" -eq 2 ]; then
        break
    fi
    "$server" -w </dev/null >/dev/null 2>&1 || true
    session
done
cat "$out"
cat "$err" >&2
exit "$status"
