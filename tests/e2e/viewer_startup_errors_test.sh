# Start-up failures that need the window side: each ends with status -2
# (254 in the shell) and the exact Latin-1 lines of error.log, in order.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
viewer_setup

# Runs the viewer on directory $1 and checks status 254 and that the log,
# without its time prefixes, is exactly the start line and then $2 (lines
# given with printf escapes, \xE0 and so on).
expect_failure() {
    local directory=$1 expected=$2 status
    rm -f "$TEST_DIR/error.log"
    start_viewer --directory "$directory"
    wait_exit "$VIEWER_PID" 60; status=$EXIT_STATUS
    [[ $status == 254 ]] || fail "$directory: exit status $status, expected 254"
    printf -- "-- Debut du fichier d'erreur --\n$expected" >"$TEST_DIR/expected.log"
    log_messages >"$TEST_DIR/actual.log"
    cmp -s "$TEST_DIR/expected.log" "$TEST_DIR/actual.log" ||
        fail "$directory: log differs: $(diff <(cat -v "$TEST_DIR/expected.log") <(cat -v "$TEST_DIR/actual.log"))"
}

main_scene_line='CApplication::Init -- Impossible de charger la sc\xE8ne principale\n'
scene_line='CWaterScene::Init -- Impossible d'"'"'initialiser la sc\xE8ne\n'

copy_default_scene no-graphics
rm "$TEST_DIR/no-graphics/graphics.opt"
expect_failure no-graphics \
'COptionsParser::ParseFile -- Erreur ! Impossible d'"'"'ouvrir le fichier graphics.opt
CGraphics::InitGLUT -- Impossible de lire le fichier de configuration graphics.opt
CGraphics::Init -- Erreur \xE0 l'"'"'initialisation de la GLUT!
CApplication::Init -- Erreur \xE0 l'"'"'initialisation graphique
CApplication::Init -- Message d'"'"'erreur:graphics.opt non trouv\xE9\n'

copy_default_scene no-scene
rm "$TEST_DIR/no-scene/scene.opt"
expect_failure no-scene \
"COptionsParser::ParseFile -- Erreur ! Impossible d'ouvrir le fichier scene.opt\n$main_scene_line"

# A mesh whose version byte is neither 12 nor 21 (its message ends with a
# line feed of its own, which the log does not double).
copy_default_scene bad-mesh
printf '\x07\x0b' | dd of="$TEST_DIR/bad-mesh/bottom.obj" bs=1 count=2 conv=notrunc status=none
expect_failure bad-mesh \
"C3DSObject::LoadOBJ -- Mauvaise version de fichier !
C3DSObject::LoadOBJ -- Impossible de charger le maillage bottom.obj\n$scene_line$main_scene_line"

copy_default_scene no-texture
rm "$TEST_DIR/no-texture/water.tga"
expect_failure no-texture \
"CTgaImage::TgaImageLoad -- Impossible d'ouvrir le fichier water.tga\n$scene_line$main_scene_line"

# Not failures: a texture wider than OpenGL takes (only its header, so cut
# short too) is drawn untextured, and a key nobody reads is warned about,
# each with a line; the viewer records its frame and ends normally.
copy_default_scene wide
printf '\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\xff\xff\x01\x00\x18\x00' \
    >"$TEST_DIR/wide/water.tga"
echo 'iScreenWidht = 640;' >>"$TEST_DIR/wide/graphics.opt"
rm -f "$TEST_DIR/error.log"
start_viewer --directory wide --record 1
wait_exit "$VIEWER_PID" 60
[[ $EXIT_STATUS == 0 ]] || fail "wide texture: exit status $EXIT_STATUS"
printf -- "-- Debut du fichier d'erreur --
CTgaImage::TgaImageLoad -- Fichier water.tga tronqu\xE9 : les pixels manquants sont mis \xE0 z\xE9ro
LoadTexture -- Texture water.tga trop grande pour OpenGL (65535 x 1, au plus N) : surface dessin\xE9e sans texture
COptionsParser::WarnUnreadKeys -- Avertissement : cl\xE9 iScreenWidht du fichier graphics.opt jamais lue (nom inconnu, ou sans effet dans ce cas)\n" \
    >"$TEST_DIR/expected.log"
# The limit is the driver's own.
log_messages | sed -E 's/au plus [0-9]+\)/au plus N)/' >"$TEST_DIR/actual.log"
cmp -s "$TEST_DIR/expected.log" "$TEST_DIR/actual.log" ||
    fail "wide texture: log differs: $(diff <(cat -v "$TEST_DIR/expected.log") <(cat -v "$TEST_DIR/actual.log"))"
echo "viewer start-up errors: ok"
