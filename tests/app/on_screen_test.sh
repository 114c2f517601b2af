#!/bin/sh
# Runs a Qt test on a real X server (xvfb-run gives the display) under a window manager, where
# fonts, the platform's style hints and the frame come as a user's desktop gives them.
#   on_screen_test.sh TEST [ARGUMENTS...]
. "$(dirname "$0")/x11_helpers.sh"
start_window_manager
[ "$failures" = 0 ] || exit 1
QT_QPA_PLATFORM=xcb "$@"
rc=$?
kill "$wm" 2>/dev/null
exit "$rc"
