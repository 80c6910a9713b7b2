#!/usr/bin/env bash
# Measures start-up, memory and CPU side by side (bench/side_by_side.cpp) on a private X display and a private
# PulseAudio with a null sink, and prints the table that the README's "Speed and memory" section quotes; then
# the time step three's waveform of a 5-minute MP3 takes (bench/waveform_bench.cpp).
# Usage: scripts/bench.sh [build-dir]   (the build must have QIVA_BUILD_BENCH=ON, the default)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
cmake --build "$dir" --target qiva bench_bare_window bench_same_widgets bench_marker_floor bench_side_by_side \
  bench_waveform_bench >/dev/null
# shellcheck source=/dev/null
source scripts/start-pulse.sh
# A desktop session has a runtime directory; without one every start of either program warns and makes its own.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d)
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  "$dir/bench/bench_side_by_side" "$dir/qiva" "$dir/bench/bench_bare_window" "$dir/bench/bench_same_widgets" \
  "$dir/bench/bench_marker_floor"
"$dir/bench/bench_waveform_bench"
