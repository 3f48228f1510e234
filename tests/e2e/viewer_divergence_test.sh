# The divergence watch in the viewer with both animation modes on, where
# recording (F4) alone advances the simulation, exactly 0.03 s per frame:
# when the scene blows up, error.log gets one line, nothing is stepped or
# drawn any more, and Escape still quits with status 0.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
export LC_ALL=C
viewer_setup
copy_default_scene s
dir="$TEST_DIR/s"
# Negative friction makes every flow grow fourfold per step once the first
# ball has landed.
sed -i 's/^dFriction = .*/dFriction = -100.0;/' "$dir/simulation.opt"
sed -i 's/^iScreenWidth = .*/iScreenWidth = 200;/; s/^iScreenHeight = .*/iScreenHeight = 150;/' \
    "$dir/graphics.opt"
export RIPPLEX_FRAME_TIMES=1
start_viewer --directory s
window=$(wait_window Ripplex)

send_keys "$window" F4 F2
deadline=$((SECONDS + 60))
until grep -aq 'divergente' "$TEST_DIR/error.log"; do
    ((SECONDS < deadline)) || fail "no divergence line within 60 s"
    sleep 0.1
done

# F6 marks a point in the event order: frames and draws counted after one
# screenshot must not grow by the next.
mark() {
    rm -f "$dir/screenshot.tga"
    send_keys "$window" F6
    wait_file "$dir/screenshot.tga"
    echo "$(find "$dir" -name 'seq*.tga' | wc -l) $(grep -c '^frame ' "$TEST_DIR/stderr")"
}
before=$(mark)
[[ $(mark) == "$before" ]] || fail "still recording or drawing after the divergence: $before"
line=$(log_messages | grep -a divergente)
[[ $(log_messages | grep -ac divergente) == 1 ]] || fail "divergence logged more than once"
# Every step was a recorded frame's: the time is a whole number of 0.03 s.
awk -v line="$line" 'BEGIN {
    if (!match(line, /t = [0-9.]+ s : .* \(pas stable maximal [0-9.]+ s, pas utilis. 0.03 s\)$/)) exit 1
    split(substr(line, RSTART + 4), t, " "); n = t[1] / 0.03; exit (n - int(n + 0.5))^2 > 1e-6 }' ||
    fail "divergence line: $line"
quit_viewer "$window"; status=$EXIT_STATUS
[[ $status == 0 ]] || fail "exit status $status after Escape"

# Unattended there is no one to look: the recording ends with status 3.
start_viewer --directory s --record 100000
wait_exit "$VIEWER_PID" 60
[[ $EXIT_STATUS == 3 ]] || fail "--record ended with status $EXIT_STATUS after the divergence"
echo "viewer divergence: ok"
