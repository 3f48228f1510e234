#!/usr/bin/env bash
# The installed C++ package: `cmake --install` into a temporary prefix, the
# consumer of examples/cpp configured and built against that prefix alone
# (the public headers must be complete, the target must carry its
# dependencies), then run: the same summary line as ripplex-sim for the
# same frames, and a refused directory refused as ripplex-sim refuses it.
set -uo pipefail
: "${RIPPLEX_SIM:?path of ripplex-sim}"
: "${RIPPLEX_SOURCE_DIR:?path of the source tree}"
: "${RIPPLEX_BUILD_DIR:?build tree to install from}"
source "$RIPPLEX_SOURCE_DIR/tests/e2e/checks.sh"

cmake --install "$RIPPLEX_BUILD_DIR" --prefix "$work/prefix" >"$work/log" 2>&1 || fail "install: $(cat "$work/log")"
cmake -S "$RIPPLEX_SOURCE_DIR/examples/cpp" -B "$work/build" -G Ninja \
    -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_CXX_COMPILER="${RIPPLEX_CXX:-c++}" \
    -DCMAKE_CXX_FLAGS="${RIPPLEX_SANITIZE_FLAGS:-}" -DCMAKE_EXE_LINKER_FLAGS="${RIPPLEX_SANITIZE_FLAGS:-}" \
    >"$work/log" 2>&1 && cmake --build "$work/build" >"$work/log" 2>&1 || fail "consumer build: $(cat "$work/log")"

# 120 frames: balls dropped, spray thrown and fallen back.
scene="$RIPPLEX_SOURCE_DIR/default"
expected=$("$RIPPLEX_SIM" --directory "$scene" --steps 120 2>/dev/null | tail -1)
actual=$("$work/build/step-basin" "$scene" 120 2>"$work/err") || fail "step-basin exited with $?: $(cat "$work/err")"
[[ -n "$expected" && "$actual" == "$expected" ]] || fail "step-basin printed '$actual', ripplex-sim '$expected'"

"$work/build/step-basin" "$work/none" 1 >/dev/null 2>"$work/err"
status=$?
[[ $status -eq 1 ]] || fail "missing directory: status $status"
grep -q "CApplication::Init -- Impossible de changer pour le r.pertoire $work/none !" "$work/err" ||
    fail "missing directory: $(cat "$work/err")"

finish "package"
