# The exploring keys on a calm basin seen from straight above (the
# program's default field of view, -45°, turns the picture by half a
# turn): F3 draws the readout over the top-left corner only, F3 again
# gives the picture back byte for byte; with the animation stopped, a
# Shift + left drag presses the water under the cursor.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
viewer_setup
python3 "$TOOLS" make-flat-scene "$TEST_DIR/scene" 480 360
sed -i 's/iSimulationWidth = 10; iSimulationHeight = 10;/iSimulationWidth = 40; iSimulationHeight = 40;/' \
    "$TEST_DIR/scene/simulation.opt"
start_viewer --directory scene
window=$(wait_window "Ripplex flat")
shot="$TEST_DIR/scene/screenshot.tga"

# F6 until the command $2 accepts the picture, kept as $1.tga: the redraw
# a key asks for can come after an F6 sent right behind the key.
screenshot_until() {
    local deadline=$((SECONDS + 30))
    until rm -f "$shot"; send_keys "$window" F6; wait_file "$shot"; mv "$shot" "$TEST_DIR/$1.tga"
        eval "$2"; do
        ((SECONDS < deadline)) || fail "no picture $1 for which $2 within 30 s"
    done
}
same() { cmp -s "$TEST_DIR/$1.tga" "$TEST_DIR/$2.tga"; }

# Pixels (x, y from the top-left corner) where pictures $1 and $2 differ,
# checked by the Python expression $3 over `xs` and `ys`.
differences() {
    python3 - "$TOOLS" "$TEST_DIR/$1.tga" "$TEST_DIR/$2.tga" "$3" <<'EOF' || fail "$1 against $2: $3"
import os, sys
sys.path.insert(0, os.path.dirname(sys.argv[1]))
from viewer_tools import read_rle_tga
_, height, a = read_rle_tga(sys.argv[2])
_, _, b = read_rle_tga(sys.argv[3])
diff = [(x, height - 1 - y) for y, (ra, rb) in enumerate(zip(a, b))
        for x, (p, q) in enumerate(zip(ra, rb)) if p != q]
xs, ys = [d[0] for d in diff], [d[1] for d in diff]
mean = lambda v: sum(v) / len(v) if v else None
print(f"{len(diff)} pixels differ, x {min(xs, default=None)}..{max(xs, default=None)} (mean"
      f" {mean(xs) or 0:.0f}), y {min(ys, default=None)}..{max(ys, default=None)} (mean {mean(ys) or 0:.0f})")
sys.exit(0 if eval(sys.argv[4]) else 1)
EOF
}

# Over F5's wireframe, which the readout's filled panel must not keep.
screenshot_until plain 'python3 "$TOOLS" nonuniform "$TEST_DIR/plain.tga"'
send_keys "$window" F5
screenshot_until wireframe '! same plain wireframe'
send_keys "$window" F3
screenshot_until readout '! same wireframe readout'
send_keys "$window" F3
screenshot_until again 'same wireframe again'  # F3 twice gives the picture back
send_keys "$window" F5
# Eight lines of at most 30 characters of 8 x 13 pixels.
differences wireframe readout "max(xs) < 260 and max(ys) < 140"

# Left of and above the centre of the window, 0.2 units from the middle
# of the basin: the changes are centred there, not on the point turned
# by half a turn or on the centre.
xdotool mousemove --window "$window" 205 160 keydown shift mousedown 1
sleep 0.5  # real time for the water to sink under the finger; nothing to poll for
xdotool mouseup 1 keyup shift
screenshot_until pressed '! same plain pressed'
differences plain pressed "abs(mean(xs) - 205) < 10 and abs(mean(ys) - 160) < 10"

quit_viewer "$window"
[[ $EXIT_STATUS == 0 ]] || fail "exit status $EXIT_STATUS after Escape"
echo "viewer explore: ok"
