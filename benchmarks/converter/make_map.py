#!/usr/bin/env python3
"""Writes a classic-layout map of WIDTH x HEIGHT tiles with LAYERS XML tile layers.

Usage: make_map.py WIDTH HEIGHT LAYERS OUT.tmx [SEED]
"""
import random
import sys


def write_map(path, width, height, layers, seed=1):
    rng = random.Random(seed)
    gids = [str(g) for g in range(0, 257)]
    with open(path, "w", newline="\n") as out:
        out.write('<?xml version="1.0" encoding="UTF-8"?>\n')
        out.write(f'<map version="1.0" orientation="orthogonal" width="{width}" height="{height}" '
                  f'tilewidth="16" tileheight="16">\n')
        out.write(' <tileset firstgid="1" name="terrain" tilewidth="16" tileheight="16">\n'
                  '  <image source="terrain.png" width="256" height="256"/>\n </tileset>\n')
        for layer in range(layers):
            out.write(f' <layer name="Layer {layer + 1}" width="{width}" height="{height}">\n  <data>\n')
            for _ in range(height):
                row = rng.choices(gids, k=width)
                out.write("".join(f'   <tile gid="{g}"/>\n' for g in row))
            out.write("  </data>\n </layer>\n")
        out.write("</map>\n")


if __name__ == "__main__":
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    write_map(sys.argv[4], int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]),
              int(sys.argv[5]) if len(sys.argv) > 5 else 1)
