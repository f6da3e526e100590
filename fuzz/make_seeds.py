#!/usr/bin/env python3
"""Writes the committed seed corpora of fuzz/corpus/: small valid inputs for each harness.

Usage: fuzz/make_seeds.py RTPACK   (the built packer, for the archive and LZO seeds;
the zstd seed needs the zstd command). Existing seeds of the same names are replaced;
inputs the fuzzers found stay untouched.
"""
import gzip
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
TMX_DATA = os.path.join(ROOT, "tests", "app", "data")


def put(harness, name, data):
    folder = os.path.join(HERE, "corpus", harness)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


def bmp40(width, height, bits, palette, rows):
    data = b"".join(rows)
    offset = 54 + len(palette)
    head = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 0, 0, 0, 0)
    return head + info + palette + data


def bmp_seeds():
    grey = b"".join(bytes((i, i, i, 0)) for i in range(0, 256, 64))
    put("bmp", "palette_8bit.bmp", bmp40(3, 2, 8, grey, [b"\x00\x01\x02\x00", b"\x03\x02\x01\x00"]))
    put("bmp", "rgb_24bit.bmp", bmp40(3, 2, 24, b"", [b"\x80\x00\xff" + b"\x01\x02\x03" * 2 + b"\x00" * 3] * 2))
    put("bmp", "rgba_32bit.bmp", bmp40(2, 2, 32, b"", [b"\x10\x20\x30\x40" * 2] * 2))
    put("bmp", "top_down.bmp", bmp40(1, -3, 24, b"", [b"\x00\x00\xff\x00", b"\x00\xff\x00\x00", b"\xff\x00\x00\x00"]))
    # The 12-byte core header: 2^bits palette entries of three bytes each.
    core_palette = bytes(range(2 * 3))
    data = b"\x01\x00\x00\x00" * 2
    offset = 14 + 12 + len(core_palette)
    core = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    core += struct.pack("<IHHHH", 12, 2, 2, 1, 1) + core_palette + data
    put("bmp", "core_header.bmp", core)
    put("bmp", "empty_picture.bmp", bmp40(0, 0, 24, b"", []))


def png(width, height, depth, colour, raw_rows, extra=b""):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, 0)
    idat = zlib.compress(b"".join(raw_rows))
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra + chunk(b"IDAT", idat) + chunk(b"IEND", b"")


def png_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def png_seeds():
    put("png", "rgb.png", png(3, 2, 8, 2, [b"\x00" + b"\xff\x00\x80\x01\x02\x03\x04\x05\x06"] * 2))
    put("png", "rgba.png", png(2, 2, 8, 6, [b"\x01" + b"\x10\x20\x30\x40" * 2] * 2))
    put("png", "grey_1bit.png", png(8, 2, 1, 0, [b"\x00\xa5", b"\x02\x5a"]))
    put("png", "palette_trns.png",
        png(2, 2, 8, 3, [b"\x00\x00\x01", b"\x00\x01\x00"],
            png_chunk(b"PLTE", b"\xff\x00\x80\x00\xff\x00") + png_chunk(b"tRNS", b"\x00")))
    put("png", "rgb_16bit.png", png(2, 1, 16, 2, [b"\x00" + bytes(range(12))]))
    put("png", "grey_alpha.png", png(2, 1, 8, 4, [b"\x00\x10\xff\x20\x80"]))
    put("png", "grey_16bit_paeth.png", png(1, 2, 16, 0, [b"\x04\x12\x34", b"\x04\x56\x78"]))


def archive_seeds(rtpack):
    work = tempfile.mkdtemp()
    try:
        files = {"a.txt": b"first line\r\nsecond\r\n", "Pic.BMP": bytes(range(256)) * 2,
                 "empty.dat": b"", "zeros.bin": b"\x00" * 3000, "repeats.txt": b"abcab" * 200}
        for name, content in files.items():
            with open(os.path.join(work, name), "wb") as f:
                f.write(content)
        def pack(out, names, *flags):
            subprocess.run([rtpack, "create", os.path.join(work, out)] + [os.path.join(work, n) for n in names]
                           + list(flags), check=True, stdout=subprocess.DEVNULL)
            with open(os.path.join(work, out), "rb") as f:
                return f.read()
        one = pack("one.pak", ["a.txt"])
        put("archive", "one_entry.pak", one)
        put("archive", "four_entries.pak", pack("four.pak", list(files)))
        put("archive", "from_end.pak", pack("end.pak", ["a.txt", "zeros.bin"], "--from-end"))
        with open(os.path.join(work, "game.exe"), "wb") as f:
            f.write(b"MZ" + b"\x90" * 60)
        subprocess.run([rtpack, "append", os.path.join(work, "game.exe"), os.path.join(work, "a.txt"),
                        os.path.join(work, "Pic.BMP")], check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(work, "game.exe"), "rb") as f:
            put("archive", "appended.exe", f.read())
        put("archive", "empty_directory.pak", b"\x00qvK\x00\x00\x00\x00")
        # Entries alone (unpacked size + LZO1X stream) for the unpacking harness.
        for name in files:
            data = pack("single.pak", [name])
            directory = struct.unpack("<i", data[-4:])[0]
            length = data[directory]
            offset, size = struct.unpack("<ii", data[directory + 1 + length:directory + 9 + length])
            put("lzo", name.lower() + ".lzo", data[offset:offset + size])
    finally:
        shutil.rmtree(work)


def text_seeds():
    inis = {
        "sections.ini": "[Video]\r\nwidth=800\r\nheight = 600\r\n\r\n[Sound]\r\nvolume=\t0.5\t\r\n",
        "comments.ini": "; settings\n[a]\n; note\nkey=value with spaces \nother=1\n",
        "odd.ini": "no section=1\n[]\nx=y\n[ b ]\n  k  =  v\n[c\nk=v=w\n",
        "repeats.ini": "[s]\na=1\nA=2\n[S]\nb=3\n[s]\n",
        "bytes.ini": b"[caf\xc3\xa9]\nname=Jos\xc3\xa9\nzero=a\x00b\nlong=" + b"x" * 1100 + b"\n",
    }
    for name, text in inis.items():
        put("ini", name, text)
    lines = {
        "crlf.txt": "first\r\nsecond\r\n\r\nlast",
        "lf.txt": "a\nb\nc\n",
        "long_line.txt": "x" * 1030 + "\r\nafter\n" + "y" * 1023 + "\r\n" + "z" * 1024 + "\n",
        "zero_bytes.txt": b"ab\x00cd\nef\r\x00\n\x00\n",
        "many_lines.txt": "".join("%d\n" % i for i in range(300)),
        "cr_at_end.txt": "one\rtwo\r",
    }
    for name, text in lines.items():
        put("line_store", name, text)
    # read_line: 3 bytes of padding, an operation count, the operations, the file.
    def channel(padding, ops, body):
        body = body.encode() if isinstance(body, str) else body
        return struct.pack("<I", padding)[:3] + bytes((len(ops),)) + bytes(ops) + body
    put("read_line", "lines.bin", channel(0, [], "first\r\nsecond\nthird"))
    put("read_line", "mixed_reads.bin", channel(0, [0, 1, 2 + 4 * 5, 0], "line one\nAB12345zz\nend\r\n"))
    put("read_line", "window_edge.bin", channel(65536 - 40, [0], "x" * 60 + "\r\n" + "tail"))
    put("read_line", "long_line.bin", channel(0, [], "y" * 2100 + "\n" + "z" * 1024))
    put("read_line", "zero_bytes.bin", channel(3, [1, 0], b"\x00\x00ab\x00c\n\r\n"))


def tmx_seeds():
    def small_maps(folder):
        path = os.path.join(TMX_DATA, folder)
        for name in sorted(os.listdir(path)):
            full = os.path.join(path, name)
            if name.endswith(".tmx") and os.path.getsize(full) <= 4096:
                yield name, full
    for folder in ("tmx_variants", "tmx_refused"):
        for name, full in small_maps(folder):
            if name.startswith(("classic", "base64", "csv", "groups", "doctype", "bom", "infinite", "mismatched",
                                "unclosed", "zlib", "not_a_map", "utf16", "layer_without")):
                shutil.copy(full, os.path.join(HERE, "corpus", "tmx", name))
    for case in sorted(os.listdir(TMX_DATA)):
        full = os.path.join(TMX_DATA, case, "map.tmx")
        if os.path.exists(full):
            shutil.copy(full, os.path.join(HERE, "corpus", "tmx_agree", case + ".tmx"))
    for name in ("classic.tmx", "classic_crlf.tmx", "classic_object_group_between.tmx"):
        shutil.copy(os.path.join(TMX_DATA, "tmx_variants", name), os.path.join(HERE, "corpus", "tmx_agree", name))


def json_map_seeds():
    folder = os.path.join(TMX_DATA, "json_editor")
    os.makedirs(os.path.join(HERE, "corpus", "json_map"), exist_ok=True)
    for name in sorted(os.listdir(folder)):
        if name.endswith(".tmj"):
            shutil.copy(os.path.join(folder, name), os.path.join(HERE, "corpus", "json_map", name))


def layer_seeds():
    gids = [1, 2, 0, 2147483649, 7, 65536]
    raw = b"".join(struct.pack("<I", g) for g in gids)
    def header(fmt, binary):
        return bytes((fmt,)) + struct.pack("<I", len(gids))[:3] + bytes((1 if binary else 0,)) + b"\x2a\x00\x00\x00"
    put("layer", "csv.bin", header(0, False) + b"\n1,2,0,2147483649,\n7,65536\n")
    put("layer", "base64_text.bin", header(1, False) + __import__("base64").b64encode(raw))
    put("layer", "zlib.bin", header(2, True) + zlib.compress(raw))
    put("layer", "gzip.bin", header(3, True) + gzip.compress(raw, mtime=0))
    zstd = subprocess.run(["zstd", "-q", "-c", "--no-check"], input=raw, stdout=subprocess.PIPE, check=True).stdout
    put("layer", "zstd.bin", header(4, True) + zstd)
    put("layer", "zlib_text.bin", header(2, False) + __import__("base64").b64encode(zlib.compress(raw)))


def wave(channels, rate, bits, frames, format_extra=b"", fact=None, align=None):
    align = align or channels * bits // 8
    data = bytes((i * 37 + 11) & 0xFF for i in range(frames * align))
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * align, align, bits) + format_extra
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    if fact is not None:
        body += b"fact" + struct.pack("<I", len(fact)) + fact
    body += b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def wave_seeds():
    put("wave", "mono16_22050.wav", wave(1, 22050, 16, 40))
    put("wave", "stereo8_11025_fact.wav", wave(2, 11025, 8, 30, fact=struct.pack("<I", 30)))
    put("wave", "format18_44100.wav", wave(2, 44100, 16, 25, format_extra=b"\x00\x00"))
    put("wave", "three_channels.wav", wave(3, 48000, 16, 20))
    put("wave", "mono8_100hz.wav", wave(1, 100, 8, 6))
    put("wave", "padded_frames_200khz.wav", wave(2, 200000, 16, 50, align=6))


def ddd_binary(colours, tex, frames):
    out = struct.pack("<id", 13021975, 1.02) + struct.pack("<iii", len(frames), len(colours), len(tex))
    out += b"".join(struct.pack("<I", c) for c in colours)
    out += b"".join(struct.pack("<ff", u, v) for u, v in tex)
    for offset, scale, vertices in frames:
        out += struct.pack("<i6f", len(vertices), *offset, *scale) + b"".join(bytes(v) for v in vertices)
    return out


def model_seeds():
    triangle = [(0, 0, 0, 5, 0), (255, 0, 0, 5, 0), (0, 255, 0, 161, 0)]
    put("model", "binary_two_frames.ddd",
        ddd_binary([0x336699, 0xFFFFFFFF], [(0.25, 0.5), (1, 0), (0, 1)],
                   [((128, 0, 0), (0.5, 1, 2), triangle), ((0, 0, 0), (1, 1, 1), triangle[::-1])]))
    # Two triangles sharing an edge, after a strip marker colour.
    put("model", "binary_strip.ddd",
        ddd_binary([0xFFFFFFFE, 0x102030], [],
                   [((0, 0, 0), (1, 1, 1), [(0, 0, 0, 0, 0), (0, 0, 0, 1, 1), (9, 0, 0, 2, 1),
                                              (0, 9, 0, 3, 1), (9, 9, 0, 4, 1)])]))
    put("model", "text_square.ddda",
        "DDDA 1.1   # with normals\n4  0 0  1 0  1 1  0 1\n1  255 0 0  4  0 0  1 1  2 2  3 3\n2\n"
        "4  0 0 0 0 0 1   1 0 0 0 0 1   1 1 0 0 0 1   0 1 0 0 0 1\n"
        "4  0 1 0 0 0 1   1 1 0 0 0 1   1 2 0 0 0 1   0 2 0 0 0 1\n")
    put("model", "text_smoothed.ddda",
        "DDDA 1.0\n0\n2\n 10 20 30  3  0 -1  1 -1  2 -1\n 40 50 60  3  0 -1  2 -1  3 -1\n"
        "1\n4\n 0 0 0\n 1 0 0\n 1 1 0\n 0 1 1e-3\n")
    put("model", "world.wld",
        ";DDW world\n[textures]\ncount=2\n1=wall.bmp\n2=floor.png\n"
        "[objects]\ncount=3\n1=parts/a.ddd\n1ta=1\n1tb=2\n2=b.ddd\n2ta=7\n3=c.ddd\n")
    put("model", "world_loose.wld", ";DDW\r\n[OBJECTS]\r\nCount = 99\r\n1 = one.ddd\r\n[objects]\r\n2=two.ddd\r\n")


def net_seeds():
    def frame(kind, target, sender, payload=b""):
        return b"TSYN" + bytes((kind,)) + struct.pack("<iii", len(payload), target, sender) + payload
    def record(selector, datagram):
        return bytes((selector,)) + struct.pack("<H", len(datagram)) + datagram
    def register(name, hidden=0):
        return frame(1, 0, -1, struct.pack("<ii", -1, -1) + bytes((hidden, 0)) + name + bytes(152 - 10 - len(name)))
    def number(value):
        return struct.pack("<i", value)
    put("net_frame", "register_and_talk.bin",
        record(2, register(b"Ann")) + record(3, register(b"Bob")) + record(2, frame(3, 102, 101, b"hi Bob"))
        + record(3, frame(3, -1, 102, b"to all")))
    put("net_frame", "requests.bin",
        record(2, register(b"Ann")) + record(3, register(b"Hid", 1)) + record(2, frame(101, 0, 101))
        + record(2, frame(102, 0, 101, number(0))) + record(2, frame(103, 0, 101, number(102)))
        + record(2, frame(104, 0, 101)))
    put("net_frame", "leave_and_spoof.bin",
        record(2, register(b"Ann")) + record(3, register(b"Bob")) + record(3, frame(4, 0, 101))
        + record(3, frame(3, 101, 101, b"spoof")) + record(2, frame(4, 0, 101)))
    put("net_frame", "from_host.bin",
        record(0, frame(2, 250, 0)) + record(1, frame(3, 101, 250, b"message")) + record(0, frame(101, 101, 0, number(3)))
        + record(0, frame(104, 101, 0, number(1))) + record(0, frame(2, 251, 0)))
    put("net_frame", "connection_closes.bin",
        record(4, register(b"Cy")) + record(4, register(b"Di")) + bytes((7,)) + record(4, frame(3, -1, 101, b"gone")))
    put("net_frame", "damaged.bin",
        record(2, b"TSYX" + frame(3, 0, 0)[4:]) + record(2, frame(3, 0, 0, b"abc")[:18])
        + record(2, frame(3, 0, 0)[:5] + struct.pack("<i", 1025) + bytes(8)) + record(2, frame(3, 0, 0, b"x" * 1024)))


def http_seeds():
    # Four bytes of piece seed, the largest piece, then the reply (a first byte with its low
    # four bits set repeats the reply past the header limit).
    def reply(seed, largest, text):
        return struct.pack("<I", seed) + bytes((largest,)) + text
    put("http_reply", "crlf.bin", reply(7, 0, b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nbody\r\n\r\nmore"))
    put("http_reply", "bare_lf_small_pieces.bin", reply(99, 3, b"HTTP/1.0 404 Not Found\nA: b\n\n<h1>missing</h1>"))
    put("http_reply", "odd_carriage_returns.bin", reply(5, 2, b"HTTP/1.0 200 OK\r\r\n\r\r\r\nx\n \n"))
    put("http_reply", "no_blank_line.bin", reply(1, 1, b"HTTP/1.0 200 OK\r\nA: b\r\n"))
    put("http_reply", "header_too_long.bin", reply(3, 0, b"OK: 0123456789\r\n"))
    put("http_reply", "blank_line_first.bin", reply(11, 17, b"\n\nimmediate body"))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    for harness in ("tmx", "tmx_agree"):
        os.makedirs(os.path.join(HERE, "corpus", harness), exist_ok=True)
    bmp_seeds()
    png_seeds()
    archive_seeds(sys.argv[1])
    text_seeds()
    tmx_seeds()
    json_map_seeds()
    layer_seeds()
    wave_seeds()
    model_seeds()
    net_seeds()
    http_seeds()


if __name__ == "__main__":
    main()
