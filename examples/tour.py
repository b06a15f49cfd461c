#!/usr/bin/env python3
"""A tour of the Python package: find controllers, read state and I/O, run a
command, send a program and start it.

    tour.py [ADDRESS [PROJECT.npj]]
"""
import sys

import tavrix


def main():
    address = sys.argv[1] if len(sys.argv) > 1 else None
    project = sys.argv[2] if len(sys.argv) > 2 else "program/blink.npj"
    if address is None:
        found = tavrix.search(500)
        if not found:
            sys.exit("no controller answered")
        for a in found:
            print("found:", a)
        address = found[0]

    with tavrix.Controller.open(address) as ctl:
        print(f"controller {address}: {ctl.soft_version.text}, {ctl.axes} axes, state {ctl.state}")
        print(f"inputs 0-15: 0x{ctl.inputs(0, 15):04x}")
        ctl.set_output(3, True)
        print(f"output 3: {int(ctl.output(3))}")
        print("?1+2*3 ->", ctl.execute("?1+2*3").strip())
        ctl.run_project(project)
        print(f"program started: state {ctl.state}")
        ctl.stop()


if __name__ == "__main__":
    try:
        main()
    except tavrix.TavrixError as e:
        sys.exit(str(e))
