#!/bin/sh
# Builds every fuzz target (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer,
# in build/fuzz) and runs each for SECONDS seconds (default 60) from its committed seed corpus
# and dictionary. Installs what is missing when run as root. Exits non-zero if any target finds
# a crash, a hang, a leak or a sanitizer report; what it found is kept in build/fuzz/findings.
#   sh tools/scripts/fuzz.sh [SECONDS]
set -eu
cd "$(dirname "$0")/../.."
duration=${1:-60}
if [ "$(id -u)" = 0 ]; then
    apt-get update -qq
    apt-get install -y -qq cmake make clang-14 libclang-rt-14-dev qt6-base-dev libgl-dev \
        libsqlite3-dev libicu-dev libjpeg62-turbo-dev libxlsxwriter-dev liborcus-dev \
        fonts-dejavu-core fonts-liberation2
fi
launcher=
if command -v ccache >/dev/null 2>&1; then
    launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
build=build/fuzz
start=$(date +%s)
cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++-14 $launcher >/dev/null
cmake --build "$build" -j"$(nproc)"
echo "fuzz: build took $(($(date +%s) - start)) s"

mkdir -p "$build/findings"
failed=
# target, seed corpus, dictionary, longest input
for entry in dialect_fuzzer:dialect:2048 search_fuzzer:search:1024 \
    message_layout_fuzzer:message:1024 csv_fuzzer:csv:4096 issue_number_fuzzer:issue-number:64; do
    target=${entry%%:*}
    rest=${entry#*:}
    name=${rest%%:*}
    maxlen=${rest#*:}
    if [ ! -x "$build/$target" ]; then
        echo "fuzz: $target was not built" >&2
        failed="$failed $target"
        continue
    fi
    # New inputs go to a corpus of the build's own; the committed seeds are only read.
    corpus="$build/corpus/$name"
    mkdir -p "$corpus"
    echo "fuzz: $target for $duration s"
    if ! QT_QPA_PLATFORM=offscreen LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp" \
        "$build/$target" -max_total_time="$duration" -timeout=10 \
        -rss_limit_mb=2048 -max_len="$maxlen" -dict="fuzz/$name.dict" -print_final_stats=1 \
        -artifact_prefix="$build/findings/$name-" "$corpus" "fuzz/corpus/$name" \
        >"$build/$name.log" 2>&1; then
        tail -n 60 "$build/$name.log" >&2
        failed="$failed $target"
    fi
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|(DONE|INITED) +cov:' \
        "$build/$name.log" | tail -n 4 || true
done
if [ -n "$failed" ]; then
    echo "fuzz: findings in:$failed (see $build/findings)" >&2
    exit 1
fi
echo "fuzz: no findings"
