#!/usr/bin/env bash
# ripplex-sim end to end: a small scenario made in a temporary directory,
# the summary line format, the heights dump, repeatability, and the
# refusals (directory, start-up, command line) with their statuses.
set -uo pipefail

: "${RIPPLEX_SIM:?path of ripplex-sim}"
: "${RIPPLEX_SOURCE_DIR:?path of the source tree}"
export LC_ALL=C

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

scene="$work/scene"
mkdir -p "$scene"
if [[ -f "$RIPPLEX_SOURCE_DIR/default/bottom.obj" ]]; then
    cp "$RIPPLEX_SOURCE_DIR/default/bottom.obj" "$RIPPLEX_SOURCE_DIR/default/water.tga" \
       "$RIPPLEX_SOURCE_DIR/default/bottom.tga" "$scene/"
else
    : "${RIPPLEX_MAKE_ASSETS:?path of ripplex-make-assets}"
    "$RIPPLEX_MAKE_ASSETS" "$work/generated" >/dev/null
    cp "$work/generated/bottom.obj" "$work/generated/water.tga" "$work/generated/bottom.tga" "$scene/"
fi
cat > "$scene/simulation.opt" <<'OPT'
iSimulationWidth = 20; iSimulationHeight = 16;
dSimulationSizeX = 1.0; dSimulationSizeY = 0.8;
dDefaultHeight = 0.5; dGravity = 2.0; dFriction = 0.5; dWaterFriction = 2.0;
dForceFactor = 2.0; dParticleThresHold = 0.2;
strBottomObjFileName = "bottom.obj";
strWaterTextureFileName = "water.tga";
strBottomTextureFileName = "bottom.tga";
OPT
cat > "$scene/events.opt" <<'OPT'
iEventNumber = 1;
dEvent1Time = 0.1; strEvent1ObjectName = "ball";
dEvent1ObjectMass = 0.1; dEvent1ObjectSize = 0.1; dEvent1ObjectPosZ = 0.9;
OPT

line_re='^time=[0-9]+\.[0-9]{6} water=[-+0-9.e]+ spray=[-+0-9.e]+ objects=[0-9]+ particles=[0-9]+$'

# Summary lines: the start, every 10 steps, the last one (25 is not a multiple).
out=$("$RIPPLEX_SIM" --directory "$scene" --steps 25 --every 10 --heights "$work/h1.bin" 2>"$work/err")
status=$?
[[ $status -eq 0 ]] || fail "normal run exited with $status: $(cat "$work/err")"
[[ $(printf '%s\n' "$out" | wc -l) -eq 4 ]] || fail "expected 4 lines, got: $out"
while IFS= read -r line; do
    [[ "$line" =~ $line_re ]] || fail "badly formed line: $line"
done <<<"$out"
[[ $(printf '%s\n' "$out" | head -1) == "time=0.000000 water=0.315"*" spray=0 objects=0 particles=0" ]] \
    || fail "first line is not the start: $out"
[[ $(printf '%s\n' "$out" | tail -1) == "time=0.750000 "*"objects=1 "* ]] \
    || fail "last line should be at 0.75 s with the ball: $out"
[[ -s "$work/err" ]] && fail "a clean run wrote to standard error: $(cat "$work/err")"

# Heights: W·H float32, nothing else; the same again on a second run.
size=$(stat -c %s "$work/h1.bin" 2>/dev/null || echo 0)
[[ $size -eq $((20 * 16 * 4)) ]] || fail "heights file has $size bytes, not 1280"
"$RIPPLEX_SIM" -d "$scene" --steps 25 --heights "$work/h2.bin" >/dev/null 2>&1 || fail "second run failed"
cmp -s "$work/h1.bin" "$work/h2.bin" || fail "two runs of the same scene differ"

# Zero steps: one line, the level basin (0.5 = 00 00 00 3f little-endian).
out=$("$RIPPLEX_SIM" -d "$scene" --steps 0 --heights "$work/h0.bin" 2>&1) || fail "zero steps failed"
[[ "$out" =~ $line_re ]] || fail "zero steps line: $out"
first=$(od -An -tx1 -N4 "$work/h0.bin" | tr -d ' ')
[[ "$first" == "0000003f" ]] || fail "first height bytes are $first, not 0.5 little-endian"

# Numbers as a user writes them: 08 is eight, 1e-2 a hundredth, 1 one; a
# directory named like a number is a name.
out=$("$RIPPLEX_SIM" -d "$scene" --steps 08 --dt 1e-2 2>&1)
[[ "$out" == "time=0.080000 "* ]] || fail "--steps 08 --dt 1e-2: $out"
cp -r "$scene" "$work/2024"
out=$(cd "$work" && "$RIPPLEX_SIM" --directory 2024 --steps 1 --dt:1 2>&1)
[[ "$out" == "time=1.000000 "* ]] || fail "--directory 2024 --dt 1: $out"

# The shipped scene at twice its step: sane in sub-steps; in plain steps
# (--no-substeps) it blows up, and the run stops with status 3 and one line.
shipped="$RIPPLEX_SOURCE_DIR/default"
"$RIPPLEX_SIM" -d "$shipped" --steps 100 --dt 0.06 >/dev/null 2>"$work/err" ||
    fail "sub-stepped run at 0.06 s: status $?: $(cat "$work/err")"
"$RIPPLEX_SIM" -d "$shipped" --steps 100 --dt 0.06 --no-substeps >/dev/null 2>"$work/err"
status=$?
[[ $status -eq 3 ]] || fail "plain steps of 0.06 s gave status $status"
grep -Eq $'^[0-9:]+ - CWaterBody::Advance -- Simulation divergente \xe0 t = [0-9]+\.[0-9]{4} s : .+ '$'\(pas stable maximal 0\.0456896 s, pas utilis\xe9 0\.06 s\)$' "$work/err" &&
    [[ $(wc -l <"$work/err") -eq 1 ]] || fail "divergence line: $(cat "$work/err")"

# A directory that cannot be entered: the program's line, non-zero status.
"$RIPPLEX_SIM" -d "$work/missing" --steps 1 >"$work/out" 2>"$work/err"
status=$?
[[ $status -ne 0 && $status -ne 2 ]] || fail "missing directory gave status $status"
grep -q $'CApplication::Init -- Impossible de changer pour le r\xe9pertoire '"$work/missing !" "$work/err" \
    || fail "missing directory line: $(cat "$work/err")"
[[ -s "$work/out" ]] && fail "missing directory printed a summary"

# A scene that cannot start: the scene's line, non-zero status.
broken="$work/broken"
cp -r "$scene" "$broken"
rm "$broken/events.opt"
"$RIPPLEX_SIM" -d "$broken" --steps 1 >/dev/null 2>"$work/err"
status=$?
[[ $status -ne 0 && $status -ne 2 ]] || fail "missing events.opt gave status $status"
grep -q $'CWaterScene::Init -- Impossible d\'initialiser la sc\xe8ne' "$work/err" \
    || fail "start-up failure line: $(cat "$work/err")"

# A parameter that cannot make a grid is named in the log.
cp "$scene/events.opt" "$broken/"
sed -i 's/iSimulationWidth = 20;/iSimulationWidth = 2;/' "$broken/simulation.opt"
"$RIPPLEX_SIM" -d "$broken" --steps 1 >/dev/null 2>"$work/err" && fail "width 2 was accepted"
grep -q $'CWaterBody::Init -- Param\xe8tre iSimulationWidth invalide : 2' "$work/err" \
    || fail "refused parameter line: $(cat "$work/err")"

# Bad command lines: status 2, the reason naming the option and the text,
# then the usage.
count='a whole number >= 0 (decimal digits)'
bad_lines=(
    "data|malformed command line"
    "-d $scene|--steps needs $count"
    "-d $scene --steps|--steps needs $count"
    "-d $scene --steps 1.5|--steps needs $count, not \"1.5\""
    "-d $scene --steps -1|--steps needs $count, not \"-1\""
    "-d $scene --steps 0x10|--steps needs $count, not \"0x10\""
    "-d $scene --steps 3 --dt 0|--dt needs a number > 0 (as 0.03 or 3e-2), not \"0\""
    "-d $scene --steps 3 --dt:-0.5|--dt needs a number > 0 (as 0.03 or 3e-2), not \"-0.5\""
    "-d $scene --steps 3 --dt 0.5s|--dt needs a number > 0 (as 0.03 or 3e-2), not \"0.5s\""
    "-d $scene --steps 3 --every 0|--every needs a whole number >= 1 (decimal digits), not \"0\""
    "-d $scene --steps 3 --heights|--heights needs a file name"
    "-d $scene --steps 3 --colour blue|unknown option colour"
    "-d $scene --steps 3 stray|malformed command line"
    "--|malformed command line"
)
for row in "${bad_lines[@]}"; do
    IFS='|' read -r args reason <<<"$row"
    # shellcheck disable=SC2086
    "$RIPPLEX_SIM" $args >"$work/out" 2>"$work/err"
    status=$?
    [[ $status -eq 2 ]] || fail "'$args' gave status $status"
    [[ $(head -n 1 "$work/err") == "ripplex-sim: $reason" ]] || fail "'$args': $(head -n 1 "$work/err")"
    grep -q '^usage: ripplex-sim ' "$work/err" || fail "'$args' printed no usage line"
    [[ -s "$work/out" ]] && fail "'$args' printed a summary"
done

if [[ $failures -ne 0 ]]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "ripplex-sim end to end: all checks passed"
