#!/usr/bin/env bash
# The files shipped in default/ (fine/, large/) are exactly what the
# generator writes: run it into an empty directory and compare every file,
# and the set of files.
set -euo pipefail

: "${RIPPLEX_MAKE_ASSETS:?path of ripplex-make-assets}"
: "${RIPPLEX_SOURCE_DIR:?path of the source tree}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$RIPPLEX_MAKE_ASSETS" "$work"

shipped=$(cd "$RIPPLEX_SOURCE_DIR/default" && ls -A | sort)
generated=$(cd "$work" && ls -A | sort)
if [[ "$shipped" != "$generated" ]]; then
    echo "default/ and the generator's output hold different files:"
    diff <(echo "$shipped") <(echo "$generated") || true
    exit 1
fi

status=0
for name in $generated; do
    if ! cmp "$RIPPLEX_SOURCE_DIR/default/$name" "$work/$name"; then
        echo "default/$name differs from what ripplex-make-assets writes"
        status=1
    fi
done

# fine/ and large/ likewise, from the scene's name.
for scene in fine large; do
    "$RIPPLEX_MAKE_ASSETS" "$work/$scene" "$scene"
    diff -r "$RIPPLEX_SOURCE_DIR/$scene" "$work/$scene" || {
        echo "$scene/ differs from what ripplex-make-assets writes for it"
        status=1
    }
done

# A second run, into directories it has to make, writes the same bytes
# again (no clock, no randomness).
again=$(mktemp -d)
trap 'rm -rf "$work" "$again"' EXIT
"$RIPPLEX_MAKE_ASSETS" "$again/new/dir"
for name in $generated; do
    cmp "$work/$name" "$again/new/dir/$name" || status=1
done

# A directory that cannot be made is reported, not ignored.
if "$RIPPLEX_MAKE_ASSETS" "$work/water.tga/dir" 2>/dev/null; then
    echo "writing under a file reported success"
    status=1
fi

[[ $status -eq 0 ]] && echo "assets reproduce: $(echo "$generated" | wc -l) files identical"
exit $status
