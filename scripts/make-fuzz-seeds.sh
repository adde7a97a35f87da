#!/usr/bin/env bash
# Writes the seed corpus of fuzz_server_avatar: small pictures in the formats zmsgd takes,
# one it refuses by size, and SVG and BMP files it must refuse. Needs ImageMagick (convert).
set -euo pipefail
out=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/fuzz/corpus/server_avatar
mkdir -p "$out"
convert -size 16x12 xc:red -strip "$out/plain.png"
convert -size 8x8 gradient:blue-yellow -strip -alpha set -channel A -evaluate set 50% "$out/alpha.png"
convert -size 20x10 gradient:red-green -strip -quality 80 "$out/gradient.jpg"
convert -size 16x16 gradient:white-black -strip -interlace JPEG "$out/progressive.jpg"
convert -size 10x10 xc:green -strip "$out/plain.gif"
convert -delay 10 -size 6x6 xc:red xc:blue -loop 0 "$out/animated.gif"
convert -size 3000x1 xc:white -strip "$out/too_wide.png"
convert -size 4x4 xc:cyan "$out/bitmap.bmp"
printf '<svg xmlns="http://www.w3.org/2000/svg" width="9" height="9"><text y="8">A</text></svg>' >"$out/text.svg"
printf '<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="8" height="8"><image width="8" height="8" xlink:href="/etc/hostname"/></svg>' >"$out/image.svg"
printf '\x89PNG\r\n\x1a\n' >"$out/signature_only.png"
printf 'GIF89a' >"$out/gif_header_only.gif"
