#!/usr/bin/env python3
"""Counts the wineserver requests each program made, from the log of a
wineserver started with -d2, and compares two programs.

Under Wine nearly every window, file and registry call is a round trip to
the single wineserver, so the number of requests is a count of the work a
program asks for that does not depend on how busy the machine is.

    server_requests.py LOG PROGRAM REFERENCE [--copy-run]

PROGRAM and REFERENCE are image names (Update.exe, minimal_window.exe);
the last instance of each in the log counts: all its requests, or with
--copy-run those from the first touch of a Data file to the finished
state.
"""
import collections
import re
import sys

REQUEST = re.compile(r'^([0-9a-f]{4}): (\w+)\((.*)$')
FINISHED = r'\x9589\x3058\x308b'  # 閉じる, as the log spells it


def read_log(path):
    """Yields (thread, request, arguments) for each request, and tracks
    which process each thread belongs to."""
    thread_process, title_of, pending, instances = {}, {}, {}, []
    requests = []
    for line in open(path, errors='replace'):
        match = REQUEST.match(line)
        if not match:
            continue
        thread, name, rest = match.groups()
        if rest.startswith(') = '):
            if name == 'new_process':
                pid = re.search(r'pid=([0-9a-f]+)', rest)
                if pid and thread in pending:
                    title_of[pid.group(1)] = pending.pop(thread)
                    instances.append(pid.group(1))
            elif name == 'init_first_thread':
                ids = re.search(r'pid=([0-9a-f]+), tid=([0-9a-f]+)', rest)
                if ids:
                    thread_process[ids.group(2)] = ids.group(1)
            elif name == 'new_thread':
                tid = re.search(r'tid=([0-9a-f]+)', rest)
                if tid and thread in thread_process:
                    thread_process[tid.group(1)] = thread_process[thread]
            continue
        if name == 'new_process':
            title = re.search(r'title=L"([^"]*)"', rest)
            pending[thread] = title.group(1).split('\\\\')[-1] if title else '?'
        requests.append((thread_process.get(thread), name, rest))
    return title_of, instances, requests


def count(requests, process, copy_run=False, end_marker=None):
    counts = collections.Counter()
    started = not copy_run
    for owner, name, rest in requests:
        if owner != process:
            continue
        if copy_run and not started:
            started = 'LData.cxt' in rest
        if started:
            counts[name] += 1
            if copy_run and end_marker and end_marker in rest:
                break
    return counts


def compare(title, a, b, name_a, name_b):
    print(f'### {title}\n')
    print(f'{name_a}: {sum(a.values())} requests; {name_b}: {sum(b.values())}.\n')
    print(f'| request | {name_a} | {name_b} | difference |\n|---|---|---|---|')
    for key in sorted(set(a) | set(b), key=lambda k: (-(a[k] - b[k]), k)):
        if abs(a[key] - b[key]) >= 3:
            print(f'| {key} | {a[key]} | {b[key]} | {a[key] - b[key]:+d} |')
    print()


def main():
    path, program, reference = sys.argv[1:4]
    copy_run = '--copy-run' in sys.argv
    title_of, instances, requests = read_log(path)
    runs = {name: [p for p in instances if title_of[p] == name] for name in (program, reference)}
    for name, found in runs.items():
        if not found:
            sys.exit(f'server_requests.py: no {name} in {path}')
    if copy_run:
        a = count(requests, runs[program][-1], True, FINISHED)
        b = count(requests, runs[reference][-1], True, 'set_event')
        compare(f'Copy run: {program} against {reference}', a, b, program, reference)
    else:
        a = count(requests, runs[program][-1])
        b = count(requests, runs[reference][-1])
        compare(f'Whole process, start-up to close: {program} against {reference}', a, b, program, reference)


if __name__ == '__main__':
    main()
