# Start-up failures that need the window side: each ends with status -2
# (254 in the shell) and the exact Latin-1 lines of error.log, in order.
# Then two that are not failures: a texture wider than OpenGL takes (only
# its header, so cut short too) is drawn untextured, and a key nobody reads
# is warned about, each with a line; the viewer records and ends normally.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
viewer_setup

# Runs the viewer on a copy of the shipped scene damaged by command $2 and
# checks status $3 and that the log, without its time prefixes and with the
# driver's texture limit as N, is the start line and then $4 (printf escapes).
expect_log() {
    local name=$1 damage=$2 status=$3 expected=$4
    copy_default_scene "$name"
    (cd "$TEST_DIR/$name" && eval "$damage")
    rm -f "$TEST_DIR/error.log"
    start_viewer --directory "$name" --record 1
    wait_exit "$VIEWER_PID"
    [[ $EXIT_STATUS == "$status" ]] || fail "$name: exit status $EXIT_STATUS, expected $status"
    printf -- "-- Debut du fichier d'erreur --\n$expected" >"$TEST_DIR/expected.log"
    log_messages | sed -E 's/au plus [0-9]+\)/au plus N)/' >"$TEST_DIR/actual.log"
    cmp -s "$TEST_DIR/expected.log" "$TEST_DIR/actual.log" ||
        fail "$name: log differs: $(diff <(cat -v "$TEST_DIR/expected.log") <(cat -v "$TEST_DIR/actual.log"))"
}

main_scene='CApplication::Init -- Impossible de charger la sc\xE8ne principale\n'
scene="CWaterScene::Init -- Impossible d'initialiser la sc\\xE8ne\\n$main_scene"
expect_log no-graphics 'rm graphics.opt' 254 \
"COptionsParser::ParseFile -- Erreur ! Impossible d'ouvrir le fichier graphics.opt
CGraphics::InitGLUT -- Impossible de lire le fichier de configuration graphics.opt
CGraphics::Init -- Erreur \xE0 l'initialisation de la GLUT!
CApplication::Init -- Erreur \xE0 l'initialisation graphique
CApplication::Init -- Message d'erreur:graphics.opt non trouv\xE9\n"
expect_log no-scene 'rm scene.opt' 254 \
"COptionsParser::ParseFile -- Erreur ! Impossible d'ouvrir le fichier scene.opt\n$main_scene"
# The version message ends with a line feed of its own, which the log does
# not double.
expect_log bad-mesh "printf '\x07\x0b' | dd of=bottom.obj bs=1 count=2 conv=notrunc status=none" 254 \
"C3DSObject::LoadOBJ -- Mauvaise version de fichier !
C3DSObject::LoadOBJ -- Impossible de charger le maillage bottom.obj\n$scene"
expect_log no-texture 'rm water.tga' 254 \
"CTgaImage::TgaImageLoad -- Impossible d'ouvrir le fichier water.tga\n$scene"
expect_log wide "printf '\0\0\2\0\0\0\0\0\0\0\0\0\377\377\1\0\30\0' >water.tga
    echo 'iScreenWidht = 640;' >>graphics.opt" 0 \
"CTgaImage::TgaImageLoad -- Fichier water.tga tronqu\xE9 : les pixels manquants sont mis \xE0 z\xE9ro
LoadTexture -- Texture water.tga trop grande pour OpenGL (65535 x 1, au plus N) : surface dessin\xE9e sans texture
COptionsParser::WarnUnreadKeys -- Avertissement : cl\xE9 iScreenWidht du fichier graphics.opt jamais lue (nom inconnu, ou sans effet dans ce cas)\n"
echo "viewer start-up errors: ok"
