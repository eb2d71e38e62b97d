#!/usr/bin/env python3
"""Mutation testing: does the test suite notice a small fault in the code?

Copies the tracked tree into BUILD/tree, builds it once, then applies a seeded
random sample of N mutants to src/ (the Qt window excluded), one at a time:
rebuild, run the suites (stopping at the first failure), put the line back.
A mutant is killed when a test fails or times out, survives when every test
passes, and is left out of the score when it does not compile.

    tools/mutation.py [--mutants N] [--seed S] [--build DIR] [--jobs J]

Run it inside tests/db/with-databases.sh so the database routes are there
(`make mutation` does). The working tree is never modified.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import time

# (name, pattern, replacement). Binary operators are matched with the spaces
# that the formatter puts around them, so template brackets and includes are
# left alone.
OPERATORS = [
    ("== to !=", re.compile(r" == "), " != "),
    ("!= to ==", re.compile(r" != "), " == "),
    ("< to <=", re.compile(r" < "), " <= "),
    ("<= to <", re.compile(r" <= "), " < "),
    ("> to >=", re.compile(r" > "), " >= "),
    (">= to >", re.compile(r" >= "), " > "),
    ("&& to ||", re.compile(r" && "), " || "),
    ("|| to &&", re.compile(r" \|\| "), " && "),
    ("+ 1 to - 1", re.compile(r" \+ 1\b"), " - 1"),
    ("- 1 to + 1", re.compile(r" - 1\b"), " + 1"),
    ("true to false", re.compile(r"\btrue\b"), "false"),
    ("false to true", re.compile(r"\bfalse\b"), "true"),
    ("drop !", re.compile(r"(?<=[( ])!(?=[A-Za-z_(])"), ""),
    ("++ to --", re.compile(r"\+\+"), "--"),
]


def code_spans(line):
    """The character ranges of a line that are code: outside string and
    character literals, before a // comment."""
    spans, start, i, quote = [], 0, 0, None
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                i += 2
                continue
            if c == quote:
                quote, start = None, i + 1
        elif c in "\"'":
            spans.append((start, i))
            quote = c
        elif line.startswith("//", i):
            spans.append((start, i))
            return spans
        i += 1
    if not quote:
        spans.append((start, len(line)))
    return spans


def candidate_sites(tree):
    sites = []
    src = os.path.join(tree, "src")
    for root, dirs, files in os.walk(src):
        dirs.sort()
        if os.path.relpath(root, src).split(os.sep)[:2] == ["ui", "qt"]:
            continue
        for name in sorted(files):
            if not name.endswith(".cpp"):
                continue
            path = os.path.join(root, name)
            rel = os.path.relpath(path, tree)
            in_block = False
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    stripped = line.strip()
                    if in_block:
                        in_block = "*/" not in stripped
                        continue
                    if stripped.startswith("/*"):
                        in_block = "*/" not in stripped
                        continue
                    if stripped.startswith(("#", "//", "static_assert")):
                        continue
                    for a, b in code_spans(line):
                        for op_index, (_, pattern, _) in enumerate(OPERATORS):
                            for m in pattern.finditer(line, a, b):
                                if m.end() <= b:
                                    sites.append((rel, number, op_index, m.start()))
    return sites


def run(cmd, cwd, log, timeout=None):
    with open(log, "ab") as out:
        try:
            return subprocess.run(cmd, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mutants", type=int, default=40)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--build", default="build/mutation")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--test-timeout", type=int, default=300)
    args = parser.parse_args()

    top = subprocess.run(["git", "rev-parse", "--show-toplevel"], capture_output=True,
                         text=True, check=True).stdout.strip()
    work = os.path.abspath(args.build)
    tree, build, log = os.path.join(work, "tree"), os.path.join(work, "build"), \
        os.path.join(work, "mutation.log")
    os.makedirs(work, exist_ok=True)
    open(log, "wb").close()

    # A private copy of the tracked tree: a mutant never touches the real one.
    files = subprocess.run(["git", "ls-files", "-z"], cwd=top, capture_output=True,
                           check=True).stdout.decode().split("\0")
    tracked = set(filter(None, files))
    # Files gone from the tree go from the copy too (the build globs for tests).
    for root, _, names in os.walk(tree):
        for name in names:
            path = os.path.join(root, name)
            if os.path.relpath(path, tree) not in tracked:
                os.remove(path)
    for rel in tracked:
        source, target = os.path.join(top, rel), os.path.join(tree, rel)
        if not os.path.isfile(source):
            continue
        if os.path.exists(target) and open(source, "rb").read() == open(target, "rb").read():
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(source, target)

    configure = ["cmake", "-S", tree, "-B", build, "-G", "Ninja",
                 "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DINGESTOR_GUI=OFF",
                 "-DINGESTOR_BENCH=OFF"]
    build_cmd = ["cmake", "--build", build, "-j", str(args.jobs)]
    test_cmd = ["ctest", "--test-dir", build, "-j", str(args.jobs), "--stop-on-failure",
                "--timeout", str(args.test_timeout)]
    if run(configure, tree, log) != 0 or run(build_cmd, tree, log) != 0:
        sys.exit(f"mutation: the unmutated tree does not build (see {log})")
    if run(test_cmd, tree, log) != 0:
        sys.exit(f"mutation: the suite fails without a mutant (see {log})")

    sites = candidate_sites(tree)
    sample = random.Random(args.seed).sample(sites, min(args.mutants, len(sites)))
    killed, valid, survivors = 0, 0, []
    print(f"{len(sites)} mutation sites; {len(sample)} mutants, seed {args.seed}", flush=True)
    for index, (rel, number, op_index, column) in enumerate(sample, 1):
        name, pattern, replacement = OPERATORS[op_index]
        path = os.path.join(tree, rel)
        with open(path, encoding="utf-8", errors="surrogateescape") as f:
            original = f.read()
        lines = original.split("\n")
        line = lines[number - 1]
        m = pattern.match(line, column)
        lines[number - 1] = line[:m.start()] + replacement + line[m.end():]
        where = f"{rel}:{number} {name}: {line.strip()}"
        started = time.monotonic()
        try:
            with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
                f.write("\n".join(lines))
            with open(log, "a") as out:
                out.write(f"\n=== mutant {index}: {where}\n")
            if run(build_cmd, tree, log) != 0:
                verdict = "does not compile"
            else:
                valid += 1
                status = run(test_cmd, tree, log, timeout=args.test_timeout * 4)
                if status == 0:
                    verdict = "SURVIVED"
                    survivors.append(where)
                else:
                    killed += 1
                    verdict = "killed" if status is not None else "killed (timeout)"
        finally:
            with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
                f.write(original)
        print(f"[{index}/{len(sample)}] {verdict:17} {where} "
              f"({time.monotonic() - started:.0f} s)", flush=True)

    run(build_cmd, tree, log)
    if survivors:
        print("surviving mutants:")
        for where in survivors:
            print(f"  {where}")
    print(f"mutation score {killed}/{valid} killed")


if __name__ == "__main__":
    main()
