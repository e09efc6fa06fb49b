#!/usr/bin/env python3
"""Checks that the product's layers point one way.

  scripts/check_layers.py [TREE]     exit 0: the layers hold; 1: they do not

Three rules, read from the sources of TREE (default: this checkout):
- A folder includes only the folders it is allowed to (LAYERS below, which
  docs/architecture.md draws); any other include across folders points up or
  sideways and fails.
- The framework's own units (a .h and its .cpp are one unit; a .cpp without
  a .h of its own belongs to the first framework header it includes) include
  each other without a cycle.
- No folder's CMakeLists.txt compiles another folder's sources.
"""
import os
import re
import sys

# Each product folder and the folders it may include. Nothing may include
# apps/, tests/ or bench/; they sit on top.
LAYERS = {
    "sdk": set(),
    "game": set(),
    "framework": set(),
    "resources": set(),
    "link": {"game"},
    "files": {"game"},
    "window": {"game", "link", "files", "framework"},
    "plugin": {"game", "link", "files", "framework", "window", "resources", "sdk"},
    "host": {"sdk"},
}

INCLUDE = re.compile(r'\s*#\s*include\s+"([^"]+)"')
SOURCE = (".cpp", ".h", ".hpp", ".cc")


def sources(top, folder):
    for root, _, files in os.walk(os.path.join(top, folder)):
        for name in sorted(files):
            if name.endswith(SOURCE):
                yield os.path.join(root, name)


def includes(path):
    with open(path, errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if m:
                yield number, m.group(1)


def folder_faults(top):
    faults = []
    for folder, allowed in LAYERS.items():
        for path in sources(top, folder):
            for number, target in includes(path):
                other = target.split("/")[0]
                if "/" not in target or other == folder:
                    continue
                if other in LAYERS and other not in allowed:
                    rel = os.path.relpath(path, top)
                    faults.append(f"{rel}:{number}: {folder} includes {target} ({other} is not below {folder})")
    return faults


def unit_of(top, rel):
    """A header and its source file are one unit; a source file without a
    header of its own belongs to the unit of the framework header it includes
    first, whose declarations it defines (window_ops.cpp defines Platform's)."""
    stem, ext = os.path.splitext(rel)
    if ext == ".cpp" and not os.path.exists(os.path.join(top, stem + ".h")):
        for _, target in includes(os.path.join(top, rel)):
            if target.startswith("framework/"):
                return os.path.splitext(target)[0]
    return stem


def framework_cycles(top):
    graph = {}
    for path in sources(top, "framework"):
        rel = os.path.relpath(path, top)
        unit = unit_of(top, rel)
        graph.setdefault(unit, set())
        for _, target in includes(path):
            if target.startswith("framework/") and unit_of(top, target) != unit:
                graph[unit].add(unit_of(top, target))
    # Depth-first search; a back edge closes a cycle.
    state, stack, cycles = {}, [], []

    def visit(unit):
        state[unit] = 1
        stack.append(unit)
        for nxt in sorted(graph.get(unit, ())):
            if state.get(nxt) == 1:
                cycles.append(stack[stack.index(nxt):] + [nxt])
            elif nxt not in state:
                visit(nxt)
        stack.pop()
        state[unit] = 2

    for unit in sorted(graph):
        if unit not in state:
            visit(unit)
    return [" -> ".join(cycle) for cycle in cycles]


def foreign_sources(top):
    faults = []
    pattern = re.compile(r"\$\{(?:PROJECT|CMAKE)_SOURCE_DIR\}/([A-Za-z_]+)/|\.\./([A-Za-z_]+)/")
    for folder in list(LAYERS) + ["apps"]:
        lists = os.path.join(top, folder, "CMakeLists.txt")
        if not os.path.exists(lists):
            continue
        with open(lists) as f:
            for number, line in enumerate(f, 1):
                for m in pattern.finditer(line):
                    other = m.group(1) or m.group(2)
                    if other != folder and other in LAYERS:
                        faults.append(f"{folder}/CMakeLists.txt:{number}: {folder} compiles sources of {other}")
    return faults


def main():
    top = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    top = os.path.abspath(top)
    faults = folder_faults(top)
    faults += [f"framework units include each other in a circle: {c}" for c in framework_cycles(top)]
    faults += foreign_sources(top)
    for fault in faults:
        print(fault)
    if faults:
        print(f"layers: {len(faults)} fault(s)")
        return 1
    edges = sum(len(v) for v in LAYERS.values())
    print(f"layers: {len(LAYERS)} folders, {edges} allowed edges, no include points up, "
          "no framework cycle, no folder compiles another's sources")
    return 0


if __name__ == "__main__":
    sys.exit(main())
