# Unattended recording: --record 40 in a 400 x 300 window ends with status
# 0 after seq00000.tga to seq00039.tga. The first two go to a device with
# no room left: one line for the first, and the others are written as
# usual. The last frame (the red ball in the water, its rings and spray)
# is the picture the renderer drew before the surface and spheres became
# vertex arrays (default_scene_39.tga.gz: that run's seq00039.tga, made
# again by the same run and gzip -9 -n), up to rounding on a few pixels.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
viewer_setup
copy_default_scene scene 400 300
ln -s /dev/full "$TEST_DIR/scene/seq00000.tga"
ln -s /dev/full "$TEST_DIR/scene/seq00001.tga"
start_viewer --directory scene --record 40
wait_exit "$VIEWER_PID" 300
[[ $EXIT_STATUS == 0 ]] || fail "--record 40 ended with status $EXIT_STATUS"
cd "$TEST_DIR/scene"
[[ $(ls seq*.tga | tr '\n' ' ') == "$(printf 'seq%05d.tga ' {0..39})" ]] || fail "frames: $(ls seq*)"
[[ $(python3 "$TOOLS" sizes seq000{02..39}.tga | sort -u) == "400 300" ]] || fail "frames not all 400 x 300"
[[ $(log_messages) == "-- Debut du fichier d'erreur --
CWaterScene::IdleScene -- Impossible d'$(printf '\xE9')crire l'image seq00000.tga, l'enregistrement continue" ]] ||
    fail "error.log: $(log_messages | cat -v)"
python3 "$TOOLS" same-picture seq00039.tga "$RIPPLEX_SOURCE_DIR/tests/e2e/default_scene_39.tga.gz" ||
    fail "the picture has changed"
echo "viewer record: ok"
