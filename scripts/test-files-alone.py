#!/usr/bin/env python3
"""Compiles each test file of a build folder's unity batches on its own.

Test binaries compile their files eight to a unit (cmake/Orv.cmake): a file
that uses a header only another file of its unit includes builds today, and
breaks once a file added ahead of it moves the batches. This compiles every
test file (a file under tests/) of every unity batch alone, with its
target's flags and -fsyntax-only, and names each that does not build.

  test-files-alone.py [BUILD] [-j N] [FILE...]

BUILD is a Ninja build folder (build/ by default); FILE narrows the check to
the files given. It costs a few CPU seconds a file (ten minutes or more for
the whole tree): scripts/test-includes.py is the quick check the test
command runs; this one is for a change that adds or moves includes.
"""
import json
import os
import re
import shlex
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def batches(build):
    """(source file, compile command) of each test file in a unity batch."""
    out = subprocess.run(["ninja", "-C", build, "-t", "compdb"], capture_output=True, text=True, check=True).stdout
    for entry in json.loads(out):
        unity = entry["file"]
        if "/Unity/unity_" not in unity or not os.path.exists(unity):
            continue
        args = shlex.split(entry["command"])
        for src in re.findall(r'^#include "([^"]+)"', open(unity).read(), re.M):
            if "/tests/" in src:
                yield src, entry["directory"], args, unity


def alone(src, directory, args, unity):
    cmd, skip = [], False
    for a in args:
        if skip:
            skip = False
        elif a in ("-o", "-MF", "-MT"):
            skip = True
        elif a in ("-c", "-MD", unity) or a == "ccache" or a.endswith("/ccache"):
            pass
        else:
            cmd.append(a)
    cmd += ["-fsyntax-only", "-DORV_TEST_FILE_ID=orv_alone", src]
    r = subprocess.run(cmd, cwd=directory, capture_output=True, text=True)
    return src, r.returncode, r.stderr


def main():
    argv = sys.argv[1:]
    jobs = os.cpu_count() or 2
    build, only = os.path.join(top, "build"), []
    while argv:
        a = argv.pop(0)
        if a == "-j":
            jobs = int(argv.pop(0))
        elif os.path.isdir(a):
            build = a
        else:
            only.append(os.path.realpath(a))
    work = [b for b in batches(build) if not only or os.path.realpath(b[0]) in only]
    failed = 0
    with ThreadPoolExecutor(jobs) as pool:
        for src, rc, err in pool.map(lambda b: alone(*b), work):
            if rc:
                failed += 1
                first = next((l for l in err.splitlines() if "error" in l), err.strip()[:300])
                print("%s does not build alone:\n  %s" % (os.path.relpath(src, top), first))
    print("%d test files compiled alone, %d failed" % (len(work), failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
