# A window 301 pixels wide (rows of 903 bytes, not a multiple of 4): the
# screenshots and the recorded frames hold the picture unskewed. The scene
# is a flat, evenly lit basin seen from straight above, whose picture is a
# rectangle centred on black: row padding would move its edges from row to
# row and break its mirror symmetry. Camera keys and a drag are checked on
# the same picture.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
viewer_setup
dir="$TEST_DIR/flat"
python3 "$TOOLS" make-flat-scene "$dir" 301 211
start_viewer --directory flat
window=$(wait_window "Ripplex flat")

screenshot "$window" "$dir" "$TEST_DIR/before.tga"
[[ $(python3 "$TOOLS" size "$TEST_DIR/before.tga") == "301 211" ]] || fail "screenshot size"
python3 "$TOOLS" centred "$TEST_DIR/before.tga" || fail "screenshot not a centred rectangle"
# Straight down, Up and Down have no horizontal direction to follow: the
# camera stays where it is (no jump, no NaN). Left slides it sideways.
send_keys "$window" Up Down Up
screenshot "$window" "$dir" "$TEST_DIR/shot.tga"
cmp -s "$TEST_DIR/before.tga" "$TEST_DIR/shot.tga" || fail "Up/Down moved a vertical camera"
send_keys "$window" Left
screenshot "$window" "$dir" "$TEST_DIR/shot.tga"
python3 "$TOOLS" centred "$TEST_DIR/shot.tga" 2>/dev/null && fail "Left did not move the camera"
send_keys "$window" Right
screenshot "$window" "$dir" "$TEST_DIR/shot.tga"
cmp -s "$TEST_DIR/before.tga" "$TEST_DIR/shot.tga" || fail "Right did not undo Left"

send_keys "$window" F4
wait_file "$dir/seq00000.tga"
send_keys "$window" F4
[[ $(python3 "$TOOLS" size "$dir/seq00000.tga") == "301 211" ]] || fail "frame size"
python3 "$TOOLS" centred "$dir/seq00000.tga" || fail "recorded frame not a centred rectangle"

# A drag turns the view about the vertical: the rectangle is no longer upright.
drag "$window" 100 100 160 100
screenshot "$window" "$dir" "$TEST_DIR/shot.tga"
python3 "$TOOLS" centred "$TEST_DIR/shot.tga" 2>/dev/null && fail "a drag did not turn the view"
quit_viewer "$window"
echo "viewer odd width: ok"
