#!/usr/bin/python3
"""Reads the running window through the AT-SPI accessibility bus, as a screen
reader does, and checks that every control a user operates has a spoken name
and that the first activation filled in the window.

Usage: atspi_tree.py APPLICATION-NAME [PID]   (exit 0 when all checks pass;
with PID the wait for the application ends as soon as that process is gone)
"""
import os
import sys
import time

import pyatspi

OPERATED = {"text", "radio button", "check box", "push button", "page tab", "progress bar"}
# Qt's own tab-row scroll arrows carry Qt's names; they are not ours to name.
QT_OWN = {"Scroll Left", "Scroll Right"}
EXPECTED = [
    ("text", "From latitude degrees"),
    ("text", "To locator"),
    ("radio button", "South"),
    ("radio button", "GPS off"),
    ("check box", "Show Car page"),
    ("push button", "Exit"),
    ("push button", "Calculate distance and bearing from coordinates"),
    ("text", "Help text"),
    ("page tab", "Lat/Long"),
]


def alive(pid):
    # An ended child stays a zombie until its parent reaps it: count it as gone.
    if pid is None:
        return True
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def find_application(name, pid, seconds=60):
    # Generous: on a loaded machine the first start of the bridge is slow.
    end = time.time() + seconds
    while time.time() < end and alive(pid):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name:
                return app
        time.sleep(0.2)
    return None


def walk(node, found):
    role = node.getRoleName()
    found.append((role, node.name or ""))
    for child in node:
        if child is not None:
            walk(child, found)


def main():
    pid = int(sys.argv[2]) if len(sys.argv) > 2 else None
    app = find_application(sys.argv[1], pid)
    if app is None:
        print("the application did not appear on the accessibility bus")
        return 1
    found = []
    # The window fills in at its first activation: wait for the version line.
    end = time.time() + 20
    while time.time() < end:
        found = []
        walk(app, found)
        if any(role == "label" and name.startswith("Tessaro V") for role, name in found):
            break
        time.sleep(0.2)
    failures = []
    for role, name in found:
        if role in OPERATED and not name.strip() and name not in QT_OWN:
            failures.append(f"a {role} without a name")
    for role, name in EXPECTED:
        if (role, name) not in found:
            failures.append(f"no {role} named {name!r}")
    if not any(role == "label" and name.startswith("Tessaro V") for role, name in found):
        failures.append("no version line: the first activation did not run")
    operated = sum(1 for role, _ in found if role in OPERATED)
    print(f"{len(found)} accessible objects, {operated} operated controls")
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
