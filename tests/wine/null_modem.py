#!/usr/bin/env python3
"""Runs a command with wine's COM1 and COM2 wired together like a null-modem cable.

Each port is a Linux pseudo-terminal; wine reaches it through a symlink that the
registry key HKLM\\Software\\Wine\\Ports names (set once by setup.sh). Bytes written
to COM2 are copied to COM1, so a test under wine can feed the port it reads; so
are bytes written to the FIFO PORTS_DIR/com1.feed, for a feeder on the Linux side.
Usage: null_modem.py PORTS_DIR COMMAND...
"""
import os
import pty
import select
import subprocess
import sys
import threading
import tty


def relay(source, target, stop):
    while not stop.is_set():
        ready, _, _ = select.select([source], [], [], 0.05)
        if not ready:
            continue
        try:
            data = os.read(source, 4096)
        except OSError:  # the reading side is not open yet or was closed
            continue
        while data:
            data = data[os.write(target, data):]


def point(link, target):
    tmp = link + ".new"
    if os.path.lexists(tmp):
        os.unlink(tmp)
    os.symlink(target, tmp)
    os.replace(tmp, link)


def main():
    ports_dir, command = sys.argv[1], sys.argv[2:]
    os.makedirs(ports_dir, exist_ok=True)
    pairs = []
    for name in ("com1", "com2"):
        master, slave = pty.openpty()
        tty.setraw(slave)  # no echo, no newline translation on either side
        # The slave stays open here too: a pty whose last slave closes reports a
        # hang-up, which must not happen between two opens of a test.
        pairs.append((master, slave))
        point(os.path.join(ports_dir, name), os.ttyname(slave))
    feed = os.path.join(ports_dir, "com1.feed")
    if not os.path.exists(feed):
        os.mkfifo(feed)
    # Read and write: never an end of file when a feeder closes.
    feed_fd = os.open(feed, os.O_RDWR | os.O_NONBLOCK)
    stop = threading.Event()
    copiers = [threading.Thread(target=relay, args=(source, pairs[0][0], stop), daemon=True)
               for source in (pairs[1][0], feed_fd)]
    for copier in copiers:
        copier.start()
    try:
        return subprocess.call(command)
    finally:
        stop.set()
        for copier in copiers:
            copier.join()


if __name__ == "__main__":
    sys.exit(main())
