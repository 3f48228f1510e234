# The divergence watch with F2 and F4 on, where only recording advances
# the water, 0.03 s per frame: on a blow-up, one line in error.log (at a
# whole number of frames), nothing stepped or drawn any more, Escape still
# quits with 0; unattended, the recording ends with status 3.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
export LC_ALL=C RIPPLEX_FRAME_TIMES=1
viewer_setup
copy_default_scene s 200 150
dir="$TEST_DIR/s"
# Every flow grows fourfold per step once the first ball has landed.
sed -i 's/^dFriction = .*/dFriction = -100.0;/' "$dir/simulation.opt"
start_viewer --directory s
window=$(wait_window Ripplex)
send_keys "$window" F4 F2
deadline=$((SECONDS + 120))
until grep -aq 'divergente' "$TEST_DIR/error.log"; do
    ((SECONDS < deadline)) || fail "no divergence line within 120 s"
    sleep 0.1
done

# A screenshot marks a point in the event order: the frames written and
# drawn once one exists must not grow by the next.
mark() {
    screenshot "$window" "$dir" "$TEST_DIR/mark.tga"
    echo "$(find "$dir" -name 'seq*.tga' | wc -l) $(grep -c '^frame ' "$TEST_DIR/stderr")"
}
before=$(mark)
[[ $(mark) == "$before" ]] || fail "still recording or drawing after the divergence: $before"
[[ $(log_messages | grep -ac divergente) == 1 ]] || fail "divergence logged more than once"
log_messages | grep -a divergente | awk '{
    if (!match($0, / t = [0-9.]+ s : .* \(pas stable maximal [0-9.]+ s, pas utilis. 0.03 s\)$/)) exit 1
    n = substr($0, RSTART + 5) / 0.03; exit (n - int(n + 0.5))^2 > 1e-6 }' ||
    fail "divergence line: $(log_messages | grep -a divergente)"
quit_viewer "$window"

start_viewer --directory s --record 100000
wait_exit "$VIEWER_PID"
[[ $EXIT_STATUS == 3 ]] || fail "--record ended with status $EXIT_STATUS after the divergence"
echo "viewer divergence: ok"
