# F6 on the shipped scene: a valid run-length encoded TGA of the window's
# size whose picture is not uniform; F5 twice gives back the same picture;
# F2 animates; after a resize, F6 writes the new size.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
viewer_setup
copy_default_scene scene
start_viewer --directory scene
window=$(wait_window Ripplex)
shot="$TEST_DIR/scene/screenshot.tga"

# Takes a screenshot into $1 (F6 replaces the file; the old one is moved
# away first so the wait sees the new one).
screenshot() {
    rm -f "$shot"
    send_keys "$window" F6
    wait_file "$shot"
    mv "$shot" "$1"
}

screenshot "$TEST_DIR/filled.tga"
[[ $(python3 "$TOOLS" size "$TEST_DIR/filled.tga") == "800 600" ]] ||
    fail "screenshot size $(python3 "$TOOLS" size "$TEST_DIR/filled.tga"), expected 800 600"
python3 "$TOOLS" nonuniform "$TEST_DIR/filled.tga" || fail "the screenshot is one colour"

send_keys "$window" F5
screenshot "$TEST_DIR/wireframe.tga"
cmp -s "$TEST_DIR/filled.tga" "$TEST_DIR/wireframe.tga" && fail "F5 did not change the picture"
send_keys "$window" F5
screenshot "$TEST_DIR/refilled.tga"
cmp -s "$TEST_DIR/filled.tga" "$TEST_DIR/refilled.tga" || fail "F5 twice did not restore the picture"

# F2 runs the simulation in real time until F2 again: by then the first
# ball has fallen in (0.5 s of simulated time) and the picture has changed.
send_keys "$window" F2
sleep 2  # real time for the animation to run; nothing to poll for
send_keys "$window" F2
screenshot "$TEST_DIR/running.tga"
cmp -s "$TEST_DIR/filled.tga" "$TEST_DIR/running.tga" && fail "F2 did not animate the scene"

# The reshape reaches the program before the key sent after it (X events
# arrive in order), so F6 already sees the new size.
xdotool windowsize --sync "$window" 640 480
screenshot "$TEST_DIR/resized.tga"
[[ $(python3 "$TOOLS" size "$TEST_DIR/resized.tga") == "640 480" ]] ||
    fail "after a resize: $(python3 "$TOOLS" size "$TEST_DIR/resized.tga"), expected 640 480"

quit_viewer "$window"; status=$EXIT_STATUS
[[ $status == 0 ]] || fail "exit status $status after Escape"
echo "viewer screenshot: ok"
