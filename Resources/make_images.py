#!/usr/bin/env python3
"""Draws the images compiled into Lumidesk (title-bar buttons, fold arrows, icons).

Standard library only: every picture is a stack of filled shapes, sampled 4 x 4 per pixel
for smooth edges and written as an 8-bit RGBA PNG.

    make_images.py            write the PNGs next to this script
    make_images.py --check    exit 1 when a committed PNG no longer matches its drawing
"""

import math
import os
import struct
import sys
import zlib

SAMPLES = 4  # per axis


# ---- shapes: each is a function (x, y) -> bool in pixel coordinates ----

def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_in, r_out):
    return lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def arc(cx, cy, r, width, a0, a1):
    """Part of a ring of the given stroke width between angles a0..a1 (degrees, y down)."""
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if abs(d - r) > width / 2:
            return False
        a = math.degrees(math.atan2(y - cy, x - cx))
        return a0 <= a <= a1
    return inside


def segment(x0, y0, x1, y1, width):
    """A stroke with round caps."""
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy or 1e-9
    half2 = (width / 2) ** 2

    def inside(x, y):
        t = min(max(((x - x0) * dx + (y - y0) * dy) / length2, 0.0), 1.0)
        px, py = x0 + t * dx - x, y0 + t * dy - y
        return px * px + py * py <= half2
    return inside


def polyline(points, width):
    parts = [segment(*a, *b, width) for a, b in zip(points, points[1:])]
    return lambda x, y: any(p(x, y) for p in parts)


def polygon(points):
    """Even-odd fill."""
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


# ---- rendering ----

def render(width, height, layers):
    """layers: (shape, (r, g, b, a)) painted bottom to top. Returns RGBA rows."""
    rows = []
    step = 1.0 / SAMPLES
    offsets = [(i + 0.5) * step for i in range(SAMPLES)]
    n = SAMPLES * SAMPLES
    for py in range(height):
        row = bytearray()
        for px in range(width):
            # Premultiplied accumulation over all samples.
            acc = [0.0, 0.0, 0.0, 0.0]
            for oy in offsets:
                for ox in offsets:
                    x, y = px + ox, py + oy
                    r = g = b = a = 0.0
                    for shape, (lr, lg, lb, la) in layers:
                        if shape(x, y):
                            f = la / 255.0
                            r = lr * f + r * (1 - f)
                            g = lg * f + g * (1 - f)
                            b = lb * f + b * (1 - f)
                            a = f + a * (1 - f)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            alpha = acc[3] / n
            if alpha <= 0:
                row += bytes(4)
                continue
            row += bytes([round(acc[0] / n / alpha), round(acc[1] / n / alpha),
                          round(acc[2] / n / alpha), round(alpha * 255)])
        rows.append(bytes(row))
    return rows


def png_bytes(width, height, rows):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\x00" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def png_pixels(data):
    """The unfiltered RGBA rows of a PNG this script wrote (filter 0 only)."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    pos, idat, size = 8, b"", None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            size = struct.unpack(">II", body[:8])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    width, height = size
    stride = width * 4 + 1
    if any(raw[i * stride] != 0 for i in range(height)):
        return None
    return size, [raw[i * stride + 1:(i + 1) * stride] for i in range(height)]


# ---- the pictures ----

GLYPH_DARK = (48, 48, 48, 255)
WHITE = (255, 255, 255, 255)
CLOSE_RED = (214, 58, 52, 255)
CLOSE_RED_DOWN = (160, 36, 32, 255)


def title_button(glyph, state, close=False):
    """50 x 25 button on the grey title bar: normal, hover ("press") or pressed ("selected")."""
    w, h = 50, 25
    face = rounded_rect(1, 1, w - 1, h - 1, 3)
    layers = []
    if state == "press":
        layers.append((face, CLOSE_RED if close else (255, 255, 255, 90)))
    elif state == "selected":
        layers.append((face, CLOSE_RED_DOWN if close else (0, 0, 0, 70)))
    colour = WHITE if close and state != "normal" else GLYPH_DARK
    layers.append((glyph, colour))
    return w, h, layers


MIN_GLYPH = segment(20, 13, 30, 13, 1.6)
MAX_GLYPH = minus(rect(19.5, 7.5, 30.5, 18.5), rect(21, 10, 29, 17))
CLOSE_GLYPH = union(segment(20, 7.5, 30, 17.5, 1.6), segment(30, 7.5, 20, 17.5, 1.6))


def fold_arrow(direction):
    """Small dark tab with a light triangle; left/right are 14 x 22, up/down 22 x 14."""
    if direction in ("left", "right"):
        w, h = 14, 22
        tip = {"left": [(4, 11), (10, 6), (10, 16)], "right": [(10, 11), (4, 6), (4, 16)]}
    else:
        w, h = 22, 14
        tip = {"up": [(11, 4), (6, 10), (16, 10)], "down": [(11, 10), (6, 4), (16, 4)]}
    return w, h, [(rounded_rect(0, 0, w, h, 3), (93, 93, 93, 230)),
                  (polygon(tip[direction]), (235, 235, 235, 255))]


# Depth colours from near to far, as the depth view paints them.
RAINBOW = [(220, 40, 40), (245, 150, 30), (240, 220, 40), (70, 190, 80), (40, 120, 220), (110, 60, 190)]


def lens(cx, cy, r):
    """Concentric rainbow rings: the mark of a depth camera."""
    layers = [(circle(cx, cy, r), (40, 40, 44, 255))]
    inner = r * 0.82
    band = inner / len(RAINBOW)
    for i, colour in enumerate(RAINBOW):
        layers.append((circle(cx, cy, inner - i * band), colour + (255,)))
    layers.append((circle(cx, cy, band * 0.9), (25, 25, 28, 255)))
    layers.append((circle(cx - r * 0.3, cy - r * 0.3, r * 0.14), (255, 255, 255, 170)))
    return layers


# Stroke font on a grid 0..4 wide, 0..6 high: just the letters the icon needs.
LETTERS = {
    "T": ([[(0, 0), (4, 0)], [(2, 0), (2, 6)]], 4),
    "A": ([[(0, 6), (2, 0), (4, 6)], [(0.75, 3.8), (3.25, 3.8)]], 4),
    "R": ([[(0, 6), (0, 0), (2.9, 0), (4, 0.9), (4, 2.1), (2.9, 3), (0, 3)], [(2.2, 3), (4, 6)]], 4),
    "V": ([[(0, 0), (2, 6), (4, 0)]], 4),
    "I": ([[(0, 0), (0, 6)]], 0),
    "K": ([[(0, 0), (0, 6)], [(3.8, 0), (0, 3.6)], [(1.4, 2.4), (4, 6)]], 4),
}


def text(word, x, y, scale, width):
    shapes = []
    for ch in word:
        strokes, advance = LETTERS[ch]
        for stroke in strokes:
            shapes.append(polyline([(x + px * scale, y + py * scale) for px, py in stroke], width))
        x += (advance + 1.6) * scale
    return union(*shapes)


def title_icon():
    """80 x 32 mark at the left of the title bar."""
    w, h = 80, 32
    layers = lens(15, 16, 12)
    layers.append((text("TARVIK", 31, 11, 1.75, 1.7), (36, 36, 40, 255)))
    layers.append((segment(31, 25, 75, 25, 1.0), (36, 36, 40, 120)))
    return w, h, layers


def window_icon():
    """64 x 64 icon for the window and the task bar."""
    w = h = 64
    layers = [(rounded_rect(1, 1, 63, 63, 12), (170, 170, 170, 255)),
              (minus(rounded_rect(1, 1, 63, 63, 12), rounded_rect(3, 3, 61, 61, 10)), (93, 93, 93, 255))]
    layers += lens(32, 32, 23)
    return w, h, layers


def scan_icon(grey):
    """94 x 34 icon of the scan button: a camera sending out search waves."""
    w, h = 94, 34
    body = (150, 150, 150, 255) if grey else (52, 110, 180, 255)
    wave = (165, 165, 165, 255) if grey else (60, 160, 220, 255)
    glass = (205, 205, 205, 255) if grey else (230, 240, 250, 255)
    layers = [(rounded_rect(18, 10, 52, 26, 4), body),
              (rect(30, 7, 40, 11), body),
              (circle(29, 18, 5.2), glass),
              (circle(29, 18, 2.6), body),
              (circle(43, 18, 2.2), glass)]
    for i, r in enumerate((8, 13, 18)):
        layers.append((arc(56, 18, r, 2.2, -42, 42), wave[:3] + (255 - 55 * i,)))
    return w, h, layers


def dialog_close():
    """24 x 24 close cross for the frameless upgrade dialogs."""
    return 24, 24, [(union(segment(7, 7, 17, 17, 2.0), segment(17, 7, 7, 17, 2.0)), GLYPH_DARK)]


def file_open():
    """24 x 24 folder for the file choosers of the upgrade dialogs."""
    back = polygon([(2, 5), (9, 5), (11, 7.5), (22, 7.5), (22, 20), (2, 20)])
    front = polygon([(2, 20), (5, 11), (23.5, 11), (20.5, 20)])
    return 24, 24, [(back, (200, 150, 40, 255)), (front, (240, 195, 75, 255))]


def images():
    out = {}
    for name, glyph in (("minimize", MIN_GLYPH), ("maximize", MAX_GLYPH), ("close", CLOSE_GLYPH)):
        for state in ("normal", "press", "selected"):
            out["bt_%s_%s.png" % (name, state)] = title_button(glyph, state, close=name == "close")
    for direction in ("left", "right", "up", "down"):
        out["%s.png" % direction] = fold_arrow(direction)
    out["tarvik_icon.png"] = title_icon()
    out["lumidesk.png"] = window_icon()
    out["dialog_close.png"] = dialog_close()
    out["file_open.png"] = file_open()
    out["Skin/navigation_userguide_normal.png"] = scan_icon(grey=False)
    out["Skin/navigation_userguide_grayed.png"] = scan_icon(grey=True)
    return out


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    check = "--check" in argv[1:]
    stale = []
    for name, (w, h, layers) in sorted(images().items()):
        rows = render(w, h, layers)
        path = os.path.join(here, name)
        if check:
            try:
                with open(path, "rb") as f:
                    found = png_pixels(f.read())
            except OSError:
                found = None
            if found != ((w, h), rows):
                stale.append(name)
            continue
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(png_bytes(w, h, rows))
    if stale:
        print("out of date (run %s): %s" % (os.path.basename(argv[0]), ", ".join(stale)), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
