#!/usr/bin/env bash
# Installs the program like a desktop program into a temporary prefix, makes that prefix read-only and starts
# the installed program (offscreen, with a fresh home) until its player window has been painted: the program,
# its desktop entry and icons must be in the standard places, and the first start must put the demo into the
# per-user lyrics folder, never beside the read-only program.
# Usage: install_test.sh <build dir> <source dir>
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
prefix=$work/prefix
home=$work/home
cleanup() { chmod -R u+w "$work" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

# --- the standard places -------------------------------------------------------------------------------------
[ -x "$prefix/bin/qiva" ] || fail "no program in bin/"
entry=$prefix/share/applications/qiva.desktop
[ -f "$entry" ] || fail "no desktop entry"
for line in 'Type=Application' 'Name=QIVA歌词秀' 'Exec=qiva' 'Icon=qiva'; do
  grep -qx "$line" "$entry" || fail "desktop entry lacks '$line'"
done
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$entry" || fail "desktop entry invalid"; fi
[ -s "$prefix/share/icons/hicolor/scalable/apps/qiva.svg" ] || fail "no scalable icon"
for size in 16 24 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/qiva.png
  [ -s "$icon" ] || fail "no ${size}px icon"
done

# --- a read-only installation ----------------------------------------------------------------------------------
chmod -R a-w "$prefix"
mkdir -p "$home" "$work/runtime"
chmod 700 "$work/runtime"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  # Permission bits do not stop root: mount the prefix read-only in a mount namespace of its own, or else run
  # the program as an ordinary user.
  if unshare -m true 2>/dev/null; then
    as_user=(unshare -m sh -c 'mount --bind "$0" "$0" && mount -o remount,ro,bind "$0" "$0" && shift && exec "$@"' "$prefix" _)
  else
    chown -R 65534:65534 "$home" "$work/runtime"
    chmod 755 "$work"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  fi
fi
start() {
  HOME=$home XDG_DATA_HOME= XDG_CONFIG_HOME= XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen \
    QIVA_AUDIO=null QIVA_FIRST_PAINT=quit timeout 60 "${as_user[@]}" "$prefix/bin/qiva"
}

# The sound server's library (and the dozen it brings along) is loaded when a song first plays, not at start.
! ldd "$prefix/bin/qiva" | grep -q 'libpulse' || fail "the program links libpulse at start-up"

out=$(start) || fail "the installed program did not start and paint (exit $?)"
grep -q '^first-paint [0-9]* 播放窗体$' <<<"$out" || fail "no first paint of the player window: $out"
! grep -q '^dialog-before-first-paint' <<<"$out" || fail "a dialog came before the player window: $out"
[ ! -e "$prefix/bin/歌词" ] || fail "a lyrics folder appeared inside the installation"

folder=$home/.local/share/qiva/歌词
song=$folder/演示歌曲.MP3
lyrics=$folder/演示歌曲.TXT
cmp -s "$song" "$source/assets/demo.mp3" || fail "demo song missing or different"
cmp -s "$folder/right.gif" "$source/assets/right.gif" || fail "marker picture missing or different"
[ -s "$lyrics" ] || fail "demo lyrics missing"
head -n 1 "$lyrics" | iconv -f GB18030 -t UTF-8 | grep -qF ",\"$song\"," || fail "demo lyrics do not name the demo song"
[ -s "$folder/步骤二示例.TXT" ] || fail "step-two example missing"
printf '1\r\n"%s","%s"\r\n' "$song" "$lyrics" | iconv -f UTF-8 -t GB18030 | cmp -s - "$folder/关联记录.TXT" ||
  fail "association record does not name the demo"

# --- a second start keeps the user's folder as it is; a damaged record is reported only after the window -----
cp "$folder/关联记录.TXT" "$work/record.before"
out=$(start) || fail "second start failed"
cmp -s "$work/record.before" "$folder/关联记录.TXT" || fail "the second start changed the association record"
printf '"no count' >"$folder/关联记录.TXT"
out=$(start) || fail "start with a damaged record failed"
grep -q '^first-paint ' <<<"$out" || fail "no first paint with a damaged record: $out"
! grep -q '^dialog-before-first-paint' <<<"$out" || fail "the damaged record's message came before the window"
# --- on a real X display the window gets its icon, which comes just after the first paint ---------------------
if command -v xvfb-run >/dev/null && command -v xprop >/dev/null && command -v xdotool >/dev/null; then
  # shellcheck disable=SC2016
  HOME=$home XDG_DATA_HOME= XDG_CONFIG_HOME= XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb QIVA_AUDIO=null \
    timeout 60 xvfb-run -a -s "-nolisten tcp" sh -c '
      "$0" >/dev/null 2>&1 & pid=$!
      for i in $(seq 1 150); do
        id=$(xdotool search --name "^播放窗体$" 2>/dev/null | head -1)
        if [ -n "$id" ] && xprop -id "$id" _NET_WM_ICON 2>/dev/null | grep -q "Icon ("; then kill $pid; exit 0; fi
        sleep 0.1
      done
      kill $pid; exit 1' "$prefix/bin/qiva" || fail "the player window has no icon on an X display"
fi
echo "PASS: installed under $prefix (read-only), demo in ~/.local/share/qiva/歌词"
