# Frame-sequence recording. Unattended: --record 5 writes exactly
# seq00000.tga to seq00004.tga, each of the window's size, and ends with
# status 0. By hand: F4 starts, goes on through F2 on and off, frames keep
# their size when the window shrinks, F4 stops, and no frame is written
# after the stop.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
viewer_setup

frames_in() {
    find "$1" -maxdepth 1 -name 'seq*.tga' -printf '%f\n' | sort
}

copy_default_scene unattended
start_viewer --directory unattended --record 5
wait_exit "$VIEWER_PID" 120; status=$EXIT_STATUS
[[ $status == 0 ]] || fail "--record 5 ended with status $status"
expected=$(printf 'seq%05d.tga\n' 0 1 2 3 4)
[[ $(frames_in "$TEST_DIR/unattended") == "$expected" ]] ||
    fail "frames written: $(frames_in "$TEST_DIR/unattended" | tr '\n' ' ')"
[[ $(python3 "$TOOLS" sizes "$TEST_DIR"/unattended/seq*.tga | sort -u) == "800 600" ]] ||
    fail "unattended frames not all 800 x 600"
python3 "$TOOLS" nonuniform "$TEST_DIR/unattended/seq00004.tga" || fail "frame 4 is one colour"
[[ $(log_messages) == "-- Debut du fichier d'erreur --" ]] || fail "unexpected lines in error.log"

# A smaller window here: frames pile up while the test waits for events.
copy_default_scene byhand
sed -i 's/^iScreenWidth = .*/iScreenWidth = 400;/; s/^iScreenHeight = .*/iScreenHeight = 300;/' \
    "$TEST_DIR/byhand/graphics.opt"
rm -f "$TEST_DIR/error.log"
start_viewer --directory byhand
window=$(wait_window Ripplex)
dir="$TEST_DIR/byhand"
# F2 on and off again must not stop the recording (waited for below).
send_keys "$window" F4 F2 F2
wait_file "$dir/seq00002.tga" 60

# A window made smaller while recording: the frames keep the size recording
# began with, and the part the window no longer covers is black. F6 marks
# the point in the event order after the reshape; a frame numbered past the
# ones that exist then was read from the small window.
xdotool windowsize --sync "$window" 200 150
send_keys "$window" F6
wait_file "$dir/screenshot.tga" 60
rm "$dir/screenshot.tga"
later=$(printf '%s/seq%05d.tga' "$dir" "$(frames_in "$dir" | wc -l)")
wait_file "$later" 60
[[ $(python3 "$TOOLS" size "$later") == "400 300" ]] || fail "$later: not 400 x 300"
python3 "$TOOLS" black-outside "$later" 200 150 || fail "$later: wrong outside the window"
send_keys "$window" F4
# F6 after the second F4 is a point in the event order past the stop: the
# frames counted once its screenshot exists are all there will ever be.
send_keys "$window" F6
wait_file "$dir/screenshot.tga" 60
count=$(frames_in "$dir" | wc -l)
rm "$dir/screenshot.tga"
send_keys "$window" F6
wait_file "$dir/screenshot.tga"
[[ $(frames_in "$dir" | wc -l) == "$count" ]] || fail "frames still written after the second F4"
[[ $(frames_in "$dir") == "$(for ((i = 0; i < count; i++)); do printf 'seq%05d.tga\n' "$i"; done)" ]] ||
    fail "frames not numbered from 0 without gaps"
[[ $(python3 "$TOOLS" sizes "$dir"/seq*.tga | sort -u) == "400 300" ]] ||
    fail "frames recorded by hand not all 400 x 300"

quit_viewer "$window"; status=$EXIT_STATUS
[[ $status == 0 ]] || fail "exit status $status after Escape"
echo "viewer record: ok"
