"""Prints the accessibility tree of the running program "palavero" as screen
readers see it through AT-SPI: one JSON object per line with the depth, the
role name, the name and the states of each node. Run with Debian's python3
(pyatspi) on the program's session bus."""

import json
import sys

import pyatspi


def walk(node, depth, out):
    states = node.getState()
    out.append({"depth": depth, "role": node.getRoleName(), "name": node.name,
                "showing": states.contains(pyatspi.STATE_SHOWING)})
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(child, depth + 1, out)


def main():
    desktop = pyatspi.Registry.getDesktop(0)
    apps = [desktop.getChildAtIndex(i) for i in range(desktop.childCount)]
    apps = [a for a in apps if a is not None and a.name == "palavero"]
    if not apps:
        sys.exit(3)
    out = []
    walk(apps[0], 0, out)
    for node in out:
        print(json.dumps(node, ensure_ascii=False))


if __name__ == "__main__":
    main()
