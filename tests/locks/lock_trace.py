#!/usr/bin/env python3
"""Reads an strace log of one process (strace -f -y, calls open, openat, close and fcntl) and
checks the two rules that keep SQLite's locks on a catalogue's files whole:

1. Every descriptor of DIR/qv.db or DIR/qv.mb is opened by the engine's file layer, or by the
   row locks, which open qv.db once before the engine and close it after. SQLite's unix layer
   opens them with O_NOFOLLOW, the row locks with O_RDWR|O_CLOEXEC alone; stacks would name the
   caller outright, but unwinding at every call slows the process so much that another copy's
   commits starve its own. A descriptor opened with O_PATH reads and writes nothing, and the
   kernel drops no lock when it closes: the export checks files by such descriptors.
2. No descriptor of either file is closed while the process holds a POSIX lock on that file:
   the kernel would drop every such lock of the process at that close.

Usage: lock_trace.py TRACE DIR. Prints what it saw; exits 1 on a breach, 2 on a log that shows
no locking at all (a trace of nothing proves nothing).
"""
import collections
import os
import re
import sys

CALL = re.compile(r'^(\d+) +(\w+)\((.*)\) += (-?\d+)(<[^>]*>)?')
FLAGS = re.compile(r', (O_[A-Z_|]+)')
UNFINISHED = re.compile(r'^(\d+) +(.*) <unfinished \.\.\.>$')
RESUMED = re.compile(r'^(\d+) +<\.\.\. \w+ resumed>(.*)$')
FD_PATH = re.compile(r'^\d+<([^>]*)>')
LOCK = re.compile(r'(F_SETLKW?|F_OFD_SETLKW?), \{l_type=(F_\w+), l_whence=SEEK_SET, '
                  r'l_start=(\d+), l_len=(\d+)')


def calls(lines, recent):
    """The completed calls in order: (thread, name, arguments, result, result path). recent
    keeps the last lines of the log read, for the report of a breach."""
    pending = {}
    for line in lines:
        line = line.rstrip('\n')
        recent.append(line)
        unfinished = UNFINISHED.match(line)
        if unfinished:
            pending[unfinished.group(1)] = unfinished.group(2)
            continue
        resumed = RESUMED.match(line)
        if resumed and resumed.group(1) in pending:
            line = resumed.group(1) + ' ' + pending.pop(resumed.group(1)) + resumed.group(2)
        call = CALL.match(line)
        if call:
            thread, name, args, result, path = call.groups()
            yield thread, name, args, int(result), (path or '<>')[1:-1]


def subtract(ranges, start, end):
    """ranges without [start, end); end None is the end of the file."""
    kept = []
    for low, high in ranges:
        if (end is not None and low >= end) or (high is not None and high <= start):
            kept.append((low, high))
            continue
        if low < start:
            kept.append((low, start))
        if end is not None and (high is None or high > end):
            kept.append((end, high))
    return kept


def main():
    trace, directory = sys.argv[1], os.path.realpath(sys.argv[2])
    files = {os.path.join(directory, name) for name in ('qv.db', 'qv.mb')}
    held = {name: [] for name in files}  # POSIX locks of the process, byte ranges per file
    breaches = []
    opens = {'engine': 0, 'row locks': 0, 'path only': 0}
    path_only = set()  # descriptors opened with O_PATH
    locks = closes = 0
    with open(trace, errors='replace') as log:
        recent = collections.deque(maxlen=40)
        for thread, name, args, result, result_path in calls(log, recent):
            fd = FD_PATH.match(args)
            path = fd.group(1) if fd else None
            if name in ('open', 'openat') and result >= 0 and result_path in files:
                flags = FLAGS.search(args)
                flags = flags.group(1) if flags else ''
                if 'O_PATH' in flags.split('|'):
                    opens['path only'] += 1
                    path_only.add(result)
                elif 'O_NOFOLLOW' in flags.split('|'):
                    opens['engine'] += 1
                elif (flags == 'O_RDWR|O_CLOEXEC' and result_path.endswith('qv.db')
                      and opens['engine'] == 0 and opens['row locks'] == 0):
                    opens['row locks'] += 1
                else:
                    breaches.append('%s opened outside the engine by thread %s: %s(%s)' % (
                        result_path, thread, name, args))
            elif name == 'fcntl' and path in files and result == 0:
                lock = LOCK.search(args)
                if lock is None or lock.group(1).startswith('F_OFD'):
                    continue
                locks += 1
                start, length = int(lock.group(3)), int(lock.group(4))
                end = start + length if length else None
                ranges = subtract(held[path], start, end)
                if lock.group(2) != 'F_UNLCK':
                    ranges.append((start, end))
                held[path] = ranges
            elif name == 'close' and fd and int(args.split('<')[0]) in path_only:
                path_only.discard(int(args.split('<')[0]))
            elif name == 'close' and path in files:
                closes += 1
                if held[path]:
                    breaches.append('%s closed by thread %s while the process held locks on bytes '
                                    '%s; the log before it:\n    %s'
                                    % (path, thread, held[path], '\n    '.join(recent)))
                held[path] = []
    print('opens of the catalogue files: %d by the engine, %d by the row locks, %d with O_PATH; '
          '%d lock calls; %d closes' % (opens['engine'], opens['row locks'], opens['path only'],
                                        locks, closes))
    for breach in breaches:
        print('BREACH: ' + breach)
    if breaches:
        return 1
    if locks == 0 or opens['engine'] == 0:
        print('the trace shows no locking of the catalogue: nothing was checked')
        return 2
    return 0


if __name__ == '__main__':
    sys.exit(main())
