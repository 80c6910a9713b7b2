#!/usr/bin/env bash
# Installs everything the program, its tests and benchmarks need, from Debian 12's own packages.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
  libmpg123-dev libpulse-dev libfontconfig-dev libtag1-dev
  fonts-arphic-gbsn00lp fonts-arphic-uming
  libgtest-dev libbenchmark-dev
  lame sox libsox-fmt-mp3 mpg123 espeak-ng id3v2
  pulseaudio pulseaudio-utils
  xvfb xdotool x11-utils imagemagick
  dbus dbus-x11 playerctl
  xauth
  libclang-rt-14-dev
  librubberband-dev libsndfile1-dev libopusfile-dev libvorbis-dev libflac-dev
  opus-tools vorbis-tools flac
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
