#!/usr/bin/env bash
# Starts the English program as a user would on a desktop with a window manager
# (Xvfb and openbox), with serbox-device on a pseudo-terminal as the device: the
# start-up port request is acknowledged, the device typed into the setup dialog,
# and the main window, with the title bar openbox draws, is written to
# docs/screenshot-en.png. Needs build/en/serbox and build/device/serbox-device.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot-en.png}
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Waits up to 20 s for a command to succeed.
until_ok() {
  for _ in $(seq 200); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "gave up waiting for: $*" >&2
  return 1
}
window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
has_window() { [ -n "$(window "$1")" ]; }
no_window() { [ -z "$(window "$1")" ]; }

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
until_ok test -s "$work/display"
export DISPLAY=":$(head -1 "$work/display")"
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
until_ok sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'

mkfifo "$work/keys"
sleep infinity >"$work/keys" &
pids+=($!)
./build/device/serbox-device --no-wait type <"$work/keys" >"$work/device" 2>&1 &
pids+=($!)
until_ok grep -q '^port: ' "$work/device"
port=$(sed -n 's/^port: //p' "$work/device")

(cd "$work" && exec "$OLDPWD/build/en/serbox" >/dev/null 2>&1) &
pids+=($!)
until_ok has_window '^WARNING$'
xdotool windowactivate --sync "$(window '^WARNING$')" key Return
until_ok has_window '^Serial port setup$'
xdotool windowactivate --sync "$(window '^Serial port setup$')" key Tab ctrl+a type "$port"
xdotool key Return
until_ok grep -q 'opened the port' "$work/device"
until_ok no_window '^Serial port setup$'
main=$(window '^KORVEL SU COM')
xdotool windowactivate --sync "$main"
until_ok sh -c "xdotool getactivewindow getwindowname | grep -Eq '^KORVEL SU COM ?1$'"
import -frame -window "$main" "$out"
echo "wrote $out"
