#!/usr/bin/env bash
# Retakes the pictures under docs/screenshots/ by running the end-to-end journey on Xvfb, which saves every
# window as it goes. Usage: scripts/screenshots.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
cmake --build "$dir" --target test_e2e
QIVA_SCREENSHOT_DIR="$PWD/docs/screenshots" QIVA_AUDIO=null "$dir/tests/test_e2e"
ls -l docs/screenshots
