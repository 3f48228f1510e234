# Shared helpers of the viewer's end-to-end tests; sourced, not run. Each
# test gets a private Xvfb on a display number the server picks itself
# (-displayfd), so tests run in parallel, stopped on every way out (trap
# EXIT). Waits poll for a condition with a generous deadline, never a fixed
# sleep: the machine may be loaded. TEST_DIR is a fresh start directory,
# TOOLS the python helper that decodes and checks TGA files.

set -euo pipefail

TOOLS="$RIPPLEX_SOURCE_DIR/tests/e2e/viewer_tools.py"
TEST_DIR=$(mktemp -d "${TMPDIR:-/tmp}/ripplex-viewer.XXXXXX")
XVFB_PID=""
VIEWER_PID=""

viewer_cleanup() {
    for pid in "$VIEWER_PID" "$XVFB_PID"; do
        [[ -n "$pid" ]] && { kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; }
    done
    rm -rf "$TEST_DIR"
}
trap viewer_cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [[ -f "$TEST_DIR/error.log" ]] && { echo "--- error.log" >&2; cat -v "$TEST_DIR/error.log" >&2; }
    exit 1
}

# Starts the private X server and exports DISPLAY. The OpenGL driver's own
# leaks are not ours: leak detection is off in every viewer test.
viewer_setup() {
    export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
    local fdfile="$TEST_DIR/.display" deadline=$((SECONDS + 30))
    exec {XVFB_FD}>"$fdfile"
    Xvfb -displayfd "$XVFB_FD" -screen 0 1280x1024x24 -nolisten tcp >"$TEST_DIR/.xvfb.log" 2>&1 &
    XVFB_PID=$!
    exec {XVFB_FD}>&-
    until grep -qs '^[0-9]' "$fdfile" && DISPLAY=":$(head -n1 "$fdfile")" xdpyinfo >/dev/null 2>&1; do
        kill -0 "$XVFB_PID" 2>/dev/null || fail "Xvfb did not start: $(cat "$TEST_DIR/.xvfb.log")"
        ((SECONDS < deadline)) || fail "Xvfb gave no display within 30 s"
        sleep 0.05
    done
    export DISPLAY=":$(head -n1 "$fdfile")"
}

# Starts the viewer in $TEST_DIR with the given arguments, output kept in
# $TEST_DIR/stdout and stderr; sets VIEWER_PID.
start_viewer() {
    (cd "$TEST_DIR" && exec "$RIPPLEX" "$@" >"$TEST_DIR/stdout" 2>"$TEST_DIR/stderr") &
    VIEWER_PID=$!
}

# Prints the id of the visible window titled exactly $1, waiting up to
# $2 seconds (default 60) for it to be mapped.
wait_window() {
    local id
    id=$(timeout "${2:-60}" xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n1) || true
    [[ -n "$id" ]] || fail "no window '$1' within ${2:-60} s"
    echo "$id"
}

# Waits up to $2 seconds (default 60) for file $1 to exist and stop growing
# (same size across two polls). A TGA must also decode completely: one
# caught half written never passes.
wait_file() {
    local path=$1 deadline=$((SECONDS + ${2:-60})) last=-1 size
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
    fail "file $path did not appear complete within ${2:-60} s"
}

# Waits up to $2 seconds (default 120) for child process $1 to end, sets
# EXIT_STATUS; kills it and fails when it is still running.
wait_exit() {
    local deadline=$((SECONDS + ${2:-120}))
    while kill -0 "$1" 2>/dev/null; do
        ((SECONDS < deadline)) || { kill "$1" 2>/dev/null; fail "process $1 still running after ${2:-120} s"; }
        sleep 0.05
    done
    EXIT_STATUS=0
    wait "$1" || EXIT_STATUS=$?
}

# Sends key names (xdotool's: F6, Escape, Prior...) to window $1; freeglut
# takes the synthetic events, so no window manager or focus is needed.
send_keys() {
    local window=$1
    shift
    xdotool key --window "$window" "$@" 2>/dev/null || fail "xdotool could not send $*"
}

# Drags with button 1 in window $1 from ($2, $3) to ($4, $5).
drag() {
    xdotool mousemove --window "$1" "$2" "$3" mousedown 1 mousemove --window "$1" "$4" "$5" \
        mouseup 1 2>/dev/null || fail "xdotool could not drag the mouse"
}

# Window $1's screenshot into file $3, showing everything the keys sent
# before it did; $2 is the scene directory. GLUT answers F6 in the same
# round of events as the keys before it, before their redraw and the
# reshape: a second F6, sent once the first one's file exists, comes in a
# later round and reads the new picture.
screenshot() {
    local shot="$2/screenshot.tga" i
    for i in 1 2; do
        rm -f "$shot"
        send_keys "$1" F6
        wait_file "$shot"
    done
    mv "$shot" "$3"
}

# Escape to window $1; the viewer must end with status 0 (xdotool may find
# the window gone once the key has ended the program: only the wait decides).
quit_viewer() {
    xdotool key --window "$1" Escape 2>/dev/null || true
    wait_exit "$VIEWER_PID"
    [[ $EXIT_STATUS == 0 ]] || fail "exit status $EXIT_STATUS after Escape"
}

# A fresh copy of the shipped working directory as $TEST_DIR/$1, its
# window $2 x $3 pixels when given.
copy_default_scene() {
    cp -r "$RIPPLEX_SOURCE_DIR/default" "$TEST_DIR/$1"
    [[ $# -lt 3 ]] || sed -i "s/^iScreenWidth = .*/iScreenWidth = $2;/; s/^iScreenHeight = .*/iScreenHeight = $3;/" \
        "$TEST_DIR/$1/graphics.opt"
}

# The lines of error.log without their "HH:MM:SS:ms - " prefix.
log_messages() {
    sed -E 's/^[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]+ - //' "$TEST_DIR/error.log"
}
