#!/usr/bin/env bash
# The files shipped in default/, fine/, large/ and island/ are exactly what the
# generator writes: run into empty directories (made on the way), it gives
# the same set of files with the same bytes; a directory that cannot be
# made is reported, not ignored.
set -euo pipefail
: "${RIPPLEX_MAKE_ASSETS:?path of ripplex-make-assets}"
: "${RIPPLEX_SOURCE_DIR:?path of the source tree}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
for scene in default fine large island; do
    "$RIPPLEX_MAKE_ASSETS" "$work/new/$scene" "$scene"
    diff -r "$RIPPLEX_SOURCE_DIR/$scene" "$work/new/$scene" || {
        echo "$scene/ differs from what ripplex-make-assets writes for it"
        status=1
    }
done
"$RIPPLEX_MAKE_ASSETS" "$work/plain"  # the scene's name defaults to default
diff -r "$RIPPLEX_SOURCE_DIR/default" "$work/plain" || status=1
if "$RIPPLEX_MAKE_ASSETS" "$work/plain/water.tga/dir" 2>/dev/null; then
    echo "writing under a file reported success"
    status=1
fi
[[ $status -eq 0 ]] && echo "assets reproduce: identical"
exit $status
