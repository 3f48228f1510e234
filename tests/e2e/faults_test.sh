#!/usr/bin/env bash
# Faults around a run. An error log that cannot be created: the program
# runs on, and only the terminal learns that the start failed. The shipped
# scenes start without a single line: every key they hold is read, with
# the type its lookup wants. (Each loader's refusals are unit tested, with
# their lines; the viewer's start-up test follows them to the exit status.)
set -uo pipefail
: "${RIPPLEX:?path of ripplex}"
: "${RIPPLEX_SIM:?path of ripplex-sim}"
: "${RIPPLEX_SOURCE_DIR:?path of the source tree}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir -p "$work/error.log"
(cd "$work" && "$RIPPLEX" data >stdout.txt 2>stderr.txt; echo $? >status.txt)
[[ $(cat "$work/status.txt") == 254 ]] || fail "malformed command line without a log: status $(cat "$work/status.txt")"
printf 'ripplex : lancement impossible, et error.log n\x27a pas pu \xEAtre cr\xE9\xE9 dans le r\xE9pertoire de d\xE9part\n' |
    cmp -s - "$work/stderr.txt" || fail "stderr: $(cat -v "$work/stderr.txt")"
grep -q '^Version de GLUI:2.010000$' "$work/stdout.txt" || fail "report missing"
[[ -f "$work/ripplex.log" && ! -s "$work/ripplex.log" ]] || fail "ripplex.log should still be created empty"

for scene in default fine large; do
    "$RIPPLEX_SIM" --directory "$RIPPLEX_SOURCE_DIR/$scene" --steps 1 >/dev/null 2>"$work/log.txt" ||
        fail "$scene: status $?"
    [[ -s "$work/log.txt" ]] && fail "$scene: $(cat -v "$work/log.txt")"
done
((failures == 0)) || { echo "$failures failure(s)"; exit 1; }
echo "faults: all passed"
