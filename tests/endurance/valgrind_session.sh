#!/bin/sh
# The scripted session of the main window under valgrind's memcheck, in a plain Debug build of
# its own (memcheck can't run a sanitized binary): sh tests/endurance/valgrind_session.sh
# Given a catalogue directory instead, runs the session there without valgrind and checks its
# peak memory: sh tests/endurance/valgrind_session.sh /tmp/cat1m (the catalogue is changed:
# a row is added and deleted again).
set -eu
cd "$(dirname "$0")/../.."
build=${QUORVEL_VALGRIND_BUILD:-build/valgrind}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=OFF -DQUORVEL_WERROR=ON \
    -DQUORVEL_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target ScriptedSession
if [ $# -gt 0 ]; then
    QUORVEL_SESSION_CATALOGUE=$(realpath "$1") QT_QPA_PLATFORM=offscreen \
        "$build/tests/endurance/ScriptedSession"
    exit
fi
cd "$build"
ctest -R 'endurance\.ScriptedSessionUnderValgrind' --output-on-failure
