#!/bin/sh
# Runs the real executable as a person would, on an X server with a window manager, and
# answers its windows with xdotool: a start without the table must show the start-up failure
# box and end with exit code 1; "&Program" / "&Zavřít" must end the program with exit code 0.
set -u
# The program must show real windows on this X server, whatever the test run asked for.
export QT_QPA_PLATFORM=xcb
quorvel=$1
qvtool=$2
work=$(mktemp -d)
trap 'kill "$wm" 2>/dev/null; rm -rf "$work"' EXIT
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Waits up to 30 s for a visible window whose name matches, and prints its id.
find_window() {
    timeout 30 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1
}

# 1. No table in the working directory.
mkdir "$work/empty"
(cd "$work/empty" && exec "$quorvel") 2>"$work/stderr1" &
pid=$!
box=$(find_window '^Application Error$')
if [ -z "$box" ]; then
    fail "no 'Application Error' box"
    kill "$pid" 2>/dev/null
else
    if xdotool search --onlyvisible --name '^Quorvel 1.1$' >/dev/null 2>&1; then
        fail "the main window is on screen beside the start-up failure box"
    fi
    xdotool windowactivate --sync "$box" key Return
fi
wait "$pid"
rc=$?
[ "$rc" = 1 ] || fail "exit code $rc after the start-up failure, expected 1"
grep -q '^Exception EDBEngineError in module quorvel at [0-9A-F]\{8\}\.$' "$work/stderr1" ||
    fail "report's first line: $(head -n 1 "$work/stderr1")"
grep -q 'Table does not exist\.' "$work/stderr1" || fail "report lacks the engine's text"
ls "$work/empty" | grep -q . && fail "the failed start left files behind: $(ls "$work/empty")"

# 2. A catalogue: the main window, then "&Program" / "&Zavřít" by keys.
mkdir "$work/demo"
"$qvtool" demo "$work/demo" >/dev/null 2>&1 || "$qvtool" create "$work/demo" >/dev/null 2>&1 ||
    fail "qvtool could not make a catalogue"
(cd "$work/demo" && exec "$quorvel") 2>"$work/stderr2" &
pid=$!
main=$(find_window '^Quorvel 1.1$')
if [ -z "$main" ]; then
    fail "no main window"
    kill "$pid" 2>/dev/null
else
    sleep 1
    xdotool windowactivate --sync "$main"
    xdotool key --clearmodifiers alt+p
    sleep 0.5
    xdotool key z
fi
timeout 30 sh -c "while kill -0 $pid 2>/dev/null; do sleep 0.2; done"
wait "$pid"
rc=$?
[ "$rc" = 0 ] || fail "exit code $rc after &Zavřít, expected 0; stderr: $(cat "$work/stderr2")"

[ "$failures" = 0 ] && echo "all passed"
exit "$failures"
