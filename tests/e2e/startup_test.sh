#!/usr/bin/env bash
# Start-up end to end: the system report on standard output, then the
# command-line, working-directory and display failures: status -2 (254 in
# the shell; -1 when GLUT cannot start), exactly the start line and the
# reason in error.log (each line stamped), ripplex.log created empty, and
# one line on the terminal saying where the log is, or that it could not
# be created.
set -euo pipefail
: "${RIPPLEX:?path of the ripplex program}"
start=$(mktemp -d)
trap 'rm -rf "$start"' EXIT
cd "$start"
fail() {
    echo "FAIL: $*" >&2
    [[ -f error.log ]] && { echo "--- error.log:" >&2; cat -v error.log >&2; }
    exit 1
}

malformed='CApplication::Init -- Erreur : La ligne de commande est mal format\xE9e'
no_directory='CApplication::Init -- Impossible de changer pour le r\xE9pertoire %s !'
record='CApplication::Init -- Erreur : option --record "%s" refus\xE9e, il faut un nombre d\x27images en chiffres d\xE9cimaux, 1 ou plus'
video='CApplication::Init -- Erreur : option --video refus\xE9e, il faut un nom de fichier'
no_ffmpeg='CApplication::Init -- Erreur : option --video "%s" refus\xE9e, ffmpeg est introuvable dans le PATH'
cp -r "$RIPPLEX_SOURCE_DIR/default" scene
none=DISPLAY=:4711.0
no_glut='CApplication::Init -- Erreur \xE0 l\x27initialisation de GLUT'
# Environment | arguments | exit status | the reason's line (printf
# format) | its value. No display is reachable, so a start that goes on too
# far ends in GLUT. Directory names are taken as written whatever they look
# like, "directory" wins over "d" in either order, and a '%' is no format.
while IFS='|' read -r environment args expected format value; do
    rm -f error.log ripplex.log
    status=0
    # shellcheck disable=SC2086
    env $environment "$RIPPLEX" $args >stdout.bin 2>stderr.txt || status=$?
    [[ $status == "$expected" ]] || fail "[$args]: exit status $status, expected $expected"
    [[ $(cat stderr.txt) == "ripplex : lancement impossible, voir $(pwd -P)/error.log" ]] ||
        fail "[$args]: stderr $(cat -v stderr.txt)"
    printf -- "-- Debut du fichier d'erreur --\n$format\n" "$value" >expected.bin
    [[ $(grep -cE '^[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]+ - ' error.log) == 2 ]] &&
        sed -E 's/^[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]+ - //' error.log | cmp -s expected.bin - ||
        fail "[$args]: error.log differs from $(cat -v expected.bin)"
    [[ -f ripplex.log && ! -s ripplex.log ]] || fail "[$args]: ripplex.log missing or not empty"
done <<ROWS
$none|data|254|$malformed|
$none|-|254|$malformed|
$none|--|254|$malformed|
$none|-d:|254|$malformed|
$none|-d a b|254|$malformed|
$none||254|$no_directory|default
$none|-d nowhere|254|$no_directory|nowhere
$none|-d elsewhere --directory:missing|254|$no_directory|missing
$none|--directory -d y|254|$no_directory|y
$none|--directory no%dwhere%s|254|$no_directory|no%dwhere%s
$none|--directory 2024|254|$no_directory|2024
$none|-d true|254|$no_directory|true
$none|--record -5|254|$record|-5
$none|--record 1e2|254|$record|1e2
$none|--record:0|254|$record|0
$none|--record|254|$record|
$none|-d scene --video|254|$video|
$none PATH=/nowhere|-d scene --video:-x.mp4|254|$no_ffmpeg|-x.mp4
-u DISPLAY|-d scene|255|$no_glut|
$none|-d scene|255|$no_glut|
ROWS

# The system report of the last run: five Latin-1 lines, the system's own
# in the third.
printf 'Informations syst\xE8me:\n=====================\nSyst\xE8me : X\nVersion de GLUT:3.000000\nVersion de GLUI:2.010000\n' >expected.bin
sed '3s/ : .*/ : X/' stdout.bin | cmp -s expected.bin - || fail "system report: $(cat -v stdout.bin)"

# Without an error log the program still starts; only the terminal learns
# that the start failed.
mkdir -p nolog/error.log
status=0
(cd nolog && "$RIPPLEX" data >/dev/null 2>stderr.txt) || status=$?
[[ $status == 254 ]] || fail "malformed command line without a log: status $status"
printf 'ripplex : lancement impossible, et error.log n\x27a pas pu \xEAtre cr\xE9\xE9 dans le r\xE9pertoire de d\xE9part\n' |
    cmp -s - nolog/stderr.txt || fail "stderr without a log: $(cat -v nolog/stderr.txt)"
[[ -f nolog/ripplex.log && ! -s nolog/ripplex.log ]] || fail "ripplex.log should still be created empty"
echo "startup: all checks passed"
