#!/usr/bin/env python3
"""Renders the artwork's SVG sources into the PNGs that are committed.

Needs rsvg-convert (Debian package librsvg2-bin) and Python 3's standard
library only. The build does not run this; run it after changing an SVG:

    resources/render.py            # writes car.png and icon-<size>.png
    resources/render.py --preview  # also writes 8x enlarged icons to /tmp

The car picture is written as 24-bit RGB on white (the pointer is drawn into
it with an exclusive-or pen, so it must have no alpha channel); the icons
keep their transparent corners.
"""

import os
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ICON_SIZES = (16, 32, 48, 64, 128, 256)


def read_png(path):
    """Returns (width, height, channels, rows of bytes) of an 8-bit RGB/RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos : pos + 8])
        body = data[pos + 8 : pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError(f"{path}: only 8-bit non-interlaced RGB/RGBA is handled")
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1 : start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            upleft = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - upleft
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upleft)
                pred = left if pa <= pb and pa <= pc else (up if pb <= pc else upleft)
                line[i] = (line[i] + pred) & 0xFF
        rows.append(bytes(line))
        previous = line
    return width, height, channels, rows


def write_png(path, width, height, channels, rows):
    def chunk(kind, body):
        crc = zlib.crc32(kind + body) & 0xFFFFFFFF
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", crc)

    colour = 2 if channels == 3 else 6
    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def flatten_on_white(rows, channels):
    if channels == 3:
        return rows
    out = []
    for row in rows:
        line = bytearray()
        for i in range(0, len(row), 4):
            a = row[i + 3]
            for c in row[i : i + 3]:
                line.append((c * a + 255 * (255 - a) + 127) // 255)
        out.append(bytes(line))
    return out


def rsvg(svg, png, size=None):
    args = ["rsvg-convert", "--background-color=none"]
    if size:
        args += ["-w", str(size), "-h", str(size)]
    subprocess.run(args + ["-o", png, svg], check=True)


def enlarge(rows, channels, factor):
    out = []
    for row in rows:
        line = b"".join(row[i : i + channels] * factor for i in range(0, len(row), channels))
        out.extend([line] * factor)
    return out


def main():
    preview = "--preview" in sys.argv[1:]
    with tempfile.TemporaryDirectory() as tmp:
        raw = os.path.join(tmp, "car.png")
        rsvg(os.path.join(HERE, "car.svg"), raw)
        w, h, ch, rows = read_png(raw)
        if (w, h) != (150, 150):
            raise SystemExit(f"car.svg renders as {w}x{h}, not 150x150")
        write_png(os.path.join(HERE, "car.png"), w, h, 3, flatten_on_white(rows, ch))

        for size in ICON_SIZES:
            out = os.path.join(HERE, f"icon-{size}.png")
            rsvg(os.path.join(HERE, "icon.svg"), out, size)
            if preview and size <= 64:
                w, h, ch, rows = read_png(out)
                rows = enlarge(flatten_on_white(rows, ch), 3, 256 // size)
                write_png(f"/tmp/tessaro-icon-{size}-preview.png", 256, 256, 3, rows)


if __name__ == "__main__":
    main()
