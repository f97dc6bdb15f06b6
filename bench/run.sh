#!/usr/bin/env bash
# Runs every benchmark of serbox, each in its own process, and prints the figures.
#   bench/run.sh [BUILD_DIR]        (default build; needs serbox_bench, en/serbox and cli/serbox-cli)
#   BENCH_QUICK=1 bench/run.sh      shorter: 1000 polls, 5 s of idle, 10^4 and 10^5 terminal lines
set -euo pipefail
cd "$(dirname "$0")/.."
B=${1:-build}
BIN="$B/bench/serbox_bench"
polls=2000 idle=30 lines="100000 1000000"
if [ -n "${BENCH_QUICK:-}" ]; then
  polls=1000 idle=5 lines="10000 100000"
fi
export QT_QPA_PLATFORM=offscreen
echo "serbox benchmarks, $(date -u +%Y-%m-%dT%H:%MZ), $(nproc) CPUs, $(uname -r)"
"$BIN" latency "$polls"
"$BIN" throughput 1 4 16
"$BIN" listing 1 10
"$BIN" idle "$B/en/serbox" "$idle"
"$BIN" cli "$B/cli/serbox-cli" "$idle"
# Storing a set: on the build's disk, and on a small FAT image (a USB stick's file
# system) where this machine lets one be mounted through a loop device.
folders=("$(cd "$B" && pwd)")
fat=$(mktemp -d)
if command -v mkfs.vfat >/dev/null && truncate -s 32M "$fat/fat.img" && mkfs.vfat "$fat/fat.img" >/dev/null &&
    mkdir "$fat/mnt" && mount -o loop "$fat/fat.img" "$fat/mnt" 2>"$fat/why"; then
  folders+=("$fat/mnt")
else
  echo "  (no FAT image: $(command -v mkfs.vfat >/dev/null && tr '\n' ' ' <"$fat/why" || echo 'mkfs.vfat is missing'))"
fi
"$BIN" store "${folders[@]}"
mountpoint -q "$fat/mnt" 2>/dev/null && umount "$fat/mnt"
rm -rf "$fat"
for n in $lines; do  # one process each: each peak memory is its own
  "$BIN" terminal "$n"
done
