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

# Mesh cut in the middle of its arrays.
fresh_scene
size=$(stat -c %s "$scene/bottom.obj")
truncate -s $((size / 2)) "$scene/bottom.obj"
run_scene
[[ $status != 0 ]] || fail "truncated mesh accepted"
grep -aq '^[0-9:]* - C3DSObject::LoadOBJ -- ' "$work/log.txt" || fail "truncated mesh: no loader line"
expect_tail "truncated mesh" "$scene_failed"

# Mesh gone.
fresh_scene
rm "$scene/bottom.obj"
run_scene
expect_tail "missing mesh" 'C3DSObject::LoadOBJ -- Erreur \xE0 l'"'"'ouverture du fichier\n'"$scene_failed"

# Texture gone: the image reader has no message for a missing file.
fresh_scene
rm "$scene/water.tga"
run_scene
[[ $status != 0 ]] || fail "missing texture accepted"
expect_tail "missing texture" "$scene_failed"

# Texture cut short: still loads, the missing pixels are black.
fresh_scene
truncate -s 1000 "$scene/bottom.tga"
run_scene
[[ $status == 0 ]] || fail "short texture refused: $(cat "$work/log.txt")"

# Texture cut inside its header.
fresh_scene
truncate -s 10 "$scene/bottom.tga"
run_scene
[[ $status != 0 ]] || fail "texture without a header accepted"
expect_tail "texture without a header" "$scene_failed"

# Event script gone: the parser's line, then the scene's.
fresh_scene
rm "$scene/events.opt"
run_scene
expect_tail "missing events" \
    'COptionsParser::ParseFile -- Erreur ! Impossible d'"'"'ouvrir le fichier events.opt\n'"$scene_failed"

# Simulation options cut in the middle of a statement: invalid, no parser line.
fresh_scene
grep -ab -m1 'dGravity' "$scene/simulation.opt" >/dev/null || fail "no dGravity in simulation.opt"
offset=$(grep -ab -m1 'dGravity' "$scene/simulation.opt" | cut -d: -f1)
truncate -s $((offset + 5)) "$scene/simulation.opt"
run_scene
[[ $status != 0 ]] || fail "truncated simulation.opt accepted"
expect_tail "truncated simulation.opt" "$scene_failed"
if grep -aq 'COptionsParser' "$work/log.txt"; then fail "a cut file is not a missing one"; fi

if ((failures)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "faults: all passed"
