# Recording onto a device with no room left: the program keeps running,
# logs one line for the first frame it cannot write, and the frames after
# the full ones are written as usual.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
viewer_setup

copy_default_scene full
ln -s /dev/full "$TEST_DIR/full/seq00000.tga"
ln -s /dev/full "$TEST_DIR/full/seq00001.tga"
start_viewer --directory full --record 4
wait_exit "$VIEWER_PID" 120; status=$EXIT_STATUS
[[ $status == 0 ]] || fail "--record 4 onto a full device ended with status $status"
for frame in seq00002.tga seq00003.tga; do
    [[ $(python3 "$TOOLS" size "$TEST_DIR/full/$frame") == "800 600" ]] ||
        fail "$frame not written after the full ones"
done
expected=$(printf '%s\n' "-- Debut du fichier d'erreur --" \
    "CWaterScene::IdleScene -- Impossible d'$(printf '\xE9')crire l'image seq00000.tga, l'enregistrement continue")
[[ $(log_messages) == "$expected" ]] || fail "error.log: $(log_messages | cat -v)"
echo "viewer record onto a full device: ok"
