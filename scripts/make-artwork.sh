#!/usr/bin/env bash
# Renders the committed artwork from the sources under art/ into the resource
# directories. The build uses the committed PNG/WAV files, so this only needs
# to run after a source changes. Needs rsvg-convert (librsvg2-bin) and python3.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
art=$root/art
client=$root/src/ZeltoMessengerClient/res
guifw=$root/guifw/img

command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing (apt-get install librsvg2-bin)" >&2; exit 1; }

# render SOURCE.svg OUTPUT.png [SIZE]: without a size the SVG's own width/height is used.
render() {
    mkdir -p "$(dirname "$2")"
    if [ $# -ge 3 ]; then
        rsvg-convert --width "$3" --height "$3" "$1" --output "$2"
    else
        rsvg-convert "$1" --output "$2"
    fi
}

library_smileys=(cry angry haha laughting normal evil sad friendly)
client_smileys=("${library_smileys[@]}" wink surprised)

for name in "${library_smileys[@]}"; do
    render "$art/smileys/$name.svg" "$guifw/$name.png"
done
render "$art/smileys/smileybutton.svg" "$guifw/smileybutton.png"

for name in "${client_smileys[@]}"; do
    render "$art/smileys/$name.svg" "$client/img/$name.png"
done
render "$art/smileys/smileybutton.svg" "$client/gui/smileybutton.png"

render "$art/zmessenger.svg" "$client/gui/zm48.png" 48
for svg in "$art"/gui/*.svg; do
    render "$svg" "$client/gui/$(basename "$svg" .svg).png"
done
for svg in "$art"/img/*.svg; do
    render "$svg" "$client/img/$(basename "$svg" .svg).png"
done
for svg in "$art"/tr/*.svg; do
    render "$svg" "$client/tr/$(basename "$svg" .svg).png"
done

for size in 16 32 48 64 128 256; do
    render "$art/zmessenger.svg" "$client/icons/hicolor/${size}x${size}/apps/zmessenger.png" "$size"
done
mkdir -p "$client/icons/hicolor/scalable/apps"
cp "$art/zmessenger.svg" "$client/icons/hicolor/scalable/apps/zmessenger.svg"

mkdir -p "$client/sound"
python3 "$art/sound/chatin.py" "$client/sound/ChatIn.wav"

echo "artwork rendered"
