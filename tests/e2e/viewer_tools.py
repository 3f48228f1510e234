#!/usr/bin/env python3
"""Checks for the viewer's end-to-end tests: decodes the TGA files the viewer
writes (independently of the program's own reader) and builds a scene whose
picture has a known shape. Exits 1 with a message when a check fails.

  size[s] FILE...                 "WIDTH HEIGHT" of each valid run-length TGA
  nonuniform FILE                 fails when every pixel has one colour
  centred FILE                    fails unless the picture is a rectangle
                                  centred on black, the same columns lit on
                                  every row
  black-outside FILE W H          fails unless every pixel outside the
                                  lower-left W x H is black
  same-picture FILE REFERENCE     fails unless FILE matches REFERENCE (gzipped
                                  when it ends in .gz) but for rounding
  make-flat-scene DIR W H         a scene whose picture is such a rectangle
"""

import gzip
import os
import struct
import sys


def fail(message):
    sys.exit(f"viewer_tools: {message}")


def read_rle_tga(path, decode=True):
    """(width, height, rows): rows bottom first, each a list of (r, g, b),
    or None without decode (cheap enough to poll). Only what the viewer
    writes is accepted: type 10, 24 bits, no image ID, packets that end
    exactly at the last pixel and nothing after them."""
    data = (gzip.open if path.endswith(".gz") else open)(path, "rb").read()
    if len(data) < 18:
        fail(f"{path}: {len(data)} bytes, shorter than a TGA header")
    width, height, depth, descriptor = struct.unpack_from("<HHBB", data, 12)
    if (data[0], data[1], data[2], depth, descriptor) != (0, 0, 10, 24, 0):
        fail(f"{path}: header {data[:18].hex()} is not an RLE 24-bit TGA")
    total, count, at, pixels = width * height, 0, 18, []
    while count < total:
        if at >= len(data):
            fail(f"{path}: pixel data ends after {count} of {total} pixels")
        packet, at = data[at], at + 1
        run = (packet & 0x7F) + 1
        stored = 1 if packet & 0x80 else run
        if count + run > total or at + 3 * stored > len(data):
            fail(f"{path}: packet past the last pixel or cut short after {count} pixels")
        if decode:
            triples = [tuple(data[at + 3 * i:at + 3 * i + 3][::-1]) for i in range(stored)]
            pixels.extend(triples * run if packet & 0x80 else triples)
        at, count = at + 3 * stored, count + run
    if at != len(data):
        fail(f"{path}: {len(data) - at} bytes after the last packet")
    return width, height, [pixels[y * width:(y + 1) * width] for y in range(height)] if decode else None


def check_centred(path):
    """The flat scene's picture: a lit rectangle (the water, the bottom seen
    through it) centred on black. The lit rows form one block centred
    vertically, each spans the same columns, centred horizontally, up to a
    pixel. Rows read with padding, or skewed, break this at once."""
    width, height, rows = read_rle_tga(path)
    spans = {}
    for y, row in enumerate(rows):
        lit = [x for x, p in enumerate(row) if max(p) > 8]
        if lit and len(lit) != lit[-1] - lit[0] + 1:
            fail(f"{path}: row {y} has dark pixels inside its lit span")
        if lit:
            spans[y] = (lit[0], lit[-1])
    ys = sorted(spans)
    if len(ys) < height // 4 or ys != list(range(ys[0], ys[-1] + 1)):
        fail(f"{path}: the lit rows are not one block of at least a quarter of the picture")
    if len(set(spans.values())) != 1:
        fail(f"{path}: the rectangle's edges move from row to row: {sorted(set(spans.values()))[:6]}")
    first, last = spans[ys[0]]
    if abs(first - (width - 1 - last)) > 1 or abs(ys[0] - (height - 1 - ys[-1])) > 1 or min(first, ys[0]) < 2:
        fail(f"{path}: the rectangle {first}..{last} x {ys[0]}..{ys[-1]} is not centred in {width} x {height}")


def check_same_picture(path, reference):
    """Same size, and on at most one pixel in a thousand some channel is more
    than 3 levels off: the rasteriser's rounding may move a few edge pixels;
    a row out of place, swapped channels, a lost or moved triangle, a changed
    normal or texture coordinate move far more."""
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


def make_flat_scene(directory, width, height):
    """A calm 10 x 10 basin seen from straight above: flat one-coloured
    textures, a flat square bottom over [-1, 1]² (the program's binary mesh,
    two counter-clockwise triangles), no objects."""
    os.makedirs(directory, exist_ok=True)
    files = {
        "graphics.opt": f'iScreenWidth = {width}; iScreenHeight = {height}; sWindowName = "Ripplex flat";',
        "scene.opt": "v3fCamEyeX = 0.0; v3fCamEyeY = 0.0; v3fCamEyeZ = 3.0; v3fCamDirX = 0.0;"
                     "v3fCamDirY = 0.0; v3fCamDirZ = -1.0; v3fCamUpwX = 0.0; v3fCamUpwY = 1.0; v3fCamUpwZ = 0.0;",
        "simulation.opt": 'iSimulationWidth = 10; iSimulationHeight = 10; strBottomObjFileName = "flat.obj";'
                          'strWaterTextureFileName = "water.tga"; strBottomTextureFileName = "bottom.tga";',
        "events.opt": "iEventNumber = 0;",
    }
    for name, text in files.items():
        with open(os.path.join(directory, name), "w") as f:
            f.write(text + "\n")
    for name, colour in (("water.tga", (60, 120, 200)), ("bottom.tga", (200, 180, 120))):
        with open(os.path.join(directory, name), "wb") as f:
            f.write(bytes([0, 0, 2]) + bytes(9) + struct.pack("<HHBB", 4, 4, 24, 0) + bytes(colour[::-1]) * 16)
    corners = [(-1, -1, 0), (1, -1, 0), (1, 1, 0), (-1, 1, 0)]
    with open(os.path.join(directory, "flat.obj"), "wb") as f:
        f.write(bytes([7, 21, 0, 4, 0, 2, 0]) + b"".join(struct.pack("<3f", *v) for v in corners)
                + struct.pack("<3f", 0, 0, 1) * 4 + struct.pack("<6I", 0, 1, 2, 0, 2, 3))


def main(argv):
    command, args = (argv[1], argv[2:]) if len(argv) > 2 else (None, [])
    if command in ("size", "sizes"):
        for path in args:
            print(*read_rle_tga(path, decode=False)[:2])
    elif command == "nonuniform":
        if len({p for row in read_rle_tga(args[0])[2] for p in row}) < 2:
            fail(f"{args[0]}: every pixel has one colour")
    elif command == "centred":
        check_centred(args[0])
    elif command == "black-outside" and len(args) == 3:
        _, _, rows = read_rle_tga(args[0])
        w, h = int(args[1]), int(args[2])
        outside = [(x, y) for y, row in enumerate(rows) for x, p in enumerate(row)
                   if (x >= w or y >= h) and p != (0, 0, 0)]
        if outside or len({p for row in rows[:h] for p in row[:w]}) < 2:
            fail(f"{args[0]}: lit outside {w} x {h} at {outside[:3]}, or one colour inside")
    elif command == "same-picture" and len(args) == 2:
        check_same_picture(*args)
    elif command == "make-flat-scene" and len(args) == 3:
        make_flat_scene(args[0], int(args[1]), int(args[2]))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
