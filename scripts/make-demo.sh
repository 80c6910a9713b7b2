#!/usr/bin/env bash
# Makes the first-run demo from free tools: the marker picture assets/right.gif, the demo song
# assets/demo.mp3 (five short Chinese lines spoken by espeak-ng over a quiet sox chord, encoded by lame) and
# assets/demo-timing.txt, the end time of every lyric line measured from the generated audio.
# The results are committed; run this again only to change the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
out=assets
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rate=22050
intro=2.0       # chord alone before the first line
gap=0.8         # short pause (mark P) between two lines
long_gap=2.6    # long pause (mark S)
outro=2.0       # chord alone after the last line
lead=0.2        # a line ends this long before the next is heard, so the highlight arrives with the voice
tail=0.5        # the last sung line ends this long after its voice

# The example text of step two (assets/step2-example.txt) marks the same lines: P, P, S, P, P, E.
lines=("欢迎使用歌词秀" "歌词跟着声音走" "红色一行正在唱" "小小箭头慢慢移" "祝你天天好心情")
pauses=("$gap" "$long_gap" "$gap" "$gap" "")

# --- the marker picture: a red arrow pointing right, on a transparent ground ---------------------------
convert -size 32x32 xc:none -fill '#d01818' -stroke '#801010' -strokewidth 1 \
  -draw "polygon 3,11 16,11 16,4 29,16 16,28 16,21 3,21" "$out/right.gif"

# --- the voice: each line spoken, its silence trimmed, then measured --------------------------------------
samples() { soxi -s "$1"; }
sox -n -r $rate -c 1 -b 16 "$work/intro.wav" trim 0 "$intro"
parts=("$work/intro.wav")
for k in "${!lines[@]}"; do
  espeak-ng -v cmn -s 150 -w "$work/raw$k.wav" "${lines[$k]}"
  sox "$work/raw$k.wav" -r $rate -c 1 -b 16 "$work/line$k.wav" \
    silence 1 0.02 0.5% reverse silence 1 0.02 0.5% reverse
  parts+=("$work/line$k.wav")
  if [ -n "${pauses[$k]}" ]; then
    sox -n -r $rate -c 1 -b 16 "$work/pause$k.wav" trim 0 "${pauses[$k]}"
    parts+=("$work/pause$k.wav")
  fi
done
sox -n -r $rate -c 1 -b 16 "$work/outro.wav" trim 0 "$outro"
parts+=("$work/outro.wav")
sox "${parts[@]}" "$work/voice.wav"

# --- the chord bed under the voice, faded in and out --------------------------------------------------------
total=$(soxi -D "$work/voice.wav")
sox -n -r $rate -c 1 -b 16 "$work/bed.wav" synth "$total" sine 220 sine 277.18 sine 329.63 \
  remix 1-3 vol 0.05 fade t 1.0 "$total" 1.5
sox -m -v 0.9 "$work/voice.wav" -v 1.0 "$work/bed.wav" "$work/song.wav" trim 0 "$total"
lame --quiet -m m -b 48 --resample 22.05 "$work/song.wav" "$out/demo.mp3"

# --- the timing: every spoken line was cut by sox's silence detection to where its voice starts and stops,
# so the sample counts of the pieces give the exact places at which each line is heard in the song.
onsets=()
ends=()
pos=0
pos=$((pos + $(samples "$work/intro.wav")))
for k in "${!lines[@]}"; do
  onsets+=("$pos")
  pos=$((pos + $(samples "$work/line$k.wav")))
  ends+=("$pos")
  [ -n "${pauses[$k]}" ] && pos=$((pos + $(samples "$work/pause$k.wav")))
done
total_samples=$(samples "$work/voice.wav")
tenths() { awk -v s="$1" -v r=$rate -v d="$2" 'BEGIN { printf "%d", int((s / r + d) * 10) }'; }
{
  echo "# end time (tenths of a second)<TAB>line text; made by scripts/make-demo.sh"
  printf '%s\t%s\n' "$(tenths "${onsets[0]}" -$lead)" "（开始）"
  for k in "${!lines[@]}"; do
    if [ "$k" -eq 1 ]; then
      # the long pause after this line gets its own line, which ends when the next line is heard
      printf '%s\t%s\n' "$(tenths "${ends[$k]}" $tail)" "${lines[$k]}"
      printf '%s\t%s\n' "$(tenths "${onsets[$((k + 1))]}" -$lead)" "（长时间停顿 ）"
    elif [ $((k + 1)) -lt ${#lines[@]} ]; then
      printf '%s\t%s\n' "$(tenths "${onsets[$((k + 1))]}" -$lead)" "${lines[$k]}"
    else
      printf '%s\t%s\n' "$(tenths "${ends[$k]}" $tail)" "${lines[$k]}"
    fi
  done
  # the end line lasts to the end of the song: duration in tenths, rounded to the nearest
  awk -v s="$total_samples" -v r=$rate 'BEGIN { printf "%d\t（结束）\n", int(s / r * 10 + 0.5) }'
} >"$out/demo-timing.txt"

printf 'B%sP%sS%sP%sP%sE' "${lines[@]}" >"$out/step2-example.txt"
echo "demo: $(soxi -D "$out/demo.mp3") s, $(stat -c %s "$out/demo.mp3") bytes"
cat "$out/demo-timing.txt"
