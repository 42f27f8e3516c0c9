#!/usr/bin/env bash
# Regenerates every rendered picture under resources/ from the SVG sources in
# resources/svg/. Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert.
# The rendered files are committed; run this after editing any SVG.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
svg="$root/resources/svg"
icons="$root/resources/icons"
images="$root/resources/images"
desktop="$root/resources/desktop"

for tool in rsvg-convert convert; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done

mkdir -p "$icons" "$images" "$desktop"

# render <svg> <png> <width> <height>
render() {
  rsvg-convert --format=png --width="$3" --height="$4" --output="$2" "$1"
}

toolbar_icons=(
  add edit del refresh search menu help settings cloudUpload networkUp
  networkDown cloudDownload compare goToWebApp led_connect led_disconnect
  led_scan save open remove account delete delete-outline survey
)
for name in "${toolbar_icons[@]}"; do
  render "$svg/$name.svg" "$icons/$name.png" 24 24
done

render "$svg/background.svg"        "$images/background.png"        1920 600
render "$svg/body-diagram.svg"      "$images/body-diagram.png"       720 540
render "$svg/calvimetro_sketch.svg" "$images/calvimetro_sketch.png"  720 720

# Application icon: one PNG per size, packed into a single Windows .ico.
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
for size in 16 32 48 256; do
  render "$svg/appicon.svg" "$tmp/appicon-$size.png" "$size" "$size"
done
convert "$tmp"/appicon-16.png "$tmp"/appicon-32.png "$tmp"/appicon-48.png \
        "$tmp"/appicon-256.png "$icons/appicon.ico"

cp "$tmp/appicon-256.png" "$desktop/calvestra.png"
cp "$svg/appicon.svg" "$desktop/calvestra.svg"

echo "artwork rendered into $icons, $images and $desktop"
