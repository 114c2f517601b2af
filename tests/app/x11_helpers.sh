# What the process tests share, sourced by them: finding the program's windows on the X server,
# their geometry, the splash, and waiting for the program to end. Failures are counted in
# $failures.
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Waits up to 30 s for a visible window whose name matches, and prints its id.
find_window() {
    timeout 30 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1
}
is_visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }

# Sets X, Y, WIDTH and HEIGHT to a window's client area on the screen.
client_geometry() {
    info=$(xwininfo -id "$1")
    X=$(echo "$info" | sed -n 's/.*Absolute upper-left X: *//p')
    Y=$(echo "$info" | sed -n 's/.*Absolute upper-left Y: *//p')
    WIDTH=$(echo "$info" | sed -n 's/^ *Width: *//p')
    HEIGHT=$(echo "$info" | sed -n 's/^ *Height: *//p')
}

# Waits up to 30 s for the process to end, and sets rc to its exit code; a process still
# running then is killed, so the test fails instead of hanging.
wait_for_exit() {
    timeout 30 sh -c "while kill -0 $1 2>/dev/null; do sleep 0.2; done" || kill -9 "$1"
    wait "$1"
    rc=$?
}

# The splash greets the user at the first activation and takes all input for two seconds:
# waits until it has come and gone (up to 30 s).
wait_for_splash() {
    find_window '^Velmora$' >/dev/null || fail "no splash window"
    timeout 30 sh -c "while xdotool search --onlyvisible --name '^Velmora\$' >/dev/null 2>&1; do
        sleep 0.2; done" || fail "the splash did not close"
}
