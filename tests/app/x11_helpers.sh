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

# True once openbox manages the screen (a window mapped while it starts can stay unmapped): it
# names on the root a check window that exists. Woken by the X server's notice of each change on
# the root (xprop -spy), not by a clock; the 30 s bound only turns a hang into a failure.
wm_manages_screen() {
    spy_out=$(mktemp -u) && mkfifo "$spy_out"
    timeout 30 xprop -root -spy >"$spy_out" 2>/dev/null &
    spy=$!
    managed=1
    while read -r line; do
        case $line in
            "_NET_SUPPORTING_WM_CHECK(WINDOW): window id # "*)
                xprop -id "${line##*# }" >/dev/null 2>&1 && { managed=0; break; } ;;
        esac
    done <"$spy_out"
    kill "$spy" 2>/dev/null
    wait "$spy" 2>/dev/null
    rm -f "$spy_out"
    return $managed
}

# Starts openbox and waits until it manages the screen; sets wm to its process. An openbox that
# doesn't come up in 30 s is stopped and started once more (seen once in many runs, with nothing
# on screen yet); a second failure shows what openbox said.
start_window_manager() {
    wm_log=$(mktemp)
    for attempt in 1 2; do
        openbox >"$wm_log" 2>&1 &
        wm=$!
        wm_manages_screen && { rm -f "$wm_log"; return 0; }
        kill "$wm" 2>/dev/null
        wait "$wm" 2>/dev/null
    done
    cat "$wm_log"
    rm -f "$wm_log"
    fail "the window manager didn't start (openbox's output above)"
}

# Waits up to 30 s until the window manager manages window $1, which it had mapped before.
wait_until_managed() {
    timeout 30 sh -c "until xprop -id $1 _NET_WM_DESKTOP 2>/dev/null | grep -q =; do
        sleep 0.1; done" || fail "the window manager didn't take window $1"
}

# The visible windows of process $1 that the window manager doesn't frame: its menus, popups
# and tooltips.
popups() {
    for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' && echo "$w"
    done
}

# Opens the menu of window $1 by Alt+$2, activating the window first if it isn't active, and
# waits up to 30 s until the menu is on screen: a popup of the same process that wasn't there.
open_menu() {
    [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ] || xdotool windowactivate --sync "$1"
    menu_owner=$(xdotool getwindowpid "$1")
    popups_before=$(popups "$menu_owner")
    xdotool key --clearmodifiers "alt+$2"
    menu_tries=300
    while [ "$(popups "$menu_owner")" = "$popups_before" ]; do
        menu_tries=$((menu_tries - 1))
        [ "$menu_tries" -gt 0 ] || { fail "the menu of Alt+$2 did not open"; return 1; }
        sleep 0.1
    done
}
