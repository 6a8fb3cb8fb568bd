#!/usr/bin/env bash
# Makes the game's sounds under data/audio/:
#   synth_sounds   composes the music loop, jingles, stab and bus sounds (WAV)
#   espeak-ng+sox  speaks and roughens the man's four grunts
#   sox            evens out their loudness
#   lame           encodes MP3 without the Xing/Info header frame, which
#                  miniaudio's decoder would play as 26 ms of extra silence
#   audio_probe    decodes every file with miniaudio, as the game will, and
#                  checks the music loop's length and seam
#
#   make_sounds.sh WORK_DIR DATA_AUDIO_DIR TOOLS_DIR
set -euo pipefail
WORK=$1
OUT=$2
TOOLS=$3
mkdir -p "$WORK" "$OUT"

# sox: -R repeatable (fixed seeds), -D no dither, so output never varies and
# silence stays exactly zero.
SOX=(sox -R)

# Loudness targets (RMS, dBFS) and the ceiling for peaks.
MUSIC_RMS=-20
EFFECT_RMS=-16
PEAK_CEILING=-1

rms_db() { sox "$1" -n stats 2>&1 | awk '/^RMS lev dB/ { print $4 }'; }
peak_db() { sox "$1" -n stats 2>&1 | awk '/^Pk lev dB/ { print $4 }'; }

# level IN OUT TARGET_RMS: gain towards the RMS target, but never past the
# peak ceiling, so short loud sounds end up loud without clipping.
level() {
  local rms peak gain
  rms=$(rms_db "$1")
  peak=$(peak_db "$1")
  gain=$(awk -v r="$rms" -v p="$peak" -v t="$3" -v c="$PEAK_CEILING" \
    'BEGIN { g = t - r; if (p + g > c) g = c - p; printf "%.2f", g }')
  "${SOX[@]}" "$1" -D "$2" gain "$gain"
}

echo "make_sounds: composing"
"$TOOLS/synth_sounds" "$WORK"

echo "make_sounds: speaking the grunts"
# Four different complaints of the man: voice, words, speaking rate (words
# per minute) and pitch shift (cents).
GRUNTS=(
  "en+m3|Ugh!|95|-300"
  "en+m3|Oh no!|150|-250"
  "fi+m3|Voi ei!|150|-250"
  "en+m1|Argh!|110|-350"
)
n=0
for grunt in "${GRUNTS[@]}"; do
  n=$((n + 1))
  IFS='|' read -r voice words rate shift <<<"$grunt"
  espeak-ng -v "$voice" -p 25 -s "$rate" -a 100 -w "$WORK/grunt$n.raw.wav" "$words"
  # Trim the silence around the words, deepen and roughen the voice a little,
  # then give the end a short fade so nothing clicks.
  "${SOX[@]}" "$WORK/grunt$n.raw.wav" -D "$WORK/grunt$n.trim.wav" gain -6 rate 44100 \
    silence 1 0.02 0.5% reverse silence 1 0.02 0.5% reverse
  "${SOX[@]}" "$WORK/grunt$n.trim.wav" -D "$WORK/grunt$n.wav" \
    pitch "$shift" overdrive 4 lowpass 5000 pad 0 0.05 fade t 0.01 -0 0.06 channels 2
done

echo "make_sounds: levelling and encoding"
encode() { # encode NAME TARGET_RMS BITRATE
  level "$WORK/$1.wav" "$WORK/$1.level.wav" "$2"
  lame --quiet -t --noreplaygain -b "$3" "$WORK/$1.level.wav" "$OUT/$1.mp3"
}
encode loop "$MUSIC_RMS" 160
for name in stab succes1 succes2 bus_miss bus_stop grunt1 grunt2 grunt3 grunt4; do
  encode "$name" "$EFFECT_RMS" 128
done

echo "make_sounds: decoded with miniaudio"
"$TOOLS/audio_probe" --loop "$OUT/loop.mp3"
frames=$("$TOOLS/audio_probe" "$OUT/loop.mp3" | sed -n 's/.*(\([0-9]*\) frames.*/\1/p')
if [ "$frames" != 705024 ]; then
  echo "make_sounds: loop.mp3 decodes to $frames frames, not the 705024 of the music" >&2
  exit 1
fi
"$TOOLS/audio_probe" "$OUT"/stab.mp3 "$OUT"/succes*.mp3 "$OUT"/bus_*.mp3 "$OUT"/grunt*.mp3
