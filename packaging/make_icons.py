#!/usr/bin/env python3
"""Exports the window icon for the desktop: the PNG sizes of the hicolor theme, a
scalable SVG and the Windows icon file (hc12prog.ico, built into hc12prog.exe), all from the very drawing that resources/make_images.py makes for the
window (its icon(), 32 x 32 pixels), so the menu, the task bar and the window show
the same picture.

    packaging/make_icons.py            # rewrites packaging/icons/
    packaging/make_icons.py --check    # exit status 1 when packaging/icons/ is stale

Larger sizes repeat every pixel (pixel art stays crisp), 48 x 48 is made at 96 x 96
and halved, 16 x 16 averages 2 x 2 blocks. The output is committed, so building and
installing need no Python. Standard library only.
"""

import importlib.util
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SIZES = (16, 32, 48, 64, 128, 256)
NAME = "hc12prog"


def load_window_icon():
    """The window icon as rows of (r, g, b, a) bytes, drawn by make_images.icon()."""
    module_spec = importlib.util.spec_from_file_location(
        "make_images", os.path.join(ROOT, "resources", "make_images.py"))
    images = importlib.util.module_from_spec(module_spec)
    module_spec.loader.exec_module(images)
    drawn = []
    # Take the canvas instead of letting it write the window's XPM file.
    images.Canvas.write_xpm = lambda canvas, name: drawn.append(canvas)
    images.icon()
    canvas = drawn[0]

    def rgba(key):
        colour = images.PALETTE[key]
        if colour is None:
            return (0, 0, 0, 0)
        return (int(colour[1:3], 16), int(colour[3:5], 16), int(colour[5:7], 16), 255)

    return [[rgba(key) for key in row] for row in canvas.px]


def repeat(pixels, factor):
    return [[p for p in row for _ in range(factor)] for row in pixels for _ in range(factor)]


def halve(pixels):
    """2 x 2 box average with premultiplied alpha, so no dark fringes."""
    out = []
    for y in range(0, len(pixels), 2):
        row = []
        for x in range(0, len(pixels[0]), 2):
            block = [pixels[y][x], pixels[y][x + 1], pixels[y + 1][x], pixels[y + 1][x + 1]]
            a = sum(p[3] for p in block)
            if a == 0:
                row.append((0, 0, 0, 0))
                continue
            row.append(tuple(round(sum(p[k] * p[3] for p in block) / a) for k in range(3))
                       + (round(a / 4),))
        out.append(row)
    return out


def at_size(icon, size):
    base = len(icon)
    if size == base:
        return icon
    if size % base == 0:
        return repeat(icon, size // base)
    if (2 * size) % base == 0:
        return halve(repeat(icon, 2 * size // base))
    raise ValueError(f"no scaling from {base} to {size}")


def png(pixels):
    height, width = len(pixels), len(pixels[0])
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter: none
        for p in row:
            raw += bytes(p)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def dib(pixels):
    """An icon image as Windows keeps it: a 32-bit BGRA bitmap, bottom row first,
    then the 1-bit mask (set where the pixel is transparent), rows padded to 4 bytes."""
    height, width = len(pixels), len(pixels[0])
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    mask = bytearray()
    stride = (width + 31) // 32 * 4
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, (r, g, b, a) in enumerate(row):
            colour += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(colour) + bytes(mask)


def ico(icon, sizes):
    """Bitmaps up to 48 pixels (every Windows version reads those), PNG above."""
    images = [(s, dib(at_size(icon, s)) if s <= 48 else png(at_size(icon, s))) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in images:
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def svg(icon):
    """One rectangle per run of equal pixels in a row, edges kept sharp."""
    size = len(icon)
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             f'<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" '
             f'viewBox="0 0 {size} {size}" shape-rendering="crispEdges">']
    for y, row in enumerate(icon):
        x = 0
        while x < len(row):
            end = x
            while end < len(row) and row[end] == row[x]:
                end += 1
            r, g, b, a = row[x]
            if a:
                lines.append(f'  <rect x="{x}" y="{y}" width="{end - x}" height="1" '
                             f'fill="#{r:02x}{g:02x}{b:02x}"/>')
            x = end
    lines.append("</svg>")
    return ("\n".join(lines) + "\n").encode()


def outputs():
    icon = load_window_icon()
    files = {f"{NAME}-{s}.png": png(at_size(icon, s)) for s in SIZES}
    files[f"{NAME}.svg"] = svg(icon)
    files[f"{NAME}.ico"] = ico(icon, (16, 32, 48, 256))
    return files


def main(argv):
    folder = os.path.join(HERE, "icons")
    check = "--check" in argv[1:]
    stale = []
    for name, data in outputs().items():
        path = os.path.join(folder, name)
        if check:
            try:
                with open(path, "rb") as f:
                    current = f.read() == data
            except FileNotFoundError:
                current = False
            if not current:
                stale.append(name)
        else:
            os.makedirs(folder, exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
    if stale:
        print("packaging/icons/ differs from the window icon: " + ", ".join(stale)
              + " (run packaging/make_icons.py)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
