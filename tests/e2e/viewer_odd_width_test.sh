# A window 301 pixels wide (rows of 903 bytes, not a multiple of 4): the
# screenshot and the recorded frames hold the picture unskewed. The scene is
# a flat, evenly lit basin seen from straight above, whose picture is a
# rectangle (the water, the bottom's smaller one seen through it) centred on
# black: row padding would move its edges from row to row and break its
# mirror symmetry. Camera keys and a drag are
# checked on the same picture.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
viewer_setup
python3 "$TOOLS" make-flat-scene "$TEST_DIR/flat" 301 211
start_viewer --directory flat
window=$(wait_window "Ripplex flat")
dir="$TEST_DIR/flat"

send_keys "$window" F6
wait_file "$dir/screenshot.tga"
[[ $(python3 "$TOOLS" size "$dir/screenshot.tga") == "301 211" ]] || fail "screenshot size"
python3 "$TOOLS" centred "$dir/screenshot.tga" || fail "screenshot not a centred rectangle"

# The camera looks straight down: Up and Down have no horizontal direction
# and must leave it where it is (no jump, no NaN).
mv "$dir/screenshot.tga" "$TEST_DIR/before.tga"
send_keys "$window" Up Down Up F6
wait_file "$dir/screenshot.tga"
cmp -s "$TEST_DIR/before.tga" "$dir/screenshot.tga" || fail "Up/Down moved a vertical camera"

# Left slides the camera sideways: the rectangle is no longer centred.
rm "$dir/screenshot.tga"
send_keys "$window" Left F6
wait_file "$dir/screenshot.tga"
python3 "$TOOLS" centred "$dir/screenshot.tga" 2>/dev/null && fail "Left did not move the camera"
send_keys "$window" Right
rm "$dir/screenshot.tga"
send_keys "$window" F6
wait_file "$dir/screenshot.tga"
cmp -s "$TEST_DIR/before.tga" "$dir/screenshot.tga" || fail "Right did not undo Left"

# Recording reads the same way: F4, one frame, F4.
send_keys "$window" F4
wait_file "$dir/seq00000.tga"
send_keys "$window" F4
[[ $(python3 "$TOOLS" size "$dir/seq00000.tga") == "301 211" ]] || fail "frame size"
python3 "$TOOLS" centred "$dir/seq00000.tga" || fail "recorded frame not a centred rectangle"

# A drag turns the view about the vertical: the rectangle is no longer
# upright, its edges move from row to row.
rm "$dir/screenshot.tga"
xdotool mousemove --window "$window" 100 100 mousedown 1 mousemove --window "$window" 160 100 \
    mouseup 1 2>/dev/null || fail "xdotool could not drag the mouse"
send_keys "$window" F6
wait_file "$dir/screenshot.tga"
python3 "$TOOLS" centred "$dir/screenshot.tga" 2>/dev/null && fail "a drag did not turn the view"

quit_viewer "$window"; status=$EXIT_STATUS
[[ $status == 0 ]] || fail "exit status $status after Escape"
echo "viewer odd width: ok"
