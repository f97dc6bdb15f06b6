#!/usr/bin/env bash
# Starts the English program under Xvfb and writes docs/screenshot-en.png.
# The shot is taken before the start-up port request appears (about a second).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot-en.png}
display=:97
Xvfb $display -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $app $xvfb 2>/dev/null || true' EXIT
sleep 1
DISPLAY=$display ./build/en/serbox &
app=$!
for _ in $(seq 50); do
  DISPLAY=$display xdotool search --name "KORVEL" >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 0.3
DISPLAY=$display import -window root -crop 720x620+185+80 "$out"
echo "wrote $out"
