#!/usr/bin/env bash
# Installs what is needed, builds, and starts the program (on its demo song on the first start).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting a virtual one (Xvfb :77). Use a desktop session to see the window." >&2
  Xvfb :77 -screen 0 1280x1024x24 >/dev/null 2>&1 &
  export DISPLAY=:77
  sleep 1
fi
exec ./build/qiva
