#!/usr/bin/env bash
# ripplex-sim end to end: a small scenario made in a temporary directory,
# the summary line format, the heights dump, repeatability, the divergence
# stop, and the refusals (directory, start-up, command line) with their
# statuses.
set -uo pipefail
: "${RIPPLEX_SIM:?path of ripplex-sim}"
: "${RIPPLEX_SOURCE_DIR:?path of the source tree}"
source "$RIPPLEX_SOURCE_DIR/tests/e2e/checks.sh"

scene="$work/scene"
scene_dir "$scene"
cat > "$scene/simulation.opt" <<'OPT'
iSimulationWidth = 20; iSimulationHeight = 16; dSimulationSizeX = 1.0; dSimulationSizeY = 0.8;
dDefaultHeight = 0.5; dGravity = 2.0; dFriction = 0.5; dWaterFriction = 2.0;
dForceFactor = 2.0; dParticleThresHold = 0.2; strBottomObjFileName = "bottom.obj";
strWaterTextureFileName = "water.tga"; strBottomTextureFileName = "bottom.tga";
OPT
cat > "$scene/events.opt" <<'OPT'
iEventNumber = 1; dEvent1Time = 0.1; strEvent1ObjectName = "ball";
dEvent1ObjectMass = 0.1; dEvent1ObjectSize = 0.1; dEvent1ObjectPosZ = 0.9;
OPT

# Summary lines: the start, every 10 steps, the last one (25 is not a
# multiple). The water starts at 0.5 · 18 · 14 cells of 0.05 · 0.05.
line_re='^time=[0-9]+\.[0-9]{6} water=[-+0-9.e]+ spray=[-+0-9.e]+ objects=[0-9]+ particles=[0-9]+$'
out=$("$RIPPLEX_SIM" --directory "$scene" --steps 25 --every 10 --heights "$work/h1.bin" 2>"$work/err") ||
    fail "normal run exited with $?: $(cat "$work/err")"
[[ $(printf '%s\n' "$out" | wc -l) -eq 4 ]] || fail "expected 4 lines, got: $out"
while IFS= read -r line; do
    [[ "$line" =~ $line_re ]] || fail "badly formed line: $line"
done <<<"$out"
[[ $(printf '%s\n' "$out" | head -1) == "time=0.000000 water=0.315"*" spray=0 objects=0 particles=0" ]] ||
    fail "first line is not the start: $out"
[[ $(printf '%s\n' "$out" | tail -1) == "time=0.750000 "*"objects=1 "* ]] ||
    fail "last line should be at 0.75 s with the ball: $out"
[[ -s "$work/err" ]] && fail "a clean run wrote to standard error: $(cat "$work/err")"

# Heights: W·H float32, nothing else; the same again on a second run; at
# zero steps the level basin (0.5 = 00 00 00 3f little-endian).
[[ $(stat -c %s "$work/h1.bin") -eq $((20 * 16 * 4)) ]] || fail "heights file is not 1280 bytes"
"$RIPPLEX_SIM" -d "$scene" --steps 25 --heights "$work/h2.bin" >/dev/null 2>&1 || fail "second run failed"
cmp -s "$work/h1.bin" "$work/h2.bin" || fail "two runs of the same scene differ"
out=$("$RIPPLEX_SIM" -d "$scene" --steps 0 --heights "$work/h0.bin" 2>&1) || fail "zero steps failed"
[[ "$out" =~ $line_re ]] || fail "zero steps line: $out"
[[ $(od -An -tx1 -N4 "$work/h0.bin" | tr -d ' ') == "0000003f" ]] || fail "first height is not 0.5"

# Numbers as a user writes them: 08 is eight, 1e-2 a hundredth, 1 one; a
# directory named like a number is a name.
out=$("$RIPPLEX_SIM" -d "$scene" --steps 08 --dt 1e-2 2>&1)
[[ "$out" == "time=0.080000 "* ]] || fail "--steps 08 --dt 1e-2: $out"
cp -r "$scene" "$work/2024"
out=$(cd "$work" && "$RIPPLEX_SIM" --directory 2024 --steps 1 --dt:1 2>&1)
[[ "$out" == "time=1.000000 "* ]] || fail "--directory 2024 --dt 1: $out"

# The shipped scene at twice its step: sane in sub-steps; in plain steps
# (--no-substeps) it blows up, and the run stops with status 3 and one line
# (the README's). The small scene's spray runs away by 1.62 s.
"$RIPPLEX_SIM" -d "$RIPPLEX_SOURCE_DIR/default" --steps 100 --dt 0.06 >/dev/null 2>"$work/err" ||
    fail "sub-stepped run at 0.06 s: status $?: $(cat "$work/err")"
"$RIPPLEX_SIM" -d "$RIPPLEX_SOURCE_DIR/default" --steps 100 --dt 0.06 --no-substeps >/dev/null 2>"$work/err"
status=$?
[[ $status -eq 3 ]] || fail "plain steps of 0.06 s gave status $status"
grep -Eq $'^[0-9:]+ - CWaterBody::Advance -- Simulation divergente \xe0 t = 1\.0800 s : eau \xe0 72\.3 %, eau et embruns \xe0 100\.0 % du volume de d\xe9part \(pas stable maximal 0\.0456896 s, pas utilis\xe9 0\.06 s\)$' "$work/err" &&
    [[ $(wc -l <"$work/err") -eq 1 ]] || fail "divergence line: $(cat "$work/err")"
"$RIPPLEX_SIM" -d "$scene" --steps 60 >/dev/null 2>"$work/err"
status=$?
grep -q $'t = 1.6200 s : embruns en emballement, eau \xe0 73.9 % et embruns \xe0 24.8 % du volume de d\xe9part ; dParticleThresHold = 0.2 atteint d\xe9j\xe0 les 0.2 conseill\xe9s pour cette grille, l\'augmenter encore (pas' "$work/err" &&
    [[ $status -eq 3 ]] || fail "runaway spray: status $status, $(cat "$work/err")"

# Directory, start-up and parameter failures: status 1, the line that says
# why, no summary.
broken="$work/broken"
cp -r "$scene" "$broken"
rm "$broken/events.opt"
cp -r "$scene" "$work/narrow"
sed -i 's/iSimulationWidth = 20;/iSimulationWidth = 2;/' "$work/narrow/simulation.opt"
for row in "$work/missing|CApplication::Init -- Impossible de changer pour le r"$'\xe9'"pertoire $work/missing !" \
    "$broken|CWaterScene::Init -- Impossible d'initialiser la sc"$'\xe8'"ne" \
    "$work/narrow|CWaterBody::Init -- Param"$'\xe8'"tre iSimulationWidth invalide : 2"; do
    IFS='|' read -r directory reason <<<"$row"
    "$RIPPLEX_SIM" -d "$directory" --steps 1 >"$work/out" 2>"$work/err"
    status=$?
    [[ $status -eq 1 ]] || fail "$directory gave status $status"
    grep -qF -- "$reason" "$work/err" || fail "$directory: $(cat "$work/err")"
    [[ -s "$work/out" ]] && fail "$directory printed a summary"
done

# Bad command lines: status 2, the reason naming the option and the text,
# then the usage.
count='a whole number >= 0 (decimal digits)'
dt='a number > 0 (as 0.03 or 3e-2)'
parts='parts among heights, surface, objects, bottom, comma-separated'
bad_lines=(
    "data|malformed command line"
    "-d $scene|--steps needs $count"
    "-d $scene --steps|--steps needs $count"
    "-d $scene --steps 1.5|--steps needs $count, not \"1.5\""
    "-d $scene --steps -1|--steps needs $count, not \"-1\""
    "-d $scene --steps 0x10|--steps needs $count, not \"0x10\""
    "-d $scene --steps 2147483648|--steps needs $count, not \"2147483648\""
    "-d $scene --steps 3 --dt 0|--dt needs $dt, not \"0\""
    "-d $scene --steps 3 --dt:-0.5|--dt needs $dt, not \"-0.5\""
    "-d $scene --steps 3 --dt 0.5s|--dt needs $dt, not \"0.5s\""
    "-d $scene --steps 3 --dt 1e999|--dt needs $dt, not \"1e999\""
    "-d $scene --steps 3 --every 0|--every needs a whole number >= 1 (decimal digits), not \"0\""
    "-d $scene --steps 3 --heights|--heights needs a file name"
    "-d $scene --steps 3 --export|--export needs a directory name"
    "-d $scene --steps 3 --export x --leave-out heights,,bottom|--leave-out needs $parts, not \"heights,,bottom\""
    "-d $scene --steps 3 --export x --leave-out Surface|--leave-out needs $parts, not \"Surface\""
    "-d $scene --steps 3 --leave-out surface|--leave-out needs --export"
    "-d $scene --steps 3 --export x --leave-out bottom,objects,surface,heights|--leave-out leaves nothing to export"
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

finish "ripplex-sim end to end"
