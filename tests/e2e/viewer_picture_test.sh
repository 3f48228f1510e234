# The default scene in a 400 x 300 window after 39 recorded steps (1.17 s:
# the red ball in the water, its rings and its spray) against the picture
# the renderer drew before the surface and spheres became vertex arrays
# (default_scene_39.tga.gz, the viewer's own seq00039.tga of that run,
# gzipped). Made again by the same run: --record 40, then gzip -9 -n.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
viewer_setup
copy_default_scene scene
sed -i 's/^iScreenWidth = .*/iScreenWidth = 400;/; s/^iScreenHeight = .*/iScreenHeight = 300;/' \
    "$TEST_DIR/scene/graphics.opt"
start_viewer --directory scene --record 40
wait_exit "$VIEWER_PID" 120
[[ $EXIT_STATUS == 0 ]] || fail "exit status $EXIT_STATUS after recording"
python3 "$TOOLS" same-picture "$TEST_DIR/scene/seq00039.tga" \
    "$RIPPLEX_SOURCE_DIR/tests/e2e/default_scene_39.tga.gz" || fail "the picture has changed"
echo "viewer picture: ok"
