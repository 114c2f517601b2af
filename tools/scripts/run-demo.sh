#!/bin/sh
# Installs what is missing, builds Quorvel, makes a demo catalogue in ./demo if there is none
# and starts the program there. With --build-only it stops once the build is done (CI uses
# it to check that this configuration still builds).
set -eu
cd "$(dirname "$0")/../.."
if [ "$(id -u)" = 0 ]; then
    apt-get update -qq
    apt-get install -y -qq cmake g++ make qt6-base-dev libgl-dev libsqlite3-dev libicu-dev \
        libjpeg62-turbo-dev libgtest-dev libbenchmark-dev libxlsxwriter-dev liborcus-dev
fi
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF
cmake --build build/release -j"$(nproc)"
[ "${1:-}" = --build-only ] && exit 0
mkdir -p demo
[ -e demo/qv.db ] || build/release/tools/commands/qvtool demo demo
cd demo
exec ../build/release/app/quorvel
