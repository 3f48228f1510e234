#!/usr/bin/env bash
# Start-up end to end: the system report on standard output, then the
# command-line and working-directory failures: status -2 (254 in the
# shell), exactly the start line and the reason in error.log (each line
# stamped), ripplex.log created empty, and one line on the terminal saying
# where the log is.
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
# Arguments | the reason's line (printf format) | its value. Directory
# names are taken as written whatever they look like, "directory" wins
# over "d" in either order, and a '%' is no format.
while IFS='|' read -r args format value; do
    rm -f error.log ripplex.log
    status=0
    # shellcheck disable=SC2086
    "$RIPPLEX" $args >stdout.bin 2>stderr.txt || status=$?
    [[ $status == 254 ]] || fail "[$args]: exit status $status, expected 254"
    [[ $(cat stderr.txt) == "ripplex : lancement impossible, voir $(pwd -P)/error.log" ]] ||
        fail "[$args]: stderr $(cat -v stderr.txt)"
    printf -- "-- Debut du fichier d'erreur --\n$format\n" "$value" >expected.bin
    [[ $(grep -cE '^[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]+ - ' error.log) == 2 ]] &&
        sed -E 's/^[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]+ - //' error.log | cmp -s expected.bin - ||
        fail "[$args]: error.log differs from $(cat -v expected.bin)"
    [[ -f ripplex.log && ! -s ripplex.log ]] || fail "[$args]: ripplex.log missing or not empty"
done <<ROWS
data|$malformed|
-|$malformed|
--|$malformed|
-d:|$malformed|
-d a b|$malformed|
|$no_directory|default
-d nowhere|$no_directory|nowhere
-d elsewhere --directory:missing|$no_directory|missing
--directory -d y|$no_directory|y
--directory no%dwhere%s|$no_directory|no%dwhere%s
--directory 2024|$no_directory|2024
-d true|$no_directory|true
--record -5|$record|-5
--record 1e2|$record|1e2
--record:0|$record|0
--record|$record|
ROWS

# The system report of the last run: five Latin-1 lines, the system's own
# in the third.
printf 'Informations syst\xE8me:\n=====================\nSyst\xE8me : X\nVersion de GLUT:3.000000\nVersion de GLUI:2.010000\n' >expected.bin
sed '3s/ : .*/ : X/' stdout.bin | cmp -s expected.bin - || fail "system report: $(cat -v stdout.bin)"
echo "startup: all checks passed"
