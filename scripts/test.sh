#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test. Usage: scripts/test.sh [--sanitize]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh "$@"
dir=build
[ "${1:-}" = "--sanitize" ] && dir=build-sanitize
# Some engine tests play through a real sound server: start a private one with a null sink when none runs.
if [ -f scripts/start-pulse.sh ]; then
  # shellcheck source=/dev/null
  source scripts/start-pulse.sh
fi
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp"
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
