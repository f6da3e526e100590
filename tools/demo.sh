#!/usr/bin/env bash
# Set up, build, and convert a bundled example map; shows the report line and the outputs.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/tools/setup.sh"
BUILD_DIR="$root/build" "$root/tools/build.sh"
cd "$root"
converter=build/bin/brisel42_x9
out=build/demo
map=examples/maps/village.tmx
echo
echo "\$ $converter -o $out $map"
"$converter" -o "$out" "$map"
echo
echo "First lines of build/demo/village.txt (one entry per line):"
head -n 12 "$out/village.txt" | tr -d '\r' | sed 's/^/    /'
echo "    ..."
echo "    $(tail -n 1 "$out/village.txt" | tr -d '\r')"
echo
echo "First words of build/demo/village.pyxm (16-bit, little-endian):"
od -A d -t u2 -w16 -v "$out/village.pyxm" | head -n 3 | sed 's/^/    /'
echo
echo "Without arguments, $converter opens the desktop window (file dialog and report screen)."
