# The viewer by hand, on the shipped scene in a 400 x 300 window. F6 writes
# the window as a run-length TGA; F5 twice gives back the same picture; F2
# animates until F2 again; F4 records through F2 on and off, frames keep
# their size when the window shrinks (the part it no longer covers black)
# and none come after the second F4; keys and a drag log nothing; Escape
# quits with 0, error.log holding its first line only, ripplex.log empty.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
viewer_setup
copy_default_scene scene 400 300
dir="$TEST_DIR/scene"
start_viewer --directory scene
window=$(wait_window Ripplex)

screenshot "$window" "$dir" "$TEST_DIR/filled.tga"
[[ $(python3 "$TOOLS" size "$TEST_DIR/filled.tga") == "400 300" ]] || fail "screenshot size"
python3 "$TOOLS" nonuniform "$TEST_DIR/filled.tga" || fail "the screenshot is one colour"
send_keys "$window" F5
screenshot "$window" "$dir" "$TEST_DIR/wireframe.tga"
cmp -s "$TEST_DIR/filled.tga" "$TEST_DIR/wireframe.tga" && fail "F5 did not change the picture"
send_keys "$window" F5
screenshot "$window" "$dir" "$TEST_DIR/refilled.tga"
cmp -s "$TEST_DIR/filled.tga" "$TEST_DIR/refilled.tga" || fail "F5 twice did not restore the picture"

# Real time runs until the first ball shows; the deadline is only a backstop.
send_keys "$window" F2
deadline=$((SECONDS + 90))
until screenshot "$window" "$dir" "$TEST_DIR/running.tga"; ! cmp -s "$TEST_DIR/filled.tga" "$TEST_DIR/running.tga"; do
    ((SECONDS < deadline)) || fail "F2 did not animate the scene within 90 s"
done
send_keys "$window" F2 a space F1 F9 F9 Prior Next Left Right Up Down
drag "$window" 100 100 160 90

frames() { find "$dir" -maxdepth 1 -name 'seq*.tga' -printf '%f\n' | sort; }
send_keys "$window" F4 F2 F2
wait_file "$dir/seq00002.tga"
# A frame numbered past those that exist once the reshape is seen was read
# from the small window.
xdotool windowsize --sync "$window" 200 150
screenshot "$window" "$dir" "$TEST_DIR/small.tga"
[[ $(python3 "$TOOLS" size "$TEST_DIR/small.tga") == "200 150" ]] || fail "screenshot after a resize"
later=$(printf '%s/seq%05d.tga' "$dir" "$(frames | wc -l)")
wait_file "$later"
python3 "$TOOLS" black-outside "$later" 200 150 || fail "$later: wrong outside the window"
send_keys "$window" F4
screenshot "$window" "$dir" "$TEST_DIR/stopped.tga"
count=$(frames | wc -l)
screenshot "$window" "$dir" "$TEST_DIR/stopped.tga"
[[ $(frames) == "$(for ((i = 0; i < count; i++)); do printf 'seq%05d.tga\n' "$i"; done)" ]] ||
    fail "frames not numbered from 0 without gaps, or written after the second F4"
[[ $(python3 "$TOOLS" sizes "$dir"/seq*.tga | sort -u) == "400 300" ]] || fail "frames not all 400 x 300"

quit_viewer "$window"
[[ -f "$TEST_DIR/ripplex.log" && ! -s "$TEST_DIR/ripplex.log" ]] || fail "ripplex.log missing or not empty"
[[ $(log_messages) == "-- Debut du fichier d'erreur --" ]] || fail "unexpected lines in error.log"
grep -q 'Informations syst' "$TEST_DIR/stdout" || fail "no system report on standard output"
echo "viewer keys: ok"
