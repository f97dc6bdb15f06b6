#!/bin/sh
# wine-serial.sh DEVICE PREFIX TEST: runs the Windows test program TEST under Wine
# (prefix PREFIX) with COM1 mapped to the pseudo-terminal of DEVICE (serbox-device)
# running "type". The test writes the lines the device is to send into
# $SERBOX_DEVICE_INPUT, reads what the device received from $SERBOX_DEVICE_OUTPUT,
# and creates $SERBOX_DEVICE_VANISH when the device is to go; the line settings
# the port has then are checked here, on the pseudo-terminal itself.
set -eu
device=$1 prefix=$2 test=$3
here=$(cd "$(dirname "$0")/../../.." && pwd)
work=$(mktemp -d)
dev=
cleanup() {
    [ -z "$dev" ] || kill "$dev" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "wine-serial: $*" >&2; exit 1; }

mkfifo "$work/in"
# Read and write: the device's input stays open until the device goes.
"$device" --no-wait type <>"$work/in" >"$work/out" 2>"$work/err" &
dev=$!
until grep -q '^port: ' "$work/out"; do
    kill -0 "$dev" 2>/dev/null || fail "serbox-device gave no port: $(cat "$work/err")"
    sleep 0.05
done
pty=$(sed -n 's/^port: //p' "$work/out")
"$here/cmake/wine-com.sh" "$prefix" COM1 "$pty"

SERBOX_DEVICE_INPUT=$work/in SERBOX_DEVICE_OUTPUT=$work/out SERBOX_DEVICE_VANISH=$work/vanish \
    "$here/cmake/wine-run.sh" "$prefix" "$test" &
run=$!
while kill -0 "$run" 2>/dev/null && [ ! -e "$work/vanish" ]; do
    sleep 0.05
done
settings=ok
if [ -e "$work/vanish" ]; then
    # 4800 baud, 8N1, RTS/CTS handshake, raw bytes.
    line=" $(stty -F "$pty" -a 2>&1 | tr '\n;' '  ') " || true
    for want in ' speed 4800 baud ' ' cs8 ' ' -parenb ' ' -cstopb ' ' crtscts ' ' -opost ' ' -icanon ' ' -ixon '; do
        echo "$line" | grep -qF -- "$want" || settings="the port's line lacks '$want': $line"
    done
    kill "$dev"
    wait "$dev" 2>/dev/null || true
    dev=
fi
status=0
wait "$run" || status=$?
"$here/cmake/wine-run.sh" "$prefix" --stop  # nothing writes into the prefix afterwards
[ "$settings" = ok ] || fail "$settings"
exit $status
