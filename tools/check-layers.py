#!/usr/bin/env python3
"""Fails when a file under src/ includes a header of a layer it must not see.

The layers, lowest first: platform (the operating-system seam and the
user-interface interfaces), support (with the string table), engine,
importers. ui/ implements the platform's interfaces and sees only what lies
below the engine; ui/qt is the window, which drives the engine and serves as
the main window that startup wires, so it sees what startup sees. Only the
window and startup include the toolkit.

    tools/check-layers.py [SRC]
"""
import pathlib
import re
import sys

BELOW_ENGINE = {"platform", "support"}
ALLOWED = {
    "platform": {"platform"},
    "support": BELOW_ENGINE,
    "engine": BELOW_ENGINE | {"engine"},
    "importers": BELOW_ENGINE | {"engine", "importers"},
    "ui": BELOW_ENGINE | {"ui"},
    "ui/qt": BELOW_ENGINE | {"engine", "ui", "ui/qt", "startup"},
    "startup": BELOW_ENGINE | {"engine", "importers", "ui", "ui/qt", "startup"},
}
TOOLKIT = {"ui/qt", "startup"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def layer_of(path):
    """The layer of a path relative to src/ ("ui/qt/x.h" -> "ui/qt")."""
    parts = path.split("/")
    if parts[0] == "ui" and len(parts) > 2 and parts[1] == "qt":
        return "ui/qt"
    return parts[0] if parts[0] in ALLOWED else None


def main():
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src")
    problems = []
    for file in sorted(src.rglob("*")):
        if file.suffix not in (".h", ".cpp"):
            continue
        own = layer_of(file.relative_to(src).as_posix())
        if own is None:
            continue
        for number, line in enumerate(file.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            where = f"{file}:{number}"
            if match[1] == "<":
                if match[2].startswith("Q") and own not in TOOLKIT:
                    problems.append(f"{where}: {own} includes the toolkit <{match[2]}>")
                continue
            target = layer_of(match[2])
            if target is None:
                problems.append(f"{where}: \"{match[2]}\" is in no layer")
            elif target not in ALLOWED[own]:
                problems.append(f"{where}: {own} includes \"{match[2]}\" of {target}")
    for problem in problems:
        print(problem)
    print(f"{len(problems)} include(s) against the layers")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
