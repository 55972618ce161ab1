#!/usr/bin/env bash
# make-outside-seeds.sh <folder>: seeds made by other programs (ImageMagick
# PSD, PNG, TGA, JPG, BMP and DDS; sox WAV; oggenc Ogg Vorbis; ffmpeg movies) into
# <folder>/<driver>/, each tool only when it is installed. Run by CTest
# before the replays.
set -euo pipefail
out=${1:?usage: make-outside-seeds.sh <folder>}
mkdir -p "$out/psd" "$out/image" "$out/wav" "$out/ogg" "$out/movie"
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

  # The image loader's formats, each in the forms the tool writes. PNG
  # files leave out their time chunks, so each run makes the same bytes.
  img=$out/image
  png=(-define png:exclude-chunk=date,time)
  convert -size 7x5 gradient:red-blue "${png[@]}" "$work/rgb.png"
  convert -size 7x5 gradient:'#ff000080'-'#0000ffff' "${png[@]}" "$work/rgba.png"
  convert -size 6x4 gradient:white-black -colorspace gray "${png[@]}" "$work/grey.png"
  cp "$work/rgb.png" "$work/rgba.png" "$work/grey.png" "$img/"
  # Rows filtered as the writer finds best, row by row.
  convert -seed 1 -size 32x16 plasma: -quality 95 "${png[@]}" PNG32:"$img/rgba-filtered.png"
  convert -seed 1 -size 32x16 plasma: -quality 95 "${png[@]}" PNG24:"$img/rgb-filtered.png"
  convert "$work/rgb.png" "${png[@]}" PNG8:"$img/palette.png"
  convert "$work/rgb.png" -depth 16 "${png[@]}" "$img/sixteen-bit.png"
  convert "$work/rgba.png" -interlace PNG "${png[@]}" "$img/interlaced.png"
  convert "$work/rgb.png" -compress none "$img/rgb.tga"
  convert "$work/rgba.png" -compress RLE "$img/rgba-rle.tga"
  convert "$work/grey.png" -compress none "$img/grey.tga"
  convert "$work/rgb.png" -quality 80 "$img/baseline.jpg"
  convert "$work/rgb.png" -interlace JPEG "$img/progressive.jpg"
  convert "$work/grey.png" "$img/grey.jpg"
  convert "$work/rgb.png" BMP3:"$img/rgb24.bmp"
  convert "$work/rgba.png" BMP:"$img/rgba32.bmp"
  convert "$work/rgb.png" -type Palette BMP3:"$img/palette.bmp"
  convert "$work/rgb.png" -define dds:compression=dxt1 -define dds:mipmaps=0 "$img/dxt1.dds"
  convert "$work/rgba.png" -define dds:compression=dxt5 "$img/dxt5-mipmaps.dds"
  convert "$work/rgba.png" -define dds:compression=none -define dds:mipmaps=0 "$img/rgba.dds"
else
  echo "convert not found: no ImageMagick PSD and image seeds" >&2
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

if command -v ffmpeg >/dev/null; then
  ff=(ffmpeg -nostdin -hide_banner -loglevel error -y)
  "${ff[@]}" -f lavfi -i testsrc=size=32x24:rate=25 -f lavfi -i sine=frequency=500:sample_rate=22050 \
    -t 0.3 -c:v mpeg1video -c:a mp2 "$out/movie/ffmpeg-mpeg1.mpg"
  "${ff[@]}" -f lavfi -i testsrc=size=16x16:rate=5 -t 0.4 -c:v mpeg4 -an "$out/movie/ffmpeg-silent.avi"
else
  echo "ffmpeg not found: no movie seeds" >&2
fi
