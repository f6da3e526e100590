#!/usr/bin/env python3
"""Encoded layers at scale: the 2000 x 2000 x 2 benchmark map in its classic layout, with
CSV layer data, with base64+zlib layer data (the same tiles, the same header) and with XML
tiles under a later editor's header (read by element names as well), and as the editor's
JSON (".tmj") with array data and with base64+zlib data, each converted by the built
converter in the same run. Prints whole-process wall and CPU time (best of N), peak memory
(maximum resident set), the time ratio to the classic form and peak memory / input size,
and checks that all forms give byte-identical ".txt" and ".pyxm" outputs (for JSON, the
".txt" after its first line, which is the file's own first line).

Usage: tmx_bench.py [--converter PATH] [--work DIR] [--repeat N] [--side N]
"""
import argparse
import base64
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
import zlib

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(os.path.dirname(here))
sys.path.insert(0, here)
import make_map  # noqa: E402


def measure(command):
    """Wall time, CPU time (user + system) in seconds and peak resident memory in bytes of
    one child process; the peak comes from GNU time, which starts the child afresh."""
    fd, report = tempfile.mkstemp()
    os.close(fd)
    start = time.perf_counter()
    status = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", report] + command,
                            stdout=subprocess.DEVNULL).returncode
    elapsed = time.perf_counter() - start
    with open(report) as f:
        user, system, kilobytes = f.read().split()[-3:]
    os.unlink(report)
    if status != 0:
        sys.exit(f"failed: {' '.join(command)}")
    return elapsed, float(user) + float(system), int(kilobytes) * 1024


def best_of(command, repeat):
    runs = [measure(command) for _ in range(repeat)]
    return min(r[0] for r in runs), min(r[1] for r in runs), max(r[2] for r in runs)


def layer_gids(width, height, layers, seed):
    """The gids make_map.write_map draws, in the same order from the same generator."""
    rng = random.Random(seed)
    gids = [str(g) for g in range(0, 257)]
    for _ in range(layers):
        cells = []
        for _ in range(height):
            cells.extend(rng.choices(gids, k=width))
        yield cells


def write_encoded(path, width, height, layers, seed, encoding):
    """The classic file's lines around the data, with the data in CSV or base64+zlib."""
    with open(path, "w", newline="\n") as out:
        out.write('<?xml version="1.0" encoding="UTF-8"?>\n')
        # XML tiles keep the classic header but for one attribute, so they take the other reader.
        extra = ' renderorder="right-down"' if encoding == "xml" else ""
        out.write(f'<map version="1.0" orientation="orthogonal"{extra} width="{width}" height="{height}" '
                  f'tilewidth="16" tileheight="16">\n')
        out.write(' <tileset firstgid="1" name="terrain" tilewidth="16" tileheight="16">\n'
                  '  <image source="terrain.png" width="256" height="256"/>\n </tileset>\n')
        for index, cells in enumerate(layer_gids(width, height, layers, seed)):
            out.write(f' <layer name="Layer {index + 1}" width="{width}" height="{height}">\n')
            if encoding == "xml":
                out.write("  <data>\n")
                out.write("".join("   <tile/>\n" if c == "0" else f'   <tile gid="{c}"/>\n' for c in cells))
                out.write("  </data>\n")
            elif encoding == "csv":
                out.write('  <data encoding="csv">\n')
                for row in range(height):
                    line = ",".join(cells[row * width:(row + 1) * width])
                    out.write(line + (",\n" if row + 1 < height else "\n"))
                out.write("</data>\n")
            else:
                raw = b"".join(int(c).to_bytes(4, "little") for c in cells)
                text = base64.b64encode(zlib.compress(raw, 6)).decode()
                out.write('  <data encoding="base64" compression="zlib">\n   ' + text + "\n  </data>\n")
            out.write(" </layer>\n")
        out.write("</map>\n")


def write_json(path, width, height, layers, seed, encoding):
    """The same map as the editor's JSON: keys in its order, data as "[1, 2, ...]" or base64+zlib."""
    with open(path, "w", newline="\n") as out:
        out.write('{ "compressionlevel":-1,\n "height":%d,\n "infinite":false,\n "layers":[' % height)
        for index, cells in enumerate(layer_gids(width, height, layers, seed)):
            out.write("," if index else "")
            out.write("\n        {\n")
            if encoding == "zlib":
                raw = b"".join(int(c).to_bytes(4, "little") for c in cells)
                out.write('         "compression":"zlib",\n         "data":"%s",\n         "encoding":"base64",\n'
                          % base64.b64encode(zlib.compress(raw, 6)).decode())
            else:
                out.write('         "data":[' + ", ".join(cells) + '],\n')
            out.write('         "height":%d,\n         "id":%d,\n         "name":"Layer %d",\n         "opacity":1,\n'
                      '         "type":"tilelayer",\n         "visible":true,\n         "width":%d,\n         "x":0,\n'
                      '         "y":0\n        }' % (height, index + 1, index + 1, width))
        out.write('],\n "nextlayerid":%d,\n "nextobjectid":1,\n "orientation":"orthogonal",\n "renderorder":"right-down",\n'
                  ' "tiledversion":"1.8.2",\n "tileheight":16,\n "tilesets":[\n        {\n         "firstgid":1,\n'
                  '         "source":"terrain.tsx"\n        }],\n "tilewidth":16,\n "type":"map",\n "version":"1.0",\n'
                  ' "width":%d\n}\n' % (layers + 1, width))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--converter", default=os.path.join(root, "build", "bin", "brisel42_x9"))
    parser.add_argument("--work", default=None)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--side", type=int, default=2000)
    args = parser.parse_args()
    work = args.work or tempfile.mkdtemp(prefix="tmx_bench_")
    os.makedirs(work, exist_ok=True)
    side, layers, seed = args.side, 2, 1
    forms = [("classic", None), ("csv", "csv"), ("zlib", "zlib"), ("xml", "xml"), ("json", "json"),
             ("json_zlib", "json_zlib")]
    results = {}
    for name, encoding in forms:
        path = os.path.join(work, name + (".tmj" if name.startswith("json") else ".tmx"))
        if not os.path.exists(path):
            if encoding is None:
                make_map.write_map(path, side, side, layers, seed)
            elif name.startswith("json"):
                write_json(path, side, side, layers, seed, "zlib" if encoding == "json_zlib" else "array")
            else:
                write_encoded(path, side, side, layers, seed, encoding)
        out_dir = os.path.join(work, "out_" + name)
        os.makedirs(out_dir, exist_ok=True)
        elapsed, cpu, peak = best_of([args.converter, "-q", "-o", out_dir, path], args.repeat)
        results[name] = (os.path.getsize(path), elapsed, cpu, peak, out_dir)
    classic_size, classic_time, classic_cpu, _, classic_out = results["classic"]
    for name, _ in forms:
        size, elapsed, cpu, peak, out_dir = results[name]
        for ext in (".txt", ".pyxm"):
            with open(os.path.join(out_dir, name + ext), "rb") as a, \
                    open(os.path.join(classic_out, "classic" + ext), "rb") as b:
                ours, theirs = a.read(), b.read()
                if name.startswith("json") and ext == ".txt":
                    ours, theirs = ours.split(b"\r\n", 1)[1], theirs.split(b"\r\n", 1)[1]
                if ours != theirs:
                    sys.exit(f"outputs differ from the classic form: {name}{ext}")
        print(f"{name:9} {side}x{side}x{layers}  input {size / 1e6:8.1f} MB  wall {elapsed:7.3f} s "
              f"({elapsed / classic_time:5.2f} x classic)  cpu {cpu:7.3f} s ({cpu / classic_cpu:5.2f} x classic)  "
              f"peak {peak / 1e6:7.1f} MB "
              f"({peak / size:6.2f} x input, {peak / classic_size:5.2f} x classic input)", flush=True)
    print("outputs: every form gives the classic form's .txt and .pyxm byte for byte "
          "(JSON: the .txt after its first line)")
    if not args.work:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
