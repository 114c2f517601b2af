#!/bin/sh
# The catalogue's locks through a whole session: another copy saving rows with memos
# throughout, and the session (LockedSessionTest), whose exports are held midway with their
# progress window up, traced by strace for every open, close and lock of the catalogue's files.
# lock_trace.py then checks that nothing but the engine opened them and that nothing closed a
# descriptor of them while a lock was held; the session itself checks every export.
#
#   lock_guard_test.sh QVTOOL SQLITE3 WRITER SESSION ANALYSER
set -u
qvtool=$1 sqlite3=$2 writer=$3 session=$4 analyser=$5
work=$(mktemp -d /tmp/quorvel-locks-XXXXXX)
trap 'touch "$work/stop"; wait; rm -rf "$work"' EXIT
mkdir "$work/catalogue" "$work/exports"
# 20,000 issues with memos: a copy of several steps, each a report of the progress.
"$qvtool" generate "$work/catalogue" 20000 7 >"$work/generate.out" 2>&1 ||
    { cat "$work/generate.out"; exit 1; }
# Another running copy, saving all the while: each run of the writer commits one issue's title
# and memo in one transaction, as a copy does at every Save, and adds a byte to the attempts
# file, by which the session tells when the other copy has tried while an export is held.
memo=$(printf '%4000s' | tr ' ' m)
(
    saved=0 refused=0 id=1 outcome=
    while [ ! -e "$work/stop" ] && [ -z "$outcome" ]; do
        "$writer" "$work/catalogue" "$id" "Druhá kopie $id" "$memo$id" 2>>"$work/writer.err"
        case $? in
            0) saved=$((saved + 1)) ;;
            3) refused=$((refused + 1)) ;;
            *) outcome=", then failed: $(tail -n 1 "$work/writer.err")" ;;
        esac
        printf . >>"$work/attempts"
        id=$((id % 20000 + 1))
        sleep 0.01
    done
    echo "$saved saved, $refused refused by the locks$outcome" >"$work/writer.out"
) &
writer_pid=$!
QUORVEL_LOCK_CATALOGUE=$work/catalogue QUORVEL_LOCK_EXPORTS=$work/exports \
    QUORVEL_LOCK_ATTEMPTS=$work/attempts \
    strace -f -qq --seccomp-bpf -y -e trace=open,openat,close,fcntl -e signal=none -o "$work/trace" \
    "$session"
session_rc=$?
touch "$work/stop"
wait "$writer_pid"
echo "the other copy: $(cat "$work/writer.out")"
python3 "$analyser" "$work/trace" "$work/catalogue"
trace_rc=$?
grep -q '^[1-9][0-9]* saved, [0-9]* refused by the locks$' "$work/writer.out" ||
    { echo "FAIL: the other copy saved nothing, or failed"; exit 1; }
[ "$session_rc" = 0 ] && [ "$trace_rc" = 0 ]
