#!/usr/bin/env python3
"""Reads a ctest JUnit report and prints the names of the failed tests to run again.

A failed test is run again only when its output shows LeakSanitizer's own
thread-stopping tracer crashing ("Tracer caught signal"), which happens now
and then on a loaded machine and says nothing about our code. Any other
failure (an assertion, a sanitizer report, a time-out) is final: then nothing
is printed and the exit status is 1.
"""
import sys
import xml.etree.ElementTree as ET

TRACER_CRASH = "Tracer caught signal"


def main(path: str) -> int:
    failed = []
    for case in ET.parse(path).getroot().iter("testcase"):
        if case.get("status") in ("fail", "failed") or case.find("failure") is not None:
            out = "".join(e.text or "" for e in case.iter() if e.tag in ("system-out", "failure"))
            failed.append((case.get("name"), TRACER_CRASH in out))
    final = [name for name, tracer in failed if not tracer]
    if final:
        print("failed for a reason of its own: " + ", ".join(final), file=sys.stderr)
        return 1
    for name, _ in failed:
        print(name)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
