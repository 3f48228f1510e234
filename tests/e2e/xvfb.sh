# Shared helpers of the viewer's end-to-end tests; sourced, not run.
#
# Every test gets a private Xvfb on a display number the server picks
# itself (-displayfd), so tests can run in parallel with each other and with
# a desktop. The server is stopped on every way out of the test (trap EXIT),
# and every wait polls with a deadline instead of sleeping blindly.
#
# Provides: viewer_setup, wait_window, wait_file, wait_exit, send_keys,
# fail, TEST_DIR (a fresh temporary start directory, removed at exit), and
# TOOLS (the python helper that decodes and checks TGA files).

set -euo pipefail

TOOLS="$RIPPLEX_SOURCE_DIR/tests/e2e/viewer_tools.py"
TEST_DIR=$(mktemp -d "${TMPDIR:-/tmp}/ripplex-viewer.XXXXXX")
XVFB_PID=""
VIEWER_PID=""

viewer_cleanup() {
    if [[ -n "$VIEWER_PID" ]] && kill -0 "$VIEWER_PID" 2>/dev/null; then
        kill "$VIEWER_PID" 2>/dev/null || true
        wait "$VIEWER_PID" 2>/dev/null || true
    fi
    if [[ -n "$XVFB_PID" ]]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
    rm -rf "$TEST_DIR"
}
trap viewer_cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    if [[ -f "$TEST_DIR/error.log" ]]; then
        echo "--- error.log" >&2
        cat -v "$TEST_DIR/error.log" >&2
    fi
    exit 1
}

# Starts the private X server and exports DISPLAY. The OpenGL driver's own
# leaks are not ours: leak detection is off for every test that opens a
# window.
viewer_setup() {
    export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
    local fdfile="$TEST_DIR/.display"
    exec {XVFB_FD}>"$fdfile"
    Xvfb -displayfd "$XVFB_FD" -screen 0 1280x1024x24 -nolisten tcp \
        >"$TEST_DIR/.xvfb.log" 2>&1 &
    XVFB_PID=$!
    exec {XVFB_FD}>&-
    local deadline=$((SECONDS + 20))
    until [[ -s "$fdfile" ]] && grep -q '^[0-9]' "$fdfile"; do
        kill -0 "$XVFB_PID" 2>/dev/null || fail "Xvfb did not start: $(cat "$TEST_DIR/.xvfb.log")"
        ((SECONDS < deadline)) || fail "Xvfb gave no display number within 20 s"
        sleep 0.05
    done
    export DISPLAY=":$(head -n1 "$fdfile")"
    until xdpyinfo >/dev/null 2>&1; do
        ((SECONDS < deadline)) || fail "display $DISPLAY not reachable"
        sleep 0.05
    done
}

# Prints the id of the visible window titled exactly $1, waiting up to
# $2 seconds (default 30) for it to be mapped.
wait_window() {
    local name=$1 limit=${2:-30} id
    id=$(timeout "$limit" xdotool search --sync --onlyvisible --name "^${name}\$" 2>/dev/null |
        head -n1) || true
    [[ -n "$id" ]] || fail "no window '$name' within ${limit} s"
    echo "$id"
}

# Waits up to $2 seconds (default 30) for file $1 to exist and stop growing
# (same size across two polls). A TGA must also decode completely: a frame
# or screenshot caught half written never passes.
wait_file() {
    local path=$1 limit=${2:-30} deadline last=-1 size
    deadline=$((SECONDS + limit))
    while ((SECONDS < deadline)); do
        if [[ -f "$path" ]]; then
            size=$(stat -c %s "$path")
            if ((size == last && size > 0)); then
                [[ $path != *.tga ]] && return 0
                python3 "$TOOLS" size "$path" >/dev/null 2>&1 && return 0
            fi
            last=$size
        fi
        sleep 0.1
    done
    fail "file $path did not appear complete within ${limit} s"
}

# Waits up to $2 seconds (default 30) for process $1, a child of this
# shell, to end, and sets EXIT_STATUS to its status. Kills it and fails
# when it is still running. (Not for $(...): a subshell cannot wait for
# its parent's children.)
wait_exit() {
    local pid=$1 limit=${2:-30} deadline
    deadline=$((SECONDS + limit))
    while kill -0 "$pid" 2>/dev/null; do
        if ((SECONDS >= deadline)); then
            kill "$pid" 2>/dev/null || true
            fail "process $pid still running after ${limit} s"
        fi
        sleep 0.05
    done
    EXIT_STATUS=0
    wait "$pid" || EXIT_STATUS=$?
}

# Sends key names (xdotool's: F6, Escape, Left, Prior...) to window $1.
# freeglut accepts the synthetic events that --window sends, so no window
# manager or focus is needed under bare Xvfb.
send_keys() {
    local window=$1
    shift
    xdotool key --window "$window" "$@" 2>/dev/null || fail "xdotool could not send $*"
}

# Escape to window $1, then waits for the viewer to end; sets EXIT_STATUS.
# xdotool may report the window gone once the key has ended the program,
# so only the wait decides.
quit_viewer() {
    xdotool key --window "$1" Escape 2>/dev/null || true
    wait_exit "$VIEWER_PID"
}

# Starts the viewer in $TEST_DIR with the given arguments, output kept in
# $TEST_DIR/stdout and stderr; sets VIEWER_PID.
start_viewer() {
    (cd "$TEST_DIR" && exec "$RIPPLEX" "$@" >"$TEST_DIR/stdout" 2>"$TEST_DIR/stderr") &
    VIEWER_PID=$!
}

# A fresh copy of the shipped working directory as $TEST_DIR/$1.
copy_default_scene() {
    cp -r "$RIPPLEX_SOURCE_DIR/default" "$TEST_DIR/$1"
}

# The lines of error.log without their "HH:MM:SS:ms - " prefix.
log_messages() {
    sed -E 's/^[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]+ - //' "$TEST_DIR/error.log"
}
