#!/usr/bin/env python3
"""Draws the module's two icons and writes them as .ico files beside this
script: quorvel.ico (a bone, icon 123) and quorvel_pose.ico (a posed figure,
icon 124), each with a 16x16 and a 32x32 image in 32-bit colour with alpha.

The build uses the .ico files as they are; run this script after changing a
drawing. Its output does not depend on the machine or the time.

    python3 ui/resources/make_icons.py
"""
import math
import os
import struct

SIZES = (16, 32)
SUPERSAMPLE = 4  # samples per pixel along each axis, for smooth edges

INK = (48, 40, 32)


# ---------------------------------------------------------------- shapes
# Every shape is a signed distance in icon units (the icon spans 0..1 on both
# axes, y downwards): negative inside, positive outside.

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def capsule(ax, ay, bx, by, r):
    """A line segment from a to b drawn with round ends, r thick each side."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def distance(x, y):
        t = ((x - ax) * dx + (y - ay) * dy) / length2
        t = min(1.0, max(0.0, t))
        return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) - r
    return distance


def union(*shapes):
    return lambda x, y: min(shape(x, y) for shape in shapes)


def polygon(points):
    """A convex polygon given counter-clockwise on screen (y down)."""
    edges = []
    for i, (ax, ay) in enumerate(points):
        bx, by = points[(i + 1) % len(points)]
        nx, ny = by - ay, ax - bx  # outward normal for this winding
        n = math.hypot(nx, ny)
        edges.append((ax, ay, bx, by, nx / n, ny / n))

    def distance(x, y):
        outside = max((x - ax) * nx + (y - ay) * ny for ax, ay, bx, by, nx, ny in edges)
        if outside <= 0:
            return outside
        # Outside: the distance to the nearest edge segment keeps corners round.
        best = float("inf")
        for ax, ay, bx, by, _, _ in edges:
            best = min(best, capsule(ax, ay, bx, by, 0.0)(x, y))
        return best
    return distance


# ---------------------------------------------------------------- drawings
# A drawing is a list of layers, painted in order: (shape, fill colour,
# outline width in icon units).

def bone_drawing():
    # The bone as the viewport shows it: a ball at the pivot and a long
    # diamond narrowing to the tip, laid diagonally.
    hx, hy = 0.24, 0.76
    tx, ty = 0.84, 0.16
    dx, dy = tx - hx, ty - hy
    length = math.hypot(dx, dy)
    ux, uy = dx / length, dy / length
    px, py = -uy, ux
    wx, wy = hx + 0.25 * dx, hy + 0.25 * dy
    half = 0.15
    diamond = polygon([(hx, hy), (wx - px * half, wy - py * half), (tx, ty),
                       (wx + px * half, wy + py * half)])
    return [
        (diamond, (238, 226, 188), 0.07),
        (circle(hx, hy, 0.15), (232, 128, 40), 0.07),
        (circle(tx, ty, 0.07), (232, 128, 40), 0.06),
    ]


def pose_drawing():
    # A figure caught in a stride, one arm raised: limbs bent at the joints
    # that a pose turns, which are marked with light dots.
    r = 0.055
    joints = {
        "neck": (0.46, 0.33), "hip": (0.52, 0.60),
        "elbow_up": (0.66, 0.28), "hand_up": (0.80, 0.10),
        "elbow_down": (0.30, 0.48), "hand_down": (0.18, 0.60),
        "knee_back": (0.36, 0.76), "foot_back": (0.26, 0.93),
        "knee_front": (0.70, 0.74), "foot_front": (0.80, 0.92),
    }
    limbs = [("neck", "hip"), ("neck", "elbow_up"), ("elbow_up", "hand_up"),
             ("neck", "elbow_down"), ("elbow_down", "hand_down"),
             ("hip", "knee_back"), ("knee_back", "foot_back"),
             ("hip", "knee_front"), ("knee_front", "foot_front")]
    figure = union(circle(0.40, 0.15, 0.11),
                   *(capsule(*joints[a], *joints[b], r) for a, b in limbs))
    layers = [(figure, (56, 104, 208), 0.05)]
    for name in ("neck", "hip", "elbow_up", "knee_front"):
        layers.append((circle(*joints[name], 0.04), (250, 236, 150), 0.0))
    return layers


# ---------------------------------------------------------------- raster

def coverage(shape, x, y, step):
    """Fraction of the pixel at (x, y) (its top-left, icon units) inside shape."""
    inside = 0
    for sy in range(SUPERSAMPLE):
        for sx in range(SUPERSAMPLE):
            if shape(x + (sx + 0.5) * step, y + (sy + 0.5) * step) < 0:
                inside += 1
    return inside / (SUPERSAMPLE * SUPERSAMPLE)


def over(dst, colour, alpha):
    """Paints colour with alpha over the premultiplied pixel dst."""
    r, g, b, a = dst
    return (colour[0] * alpha + r * (1 - alpha), colour[1] * alpha + g * (1 - alpha),
            colour[2] * alpha + b * (1 - alpha), alpha + a * (1 - alpha))


def render(layers, size):
    """Rows of (r, g, b, a) bytes, top row first."""
    pixel = 1.0 / size
    step = pixel / SUPERSAMPLE
    # Outlines keep at least one pixel so that the small image stays legible.
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            x, y = px * pixel, py * pixel
            value = (0.0, 0.0, 0.0, 0.0)
            for shape, fill, outline in layers:
                width = max(outline, pixel) if outline > 0 else 0.0
                if width > 0:
                    ring = coverage(lambda sx, sy: shape(sx, sy) - width, x, y, step)
                    value = over(value, INK, ring)
                value = over(value, fill, coverage(shape, x, y, step))
            r, g, b, a = value
            if a > 0:
                r, g, b = r / a, g / a, b / a
            row.append(tuple(int(round(c)) for c in (r, g, b, a * 255)))
        rows.append(row)
    return rows


def dib(rows):
    """One icon image: BITMAPINFOHEADER, BGRA pixels bottom-up, AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    # The mask marks fully transparent pixels, for programs that ignore alpha.
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def ico(images):
    """An .ico file holding the given {size: dib} images."""
    count = len(images)
    out = bytearray(struct.pack("<HHH", 0, 1, count))
    offset = 6 + 16 * count
    data = bytearray()
    for size, image in sorted(images.items()):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    return bytes(out + data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, drawing in (("quorvel.ico", bone_drawing()), ("quorvel_pose.ico", pose_drawing())):
        images = {size: dib(render(drawing, size)) for size in SIZES}
        with open(os.path.join(here, name), "wb") as f:
            f.write(ico(images))


if __name__ == "__main__":
    main()
