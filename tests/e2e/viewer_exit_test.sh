# Escape ends the viewer with status 0 after closing both logs: error.log
# holds only the start line, ripplex.log is empty. Ordinary keys, scene keys
# and mouse drags before it change nothing in the logs.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
viewer_setup
copy_default_scene scene
start_viewer --directory scene
window=$(wait_window Ripplex)

send_keys "$window" a space F1 F9 F9 Prior Next Left Right Up Down F2 F2
xdotool mousemove --window "$window" 100 100 mousedown 1 mousemove --window "$window" 160 90 \
    mouseup 1 2>/dev/null || fail "xdotool could not drag the mouse"
quit_viewer "$window"; status=$EXIT_STATUS
[[ $status == 0 ]] || fail "exit status $status after Escape"

[[ -f "$TEST_DIR/ripplex.log" && ! -s "$TEST_DIR/ripplex.log" ]] || fail "ripplex.log missing or not empty"
[[ $(log_messages) == "-- Debut du fichier d'erreur --" ]] || fail "unexpected lines in error.log"
grep -q 'Informations syst' "$TEST_DIR/stdout" || fail "no system report on standard output"
echo "viewer exit: ok"
