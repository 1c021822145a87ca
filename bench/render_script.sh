#!/usr/bin/env bash
# The voice-over track of a SubRip file the way a user would script it
# without parlino-render: the espeak-ng program once per subtitle into a WAV
# clip, each clip padded with silence (or cut) to fill the time up to the
# next subtitle, and the slots joined into one track with sox.
# Usage: render_script.sh FILE.srt OUT.wav
set -euo pipefail
srt=$1 out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "start_seconds<TAB>text" per subtitle, text lines joined with spaces.
awk 'BEGIN { RS = ""; FS = "\n" }
     { gsub(/\r/, "")
       split($2, t, /[:,]/)
       text = $3; for (i = 4; i <= NF; i++) text = text " " $i
       printf "%.3f\t%s\n", t[1] * 3600 + t[2] * 60 + t[3] + t[4] / 1000, text }' "$srt" >"$work/list"

mapfile -t starts < <(cut -f1 "$work/list")
mapfile -t texts < <(cut -f2- "$work/list")
n=${#starts[@]}
sox -n -r 22050 -c 1 -b 16 "$work/lead.wav" trim 0 "${starts[0]}"
for ((i = 0; i < n; i++)); do
    espeak-ng -w "$work/clip.wav" -- "${texts[i]}"
    seg=$(printf '%s/seg%05d.wav' "$work" "$i")
    if ((i + 1 < n)); then
        slot=$(awk -v a="${starts[i]}" -v b="${starts[i + 1]}" 'BEGIN { printf "%.3f", b - a }')
        sox "$work/clip.wav" "$seg" pad 0 "$slot" trim 0 "$slot"
    else
        cp "$work/clip.wav" "$seg"
    fi
done

# Joined in batches, since sox keeps every input open at once.
parts=("$work/lead.wav")
segs=("$work"/seg*.wav)
for ((i = 0; i < ${#segs[@]}; i += 200)); do
    part=$(printf '%s/part%05d.wav' "$work" "$i")
    sox "${segs[@]:i:200}" "$part"
    parts+=("$part")
done
sox "${parts[@]}" "$out"
