#!/usr/bin/env bash
# ripplex-sim --export and --heights FILE.npy, read back by the real
# readers: the last height map (OpenEXR) and the .npy (NumPy) equal the raw
# dump of the same run bit for bit, turned as they say; the meshes have the
# grid's vertex and face counts (assimp) and stand where the viewer draws
# them; objects.csv has one line per object of each summary line; a part
# left out is not written; a full device stops the run naming the file.
# The basin is 20 x 16 cells, the ball off centre: a flip or a transposed
# image cannot pass for the right one.
set -uo pipefail
: "${RIPPLEX_SIM:?}" "${RIPPLEX_EXR_CHECK:?}" "${RIPPLEX_SOURCE_DIR:?}"
source "$RIPPLEX_SOURCE_DIR/tests/e2e/checks.sh"

scene="$work/scene"
scene_dir "$scene"
cat > "$scene/simulation.opt" <<'OPT'
iSimulationWidth = 20; iSimulationHeight = 16; dSimulationSizeX = 1.0; dSimulationSizeY = 0.8;
dDefaultHeight = 0.5; dGravity = 2.0; dForceFactor = 2.0; dParticleThresHold = 0.2;
strBottomObjFileName = "bottom.obj"; strWaterTextureFileName = "water.tga"; strBottomTextureFileName = "bottom.tga";
OPT
cat > "$scene/events.opt" <<'OPT'
iEventNumber = 1; dEvent1Time = 0.1; strEvent1ObjectName = "ball"; dEvent1ObjectMass = 0.1;
dEvent1ObjectSize = 0.1; dEvent1ObjectPosX = 0.2; dEvent1ObjectPosY = 0.15; dEvent1ObjectPosZ = 0.9;
OPT

run=("$RIPPLEX_SIM" -d "$scene" --steps 25 --every 10)
summary=$("${run[@]}" --export "$work/new/x" --heights "$work/h.bin") || fail "export run: status $?"
"${run[@]}" --heights "$work/h.npy" >/dev/null || fail "npy run: status $?"
[[ $(ls "$work/new/x" | tr '\n' ' ') == "bottom.obj $(printf 'heights_%05d.exr ' 0 1 2 3)objects.csv $(printf 'surface_%05d.obj ' 0 1 2 3)" ]] ||
    fail "exported files: $(ls "$work/new/x")"

[[ $("$RIPPLEX_EXR_CHECK" "$work/new/x/heights_00003.exr" "$work/h.bin") == "20 16 0.75 0.0500000007 0.0500000007" ]] ||
    fail "the last height map is not the dump, or its header is wrong"
/usr/bin/python3 -c 'import numpy, sys
a = numpy.load(sys.argv[1])
raw = numpy.fromfile(sys.argv[2], "<f4").reshape(16, 20)
assert a.shape == (16, 20) and a.dtype == numpy.dtype("<f4") and (a.view("u4") == raw.view("u4")).all()
' "$work/h.npy" "$work/h.bin" ||
    fail "the .npy is not the (H, W) float32 array of the dump"

# Vertices: the corners and the quad centres; a calm surface's vertices are
# told apart by assimp whatever it joins. The first corner stands at (dx, dy)
# from the basin's corner, its texture coordinate (1/W, 1/H).
counts() { assimp info "$1" 2>/dev/null | awk '/^(Vertices|Faces):/ { printf "%s ", $2 }'; }
[[ $(counts "$work/new/x/surface_00000.obj") == "$((19 * 15 + 18 * 14)) $((4 * 18 * 14)) " ]] ||
    fail "surface counts: $(counts "$work/new/x/surface_00000.obj")"
[[ $(assimp info "$work/new/x/surface_00003.obj" -r 2>/dev/null | grep -c '^Faces: *1008$') == 1 ]] ||
    fail "the moving surface does not load with its 1008 faces"
[[ $(counts "$work/new/x/bottom.obj") == "1089 2048 " ]] || fail "bottom counts: $(counts "$work/new/x/bottom.obj")"
# The bottom, modelled over [-1, 1]², spans the corners, from the first to the last.
[[ $(assimp info "$work/new/x/bottom.obj" 2>/dev/null | grep -E '^M..imum point') =~ \(-0.450000\ -0.350000\ .*\(0.450000\ 0.350000\  ]] ||
    fail "bottom extent: $(assimp info "$work/new/x/bottom.obj" 2>/dev/null | grep -E '^M..imum point')"
first=$(for tag in v vt; do grep -m1 "^$tag " "$work/new/x/surface_00000.obj"; done | tr '\n' ' ')
[[ $first == "v -0.45 -0.35 0.5 vt 0.05 0.0625 " ]] || fail "first corner: $first"

# One line per object (balls and drops) of each summary line, by frame.
expected=$(awk '{ split($4, a, "="); split($5, b, "="); print NR - 1, a[2] + b[2] }' <<<"$summary")
got=$(awk -F, 'NR > 1 { n[$1]++ } END { for (f = 0; f < 4; f++) print f, n[f] + 0 }' "$work/new/x/objects.csv")
[[ $(head -1 "$work/new/x/objects.csv") == "frame,time,kind,x,y,z,radius,vx,vy,vz" && "$got" == "$expected" ]] || fail "objects.csv lines per frame: $got, summary: $expected"

"${run[@]}" --export "$work/y" --leave-out:surface,bottom >/dev/null || fail "--leave-out run failed"
[[ $(ls "$work/y" | tr '\n' ' ') == "$(printf 'heights_%05d.exr ' 0 1 2 3)objects.csv " ]] ||
    fail "--leave-out surface,bottom wrote: $(ls "$work/y")"

mkdir "$work/full" && ln -s /dev/full "$work/full/surface_00001.obj"
"${run[@]}" --export "$work/full" >"$work/out" 2>"$work/err"
status=$?
[[ $status -eq 1 && $(wc -l <"$work/out") -eq 2 &&
    $(cat "$work/err") == "ripplex-sim: cannot write $work/full/surface_00001.obj (No space left on device)" ]] ||
    fail "full device: status $status, $(wc -l <"$work/out") lines, $(cat "$work/err")"

finish "ripplex-sim export"
