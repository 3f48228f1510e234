#!/usr/bin/env bash
# The shipped scenes start without a single line in the log (every key they
# hold is read, with the type its lookup wants) and stay sane over a
# shortened run (scripts/check-scenes with no argument runs two minutes).
set -euo pipefail
: "${RIPPLEX_SIM:?path of ripplex-sim}"
for scene in default fine large island; do
    log=$("$RIPPLEX_SIM" --directory "${RIPPLEX_SOURCE_DIR:?}/$scene" --steps 1 2>&1 >/dev/null)
    [[ -z $log ]] || { echo "FAIL: $scene logs: $log"; exit 1; }
done
"$RIPPLEX_SOURCE_DIR/scripts/check-scenes" 3
