#!/bin/sh
# Installs what is missing, builds everything under AddressSanitizer and
# UndefinedBehaviorSanitizer with warnings as errors, and runs every test, the long harnesses
# (damaged files, power loss, kills, two copies racing) at their short size.
#   sh tools/scripts/run-tests.sh          about 12 minutes on 2 cores
#   sh tools/scripts/run-tests.sh --long   the harnesses whole, and the session under valgrind
set -eu
cd "$(dirname "$0")/../.."
case ${1:-} in
--long) export QUORVEL_LONG=1 ;;
"") ;;
*)
    echo "usage: sh tools/scripts/run-tests.sh [--long]" >&2
    exit 2
    ;;
esac
if [ "$(id -u)" = 0 ]; then
    apt-get update -qq
    apt-get install -y -qq cmake g++ make qt6-base-dev libgl-dev libsqlite3-dev libicu-dev \
        libjpeg62-turbo-dev libgtest-dev libbenchmark-dev sqlite3 \
        xvfb xauth openbox xdotool x11-utils fonts-dejavu-core fonts-liberation2 valgrind \
        desktop-file-utils dbus-daemon at-spi2-core strace python3 dpkg-dev file lintian chromium \
        poppler-utils libxlsxwriter-dev liborcus-dev libreoffice-calc-nogui
fi
start=$(date +%s)
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON -DQUORVEL_WERROR=ON
cmake --build build/test -j"$(nproc)"
echo "tests: built in $(($(date +%s) - start)) s"
if [ -n "${QUORVEL_LONG:-}" ]; then
    # The scripted session under valgrind's memcheck, in a plain build of its own.
    sh tests/endurance/valgrind_session.sh
fi
cd build/test
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 900
echo "tests: built and passed in $(($(date +%s) - start)) s"
