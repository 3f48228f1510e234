# The shaded look on the shipped scene in a 400 x 300 window. With iLook =
# 1, --record 40 builds every shader (a line in error.log if one fails)
# and its last frame is the picture of shaded_scene_39.tga.gz (made by
# this run, then gzip -9 -n) up to rounding, not the fixed one. From the
# fixed look, F7 draws another picture and F7 again gives the fixed one
# back byte for byte, in F5's wireframe too, F9 shown on the way. With only OpenGL 2.1, iLook = 1
# logs why and draws the fixed picture, byte for byte.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
viewer_setup
references="$RIPPLEX_SOURCE_DIR/tests/e2e"
copy_default_scene shaded 400 300
sed -i 's/^iLook = .*/iLook = 1;/' "$TEST_DIR/shaded/graphics.opt"
start_viewer --directory shaded --record 40
wait_exit "$VIEWER_PID" 300
[[ $EXIT_STATUS == 0 ]] || fail "--record 40 in the shaded look ended with status $EXIT_STATUS"
[[ $(log_messages) == "-- Debut du fichier d'erreur --" ]] || fail "error.log: $(log_messages | cat -v)"
last="$TEST_DIR/shaded/seq00039.tga"
python3 "$TOOLS" nonuniform "$last" || fail "the shaded frame is one colour"
python3 "$TOOLS" same-picture "$last" "$references/default_scene_39.tga.gz" 2>/dev/null &&
    fail "the shaded frame is the fixed look's"
python3 "$TOOLS" same-picture "$last" "$references/shaded_scene_39.tga.gz" || fail "the shaded picture has changed"

copy_default_scene fixed 400 300
dir="$TEST_DIR/fixed"
start_viewer --directory fixed
window=$(wait_window Ripplex)
screenshot "$window" "$dir" "$TEST_DIR/fixed.tga"
send_keys "$window" F7
screenshot "$window" "$dir" "$TEST_DIR/toggled.tga"
cmp -s "$TEST_DIR/fixed.tga" "$TEST_DIR/toggled.tga" && fail "F7 did not change the picture"
send_keys "$window" F7
screenshot "$window" "$dir" "$TEST_DIR/back.tga"
cmp -s "$TEST_DIR/fixed.tga" "$TEST_DIR/back.tga" || fail "F7 twice did not give the fixed picture back"
send_keys "$window" F5
screenshot "$window" "$dir" "$TEST_DIR/wire.tga"
send_keys "$window" F7 F9
screenshot "$window" "$dir" "$TEST_DIR/shaded-wire.tga"
send_keys "$window" F9 F7
screenshot "$window" "$dir" "$TEST_DIR/wire-back.tga"
cmp -s "$TEST_DIR/wire.tga" "$TEST_DIR/wire-back.tga" || fail "the wireframe changed after F7 and F9 in the shaded look"
quit_viewer "$window"

: >"$TEST_DIR/error.log"
MESA_GL_VERSION_OVERRIDE=2.1 MESA_GLSL_VERSION_OVERRIDE=120 start_viewer --directory shaded
window=$(wait_window Ripplex)
screenshot "$window" "$TEST_DIR/shaded" "$TEST_DIR/old.tga"
cmp -s "$TEST_DIR/fixed.tga" "$TEST_DIR/old.tga" || fail "without OpenGL 3.0 the picture is not the fixed one"
quit_viewer "$window"
[[ $(log_messages) == "-- Debut du fichier d'erreur --
CShadedLook::Prepare -- Aspect ombr$(printf '\xE9') indisponible : il faut OpenGL 3.0 et GLSL 1.30, le contexte offre OpenGL 2.1 et GLSL 1.20 ; aspect fixe conserv$(printf '\xE9')" ]] ||
    fail "error.log without OpenGL 3.0: $(log_messages | cat -v)"
echo "viewer shaded: ok"
