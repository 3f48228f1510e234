# Shared set-up of the end-to-end tests that run without a window; sourced,
# not run: a fresh work directory removed on every way out, failures
# counted by fail and reported by finish.
export LC_ALL=C
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# finish WHAT: the count of failures and status 1, or WHAT's success line.
finish() {
    ((failures == 0)) || { echo "$failures failure(s)"; exit 1; }
    echo "$1: all checks passed"
}

# scene_dir DIR: DIR made, with the shipped scene's mesh and textures in it.
scene_dir() {
    mkdir -p "$1"
    cp "$RIPPLEX_SOURCE_DIR"/default/{bottom.obj,water.tga,bottom.tga} "$1/"
}
