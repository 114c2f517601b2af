#!/bin/sh
# Runs the real executable as a person would, on an X server with a window manager, and
# answers its windows with xdotool: a start without the table must show the start-up failure
# box and end with exit code 1; "&Program" / "&Zavřít" must end the program with exit code 0;
# while a box is up, the main window's close box and Alt+F4 change nothing.
set -u
# The program must show real windows on this X server, whatever the test run asked for.
export QT_QPA_PLATFORM=xcb
quorvel=$1
qvtool=$2
work=$(mktemp -d)
wm=
trap 'kill "$wm" 2>/dev/null; rm -rf "$work"' EXIT
. "$(dirname "$0")/x11_helpers.sh"
start_window_manager

# Clicks a window's close box: the right end of the title bar openbox draws above the client.
click_close_box() {
    client_geometry "$1"
    top=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | cut -d, -f3 | tr -d ' ')
    xdotool mousemove $((X + WIDTH - 9)) $((Y - ${top:-20} / 2)) click 1
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
    if is_visible '^Quorvel 1.1$'; then
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
# The code location leads to the statement that raised the failure, not to the failure's class.
address=$(sed -n 's/^Exception .* at \([0-9A-F]\{8\}\)\.$/\1/p' "$work/stderr1")
site=$(addr2line -e "$quorvel" "0x${address:-0}")
case "$site" in
    */store/Exceptions.* | */store/EDBEngineError.* | \?\?* | "")
        fail "code location $address resolves to '$site', not to where the failure arose" ;;
    */store/*.cpp:[0-9]*) ;;
    *) fail "code location $address resolves to '$site'" ;;
esac

# 2. A catalogue: the main window, centred frame and all, then "&Program" / "&Zavřít" by keys.
mkdir "$work/demo"
"$qvtool" demo "$work/demo" >"$work/demo.out" 2>&1 || fail "qvtool demo: $(cat "$work/demo.out")"
(cd "$work/demo" && exec "$quorvel") 2>"$work/stderr2" &
pid=$!
main=$(find_window '^Quorvel 1.1$')
if [ -z "$main" ]; then
    fail "no main window"
    kill "$pid" 2>/dev/null
else
    wait_for_splash
    # The frame, not the client area, stands at the centre of the 1280 x 1024 screen.
    client_geometry "$main"
    extents=$(xprop -id "$main" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ' ')
    left=$(echo "$extents" | cut -d, -f1)
    right=$(echo "$extents" | cut -d, -f2)
    top=$(echo "$extents" | cut -d, -f3)
    bottom=$(echo "$extents" | cut -d, -f4)
    if [ -z "$extents" ] || [ "$top" = 0 ]; then
        fail "the window manager gave the main window no frame: '$extents'"
    else
        frame_x=$((X - left))
        frame_y=$((Y - top))
        want_x=$(((1280 - (WIDTH + left + right)) / 2))
        want_y=$(((1024 - (HEIGHT + top + bottom)) / 2))
        [ "$frame_x,$frame_y" = "$want_x,$want_y" ] ||
            fail "main window's frame at $frame_x,$frame_y, centred would be $want_x,$want_y"
    fi
    open_menu "$main" p
    xdotool key z
fi
wait_for_exit "$pid"
[ "$rc" = 0 ] || fail "exit code $rc after &Zavřít, expected 0; stderr: $(cat "$work/stderr2")"

# 3. The first activation fails (the working directory is gone by then): the default error
# handler's box comes up, captioned with the title made from the executable's real file name
# however it was started; behind it the main window's close box and Alt+F4 do nothing.
# Without a window manager, and with the pointer away from it, the new window isn't activated,
# so the directory can go after the table was opened and before the first activation.
kill "$wm" 2>/dev/null
wait "$wm" 2>/dev/null
xdotool mousemove 0 0
mkdir "$work/gone" "$work/bin"
"$qvtool" demo "$work/gone" >/dev/null 2>&1 || fail "qvtool demo failed"
ln -s "$quorvel" "$work/bin/katalog.v2"
(cd "$work/gone" && exec bash -c 'exec -a Jiny "$0"' "$work/bin/katalog.v2") \
    2>"$work/stderr3" &
pid=$!
main=$(find_window '^Quorvel 1.1$')
[ -n "$main" ] || fail "no main window from the linked executable"
sleep 1
rm -rf "$work/gone"
start_window_manager
[ -n "$main" ] && wait_until_managed "$main" && xdotool windowactivate "$main"
box=$(find_window '^Quorvel$')
if [ -z "$box" ] || [ -z "$main" ]; then
    fail "no error box captioned Quorvel after a failed first activation"
    is_visible '^Jiny$' && fail "the box is captioned with argv[0]"
    kill "$pid" 2>/dev/null
else
    click_close_box "$main"
    sleep 1
    kill -0 "$pid" 2>/dev/null || fail "the close box behind the box ended the program"
    is_visible '^Quorvel 1.1$' || fail "the close box behind the box closed the main window"
    is_visible '^Quorvel$' || fail "the error box went away by the main window's close box"
    xdotool windowfocus --sync "$main" 2>/dev/null
    xdotool key --clearmodifiers alt+F4
    sleep 1
    kill -0 "$pid" 2>/dev/null || fail "Alt+F4 on the main window ended the program"
    is_visible '^Quorvel 1.1$' || fail "Alt+F4 behind the box closed the main window"
    # The window manager may have given the box the keys, which Alt+F4 then closed: it is
    # answered only if it is still up.
    box=$(xdotool search --onlyvisible --name '^Quorvel$' 2>/dev/null | head -n 1)
    [ -n "$box" ] && xdotool windowactivate --sync "$box" key Return
    timeout 30 sh -c "while xdotool search --onlyvisible --name '^Quorvel\$' >/dev/null 2>&1; do
        sleep 0.2; done" || fail "the error box did not close"
    main=$(find_window '^Quorvel 1.1$')
    if [ -n "$main" ]; then
        open_menu "$main" p
        xdotool key z
    fi
fi
wait_for_exit "$pid"
[ "$rc" = 0 ] || fail "exit code $rc after the box and &Zavřít, expected 0; stderr: $(cat "$work/stderr3")"

# 4. With no box up, the same close box and Alt+F4 do close the main window and end the program.
for how in "close box" "Alt+F4"; do
    mkdir -p "$work/again"
    [ -e "$work/again/qv.db" ] || "$qvtool" demo "$work/again" >/dev/null 2>&1
    (cd "$work/again" && exec "$quorvel") 2>"$work/stderr4" &
    pid=$!
    main=$(find_window '^Quorvel 1.1$')
    if [ -z "$main" ]; then
        fail "no main window to close by the $how"
        kill "$pid" 2>/dev/null
    else
        wait_for_splash
        xdotool windowactivate --sync "$main"
        if [ "$how" = "close box" ]; then
            click_close_box "$main"
        else
            xdotool key --clearmodifiers alt+F4
        fi
    fi
    wait_for_exit "$pid"
    [ "$rc" = 0 ] || fail "exit code $rc after the $how, expected 0; stderr: $(cat "$work/stderr4")"
done

[ "$failures" = 0 ] && echo "all passed"
exit "$failures"
