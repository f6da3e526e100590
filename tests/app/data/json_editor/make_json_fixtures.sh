#!/bin/sh
# Saves maps with the map editor (Debian's `tiled`, run headless) as JSON in every layer
# format, and an infinite map as the editor writes it, as JSON, and made fixed over the
# same area. The outputs are committed so the tests never need the editor.
# Needs json_formats.js in ~/.config/tiled/extensions/ and python3 (the tileset picture).
set -e
cd "$(dirname "$0")"
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The editor needs the tileset's picture to know its tiles; it is not committed.
python3 - "$work/tiles.png" <<'PY'
import struct, sys, zlib
w = h = 160
raw = b"".join(b"\0" + bytes([v for x in range(w) for v in (x, y, 99)]) for y in range(h))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
open(sys.argv[1], "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
                              chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
PY
for source in classic_layout own_classic; do
  for format in array b64 zlib gzip zstd; do
    tiled --export-map "json-$format" "../tmx_editor/${source}_editor_csv.tmx" "${source}_editor_$format.tmj"
  done
done
cp infinite_source.tmx "$work/"
tiled --export-map tmx "$work/infinite_source.tmx" infinite_editor.tmx
for format in array zlib; do
  tiled --export-map "json-$format" "$work/infinite_source.tmx" "infinite_editor_$format.tmj"
done
cp infinite_editor.tmx "$work/"
tiled --export-map tmx-fixed "$work/infinite_editor.tmx" infinite_fixed.tmx
# The editor wrote the picture's path relative to where it was: keep just its name.
sed -i 's#"[^"]*tiles\.png"#"tiles.png"#' infinite_editor.tmx infinite_editor_*.tmj infinite_fixed.tmx
