#!/usr/bin/env bash
# Builds the fuzz tree (clang, libFuzzer, ASan+UBSan) and fuzzes the receive and
# transmit machines for a bounded time, starting from freshly generated seeds in
# a scratch folder so the checkout stays clean. Any crash or broken invariant
# fails the run; the input that caused it is kept in fuzz/regressions/.
#   FUZZ_SECONDS  how long to fuzz (default 60)
#   FUZZ_DIR      build tree (default build/fuzz)
#   fuzz/run.sh FILE...   replays saved inputs instead of fuzzing
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_TO_RUN=${FUZZ_SECONDS:-60}
TREE=${FUZZ_DIR:-build/fuzz}
JOBS=${JOBS:-2}

cmake -S . -B "$TREE" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DSERBOX_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$TREE" --target serbox_fuzz serbox_fuzz_seeds -j "$JOBS"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
if [ $# -gt 0 ]; then
  exec "$TREE/fuzz/serbox_fuzz" "$@"
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/corpus" "$scratch/found"
"$TREE/fuzz/serbox_fuzz_seeds" "$scratch/corpus"
# Earlier findings are replayed first, with the seeds.
if compgen -G "fuzz/regressions/*" >/dev/null; then
  "$TREE/fuzz/serbox_fuzz" -runs=0 fuzz/regressions/*
fi

status=0
"$TREE/fuzz/serbox_fuzz" "$scratch/corpus" -max_total_time="$SECONDS_TO_RUN" -max_len=8192 \
  -dict=fuzz/exchange.dict -artifact_prefix="$scratch/found/" -print_final_stats=1 >"$scratch/log" 2>&1 || status=$?
# Coverage, speed and any report; the whole log only when something went wrong.
if [ "$status" -ne 0 ]; then
  cat "$scratch/log"
else
  grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::' "$scratch/log"
fi
if compgen -G "$scratch/found/*" >/dev/null; then
  mkdir -p fuzz/regressions
  cp "$scratch"/found/* fuzz/regressions/
  echo "fuzz: finding saved in fuzz/regressions/:" >&2
  ls fuzz/regressions >&2
  exit 1
fi
exit "$status"
