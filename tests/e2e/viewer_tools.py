#!/usr/bin/env python3
"""Checks for the viewer's end-to-end tests: decodes the TGA files the
viewer writes (independently of the program's own reader) and builds the
purpose-made scene directory whose picture has a known shape.

Usage:
  viewer_tools.py size[s] FILE...      print "WIDTH HEIGHT" of each valid RLE TGA
  viewer_tools.py nonuniform FILE      fail when every pixel has one colour
  viewer_tools.py centred FILE         fail unless the picture is a rectangle
                                       centred on black, each row its own
                                       mirror, same columns on every row
  viewer_tools.py black-outside FILE WIDTH HEIGHT
                                       fail unless every pixel outside the
                                       lower-left WIDTH x HEIGHT is black
  viewer_tools.py make-flat-scene DIR WIDTH HEIGHT
                                       a scene whose picture is such a rectangle
  viewer_tools.py same-picture FILE REFERENCE
                                       fail unless FILE matches REFERENCE (an
                                       RLE TGA, gzipped if it ends in .gz) but
                                       for rounding on a few pixels
Exits 1 with a message on standard error when a check fails.
"""

import gzip
import os
import struct
import sys


def fail(message):
    print(f"viewer_tools: {message}", file=sys.stderr)
    sys.exit(1)


def read_rle_tga(path, decode=True):
    """(width, height, rows): rows bottom first, each a list of (r, g, b);
    rows is None without decode, which only walks the packets and is cheap
    enough to poll. Only what the viewer writes is accepted: type 10, 24
    bits, no image ID, packets that end exactly at the last pixel and
    nothing after them."""
    data = (gzip.open if path.endswith(".gz") else open)(path, "rb").read()
    if len(data) < 18:
        fail(f"{path}: {len(data)} bytes, shorter than a TGA header")
    width, height, depth, descriptor = struct.unpack_from("<HHBB", data, 12)
    if (data[0], data[1], data[2], depth, descriptor) != (0, 0, 10, 24, 0):
        fail(f"{path}: header {data[:18].hex()} is not an RLE 24-bit TGA")
    total = width * height
    pixels = []
    count = 0
    at = 18
    while count < total:
        if at >= len(data):
            fail(f"{path}: pixel data ends after {count} of {total} pixels")
        packet = data[at]
        at += 1
        run = (packet & 0x7F) + 1
        if count + run > total:
            fail(f"{path}: packet runs past the last pixel")
        stored = 1 if packet & 0x80 else run
        if at + 3 * stored > len(data):
            fail(f"{path}: packet cut short after {count} of {total} pixels")
        if decode:
            triples = [tuple(data[at + 3 * i:at + 3 * i + 3][::-1]) for i in range(stored)]
            pixels.extend(triples * run if packet & 0x80 else triples)
        at += 3 * stored
        count += run
    if at != len(data):
        fail(f"{path}: {len(data) - at} bytes after the last packet")
    rows = [pixels[y * width:(y + 1) * width] for y in range(height)] if decode else None
    return width, height, rows


def is_lit(pixel):
    return max(pixel) > 8


def close(p, q):
    return max(abs(a - b) for a, b in zip(p, q)) <= 2


def check_centred(path):
    """The flat scene's picture: a lit rectangle (the water, with the bottom
    seen through it as a smaller one) centred on black. Every lit row spans
    the same columns and is its own mirror image, up to one pixel at an
    edge; the lit rows form one block centred vertically. Rows read with
    padding, or skewed, break all three at once."""
    width, height, rows = read_rle_tga(path)
    spans = []
    for y, row in enumerate(rows):
        lit = [x for x, p in enumerate(row) if is_lit(p)]
        if not lit:
            continue
        first, last = lit[0], lit[-1]
        if len(lit) != last - first + 1:
            fail(f"{path}: row {y} has dark pixels inside its lit span")
        for x in range(width):
            mirrored = [row[m] for m in (width - 2 - x, width - 1 - x, width - x)
                        if 0 <= m < width]
            if not any(close(row[x], m) for m in mirrored):
                fail(f"{path}: row {y} is not symmetric at column {x}: "
                     f"{row[x]} against {row[width - 1 - x]}")
        spans.append((y, first, last))
    if len(spans) < height // 4:
        fail(f"{path}: only {len(spans)} of {height} rows show the rectangle")
    ys = [s[0] for s in spans]
    if ys != list(range(ys[0], ys[-1] + 1)):
        fail(f"{path}: the lit rows are not one block")
    columns = {(first, last) for _, first, last in spans}
    if len(columns) != 1:
        fail(f"{path}: the rectangle's edges move from row to row: {sorted(columns)[:6]}")
    first, last = columns.pop()
    left, right = first, width - 1 - last
    if abs(left - right) > 1:
        fail(f"{path}: margins left {left} and right {right} are not equal")
    bottom, top = ys[0], height - 1 - ys[-1]
    if abs(bottom - top) > 1:
        fail(f"{path}: margins bottom {bottom} and top {top} are not equal")
    if left < 2 or bottom < 2:
        fail(f"{path}: the rectangle touches the edge of the picture")
    inner = {p for _, row in [(y, rows[y]) for y in ys] for p in row[first:last + 1]}
    if len(inner) < 2:
        fail(f"{path}: the rectangle has no inner structure")


def check_same_picture(path, reference):
    """Same size, and on at most one pixel in a thousand some channel is more
    than 3 levels off: the rasteriser's rounding may move a few edge pixels;
    a row out of place, swapped channels, a lost or moved triangle, a
    changed normal or texture coordinate move far more."""
    width, height, rows = read_rle_tga(path)
    *size, expected = read_rle_tga(reference)
    if [width, height] != size:
        fail(f"{path}: {width} x {height}, the reference is {size[0]} x {size[1]}")
    off = [(x, y) for y in range(height) for x in range(width)
           if max(abs(a - b) for a, b in zip(rows[y][x], expected[y][x])) > 3]
    if len(off) > width * height // 1000:
        x, y = off[0]
        fail(f"{path}: {len(off)} pixels differ from {reference}, the first at ({x}, {y}) "
             f"(rows from the bottom): {rows[y][x]} instead of {expected[y][x]}")


def write_tga(path, width, height, colour):
    """Uncompressed 24-bit TGA of one colour (r, g, b)."""
    header = bytes([0, 0, 2]) + bytes(9) + struct.pack("<HHBB", width, height, 24, 0)
    b = bytes([colour[2], colour[1], colour[0]])
    with open(path, "wb") as f:
        f.write(header + b * (width * height))


def write_flat_mesh(path):
    """The program's binary mesh: a square over [-1, 1]² at z = 0, normal +z,
    two counter-clockwise triangles."""
    vertices = [(-1, -1, 0), (1, -1, 0), (1, 1, 0), (-1, 1, 0)]
    header = bytes([7, 21, 0, len(vertices), 0, 2, 0])
    body = b"".join(struct.pack("<3f", *v) for v in vertices)
    body += b"".join(struct.pack("<3f", 0, 0, 1) for _ in vertices)
    body += struct.pack("<6I", 0, 1, 2, 0, 2, 3)
    with open(path, "wb") as f:
        f.write(header + body)


def make_flat_scene(directory, width, height):
    """A calm 10 × 10 basin seen from straight above: flat, one-coloured
    textures, no objects. Its picture is the water's rectangle centred in
    the window, with the bottom's smaller one seen through it."""
    os.makedirs(directory, exist_ok=True)
    files = {
        "graphics.opt": f'iScreenWidth = {width}; iScreenHeight = {height};\n'
                        'sWindowName = "Ripplex flat";\n',
        "scene.opt": "v3fCamEyeX = 0.0; v3fCamEyeY = 0.0; v3fCamEyeZ = 3.0;\n"
                     "v3fCamDirX = 0.0; v3fCamDirY = 0.0; v3fCamDirZ = -1.0;\n"
                     "v3fCamUpwX = 0.0; v3fCamUpwY = 1.0; v3fCamUpwZ = 0.0;\n",
        "simulation.opt": "iSimulationWidth = 10; iSimulationHeight = 10;\n"
                          'strBottomObjFileName = "flat.obj";\n'
                          'strWaterTextureFileName = "water.tga";\n'
                          'strBottomTextureFileName = "bottom.tga";\n',
        "events.opt": "iEventNumber = 0;\n",
    }
    for name, text in files.items():
        with open(os.path.join(directory, name), "w") as f:
            f.write(text)
    write_tga(os.path.join(directory, "water.tga"), 4, 4, (60, 120, 200))
    write_tga(os.path.join(directory, "bottom.tga"), 4, 4, (200, 180, 120))
    write_flat_mesh(os.path.join(directory, "flat.obj"))


def main(argv):
    if len(argv) >= 3 and argv[1] in ("size", "sizes"):
        for path in argv[2:]:
            print(*read_rle_tga(path, decode=False)[:2])
    elif len(argv) >= 3 and argv[1] == "nonuniform":
        _, _, rows = read_rle_tga(argv[2])
        colours = {p for row in rows for p in row}
        if len(colours) < 2:
            fail(f"{argv[2]}: every pixel is {colours}")
    elif len(argv) >= 3 and argv[1] == "centred":
        check_centred(argv[2])
    elif len(argv) >= 5 and argv[1] == "black-outside":
        width, height, rows = read_rle_tga(argv[2])
        inside_w, inside_h = int(argv[3]), int(argv[4])
        for y, row in enumerate(rows):
            for x, p in enumerate(row):
                if (x >= inside_w or y >= inside_h) and p != (0, 0, 0):
                    fail(f"{argv[2]}: pixel ({x}, {y}) outside {inside_w} x {inside_h} is {p}")
        inside = {p for row in rows[:inside_h] for p in row[:inside_w]}
        if len(inside) < 2:
            fail(f"{argv[2]}: the window's part of the frame is one colour")
    elif len(argv) >= 4 and argv[1] == "same-picture":
        check_same_picture(argv[2], argv[3])
    elif len(argv) >= 5 and argv[1] == "make-flat-scene":
        make_flat_scene(argv[2], int(argv[3]), int(argv[4]))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
