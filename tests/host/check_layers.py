#!/usr/bin/env python3
"""Fails, naming the file and line, when a host folder includes one above it, or when the
host includes a header of the plug-in or of the applications.

usage: check_layers.py SOURCE_DIR
"""

import pathlib
import re
import sys

# Each host folder and the folders directly below it; what those reach is below it too.
# host/host_api.h sits under every folder.
BELOW = {
    "base": [],
    "math": [],
    "prefs": [],
    "scene": ["base", "math"],
    "commands": ["scene"],
    "interaction": ["commands", "scene"],
    "draw": ["scene"],
    "text": ["draw"],
}

# Top-level folders whose headers the host never includes: it is built and installed
# without them.
OUTSIDE = ["registry", "transformations", "manipulators", "painters", "pickers", "apps"]

INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]')
SOURCES = {".h", ".hpp", ".cpp", ".cc"}


def reachable(layer, seen=None):
    seen = set() if seen is None else seen
    for lower in BELOW[layer]:
        if lower not in seen:
            seen.add(lower)
            reachable(lower, seen)
    return seen


def target_of(include, including, root):
    """The host folder an include names ("" for a file directly under host/), the outside
    folder it names, or None for a header of neither (the system's, Qt's...)."""
    path = pathlib.PurePosixPath(include)
    if path.parts[0] == "host":
        return path.parts[1] if len(path.parts) > 2 else ""
    if path.parts[0] in OUTSIDE:
        return path.parts[0]
    beside = including.parent / include
    if beside.exists():
        relative = beside.resolve().relative_to(root.resolve())
        return relative.parts[1] if len(relative.parts) > 2 else ""
    return None


def problems(root):
    host = root / "host"
    for source in sorted(p for p in host.rglob("*") if p.suffix in SOURCES):
        relative = source.relative_to(root)
        layer = relative.parts[1] if len(relative.parts) > 2 else ""
        if layer and layer not in BELOW:
            yield f"{relative}: host/{layer} has no place among the host's layers (place it in BELOW in tests/host/check_layers.py)"
            continue
        allowed = {layer, ""} | (reachable(layer) if layer else set())
        for number, line in enumerate(source.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = target_of(match.group(1), source, root)
            if target is None or target in allowed:
                continue
            if target in OUTSIDE:
                why = f"the host includes a header of {target}/"
            elif target not in BELOW:
                why = f"host/{target} has no place among the host's layers"
            elif layer:
                why = f"host/{layer} includes host/{target}, which is not below it"
            else:
                why = f"a file directly under host/ includes host/{target}"
            yield f"{relative}:{number}: {why}: {match.group(1)}"


def main():
    root = pathlib.Path(sys.argv[1])
    if not (root / "host").is_dir():
        sys.exit(f"{root}: no host/ folder here")
    found = list(problems(root))
    for problem in found:
        print(problem, file=sys.stderr)
    sys.exit(1 if found else 0)


if __name__ == "__main__":
    main()
