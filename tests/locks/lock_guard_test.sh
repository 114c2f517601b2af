#!/bin/sh
# The catalogue's locks through a whole session: a catalogue large enough that its export shows
# the progress window, another copy saving rows with memos throughout, and the session
# (LockedSessionTest) traced by strace for every open, close and lock of the catalogue's files.
# lock_trace.py then checks that nothing but the engine opened them and that nothing closed a
# descriptor of them while a lock was held; the session itself checks every export.
#
#   lock_guard_test.sh QVTOOL SQLITE3 WRITER SESSION ANALYSER
set -u
qvtool=$1 sqlite3=$2 writer=$3 session=$4 analyser=$5
work=$(mktemp -d /tmp/quorvel-locks-XXXXXX)
trap 'touch "$work/stop"; wait; rm -rf "$work"' EXIT
mkdir "$work/catalogue" "$work/exports"
# The catalogue, an export of it and the journal of its making need about 2 GB at least; on a
# disk without that room this test can prove nothing, and says so (77: skipped).
if [ "$(df --output=avail -B1 "$work" | tail -n 1)" -lt 2500000000 ]; then
    echo "SKIP: less than 2.5 GB free in $work for a catalogue whose export shows its progress"
    exit 77
fi
# 20,000 issues with memos of about 25,000 characters (500 MB), their memos doubled until a
# plain copy of qv.mb from the page cache takes 1.5 s on this machine: an export of the
# catalogue then runs long enough that its progress window shows and runs the event loop. The
# copy is timed after a read that brings the file into the cache, as the exports find it; a
# first copy also waits for the update's pages to reach the disk, and so measures too long.
# Each doubling needs room for the memo file twice over, its journal and an export's copy.
"$qvtool" generate "$work/catalogue" 20000 7 >"$work/generate.out" 2>&1 &&
    "$sqlite3" "$work/catalogue/qv.mb" \
        "UPDATE memo SET obsah = obsah || printf('%.25000c', 'x')" >>"$work/generate.out" 2>&1 ||
    { cat "$work/generate.out"; exit 1; }
memos=$work/catalogue/qv.mb
while :; do
    sync
    cat "$memos" >/dev/null
    start=$(date +%s%N)
    cp "$memos" "$work/exports/probe" && rm "$work/exports/probe"
    took=$((($(date +%s%N) - start) / 1000000))
    size=$(stat -c %s "$memos")
    free=$(df --output=avail -B1 "$work" | tail -n 1)
    echo "qv.mb: $size bytes, copied in $took ms"
    [ "$took" -lt 1500 ] && [ $((size * 5)) -lt "$free" ] || break
    "$sqlite3" "$memos" "UPDATE memo SET obsah = obsah || obsah" || exit 1
done
# Another running copy, saving all the while: each run of the writer commits one issue's title
# and memo in one transaction, as a copy does at every Save.
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
        id=$((id % 20000 + 1))
        sleep 0.01
    done
    echo "$saved saved, $refused refused by the locks$outcome" >"$work/writer.out"
) &
writer_pid=$!
QUORVEL_LOCK_CATALOGUE=$work/catalogue QUORVEL_LOCK_EXPORTS=$work/exports \
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
