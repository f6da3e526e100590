#!/usr/bin/env python3
"""A straightforward line-based map converter in Python: the classic-layout steps one by one.

Reads FILE.tmx line by line (lines cut as the runtime's read_line cuts them), keeps every
line in a list, cuts the values out with find/mid/replace exactly as the steps say, and
writes FILE.txt and FILE.pyxm beside it (or into --out DIR). Used as the speed baseline of
the converter benchmark and to derive the expected outputs of the golden tests.
"""
import math
import os
import re
import sys

LINE_LIMIT = 1024
QUOTE = '"'
NUMBER = re.compile(rb"[ \t\n\v\f\r]*([+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?)")


class Refused(Exception):
    pass


def read_lines(path):
    """Every line of the file as read_line delivers it: LF or CR LF ends a line, long lines
    come in 1024-byte pieces, a zero byte ends the text, the last line needs no end."""
    lines = []
    with open(path, "rb") as f:
        while True:
            raw = f.readline()
            if not raw:
                break
            ended = raw.endswith(b"\n")
            content = raw[:-1] if ended else raw
            while True:
                if len(content) >= LINE_LIMIT:
                    piece, content = content[:LINE_LIMIT], content[LINE_LIMIT:]
                    lines.append(piece)
                    continue
                if not ended and not content:
                    break
                if content.endswith(b"\r"):
                    content = content[:-1]
                lines.append(content)
                break
    return [line.split(b"\0")[0] for line in lines]


def find_text(text, needle):
    return text.find(needle)


def mid_text(text, start, count):
    if start + count > len(text):
        count = len(text) - start
    if count <= 0 or start > len(text) or start < 0:
        return b""
    return text[start:start + count]


def replace_all(text, search, replacement):
    p = 0
    while True:
        i = text.find(search, p)
        if i < 0:
            return text
        text = text[:i] + replacement + text[i + len(search):]
        p = i + len(replacement)


def text_to_number(text):
    m = NUMBER.match(text)
    return float(m.group(1)) if m else 0.0


def low_word(value):
    """Low 16 bits of the value's integer part (also beyond 32 bits); inf and NaN give 0."""
    if math.isinf(value) or math.isnan(value):
        return 0
    return int(value) & 0xFFFF


def convert(path, out_dir=None):
    source_lines = [b""]
    line_index = 0
    layer_count = 0
    for work_line in read_lines(path):
        if find_text(work_line, b"</data>") != -1:
            layer_count += 1
        source_lines[line_index] = work_line
        line_index += 1
        source_lines.append(str(line_index).encode())

    output_items = [b""]
    item_count = 0

    def append(entry):
        nonlocal item_count
        output_items[item_count] = entry
        item_count += 1
        output_items.append(str(item_count).encode())

    def line(i):
        if i >= len(source_lines):
            raise Refused("no </map> line" if i >= 3 else "fewer than three lines")
        return source_lines[i]

    missing = False
    work = b""

    def skip():
        nonlocal work, missing
        q = find_text(work, b'"')
        missing = missing or q < 0
        work = mid_text(work, q + 1, 255)

    def take():
        nonlocal missing
        q = find_text(work, b'"')
        missing = missing or q < 0
        return mid_text(work, 0, q)

    line(2)
    append(source_lines[0])
    work = source_lines[1]
    skip()
    append(b"<" + take() + b">")
    sizes = []
    for skips in (4, 2, 2, 2):
        for _ in range(skips):
            skip()
        sizes.append(take())
        append(sizes[-1])
    if missing:
        raise Refused("map line without six quoted values")
    if not all(re.fullmatch(rb"[0-9]+", v) for v in sizes):
        raise Refused("map sizes are not whole numbers")
    work = source_lines[2]
    skip()
    append(b"<" + take() + b">")
    append(str(layer_count).encode())

    line_index = 2
    while True:
        line_index += 1
        work = line(line_index)
        if find_text(work, b"</map>") != -1:
            output_items[item_count] = replace_all(work, b" ", b"")
            break
        if find_text(work, b"</data>") != -1:
            work = replace_all(work, b" ", b"")
            append(work)
        if find_text(work, b"<data>") != -1:
            work = replace_all(work, b" ", b"")
            append(work)
        if find_text(work, b"<tile gid=") != -1:
            for cut in (b"<tile gid=", b">", b'"', b"/", b" "):
                work = replace_all(work, cut, b"")
            append(work)

    text_path = path.replace(".tmx", ".txt") if ".tmx" in path else path + ".txt"
    binary_path = text_path.replace(".txt", ".pyxm") if ".tmx" in path else path + ".pyxm"
    if out_dir:
        text_path = os.path.join(out_dir, os.path.basename(text_path))
        binary_path = os.path.join(out_dir, os.path.basename(binary_path))
    with open(text_path, "wb") as text_out, open(binary_path, "wb") as binary_out:
        for k in range(item_count + 1):
            text_out.write(output_items[k] + b"\r\n")
            if find_text(output_items[k], b"<") == -1:
                binary_out.write(low_word(text_to_number(output_items[k])).to_bytes(2, "little"))
    return text_path, binary_path


def main(argv):
    out_dir = None
    if len(argv) > 2 and argv[1] == "--out":
        out_dir = argv[2]
        argv = argv[2:]
    status = 0
    for path in argv[1:]:
        try:
            convert(path, out_dir)
        except Refused as reason:
            print(f"Cannot convert {path}: {reason}", file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
