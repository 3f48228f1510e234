#!/usr/bin/env bash
# Start-up end to end: the system report on standard output, the two logs in
# the start directory, and the command-line and working-directory failures
# with their exit status (-2, seen by the shell as 254).
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

# Runs ripplex in the start directory; its status lands in $status.
run() {
    rm -f error.log ripplex.log
    set +e
    "$RIPPLEX" "$@" >stdout.bin 2>stderr.txt
    status=$?
    set -e
}

# error.log must hold exactly the lines printf makes of its arguments, each
# with a "HH:MM:SS:ms - " stamp.
expect_log() {
    printf -- "$@" >expected.bin
    local stamped
    stamped=$(grep -c -E '^[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]+ - ' error.log || true)
    [[ $stamped == "$(wc -l <error.log)" ]] || fail "a line of error.log has no stamp"
    sed -E 's/^[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]+ - //' error.log >actual.bin
    cmp -s expected.bin actual.bin || fail "error.log differs from: $(cat -v expected.bin)"
}

# Also checks the one line that a failed start prints on the terminal.
expect_status() {
    [[ $status == "$1" ]] || fail "exit status $status, expected $1 (args: $2)"
    [[ $(cat stderr.txt) == "ripplex : lancement impossible, voir $(pwd -P)/error.log" ]] ||
        fail "stderr for $2: $(cat -v stderr.txt)"
}

expect_empty_second_log() {
    [[ -f ripplex.log ]] || fail "ripplex.log was not created"
    [[ ! -s ripplex.log ]] || fail "ripplex.log is not empty"
}

start_line='-- Debut du fichier d'"'"'erreur --\n'
malformed='CApplication::Init -- Erreur : La ligne de commande est mal format\xE9e\n'
no_directory='CApplication::Init -- Impossible de changer pour le r\xE9pertoire %s !\n'

# A word where an option is expected.
run data
expect_status 254 "data"
expect_log "$start_line$malformed"
expect_empty_second_log

# The system report: five lines, Latin-1, before anything else.
printf 'Informations syst\xE8me:\n=====================\n' >expected.bin
head -n 2 stdout.bin | cmp -s expected.bin - || fail "report header: $(head -n 2 stdout.bin | cat -v)"
printf 'Syst\xE8me : ' >expected.bin
sed -n 3p stdout.bin | head -c "$(wc -c <expected.bin)" | cmp -s expected.bin - ||
    fail "report system line: $(sed -n 3p stdout.bin | cat -v)"
printf 'Version de GLUT:3.000000\nVersion de GLUI:2.010000\n' >expected.bin
tail -n 2 stdout.bin | cmp -s expected.bin - || fail "report versions: $(tail -n 2 stdout.bin)"
[[ $(wc -l <stdout.bin) == 5 ]] || fail "the report is not five lines"

# Lone dashes and a one-letter option with an empty value are malformed too.
for args in "-" "--" "-d:" "-d a b"; do
    # shellcheck disable=SC2086
    run $args
    expect_status 254 "$args"
    expect_log "$start_line$malformed"
done

# A directory that does not exist.
run -d nowhere
expect_status 254 "-d nowhere"
expect_log "$start_line$no_directory" nowhere
expect_empty_second_log

# "directory" wins over "d" in either order.
run -d elsewhere --directory:missing
expect_status 254 "-d elsewhere --directory:missing"
expect_log "$start_line$no_directory" missing

# A '%' in the name is logged as it is, not taken for a format.
run --directory 'no%dwhere%s'
expect_status 254 "--directory no%dwhere%s"
expect_log "$start_line$no_directory" 'no%dwhere%s'

# Our own numbers read strictly, and directory names as written whatever
# they look like: the arguments, then the log line's format and its value.
record_refused='CApplication::Init -- Erreur : option --record "%s" refus\xE9e, il faut un nombre d\x27images en chiffres d\xE9cimaux, 1 ou plus\n'
while IFS='|' read -r args format value; do
    # shellcheck disable=SC2086
    run $args
    expect_status 254 "$args"
    expect_log "$start_line$format" "$value"
done <<ROWS
--record -5|$record_refused|-5
--record 1e2|$record_refused|1e2
--record:0|$record_refused|0
--record|$record_refused|
--directory 2024|$no_directory|2024
-d true|$no_directory|true
ROWS

# No arguments: the directory "default", relative to the start directory.
run
expect_status 254 "(none)"
expect_log "$start_line$no_directory" default

echo "startup: all checks passed"
