#!/usr/bin/env python3
"""Writes the hand-made regression inputs of the fuzz corpora.

Each input belongs to a class that breaks parsers: truncation at every
header byte, length fields larger than the data, zero and maximal sizes,
run-length packets that run past the image, indices out of range, NUL
bytes, a 64 KiB line, unterminated quotes and comments, numbers that
overflow 32 bits. The output is deterministic; run it from anywhere:

    python3 fuzz/make_corpus.py

Seeds copied from default/ and crash inputs found by the fuzzers live
beside these files and are never rewritten by this script.
"""
import os
import struct

ROOT = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(ROOT, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# --------------------------------------------------------------------------
# Option files
def options():
    o = lambda name, text: write("options", "bad-" + name, text)
    o("empty", "")
    o("only-whitespace", " \t\r\n\r\n  ")
    o("only-comments", "// a\n/* b */ // c")
    o("cr-only", "iX = 1;\riY = 2;\r")
    o("crlf", "iX = 1;\r\niY = 2;\r\n")
    o("unterminated-quote", 'sName = "abc;\n')
    o("unterminated-block-comment", "iX = 1; /* never closed")
    o("comment-inside-statement-open", "iX = /* open")
    o("lone-slash-at-end", "iX = 1; /")
    o("slash-other", "/x iX = 1;")
    o("nul-in-name", "i\0X = 1;")
    o("nul-in-value", "iX = 1\0 2;")
    o("nul-in-quote", 'sX = "a\0b";')
    o("line-64k", "iX = " + "9" * 65536 + ";")
    o("comment-64k", "// " + "c" * 65536 + "\niX = 1;")
    o("comment-2047", "//" + "c" * 2047 + "\niX = 1;")
    o("comment-2048", "//" + "c" * 2048 + "\niX = 1;")
    o("token-2047", "iX = \"" + "q" * 2046 + "\";")
    o("token-2048", "iX = \"" + "q" * 2047 + "\";")
    o("name-64k", "n" * 65536 + " = 1;")
    o("int-overflow", "iX = 99999999999999999999999;")
    o("int-min-overflow", "iX = -2147483649;")
    o("hex-overflow", "iX = 0xFFFFFFFFFFFF;")
    o("hex-empty", "iX = 0x;")
    o("lone-minus", "iX = -;")
    o("minus-letter", "iX = -x;")
    o("double-huge", "dX = 1.0e999999;")
    o("double-tiny", "dX = 1.0e-999999;")
    o("double-nan-word", "dX = -nan.;")
    o("double-inf-word", "dX = -inf.;")
    o("stray-semicolon", "iX = 1;;")
    o("missing-equals", "iX 1;")
    o("missing-semicolon", "iX = 1\niY = 2;")
    o("equals-only", "=")
    o("cut-after-equals", "iX =")
    o("binary-junk", bytes(range(256)) * 4)
    o("high-bytes", "s\xe9 = \"\xe9t\xe9\";")
    o("quoted-name", '"name = 1;')
    o("many-statements", "".join("iX%d = %d;\n" % (i, i) for i in range(2000)))


# --------------------------------------------------------------------------
# TGA files
def tga_header(image_type=2, width=2, height=2, depth=24, id_length=0,
               colormap_type=0):
    return (bytes([id_length, colormap_type, image_type]) + bytes(9) +
            struct.pack("<HHBB", width, height, depth, 0))


def tga():
    t = lambda name, data: write("tga", "bad-" + name, data)
    good = tga_header() + bytes(range(12))
    for cut in range(0, 18):
        t("truncated-header-%02d" % cut, good[:cut])
    t("truncated-pixels", good[:20])
    t("type-1", tga_header(image_type=1) + bytes(12))
    t("type-3", tga_header(image_type=3) + bytes(12))
    t("type-0", tga_header(image_type=0))
    t("depth-16", tga_header(depth=16) + bytes(8))
    t("depth-8", tga_header(depth=8) + bytes(4))
    t("depth-0", tga_header(depth=0))
    t("depth-255", tga_header(depth=255) + bytes(64))
    t("zero-width", tga_header(width=0) + bytes(12))
    t("zero-height", tga_header(height=0) + bytes(12))
    t("zero-both", tga_header(width=0, height=0))
    t("max-size", tga_header(width=0xFFFF, height=0xFFFF, depth=32) + bytes(16))
    t("max-size-rle", tga_header(10, 0xFFFF, 0xFFFF, 24) + bytes([0xFF, 1, 2, 3]))
    t("id-longer-than-file", tga_header(id_length=255) + bytes(10))
    t("colormap-flag", tga_header(colormap_type=1) + bytes(12))
    t("rle-run-past-end", tga_header(10) + bytes([0xFF, 1, 2, 3]))
    t("rle-raw-past-end", tga_header(10) + bytes([0x7F]) + bytes(range(12)))
    t("rle-truncated-packet", tga_header(10) + bytes([0x83, 1]))
    t("rle-header-only", tga_header(10))
    t("rle-32bit", tga_header(10, depth=32) + bytes([0x83, 1, 2, 3, 4]))
    t("odd-width-raw", tga_header(width=3, height=3) + bytes(range(27)))
    t("one-pixel-rle", tga_header(10, 1, 1) + bytes([0, 9, 8, 7]))
    t("trailing-garbage", good + b"garbage" * 10)


# --------------------------------------------------------------------------
# Mesh files
def mesh_header(length=7, version=21, vertices=3, triangles=1, texcoords=0):
    head = bytes([length, version]) + struct.pack(">HH", vertices, triangles)
    head += bytes([texcoords])
    return head + bytes(max(0, length - 7))


def floats(values):
    return struct.pack("<%df" % len(values), *values)


def uints(values):
    return struct.pack("<%dI" % len(values), *values)


def mesh():
    m = lambda name, data: write("mesh", "bad-" + name, data)
    body = floats([0, 0, 0, 1, 0, 0, 0, 1, 0]) + floats([0, 0, 1] * 3)
    good = mesh_header() + body + uints([0, 1, 2])
    for cut in range(0, 7):
        m("truncated-header-%d" % cut, good[:cut])
    for cut in (8, 20, 43, 60, 79, 83, 90):
        m("truncated-at-%d" % cut, good[:cut])
    m("header-length-0", bytes([0]) + good[1:])
    m("header-length-1", bytes([1]) + good[1:])
    m("header-length-6", bytes([6]) + good[1:])
    m("header-length-255", mesh_header(length=255) + body + uints([0, 1, 2]))
    m("header-length-past-end", bytes([200]) + good[1:20])
    m("version-0", mesh_header(version=0) + body + uints([0, 1, 2]))
    m("version-13", mesh_header(version=13) + body + uints([0, 1, 2]))
    m("index-equal-count", mesh_header() + body + uints([0, 1, 3]))
    m("index-max", mesh_header() + body + uints([0, 0xFFFFFFFF, 2]))
    m("index-negative-int", mesh_header() + body + uints([0x80000000, 1, 2]))
    m("zero-vertices-one-triangle", mesh_header(vertices=0) + uints([0, 0, 0]))
    m("zero-everything", mesh_header(vertices=0, triangles=0))
    m("max-counts", mesh_header(vertices=0xFFFF, triangles=0xFFFF) + body)
    m("max-counts-texcoords", mesh_header(vertices=0xFFFF, triangles=0xFFFF,
                                          texcoords=1) + body)
    m("vertex-count-larger-than-data", mesh_header(vertices=100) + body)
    m("triangle-count-larger-than-data", mesh_header(triangles=100) + good[7:])
    m("texcoords-missing", mesh_header(texcoords=1) + body + uints([0, 1, 2]))
    m("texcoords-present", mesh_header(texcoords=7) + body +
      floats([0, 0, 1, 0, 0, 1]) + uints([0, 1, 2]))
    m("nan-coordinates", mesh_header() + floats([float("nan")] * 9) +
      floats([float("inf")] * 9) + uints([0, 1, 2]))
    m("trailing-garbage", good + b"\xff" * 100)
    m("all-ff", b"\xff" * 128)
    m("all-zero", bytes(128))


options()
tga()
mesh()


# --------------------------------------------------------------------------
# Command lines: arguments separated by line feeds.
def command_line():
    c = lambda name, args: write("command_line", "seed-" + name, "\n".join(args))
    c("empty", [])
    c("short-separate", ["-d", "data"])
    c("short-joined", ["-dtmp"])
    c("short-colon", ["-d:tmp"])
    c("short-colon-empty", ["-d:"])
    c("long-separate", ["--directory", "data"])
    c("long-colon", ["--directory:data"])
    c("long-colon-empty", ["--directory:"])
    c("long-colons", ["--directory:a:b:c"])
    c("long-flag-last", ["--directory"])
    c("long-then-short", ["--directory", "-d"])
    c("stray-value", ["data"])
    c("two-values", ["-d", "a", "b"])
    c("lone-dash", ["-"])
    c("lone-double-dash", ["--"])
    c("quoted-number", ["--directory", "\"2002"])
    c("number", ["--directory", "2002"])
    c("hex", ["--record", "0x10"])
    c("octal", ["--record", "010"])
    c("overflow", ["--record", "99999999999999999999999"])
    c("double", ["--dt", "0.5e-3"])
    c("bools", ["-a", "true", "-b", "FALSE"])
    c("glut-style", ["-display", ":0"])
    c("duplicates", ["-d", "x", "-d", "y", "--directory", "1"])
    c("empty-argument", ["-d", ""])


# --------------------------------------------------------------------------
# Simulation: "simulation.opt", a NUL byte, "events.opt".
def simulation():
    def s(name, sim, events):
        write("simulation", "seed-" + name, sim + "\0" + events)

    grid = "iSimulationWidth = 16; iSimulationHeight = 16;\n"
    drop = ("iEventNumber = 1; dEvent1ObjectMass = 0.01; dEvent1ObjectSize = 0.05;"
            " dEvent1ObjectPosZ = 0.5; strEvent1ObjectName = \"a\";\n")
    s("rest", grid, "")
    s("drop", grid + "dDefaultHeight = 0.2; dGravity = 9.81;\n", drop)
    s("spray", grid + "dParticleThresHold = 0.0; dForceFactor = 500.0;\n", drop)
    s("negative-threshold", grid + "dParticleThresHold = -1.0;\n", drop)
    s("mass-zero", grid, "iEventNumber = 1; dEvent1ObjectPosZ = 0.5;")
    s("far-away", grid, "iEventNumber = 1; dEvent1ObjectMass = 1.0; "
      "dEvent1ObjectPosX = 1.0e30; dEvent1ObjectPosY = -1.0e30;")
    s("nan-speed", grid, "iEventNumber = 1; dEvent1ObjectMass = 1.0; "
      "dEvent1ObjectSpeedX = -nan.; dEvent1ObjectPosZ = -inf.;")
    s("repeat-every-step", grid, "iEventNumber = 2; bEvent1Once = false; "
      "dEvent1ObjectMass = 0.01; dEvent1ObjectSize = 0.05; strEvent1ObjectName = \"r\";"
      " bEvent2Once = false; bEvent2AddObject = false; strEvent2ObjectName = \"r\";"
      " dEvent2Time = 0.5;")
    s("huge-event-count", grid, "iEventNumber = 2147483647;")
    s("width-two", "iSimulationWidth = 2; iSimulationHeight = 8;", "")
    s("width-zero", "iSimulationWidth = 0;", "")
    s("width-negative", "iSimulationWidth = -5; iSimulationHeight = 4;", "")
    s("size-zero", grid + "dSimulationSizeX = 0.0;", "")
    s("divisor-zero", grid + "iCrossSectionDivisor = 0; iPipeDivisor = 0;", "")
    s("density-zero", grid + "dFluidDensity = 0.0;", drop)
    s("friction-huge", grid + "dFriction = 1.0e30; dWaterFriction = -1.0e30;", drop)
    s("gravity-huge", grid + "dGravity = 1.0e30;", drop)
    s("missing-mesh", grid + "strBottomObjFileName = \"nothing.obj\";", "")
    s("malformed-events", grid, "iEventNumber = 1")
    s("empty-both", "", "")


command_line()
simulation()


# --------------------------------------------------------------------------
# Seeds from the shipped working directory.
def shipped():
    default = os.path.join(ROOT, "..", "default")
    read = lambda name: open(os.path.join(default, name), "rb").read()
    for name in ("graphics", "scene", "simulation", "events"):
        write("options", "seed-default-%s.opt" % name, read(name + ".opt"))
    write("tga", "seed-default-water.tga", read("water.tga"))
    write("tga", "seed-default-bottom.tga", read("bottom.tga"))
    write("mesh", "seed-default-bottom.obj", read("bottom.obj"))
    # The shipped scene on a grid small enough for the simulation target,
    # with the assets the target provides.
    import re
    sim = read("simulation.opt")
    sim = re.sub(rb"iSimulationWidth\s*=\s*\d+", b"iSimulationWidth = 20", sim)
    sim = re.sub(rb"iSimulationHeight\s*=\s*\d+", b"iSimulationHeight = 20", sim)
    sim = re.sub(rb'"[a-z]+\.obj"', b'"null.obj"', sim)
    sim = re.sub(rb'"[a-z]+\.tga"', b'"null.tga"', sim)
    write("simulation", "seed-default-scene-20x20", sim + b"\0" + read("events.opt"))


shipped()
