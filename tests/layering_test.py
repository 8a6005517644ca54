#!/usr/bin/env python3
"""Folders of src/ form layers: the folder graph of #include lines has no cycle.

A folder includes another when one of its files includes a file of the other. A cycle means two
layers that cannot be read, built or tested one without the other. Prints each cycle with the
include lines that make it, and exits 1 when there is one.
"""
import os
import re
import sys
from collections import defaultdict

INCLUDE = re.compile(r'\s*#\s*include\s+"([^"]+)"')


def folder_graph(src):
    edges = defaultdict(lambda: defaultdict(list))
    for directory, _, names in os.walk(src):
        for name in names:
            if not name.endswith((".cc", ".h")):
                continue
            path = os.path.join(directory, name)
            here = os.path.relpath(directory, src)
            with open(path, encoding="utf-8", errors="replace") as text:
                for line in text:
                    match = INCLUDE.match(line)
                    if not match or not os.path.exists(os.path.join(src, match.group(1))):
                        continue
                    there = os.path.dirname(match.group(1))
                    if there != here:
                        edges[here][there].append(f"{os.path.relpath(path, src)} -> {match.group(1)}")
    return edges


def cycles(edges):
    """Strongly connected components with more than one folder (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for nxt in edges.get(node, {}):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            component = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                component.append(top)
                if top == node:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    for node in list(edges):
        if node not in index:
            visit(node)
    return found


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    edges = folder_graph(src)
    found = cycles(edges)
    for component in found:
        print("folders that include each other:", ", ".join(component))
        for a in component:
            for b in component:
                for line in edges[a].get(b, [])[:3]:
                    print("   ", line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
