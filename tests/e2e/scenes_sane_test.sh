#!/usr/bin/env bash
# The shipped scenes stay sane over a shortened run (scripts/check-scenes
# with no argument runs the full two minutes).
set -euo pipefail
: "${RIPPLEX_SIM:?path of ripplex-sim}"
"${RIPPLEX_SOURCE_DIR:?}/scripts/check-scenes" 3
