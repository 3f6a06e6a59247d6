#!/usr/bin/env python3
"""Counts the C and C++ lines of the tests (everything under tests/) against the C and C++
lines of the rest of the repository, leaving out blank lines and comments, and prints both
and the tests' share.

    python3 tools/count_lines.py            # the tree as it is
    python3 tools/count_lines.py --by-folder
"""

import argparse
import collections
import os
import re
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
EXTENSIONS = (".c", ".cc", ".cpp", ".cxx", ".h", ".hh", ".hpp")


def code_lines(text):
    """Lines that hold something besides whitespace and comments. String literals are
    stepped over so that a "//" or "/*" inside one does not start a comment."""
    count = 0
    in_block = False
    for line in text.splitlines():
        code = []
        i = 0
        while i < len(line):
            if in_block:
                end = line.find("*/", i)
                if end < 0:
                    i = len(line)
                else:
                    in_block, i = False, end + 2
                continue
            c = line[i]
            if line.startswith("//", i):
                break
            if line.startswith("/*", i):
                in_block, i = True, i + 2
                continue
            if c in "\"'":
                m = re.match(r'%s(\\.|[^\\%s])*%s' % (c, c, c), line[i:])
                step = m.end() if m else len(line) - i
                code.append(line[i:i + step])
                i += step
                continue
            code.append(c)
            i += 1
        if "".join(code).strip():
            count += 1
    return count


def tracked_sources(root):
    out = subprocess.run(["git", "ls-files", "-co", "--exclude-standard"], cwd=root,
                         capture_output=True, text=True, check=True).stdout.split("\n")
    return [p for p in out if p.endswith(EXTENSIONS) and os.path.exists(os.path.join(root, p))]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--by-folder", action="store_true", help="also print the lines of each folder")
    args = ap.parse_args()
    per_folder = collections.Counter()
    tests = other = 0
    for rel in tracked_sources(ROOT):
        with open(os.path.join(ROOT, rel), errors="replace") as f:
            n = code_lines(f.read())
        parts = rel.split("/")
        per_folder["/".join(parts[:2]) if parts[0] == "tests" else parts[0]] += n
        if parts[0] == "tests":
            tests += n
        else:
            other += n
    if args.by_folder:
        for name, n in sorted(per_folder.items()):
            print(f"{n:>7}  {name}")
    print(f"tests: {tests} lines")
    print(f"other: {other} lines")
    print(f"share: {100.0 * tests / other:.1f}% (at most 33% wanted)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
