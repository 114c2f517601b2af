#!/bin/sh
# Installs what is missing, builds everything under AddressSanitizer and
# UndefinedBehaviorSanitizer with warnings as errors, and runs every test.
set -eu
cd "$(dirname "$0")/.."
if [ "$(id -u)" = 0 ]; then
    apt-get update -qq
    apt-get install -y -qq cmake g++ make qt6-base-dev libgl-dev libsqlite3-dev libicu-dev \
        libjpeg62-turbo-dev libgtest-dev libbenchmark-dev sqlite3 \
        xvfb xauth openbox xdotool x11-utils fonts-dejavu-core fonts-liberation2 valgrind \
        desktop-file-utils dbus-daemon at-spi2-core strace python3 dpkg-dev file lintian chromium \
        libxlsxwriter-dev liborcus-dev libreoffice-calc-nogui
fi
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON -DQUORVEL_WERROR=ON
cmake --build build/test -j"$(nproc)"
# The scripted session under valgrind's memcheck, in a plain build of its own.
sh tests/endurance/valgrind_session.sh
cd build/test
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 900
