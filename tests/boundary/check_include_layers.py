#!/usr/bin/env python3
"""Checks the library's include graph.

A unit is a .h/.cpp pair of the same name in one folder. The check fails when
  - two or more units include each other, directly or round a longer cycle;
  - any unit but the facade's own includes the facade's header (a class that
    needs the log takes the log, one that needs its owner takes a small
    interface the owner implements);
  - a unit includes a header of a layer above its own or beside it: the
    folders are layers, ranked in LAYERS; a unit may include its own folder
    and any lower layer (portable/ therefore nothing from outside it).

    check_include_layers.py <filesystem folder>
    check_include_layers.py --self-test
"""

import os
import re
import sys
import tempfile

FACADE_HEADER = "FileSystemFacade.h"
# Folder (relative to the library's root, "" for the root itself) -> rank.
# store/ and net/ share a rank: neither may include the other.
LAYERS = {"": 5, "update": 4, "store": 3, "net": 3, "base": 1, "portable": 0}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def collect_units(root):
    """Maps each unit (folder/name) to the header names its files include."""
    units = {}
    headers = {}
    for folder, _, files in os.walk(root):
        for name in sorted(files):
            stem, ext = os.path.splitext(name)
            if ext not in (".h", ".cpp"):
                continue
            unit = os.path.relpath(os.path.join(folder, stem), root).replace(os.sep, "/")
            with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
                included = INCLUDE.findall(f.read())
            units.setdefault(unit, set()).update(os.path.basename(i) for i in included)
            if ext == ".h":
                headers[name] = unit
    return units, headers


def find_problems(root):
    units, headers = collect_units(root)
    graph = {}
    problems = []
    for unit, included in units.items():
        edges = set()
        for header in included:
            target = headers.get(header)
            if target is None or target == unit:
                continue
            edges.add(target)
            if header == FACADE_HEADER and os.path.basename(unit) != "FileSystemFacade":
                problems.append(f"{unit} includes {FACADE_HEADER}")
            if not layer_allows(unit, target):
                problems.append(f"{unit} includes {header}, a layer above or beside its own")
        graph[unit] = edges
    problems.extend(f"units that include each other (round a cycle): {', '.join(cycle)}"
                    for cycle in find_cycles(graph))
    return problems


def layer_of(unit):
    return unit.rsplit("/", 1)[0] if "/" in unit else ""


def layer_allows(unit, target):
    own, other = layer_of(unit), layer_of(target)
    if own == other or own not in LAYERS or other not in LAYERS:
        return True
    return LAYERS[other] < LAYERS[own]


def find_cycles(graph):
    """The units of each strongly connected component of more than one unit."""
    index = {}
    low = {}
    stack = []
    on_stack = set()
    cycles = []
    counter = [0]

    def visit(start):
        # Iterative Tarjan, so that a long chain cannot exhaust the stack.
        work = [(start, iter(sorted(graph.get(start, ()))))]
        index[start] = low[start] = counter[0]
        counter[0] += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, edges = work[-1]
            advanced = False
            for target in edges:
                if target not in index:
                    index[target] = low[target] = counter[0]
                    counter[0] += 1
                    stack.append(target)
                    on_stack.add(target)
                    work.append((target, iter(sorted(graph.get(target, ())))))
                    advanced = True
                    break
                if target in on_stack:
                    low[node] = min(low[node], index[target])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                if len(component) > 1:
                    cycles.append(sorted(component))

    for unit in sorted(graph):
        if unit not in index:
            visit(unit)
    return cycles


def self_test():
    cases = [
        # (files, expected number of problems)
        ({"A.h": '#include "B.h"\n', "B.h": "", "B.cpp": '#include "B.h"\n'}, 0),
        ({"A.h": "", "A.cpp": '#include "B.h"\n', "B.h": "", "B.cpp": '#include "A.h"\n'}, 1),
        ({"A.h": '#include "B.h"\n', "B.h": '#include "C.h"\n', "C.cpp": '#include "A.h"\n',
          "C.h": ""}, 1),
        ({"FileSystemFacade.h": "", "Log.cpp": '#include "FileSystemFacade.h"\n'}, 1),
        ({"Store.h": "", "portable/Codec.cpp": '#include "Store.h"\n'}, 1),
        ({"net/Socket.h": "", "store/Package.cpp": '#include "net/Socket.h"\n'}, 1),
        ({"update/Engine.h": "", "base/Log.cpp": '#include "update/Engine.h"\n'}, 1),
        ({"store/Package.h": '#include "base/Log.h"\n', "base/Log.h": '#include "Codec.h"\n',
          "portable/Codec.h": "", "update/Engine.cpp": '#include "store/Package.h"\n'}, 0),
    ]
    failed = 0
    for number, (files, expected) in enumerate(cases):
        with tempfile.TemporaryDirectory() as root:
            for name, text in files.items():
                path = os.path.join(root, name)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "w", encoding="utf-8") as f:
                    f.write(text)
            got = find_problems(root)
        if len(got) != expected:
            print(f"self-test case {number}: expected {expected} problems, got {got}")
            failed += 1
    return failed


def main(argv):
    if len(argv) == 2 and argv[1] == "--self-test":
        return 1 if self_test() else 0
    if len(argv) != 2:
        print(__doc__)
        return 2
    if self_test():
        return 1
    problems = find_problems(argv[1])
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
