#!/usr/bin/env bash
# make-outside-seeds.sh <folder>: seeds made by other programs (ImageMagick
# PSD, sox WAV, oggenc Ogg Vorbis) into <folder>/<driver>/, each tool only
# when it is installed. Run by CTest before the replays.
set -euo pipefail
out=${1:?usage: make-outside-seeds.sh <folder>}
mkdir -p "$out/psd" "$out/wav" "$out/ogg"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if command -v convert >/dev/null; then
  # Several images make a layered PSD: the first is the merged image.
  convert -size 8x6 gradient:red-blue \( -size 5x4 xc:green \) \( -size 3x3 xc:'#80402080' \) \
    "$out/psd/magick-layers.psd"
  convert -size 6x5 gradient:white-black -colorspace gray \( -size 4x2 xc:gray50 -colorspace gray \) \
    "$out/psd/magick-grey.psd"
  convert -size 7x3 xc:none -fill '#ff000080' -draw 'point 1,1' \( -size 7x3 xc:'#00ff0040' \) \
    -compress none "$out/psd/magick-alpha-raw.psd"
  convert -size 4x4 xc:cyan -colorspace cmyk "$out/psd/magick-cmyk.psd"
  convert -size 4x4 xc:red "$out/psd/magick-flat.psd"
else
  echo "convert not found: no ImageMagick PSD seeds" >&2
fi

if command -v sox >/dev/null; then
  sox -n -r 22050 -c 1 -b 16 "$out/wav/sox-s16-mono.wav" synth 0.02 sine 440
  sox -n -r 11025 -c 2 -b 8 -e unsigned-integer "$out/wav/sox-u8-stereo.wav" synth 0.02 square 300
  sox -n -r 48000 -c 2 -b 24 "$out/wav/sox-s24-stereo.wav" synth 0.01 sine 1000
  sox -n -r 8000 -c 1 -e floating-point -b 32 "$out/wav/sox-float.wav" synth 0.02 sine 200
  sox -n -r 8000 -c 1 -e u-law "$out/wav/sox-ulaw.wav" synth 0.02 sine 200
  sox -n -r 44100 -c 6 -b 16 "$out/wav/sox-six-channels.wav" synth 0.005 sine 500
else
  echo "sox not found: no sox WAV seeds" >&2
fi

if command -v oggenc >/dev/null && command -v sox >/dev/null; then
  sox -n -r 22050 -c 1 -b 16 "$work/mono.wav" synth 0.2 sine 440
  sox -n -r 44100 -c 2 -b 16 "$work/stereo.wav" synth 0.1 sine 660 sine 880
  oggenc -Q -q 0 -o "$out/ogg/oggenc-mono.ogg" "$work/mono.wav"
  oggenc -Q -q 5 -c "TITLE=seed" -o "$out/ogg/oggenc-stereo.ogg" "$work/stereo.wav"
  cat "$out/ogg/oggenc-mono.ogg" "$out/ogg/oggenc-stereo.ogg" >"$out/ogg/oggenc-chained.ogg"
else
  echo "oggenc or sox not found: no oggenc seeds" >&2
fi
