#!/usr/bin/env python3
"""Runs a command and ends it with SIGKILL in the phase of its work named,
told by the files it holds open for writing directly in FOLDER:

  archive  it writes there, and nothing it writes starts as a Windows
           program does ("MZ"): an archive, or an installer's payload
  program  it writes there a file that starts with "MZ": an installer's
           own write

The command's open files are read from /proc in a loop that starts no
process. Once the phase is seen, the command is stopped (SIGSTOP), the phase
is checked again while it cannot move on, and only then is it killed, so a
kill never lands in the phase after the one meant; a phase that had passed
by then lets the command go on and the watch continues.

usage: kill_in_phase.py archive|program FOLDER COMMAND...
Exit 0 once the command is killed in the phase; 1, saying so, when the
command ended before that phase was seen.
"""
import os
import signal
import subprocess
import sys


def writers(pid, folder):
    """The files directly in folder that pid holds open for writing, as
    paths that open them (/proc/PID/fd/N, which also opens unnamed files)."""
    found = []
    try:
        fds = os.listdir(f"/proc/{pid}/fd")
    except OSError:
        return found
    for fd in fds:
        try:
            target = os.readlink(f"/proc/{pid}/fd/{fd}")
            with open(f"/proc/{pid}/fdinfo/{fd}") as info:
                flags = next(int(line.split()[1], 8) for line in info if line.startswith("flags:"))
        except (OSError, StopIteration):
            continue
        target = target.removesuffix(" (deleted)")
        if os.path.dirname(target) == folder and flags & os.O_ACCMODE != os.O_RDONLY:
            found.append(f"/proc/{pid}/fd/{fd}")
    return found


def starts_as_program(path):
    try:
        with open(path, "rb") as file:
            return file.read(2) == b"MZ"
    except OSError:
        return False


def in_phase(pid, phase, folder):
    files = writers(pid, folder)
    programs = [path for path in files if starts_as_program(path)]
    return bool(programs) if phase == "program" else bool(files) and not programs


def stopped(pid):
    with open(f"/proc/{pid}/stat") as stat:
        return stat.read().rsplit(")", 1)[1].split()[0] in ("T", "t", "Z")


def main():
    if len(sys.argv) < 4 or sys.argv[1] not in ("archive", "program"):
        print(__doc__, file=sys.stderr)
        return 2
    phase, folder, command = sys.argv[1], os.path.realpath(sys.argv[2]), sys.argv[3:]
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while child.poll() is None:
        if not in_phase(child.pid, phase, folder):
            os.sched_yield()
            continue
        child.send_signal(signal.SIGSTOP)
        while not stopped(child.pid):
            pass
        if in_phase(child.pid, phase, folder):
            child.kill()
            child.wait()
            return 0
        child.send_signal(signal.SIGCONT)
    print(f"kill_in_phase: {command[0]} ended (status {child.returncode}) before it was seen "
          f"writing {'a program' if phase == 'program' else 'an archive'} in {folder}",
          file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
