#!/usr/bin/python3
"""Reads the running window through the AT-SPI accessibility bus, as a screen
reader does, and checks that every control a user operates has a spoken name,
that the first activation filled in the window, and that a calculation's
results and the status line read with their captions.

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


def find(node, role, name):
    if node.getRoleName() == role and node.name == name:
        return node
    for child in node:
        hit = find(child, role, name) if child is not None else None
        if hit is not None:
            return hit
    return None


def wait_for(app, role, name, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        hit = find(app, role, name)
        if hit is not None:
            return hit
        time.sleep(0.2)
    return None


def calculate(app, fields):
    """Types into the Lat/Long page's fields and presses Calculate, through the bus."""
    find(app, "page tab", "Lat/Long").queryAction().doAction(0)
    for name, text in fields.items():
        find(app, "text", name).queryEditableText().setTextContents(text)
    find(app, "push button", "Calculate distance and bearing from coordinates") \
        .queryAction().doAction(0)


def spoken_results(app):
    """Due north of the start by 3 degrees: 3 x 111.3 km; an out-of-range
    latitude then shows its message in the status line."""
    failures = []
    calculate(app, {"To latitude degrees": "52", "To latitude minutes": "56",
                    "To latitude seconds": "30", "To longitude degrees": "8",
                    "To longitude minutes": "50", "To longitude seconds": "48"})
    for name in ["Distance 333.9 km", "Bearing 0.0\u00b0", "Reverse bearing 180.0\u00b0"]:
        if wait_for(app, "label", name) is None:
            failures.append(f"no result read as {name!r}")
        else:
            print("reads:", name)
    calculate(app, {"To latitude degrees": "90"})
    message = "to lat. error: min 00\u00b0 to max 89\u00b0"
    status = find(app, "status bar", "Status line")
    if status is None or wait_for(status, "label", message) is None:
        failures.append(f"the status line does not read {message!r}")
    else:
        print("status line reads:", message)
    return failures


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
    if not failures:
        failures += spoken_results(app)
    operated = sum(1 for role, _ in found if role in OPERATED)
    print(f"{len(found)} accessible objects, {operated} operated controls")
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
