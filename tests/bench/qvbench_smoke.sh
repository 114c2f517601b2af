#!/bin/sh
# Runs one qvbench subcommand as CI does, so that the benchmark can't rot. On a small
# generated catalogue it must end with status 0 and print at least one case line; on an empty
# catalogue it may also refuse with status 2 and a usage message. A crash, any other status,
# or a sanitizer's report fails the run.
#
#   qvbench_smoke.sh QVBENCH QVTOOL SUBCOMMAND ROWS
#   qvbench_smoke.sh --listed QVBENCH SUBCOMMAND...   every subcommand qvbench lists is named
set -u

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

if [ "$1" = --listed ]; then
    qvbench=$2
    shift 2
    listed=$("$qvbench" --help | sed -n 's/^  qvbench \([a-z0-9-]*\) .*/\1/p')
    [ -n "$listed" ] || fail "qvbench --help lists no subcommand"
    for name in $listed; do
        case " $* " in
            *" $name "*) ;;
            *) fail "qvbench $name has no smoke test (add it in tests/bench/CMakeLists.txt)" ;;
        esac
    done
    echo "every subcommand has a smoke test: $(echo $listed)"
    exit 0
fi

qvbench=$1 qvtool=$2 subcommand=$3 rows=$4
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

# run NAME DIR ALLOWED_STATUSES: runs the subcommand on DIR and checks what it did.
run() {
    "$qvbench" "$subcommand" "$2" >"$work/$1.out" 2>"$work/$1.err"
    status=$?
    echo "--- qvbench $subcommand on $1: status $status"
    cat "$work/$1.out" "$work/$1.err"
    if grep -q -e 'Sanitizer' -e 'runtime error:' "$work/$1.err"; then
        fail "a sanitizer reported on the $1 catalogue"
    fi
    case " $3 " in
        *" $status "*) ;;
        *) fail "status $status on the $1 catalogue (expected one of: $3)" ;;
    esac
    if [ "$status" = 0 ]; then
        grep -q -v '^#' "$work/$1.out" || fail "no case line on the $1 catalogue"
    else
        grep -q 'Usage' "$work/$1.err" || fail "a refusal without a usage message"
    fi
}

mkdir "$work/small" "$work/empty" || exit 1
"$qvtool" generate "$work/small" "$rows" 7 >/dev/null || fail "qvtool generate"
run small "$work/small" 0
"$qvtool" create "$work/empty" >/dev/null || fail "qvtool create"
run empty "$work/empty" "0 2"
echo "qvbench $subcommand: passed"
