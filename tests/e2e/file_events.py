#!/usr/bin/env python3
"""Waits for file events in a folder (Linux inotify), for the end-to-end runs
that act the moment a program reaches a point: a file of the folder closed
after writing, or opened.

usage: file_events.py [--delete] [--timeout S] FOLDER NAME EVENT...

Prints "watching" once the folder is watched (start the program after that
line), then waits until the file NAME of FOLDER ("*" for any file) has seen
the EVENTs in that order (each "closed", a close after writing, or "opened",
an open), prints "seen NAME" and, with --delete, deletes that file
("deleted NAME"). Prints "timeout" and exits with 1 when they do not come
within S seconds (default 60).
"""
import ctypes
import os
import select
import struct
import sys
import time

IN_OPEN = 0x20
IN_CLOSE_WRITE = 0x08
EVENTS = {"closed": IN_CLOSE_WRITE, "opened": IN_OPEN}


def main(argv):
    delete = False
    timeout = 60.0
    while argv and argv[0].startswith("--"):
        option = argv.pop(0)
        if option == "--delete":
            delete = True
        elif option == "--timeout":
            timeout = float(argv.pop(0))
        else:
            sys.exit("unknown option " + option)
    if len(argv) < 3 or any(event not in EVENTS for event in argv[2:]):
        sys.exit(__doc__)
    folder, name, wanted = argv[0], argv[1], [EVENTS[event] for event in argv[2:]]
    libc = ctypes.CDLL(None, use_errno=True)
    watch = libc.inotify_init1(os.O_CLOEXEC)
    if watch < 0 or libc.inotify_add_watch(watch, os.fsencode(folder),
                                           IN_OPEN | IN_CLOSE_WRITE) < 0:
        sys.exit("cannot watch %s: %s" % (folder, os.strerror(ctypes.get_errno())))
    print("watching", flush=True)
    end = time.monotonic() + timeout
    while wanted:
        left = end - time.monotonic()
        if left <= 0 or not select.select([watch], [], [], left)[0]:
            print("timeout", flush=True)
            return 1
        data = os.read(watch, 65536)
        offset = 0
        while offset < len(data) and wanted:
            _, mask, _, length = struct.unpack_from("iIII", data, offset)
            event_name = data[offset + 16:offset + 16 + length].rstrip(b"\0").decode(
                "utf-8", "replace")
            offset += 16 + length
            if (name == "*" or event_name == name) and mask & wanted[0]:
                wanted.pop(0)
                seen = event_name
    print("seen", seen, flush=True)
    if delete:
        os.unlink(os.path.join(folder, seen))
        print("deleted", seen, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
