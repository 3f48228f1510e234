#!/usr/bin/env bash
# Faults between and during runs: an error log that cannot be created, and
# files that disappear or are cut short between two start-ups. Each must
# give the loader's own message (or silence where there is no log) and a
# clean refusal, never a crash.
set -uo pipefail
: "${RIPPLEX:?path of ripplex}"
: "${RIPPLEX_SIM:?path of ripplex-sim}"
: "${RIPPLEX_SOURCE_DIR:?path of the source tree}"
export LC_ALL=C

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# --- error.log cannot be created: the program runs on, silently. ----------
mkdir -p "$work/start/error.log"
(
    cd "$work/start" || exit 99
    "$RIPPLEX" data >stdout.txt 2>stderr.txt
    echo $? >status.txt
)
[[ $(cat "$work/start/status.txt") == 254 ]] ||
    fail "malformed command line without a log: status $(cat "$work/start/status.txt")"
[[ ! -s "$work/start/stderr.txt" ]] || fail "something went to stderr: $(cat "$work/start/stderr.txt")"
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

scene_failed='CWaterScene::Init -- Impossible d'"'"'initialiser la sc\xE8ne\n'

fresh_scene
run_scene
[[ $status == 0 ]] || fail "the shipped scene does not start: $(cat "$work/log.txt")"

# One damage per row: what is done to a fresh copy of the shipped scene,
# the status ("ok" or "refused") and the lines the log must end with.
mesh_line='C3DSObject::LoadOBJ -- Erreur \xE0 l'"'"'ouverture du fichier\n'
events_line='COptionsParser::ParseFile -- Erreur ! Impossible d'"'"'ouvrir le fichier events.opt\n'
cut_in_gravity() {
    local offset
    offset=$(grep -ab -m1 'dGravity' "$scene/simulation.opt" | cut -d: -f1)
    [[ -n $offset ]] || fail "no dGravity in simulation.opt"
    truncate -s $((${offset:-0} + 5)) "$scene/simulation.opt"
}
cases=(
    # The mesh loader's own line comes before the scene's (checked below).
    'truncated mesh|truncate -s $(($(stat -c %s "$scene/bottom.obj") / 2)) "$scene/bottom.obj"|refused|'"$scene_failed"
    'missing mesh|rm "$scene/bottom.obj"|refused|'"$mesh_line$scene_failed"
    # The image reader has no message for a missing file.
    'missing texture|rm "$scene/water.tga"|refused|'"$scene_failed"
    # Cut short in its pixels a texture still loads, the missing ones black.
    'short texture|truncate -s 1000 "$scene/bottom.tga"|ok|'
    'texture without a header|truncate -s 10 "$scene/bottom.tga"|refused|'"$scene_failed"
    'missing events|rm "$scene/events.opt"|refused|'"$events_line$scene_failed"
    # Cut in the middle of a statement: invalid, and no "cannot open" line.
    'truncated simulation.opt|cut_in_gravity|refused|'"$scene_failed"
)
for row in "${cases[@]}"; do
    IFS='|' read -r what damage outcome lines <<<"$row"
    fresh_scene
    eval "$damage"
    run_scene
    if [[ $outcome == ok ]]; then
        [[ $status == 0 ]] || fail "$what refused: $(cat "$work/log.txt")"
        continue
    fi
    [[ $status != 0 ]] || fail "$what accepted"
    expect_tail "$what" "$lines"
    case $what in
    "truncated mesh") grep -aq '^[0-9:]* - C3DSObject::LoadOBJ -- ' "$work/log.txt" ||
        fail "truncated mesh: no loader line" ;;
    "truncated simulation.opt") ! grep -aq 'COptionsParser' "$work/log.txt" ||
        fail "a cut file is not a missing one" ;;
    esac
done

if ((failures)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "faults: all passed"
