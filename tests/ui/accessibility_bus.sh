#!/bin/sh
# Runs a test program as a screen reader's desktop session has it: on the X server xvfb-run
# started, with the accessibility bus on the session bus dbus-run-session started, and Qt
# talking to it. Usage: accessibility_bus.sh AT_SPI_BUS_LAUNCHER PROGRAM [ARGUMENTS...]
launcher=$1
shift
"$launcher" &
launcher_pid=$!
# Qt finds the bus whenever it comes up; the screen reader's switch is taken as on.
QUORVEL_ACCESSIBILITY_BUS=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$@"
status=$?
kill "$launcher_pid"
wait "$launcher_pid" 2>/dev/null
exit $status
