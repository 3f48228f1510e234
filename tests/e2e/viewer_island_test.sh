# island/ draws in both looks without a line in error.log, and its walls
# show: in each look the picture differs from the same run without the
# wall map.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
viewer_setup
for look in 0 1; do
    for map in with without; do
        dir="$TEST_DIR/look$look-$map"
        cp -r "$RIPPLEX_SOURCE_DIR/island" "$dir"
        sed -i "s/^iLook = .*/iLook = $look;/; s/^iScreenWidth = .*/iScreenWidth = 320;/; s/^iScreenHeight = .*/iScreenHeight = 240;/" \
            "$dir/graphics.opt"
        [[ $map == with ]] || sed -i '/^strWallMapFileName/d' "$dir/simulation.opt"
        : >"$TEST_DIR/error.log"
        start_viewer --directory "look$look-$map" --record 8
        wait_exit "$VIEWER_PID" 300
        [[ $EXIT_STATUS == 0 ]] || fail "look $look $map the map: status $EXIT_STATUS"
        [[ $(log_messages) == "-- Debut du fichier d'erreur --" ]] || fail "look $look: $(log_messages | cat -v)"
        python3 "$TOOLS" nonuniform "$dir/seq00007.tga" || fail "look $look: one colour"
    done
    cmp -s "$TEST_DIR/look$look-with/seq00007.tga" "$TEST_DIR/look$look-without/seq00007.tga" &&
        fail "look $look: the walls do not show"
done
echo "viewer island: ok"
