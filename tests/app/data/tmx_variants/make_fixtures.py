#!/usr/bin/env python3
"""Writes the map fixtures of the element-name reader tests: one small map of our own
making in every form the editor (or a person) may save it, the entries every form must
give, and maps the converter must refuse. Run it from anywhere; it rewrites
tests/app/data/tmx_variants and tests/app/data/tmx_refused."""
import base64
import gzip
import os
import subprocess
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
REFUSED = os.path.join(os.path.dirname(HERE), "tmx_refused")

WIDTH, HEIGHT, TILE_W, TILE_H = 5, 4, 32, 16
# Layer 1 holds empty cells; layer 2 flip flags (bits 29-31), a gid above 65535 and the
# largest 32-bit gid.
LAYERS = [
    ("Ground", [1, 2, 3, 0, 5,
                6, 0, 0, 9, 10,
                11, 12, 13, 14, 0,
                16, 17, 18, 19, 20]),
    ("Top", [2147483649, 1073741826, 3221225475, 536870913, 0,
             70000, 0, 7, 8, 4294967295,
             0, 0, 0, 0, 0,
             21, 22, 23, 24, 25]),
]
DECLARATION = '<?xml version="1.0" encoding="UTF-8"?>'
CLASSIC_MAP = ('<map version="1.0" orientation="orthogonal" width="%d" height="%d" '
               'tilewidth="%d" tileheight="%d">' % (WIDTH, HEIGHT, TILE_W, TILE_H))
MODERN_MAP = ('<map version="1.0" tiledversion="1.8.2" orientation="orthogonal" renderorder="right-down" '
              'width="%d" height="%d" tilewidth="%d" tileheight="%d" infinite="0" nextlayerid="6" '
              'nextobjectid="3">' % (WIDTH, HEIGHT, TILE_W, TILE_H))
TILESET = ' <tileset firstgid="1" name="tiles" tilewidth="32" tileheight="16" tilecount="30" columns="6">\n' \
          '  <image source="tiles.png" width="192" height="80"/>\n </tileset>'
OBJECTS = (' <objectgroup id="3" name="Things">\n'
           '  <object id="1" x="10" y="12" width="8" height="8"/>\n'
           '  <object id="2" name="&lt;data&gt; in a name" x="1" y="2"/>\n'
           ' </objectgroup>\n'
           ' <imagelayer id="4" name="Sky">\n  <image source="sky.png" width="10" height="10"/>\n </imagelayer>')


def expected_entries():
    out = [DECLARATION, "<1.0>", str(WIDTH), str(HEIGHT), str(TILE_W), str(TILE_H), "<1>", str(len(LAYERS))]
    for _, cells in LAYERS:
        out.append("<data>")
        out.extend(str(c) for c in cells)
        out.append("</data>")
    out.append("</map>")
    return out


def xml_tiles(cells, indent="   ", empty_form='<tile gid="0"/>'):
    return "\n".join(indent + (empty_form if c == 0 else '<tile gid="%d"/>' % c) for c in cells)


def csv_text(cells):
    rows = [",".join(str(c) for c in cells[r * WIDTH:(r + 1) * WIDTH]) for r in range(HEIGHT)]
    return "\n" + ",\n".join(rows) + "\n"


def raw_bytes(cells):
    return b"".join(c.to_bytes(4, "little") for c in cells)


def zstd_bytes(data):
    return subprocess.run(["zstd", "-q", "-c", "-19"], input=data, check=True, capture_output=True).stdout


def encoded(cells, compression):
    data = raw_bytes(cells)
    if compression == "zlib":
        data = zlib.compress(data, 9)
    elif compression == "gzip":
        data = gzip.compress(data, 9, mtime=0)
    elif compression == "zstd":
        data = zstd_bytes(data)
    return base64.b64encode(data).decode()


def layer(name, data, layer_id=1, extra=""):
    return (' <layer id="%d" name="%s" width="%d" height="%d">%s\n%s\n </layer>'
            % (layer_id, name, WIDTH, HEIGHT, extra, data))


def data_xml(cells, empty_form='<tile gid="0"/>'):
    return '  <data>\n%s\n  </data>' % xml_tiles(cells, empty_form=empty_form)


def data_encoded(cells, encoding, compression=None):
    attrs = ' encoding="%s"' % encoding + (' compression="%s"' % compression if compression else "")
    body = csv_text(cells) if encoding == "csv" else "\n   " + encoded(cells, compression) + "\n  "
    return "  <data%s>%s</data>" % (attrs, body)


def classic(line_end="\n", between=""):
    lines = [DECLARATION, CLASSIC_MAP, TILESET]
    for i, (name, cells) in enumerate(LAYERS):
        if i == 1 and between:
            lines.append(between)
        lines.append(' <layer name="%s" width="%d" height="%d">' % (name, WIDTH, HEIGHT))
        lines.append(data_xml(cells))
        lines.append(" </layer>")
    lines.append("</map>")
    return line_end.join("\n".join(lines).split("\n")) + line_end


def modern(data_for, header=MODERN_MAP, tileset=TILESET, before_layers="", between="", wrap=None):
    parts = [DECLARATION, header]
    if before_layers:
        parts.append(before_layers)
    parts.append(tileset)
    for i, (name, cells) in enumerate(LAYERS):
        if i == 1 and between:
            parts.append(between)
        text = layer(name, data_for(cells), layer_id=i + 1)
        parts.append(wrap(i, text) if wrap else text)
    parts.append("</map>")
    return "\n".join(parts) + "\n"


def write(folder, name, text, binary=False):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(text if binary else text.encode("utf-8"))


def variants():
    v = {}
    v["classic.tmx"] = classic()
    v["classic_crlf.tmx"] = classic("\r\n")
    v["classic_object_group_between.tmx"] = classic(between=OBJECTS)
    v["modern_empty_tiles.tmx"] = modern(lambda c: data_xml(c, empty_form="<tile/>"))
    v["attribute_order.tmx"] = modern(
        data_xml,
        header='<map tileheight="%d" infinite="0"\n     tilewidth="%d" height="%d" width="%d"\n'
               '     renderorder="left-up" orientation="isometric" version="1.0" tiledversion="1.8.2">'
               % (TILE_H, TILE_W, HEIGHT, WIDTH))
    v["doctype.tmx"] = classic().replace(
        DECLARATION + "\n", DECLARATION + '\n<!DOCTYPE map SYSTEM "http://mapeditor.org/dtd/1.0/map.dtd">\n', 1)
    v["bom.tmx"] = "\ufeff" + classic()
    v["modern_crlf.tmx"] = modern(lambda c: data_xml(c, "<tile/>")).replace("\n", "\r\n")
    v["properties_first.tmx"] = modern(
        data_xml,
        before_layers=' <properties>\n  <property name="music" value="&lt;data&gt;"/>\n </properties>',
        tileset=TILESET.replace(" </tileset>", '  <tile id="3">\n   <properties>\n    <property name="solid" '
                                'type="bool" value="true"/>\n   </properties>\n  </tile>\n </tileset>')
    ).replace('height="%d">\n  <data>' % HEIGHT,
              'height="%d">\n  <properties>\n   <property name="depth" type="int" value="2"/>\n  </properties>\n'
              '  <data>' % HEIGHT)
    v["external_tileset.tmx"] = modern(
        data_xml, tileset=' <tileset firstgid="1" source="tiles.tsx"/>\n <tileset firstgid="101" source="more.tsx"/>')
    v["groups.tmx"] = modern(
        lambda c: data_encoded(c, "csv"),
        wrap=lambda i, text: (' <group id="10" name="Outer">\n' + text + "\n </group>") if i == 0 else
        (' <group id="11" name="A">\n  <group id="12" name="B">\n' + text + '\n  </group>\n </group>'))
    v["object_group_between.tmx"] = modern(lambda c: data_xml(c, "<tile/>"), between=OBJECTS)
    v["csv.tmx"] = modern(lambda c: data_encoded(c, "csv"))
    v["csv_spacing.tmx"] = modern(
        lambda c: '  <data encoding="csv">  ' + " , ".join(str(x) for x in c) + " ,\n  </data>")
    v["base64.tmx"] = modern(lambda c: data_encoded(c, "base64"))
    v["base64_no_padding.tmx"] = modern(
        lambda c: '  <data encoding="base64">%s</data>' % base64.b64encode(raw_bytes(c)).decode().rstrip("="))
    v["base64_zlib.tmx"] = modern(lambda c: data_encoded(c, "base64", "zlib"))
    v["base64_gzip.tmx"] = modern(lambda c: data_encoded(c, "base64", "gzip"))
    v["base64_zstd.tmx"] = modern(lambda c: data_encoded(c, "base64", "zstd"))
    v["csv_in_cdata.tmx"] = modern(lambda c: '  <data encoding="csv"><![CDATA[%s]]></data>' % csv_text(c))
    return v


def refused():
    one = LAYERS[0][1]
    r = {}
    r["infinite.tmx"] = modern(
        lambda c: '  <data encoding="csv">\n   <chunk x="0" y="0" width="16" height="16">1,2</chunk>\n  </data>',
        header=MODERN_MAP.replace('infinite="0"', 'infinite="1"'))
    r["chunks_without_flag.tmx"] = modern(
        lambda c: '  <data encoding="csv">\n   <chunk x="0" y="0" width="16" height="16">1,2</chunk>\n  </data>')
    r["unclosed_element.tmx"] = classic().replace("</map>\n", "")
    r["mismatched_tag.tmx"] = classic().replace(" </layer>", " </layers>", 1)
    r["cut_off.tmx"] = classic()[:300]
    r["no_tile_size.tmx"] = modern(data_xml, header=MODERN_MAP.replace(' tilewidth="32" tileheight="16"', ""))
    r["zero_tile_size.tmx"] = modern(data_xml, header=MODERN_MAP.replace('tilewidth="32"', 'tilewidth="0"'))
    r["csv_too_few.tmx"] = modern(lambda c: data_encoded(c[:-1], "csv"))
    r["csv_too_many.tmx"] = modern(lambda c: '  <data encoding="csv">%s,1</data>' % ",".join(str(x) for x in c))
    r["xml_too_few.tmx"] = modern(lambda c: data_xml(c[:-2]))
    r["base64_partial_tile.tmx"] = modern(
        lambda c: '  <data encoding="base64">%s</data>' % base64.b64encode(raw_bytes(c) + b"\x01").decode())
    r["zlib_corrupt.tmx"] = modern(
        lambda c: '  <data encoding="base64" compression="zlib">%s</data>'
        % base64.b64encode(zlib.compress(raw_bytes(c))[:6] + b"\xff" * 20).decode())
    r["zlib_cut_short.tmx"] = modern(
        lambda c: '  <data encoding="base64" compression="zlib">%s</data>'
        % base64.b64encode(zlib.compress(raw_bytes(c))[:-8]).decode())
    r["unknown_encoding.tmx"] = modern(lambda c: '  <data encoding="base32">AAAA</data>')
    r["unknown_compression.tmx"] = modern(lambda c: '  <data encoding="base64" compression="lzma">AAAA</data>')
    r["gid_not_a_number.tmx"] = classic().replace('<tile gid="5"/>', '<tile gid="x5"/>', 1)
    r["gid_beyond_32_bits.tmx"] = classic().replace('<tile gid="5"/>', '<tile gid="4294967296"/>', 1)
    r["csv_empty_field.tmx"] = modern(lambda c: data_encoded(c, "csv").replace(",", ",,", 1))
    r["bad_base64.tmx"] = modern(lambda c: data_encoded(c, "base64").replace("A", "*", 1))
    r["not_a_map.tmx"] = DECLARATION + '\n<tileset name="tiles" tilewidth="32" tileheight="16"/>\n'
    r["width_beyond_16_bits.tmx"] = modern(data_xml, header=MODERN_MAP.replace('width="5"', 'width="70000"', 1))
    r["empty.tmx"] = ""
    r["layer_without_data.tmx"] = modern(data_xml).replace(data_xml(LAYERS[1][1]) + "\n", "")
    return r


def main():
    for name, text in variants().items():
        write(HERE, name, text)
    with open(os.path.join(HERE, "expected_entries.txt"), "w", newline="\n") as f:
        f.write("\n".join(expected_entries()) + "\n")
    os.makedirs(REFUSED, exist_ok=True)
    for name, text in refused().items():
        write(REFUSED, name, text)
    write(REFUSED, "utf16.tmx", ("\ufeff" + classic()).encode("utf-16-le"), binary=True)


if __name__ == "__main__":
    main()
