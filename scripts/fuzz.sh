#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in build-fuzz
# and runs each for a bounded time from its seed corpus, two at a time.
# Usage: scripts/fuzz.sh [seconds per target, default 45]
# A crash, hang or broken promise stops nothing else but fails the run; its input is copied to
# fuzz/crashes/<target>/, where tests/fuzzregress replays it in every ordinary test run from then on.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-45}"
targets=(assoc lyrics lrc text mp3 flac wav ogg)
build=build-fuzz

bash scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DQIVA_FUZZ=ON -DQIVA_BUILD_TESTS=OFF -DQIVA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp"

run_target() {
  local t="$1" work="$build/fuzz-work/$1"
  local max_len=4096
  # A song needs room for its headers: Vorbis's setup header alone takes some 3 kB.
  case "$t" in mp3 | flac | ogg) max_len=8192 ;; esac
  rm -rf "$work" && mkdir -p "$work/corpus" "$work/artifacts"
  # The growing corpus lives in the build folder; the committed seeds are only read.
  "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" "fuzz/corpus/$t" \
    >"$work/log" 2>&1 || true
}

summarise() {
  local t="$1" work="$build/fuzz-work/$1" runs corpus found=0 f
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)
  corpus=$(find "$work/corpus" -type f | wc -l)
  for f in "$work"/artifacts/*; do
    [ -e "$f" ] || continue
    found=1
    mkdir -p "fuzz/crashes/$t"
    cp "$f" "fuzz/crashes/$t/"
    echo "fuzz_$t: FOUND $(basename "$f") -> fuzz/crashes/$t/" >&2
  done
  if [ "$found" = 1 ] || [ -z "$runs" ]; then
    tail -n 60 "$work/log" >&2
    return 1
  fi
  echo "fuzz_$t: $runs executions in ${seconds} s, corpus grew to $corpus inputs, nothing found"
}

status=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for t in "${targets[@]:i:2}"; do
    run_target "$t" &
    pids+=($!)
  done
  wait "${pids[@]}"
done
for t in "${targets[@]}"; do
  summarise "$t" || status=1
done
exit "$status"
