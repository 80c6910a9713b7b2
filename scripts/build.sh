#!/usr/bin/env bash
# Builds the program, tests and benchmarks. Usage: scripts/build.sh [--sanitize]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize
  opts=(-DCMAKE_BUILD_TYPE=Debug -DQIVA_SANITIZE=ON -DQIVA_BUILD_BENCH=OFF)
fi
cmake -S . -B "$dir" -G Ninja "${opts[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
