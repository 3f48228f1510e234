# Without a display GLUT cannot start: status -1 (255 in the shell) and the
# GLUT line after the start line, whether DISPLAY is unset or names no
# server.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$RIPPLEX_SOURCE_DIR/default" "$work/scene"

for display in unset ":4711.0"; do
    rm -f "$work/error.log"
    status=0
    if [[ $display == unset ]]; then
        (cd "$work" && env -u DISPLAY "$RIPPLEX" --directory scene >/dev/null 2>&1) || status=$?
    else
        (cd "$work" && DISPLAY=$display "$RIPPLEX" --directory scene >/dev/null 2>&1) || status=$?
    fi
    [[ $status == 255 ]] || { echo "FAIL: DISPLAY $display: status $status, expected 255"; exit 1; }
    printf -- "-- Debut du fichier d'erreur --\nCApplication::Init -- Erreur \xE0 l'initialisation de GLUT\n" \
        >"$work/expected.log"
    sed -E 's/^[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]+ - //' "$work/error.log" >"$work/actual.log"
    cmp -s "$work/expected.log" "$work/actual.log" ||
        { echo "FAIL: DISPLAY $display: log:"; cat -v "$work/actual.log"; exit 1; }
done
echo "viewer without display: ok"
