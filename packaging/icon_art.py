"""The application icon as a vector drawing, and the few tools to export it.

The drawing is a list of filled shapes on a 256 x 256 canvas. The same shapes
become the scalable SVG, the PNG sizes of the hicolor theme and, for the window
icon, a small XPM with a limited palette, so every picture of the icon agrees.
Only the Python 3 standard library is used.
"""

import math
import struct
import zlib

CANVAS = 256

# Colours (RGBA, 0-255).
PIN = (196, 202, 208, 255)
PIN_SHADE = (120, 128, 136, 255)
BODY = (38, 42, 50, 255)
BODY_EDGE = (14, 16, 20, 255)
BODY_LIGHT = (62, 68, 80, 255)
SEGMENT = (255, 176, 32, 255)
CELL = (46, 160, 90, 255)
CELL_LIT = (120, 230, 140, 255)


def _rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def _rounded_rect(x0, y0, x1, y1, r, steps=8):
    points = []
    corners = [(x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0),
               (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180)]
    for cx, cy, start in corners:
        for i in range(steps + 1):
            a = math.radians(start + 90 * i / steps)
            points.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return points


def _circle(cx, cy, r, steps=32):
    return [(cx + r * math.cos(2 * math.pi * i / steps),
             cy + r * math.sin(2 * math.pi * i / steps)) for i in range(steps)]


# Seven-segment digits: which of the segments a..g each character lights.
_SEGMENTS = {"H": "bcefg", "C": "adef", "1": "bc", "2": "abdeg"}


def _segment_shapes(text, x, y, w, h, t, gap):
    """Seven-segment glyphs, each w wide and h high, strokes t thick."""
    shapes = []
    half = h / 2
    for ch in text:
        lit = _SEGMENTS[ch]
        boxes = {
            "a": (x + t, y, x + w - t, y + t),
            "g": (x + t, y + half - t / 2, x + w - t, y + half + t / 2),
            "d": (x + t, y + h - t, x + w - t, y + h),
            "f": (x, y + t, x + t, y + half - t / 2),
            "b": (x + w - t, y + t, x + w, y + half - t / 2),
            "e": (x, y + half + t / 2, x + t, y + h - t),
            "c": (x + w - t, y + half + t / 2, x + w, y + h - t),
        }
        for s in lit:
            x0, y0, x1, y1 = boxes[s]
            # A small inset keeps neighbouring segments apart, as on a display.
            inset = t * 0.08
            if s in "agd":
                shapes.append((_rect(x0 + inset, y0, x1 - inset, y1), SEGMENT))
            else:
                shapes.append((_rect(x0, y0 + inset, x1, y1 - inset), SEGMENT))
        x += w + gap
    return shapes


def shapes():
    """The icon: a quad-flat-package chip showing "HC12" and a row of memory cells.

    Returns (polygon, colour) pairs, painted in order, on the 256 x 256 canvas.
    """
    out = []
    # Pins: six on each side of the package.
    lo, hi, pins = 58, 198, 6
    pitch = (hi - lo) / (pins - 1)
    pw = 13
    for i in range(pins):
        c = lo + i * pitch
        out.append((_rect(c - pw / 2, 14, c + pw / 2, 44), PIN))
        out.append((_rect(c - pw / 2, 212, c + pw / 2, 242), PIN))
        out.append((_rect(14, c - pw / 2, 44, c + pw / 2), PIN))
        out.append((_rect(212, c - pw / 2, 242, c + pw / 2), PIN))
        out.append((_rect(c - pw / 2, 36, c + pw / 2, 44), PIN_SHADE))
        out.append((_rect(c - pw / 2, 212, c + pw / 2, 220), PIN_SHADE))
        out.append((_rect(36, c - pw / 2, 44, c + pw / 2), PIN_SHADE))
        out.append((_rect(212, c - pw / 2, 220, c + pw / 2), PIN_SHADE))
    # Package body with a dark rim and a lighter top face.
    out.append((_rounded_rect(32, 32, 224, 224, 18), BODY_EDGE))
    out.append((_rounded_rect(38, 38, 218, 218, 14), BODY))
    out.append((_rounded_rect(46, 46, 210, 134, 10), BODY_LIGHT))
    # "HC12" in seven-segment digits.
    out += _segment_shapes("HC12", 55, 58, 32, 66, 9, 6)
    # The EEPROM: a row of cells, the last ones being written.
    cells, cx0, cx1, cy0, cy1 = 5, 54, 202, 150, 198
    cw = (cx1 - cx0 - (cells - 1) * 8) / cells
    for i in range(cells):
        x = cx0 + i * (cw + 8)
        colour = CELL_LIT if i >= cells - 2 else CELL
        out.append((_rounded_rect(x, cy0, x + cw, cy1, 5, 4), colour))
    return out


# --- raster -----------------------------------------------------------------

def _coverage(polygon, size, sub):
    """Area coverage (0..1) of one polygon per pixel at the given size.

    Vertical anti-aliasing by sub scanlines per pixel, horizontal by exact span
    ends, which is plenty for an icon made of straight edges.
    """
    scale = size / CANVAS
    pts = [(x * scale, y * scale) for x, y in polygon]
    cov = [0.0] * (size * size)
    edges = list(zip(pts, pts[1:] + pts[:1]))
    ymin = max(0, int(min(p[1] for p in pts)))
    ymax = min(size - 1, int(max(p[1] for p in pts)) + 1)
    w = 1.0 / sub
    for py in range(ymin, ymax + 1):
        for s in range(sub):
            y = py + (s + 0.5) / sub
            xs = []
            for (x0, y0), (x1, y1) in edges:
                if (y0 <= y < y1) or (y1 <= y < y0):
                    xs.append(x0 + (y - y0) * (x1 - x0) / (y1 - y0))
            xs.sort()
            for a, b in zip(xs[0::2], xs[1::2]):
                a = max(a, 0.0)
                b = min(b, float(size))
                if b <= a:
                    continue
                ia, ib = int(a), int(b)
                row = py * size
                if ia == ib:
                    cov[row + ia] += (b - a) * w
                    continue
                cov[row + ia] += (ia + 1 - a) * w
                for px in range(ia + 1, min(ib, size)):
                    cov[row + px] += w
                if ib < size:
                    cov[row + ib] += (b - ib) * w
    return cov


def render(size):
    """The icon as size x size straight-alpha RGBA floats (0..1), row by row."""
    sub = 16
    pixels = [(0.0, 0.0, 0.0, 0.0)] * (size * size)
    for polygon, colour in shapes():
        cr, cg, cb, ca = (c / 255.0 for c in colour)
        cov = _coverage(polygon, size, sub)
        for i, c in enumerate(cov):
            if c <= 0.0:
                continue
            a = min(c, 1.0) * ca
            r, g, b, da = pixels[i]
            oa = a + da * (1 - a)
            if oa <= 0:
                continue
            pixels[i] = ((cr * a + r * da * (1 - a)) / oa,
                         (cg * a + g * da * (1 - a)) / oa,
                         (cb * a + b * da * (1 - a)) / oa, oa)
    return pixels


def _to_bytes(pixels):
    return [tuple(int(round(max(0.0, min(1.0, v)) * 255)) for v in p) for p in pixels]


def png_bytes(size):
    """The icon at size x size as an RGBA PNG file."""
    rgba = _to_bytes(render(size))
    raw = bytearray()
    for y in range(size):
        raw.append(0)  # filter type: none
        for p in rgba[y * size:(y + 1) * size]:
            raw += bytes(p)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def svg_text():
    """The icon as a scalable SVG document."""
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             f'<svg xmlns="http://www.w3.org/2000/svg" width="{CANVAS}" height="{CANVAS}" '
             f'viewBox="0 0 {CANVAS} {CANVAS}">']
    for polygon, (r, g, b, a) in shapes():
        d = "M" + " L".join(f"{x:.2f},{y:.2f}" for x, y in polygon) + " Z"
        opacity = "" if a == 255 else f' fill-opacity="{a / 255:.3f}"'
        lines.append(f'  <path fill="#{r:02x}{g:02x}{b:02x}"{opacity} d="{d}"/>')
    lines.append("</svg>")
    return "\n".join(lines) + "\n"


def xpm_text(name, size=32, colours=16):
    """The icon as XPM source (a C array called name) with at most colours entries.

    One entry is the transparent colour "None"; the others are the most frequent
    opaque colours after rounding, every pixel mapped to the nearest of them.
    """
    rgba = _to_bytes(render(size))
    counts = {}
    for r, g, b, a in rgba:
        if a >= 128:
            key = (r >> 3 << 3, g >> 3 << 3, b >> 3 << 3)
            counts[key] = counts.get(key, 0) + 1
    palette = [c for c, _ in sorted(counts.items(), key=lambda kv: -kv[1])][:colours - 1]

    def nearest(p):
        return min(range(len(palette)),
                   key=lambda i: sum((palette[i][k] - p[k]) ** 2 for k in range(3)))

    keys = "abcdefghijklmnopqrstuvwxyz"
    rows = []
    for y in range(size):
        row = ""
        for r, g, b, a in rgba[y * size:(y + 1) * size]:
            row += " " if a < 128 else keys[nearest((r, g, b))]
        rows.append(row)
    out = ["/* XPM */", f"static const char* const {name}[] = {{",
           f'"{size} {size} {len(palette) + 1} 1",', '"  c None",']
    for i, (r, g, b) in enumerate(palette):
        out.append(f'"{keys[i]} c #{r:02X}{g:02X}{b:02X}",')
    out += [f'"{row}",' for row in rows[:-1]] + [f'"{rows[-1]}"', "};"]
    return "\n".join(out) + "\n"
