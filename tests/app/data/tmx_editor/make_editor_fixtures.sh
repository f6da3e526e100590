#!/bin/sh
# Re-saves two classic-layout maps with the map editor (Debian's `tiled`, run headless) in
# every layer format; the outputs are committed so the tests never need the editor.
# Needs ~/.config/tiled/extensions/tmx_layer_formats.js (the tmx-* export formats).
set -e
cd "$(dirname "$0")"
export QT_QPA_PLATFORM=offscreen
cp ../tmx_variants/classic.tmx own_classic.tmx
for source in classic_layout own_classic; do
  for format in xml csv b64 zlib gzip zstd; do
    tiled --export-map "tmx-$format" "$source.tmx" "${source}_editor_$format.tmx"
  done
done
