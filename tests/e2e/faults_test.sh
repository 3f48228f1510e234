#!/usr/bin/env bash
# Faults between and during runs: an error log that cannot be created, and
# files that disappear, are cut short or hold a user's mistakes between two
# start-ups. Each must give lines that name the file and the reason (or one
# line on the terminal where there is no log) and a clean refusal, never a
# crash; a key that has no effect only gives a warning.
set -uo pipefail
: "${RIPPLEX:?path of ripplex}"
: "${RIPPLEX_SIM:?path of ripplex-sim}"
: "${RIPPLEX_SOURCE_DIR:?path of the source tree}"
export LC_ALL=C

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# --- error.log cannot be created: the program runs on; only the terminal
# learns that the start failed.
mkdir -p "$work/start/error.log"
(
    cd "$work/start" || exit 99
    "$RIPPLEX" data >stdout.txt 2>stderr.txt
    echo $? >status.txt
)
[[ $(cat "$work/start/status.txt") == 254 ]] ||
    fail "malformed command line without a log: status $(cat "$work/start/status.txt")"
printf 'ripplex : lancement impossible, et error.log n\x27a pas pu \xEAtre cr\xE9\xE9 dans le r\xE9pertoire de d\xE9part\n' |
    cmp -s - "$work/start/stderr.txt" || fail "stderr: $(cat -v "$work/start/stderr.txt")"
grep -q '^Version de GLUI:2.010000$' "$work/start/stdout.txt" || fail "report missing"
[[ -f "$work/start/ripplex.log" && ! -s "$work/start/ripplex.log" ]] ||
    fail "ripplex.log should still be created empty"

# --- Files that change between start-ups. ----------------------------------
scene="$work/scene"
fresh_scene() {
    rm -rf "$scene"
    cp -r "$RIPPLEX_SOURCE_DIR/default" "$scene"
}

# Runs one step of the scene; status in $status, log lines in $work/log.txt.
run_scene() {
    "$RIPPLEX_SIM" --directory "$scene" --steps 1 >"$work/out.txt" 2>"$work/log.txt"
    status=$?
}

# The log (standard error) must end with exactly these lines, Latin-1 bytes.
expect_tail() {
    local what=$1
    shift
    printf -- "$@" >"$work/expected.txt"
    local count
    count=$(wc -l <"$work/expected.txt")
    sed -E 's/^[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]+ - //' "$work/log.txt" | tail -n "$count" \
        >"$work/actual.txt"
    cmp -s "$work/expected.txt" "$work/actual.txt" ||
        fail "$what: log ends with $(cat -v "$work/actual.txt"), expected $(cat -v "$work/expected.txt")"
}

scene_failed='CWaterScene::Init -- Impossible d\x27initialiser la sc\xE8ne\n'

fresh_scene
run_scene
[[ $status == 0 && ! -s "$work/log.txt" ]] || fail "the shipped scene: $status $(cat "$work/log.txt")"

# water.tga as a 1 x 1 image: image type $1, colour-map type $2, bits per
# pixel $3 (two hex digits).
tga() {
    printf "\\x00\\x0$2\\x0$1\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x01\\x00\\x01\\x00\\x$3\\x00\\xff\\xff\\xff" \
        >"$scene/water.tga"
}
events() { printf "$1" >"$scene/events.opt"; }
simulation() { sed -i "$1" "$scene/simulation.opt"; }
tga_line='CTgaImage::TgaImageLoad -- Fichier'
unsupported='non support\xE9e, seules les couleurs vraies de 24 ou 32 bits se lisent\n'
bad_events='COptionsParser::ParseFile -- Erreur ! Fichier events.opt mal form\xE9, ligne 2 : '
warning='COptionsParser::WarnUnreadKeys -- Avertissement : cl\xE9'
# One damage per row: what is done to a fresh copy of the shipped scene,
# the exit status and the lines the log must end with (printf escapes).
cases=(
    # Meshes: the loader's reason, then a line that names the file.
    'truncated mesh|truncate -s $(($(stat -c %s "$scene/bottom.obj") / 2)) "$scene/bottom.obj"|1|C3DSObject::LoadOBJ -- Impossible de charger le maillage bottom.obj\n'"$scene_failed"
    'missing mesh|rm "$scene/bottom.obj"|1|C3DSObject::LoadOBJ -- Erreur \xE0 l\x27ouverture du fichier\nC3DSObject::LoadOBJ -- Impossible de charger le maillage bottom.obj\n'"$scene_failed"
    # Textures.
    'missing texture|rm "$scene/water.tga"|1|CTgaImage::TgaImageLoad -- Impossible d\x27ouvrir le fichier water.tga\n'"$scene_failed"
    'grey texture|tga 3 0 08|1|'"$tga_line"' water.tga : image en niveaux de gris (type 3) de 8 bits par pixel '"$unsupported$scene_failed"
    'colour-mapped texture|tga 1 1 08|1|'"$tga_line"' water.tga : image \xE0 palette (type 1) de 8 bits par pixel '"$unsupported$scene_failed"
    '16-bit texture|tga 2 0 10|1|'"$tga_line"' water.tga : image en couleurs vraies (type 2) de 16 bits par pixel '"$unsupported$scene_failed"
    'texture without a header|truncate -s 10 "$scene/bottom.tga"|1|'"$tga_line"' bottom.tga trop court pour un en-t\xEAte TGA\n'"$scene_failed"
    'short texture|truncate -s 1000 "$scene/bottom.tga"|0|'"$tga_line"' bottom.tga tronqu\xE9 : les pixels manquants sont mis \xE0 z\xE9ro\n'
    # Option files: where reading stopped and why.
    'missing events|rm "$scene/events.opt"|1|COptionsParser::ParseFile -- Erreur ! Impossible d\x27ouvrir le fichier events.opt\n'"$scene_failed"
    'missing ;|events "iEventNumber = 1\\ndEvent1Time = 0.5;"|1|'"$bad_events"'\x27;\x27 attendu apr\xE8s la valeur de iEventNumber\n'"$scene_failed"
    'unclosed comment|events "iEventNumber = 0;\\n/* off:\\niEventNumber = 1;"|1|'"$bad_events"'commentaire /* jamais ferm\xE9\n'"$scene_failed"
    'statement cut by the end|events "iEventNumber = 0;\\niEvent"|1|'"$bad_events"'instruction inachev\xE9e \xE0 la fin du fichier\n'"$scene_failed"
    # Keys that have no effect: warnings, the scene starts.
    'misspelt key|simulation s/iSimulationWidth/iSimulationWidht/|0|'"$warning"' iSimulationWidht du fichier simulation.opt jamais lue (nom inconnu, ou sans effet dans ce cas)\n'
    'integer for a float|simulation "s/dGravity = 9.81/dGravity = 10/"|0|'"$warning"' dGravity du fichier simulation.opt ignor\xE9e, valeur par d\xE9faut utilis\xE9e : il faut un nombre avec un point d\xE9cimal\n'
    'word for a number|events "iEventNumber = zero;"|0|'"$warning"' iEventNumber du fichier events.opt ignor\xE9e, valeur ni nombre, ni true ou false, ni texte entre guillemets\n'
    'key written twice|events "iEventNumber = 0; iEventNumber = 1;"|0|'"$warning"' iEventNumber du fichier events.opt \xE9crite plusieurs fois, seule la premi\xE8re compte\n'
)
for row in "${cases[@]}"; do
    IFS='|' read -r what damage expected lines <<<"$row"
    fresh_scene
    eval "$damage"
    run_scene
    [[ $status == "$expected" ]] || fail "$what: status $status, expected $expected"
    expect_tail "$what" "$lines"
done

if ((failures)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "faults: all passed"
