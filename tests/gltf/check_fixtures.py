#!/usr/bin/env python3
"""Checks the exporter's fixture files under Node.

    check_fixtures.py BUILD_DIR

Writes the fixtures with BUILD_DIR/bin/gltf_fixtures into
BUILD_DIR/gltf-fixtures, installs the Node packages with node_deps.sh, then
- runs validate.mjs on every file: any error or warning fails;
- poses every file with three_pose.mjs and compares each vertex, for the rest
  state and every animation, with the positions the plug-in's rules give
  (NAME.expected.json, written by gltf_fixtures): vertices are matched by
  their rest position, and every one must agree within 1e-4 of the model's
  size (its rest bounding box's diagonal).
Prints the validator's summaries and each file's largest error; exits
non-zero on any failure.
"""
import json
import math
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
RELATIVE_TOLERANCE = 1e-4


def triples(flat):
    return [tuple(flat[i:i + 3]) for i in range(0, len(flat), 3)]


def distance(a, b):
    return math.sqrt(sum((x - y) ** 2 for x, y in zip(a, b)))


def diagonal(points):
    if not points:
        return 0.0
    lo = [min(p[c] for p in points) for c in range(3)]
    hi = [max(p[c] for p in points) for c in range(3)]
    return distance(lo, hi)


class RestIndex:
    """Expected vertices by rest position, on a grid of cells `cell` wide."""

    def __init__(self, entries, cell):
        self.cell = cell
        self.grid = {}
        for rest, posed in entries:
            self.grid.setdefault(self.key(rest), []).append((rest, posed))

    def key(self, p):
        return tuple(math.floor(c / self.cell) for c in p)

    def near(self, p, tolerance):
        k = self.key(p)
        found = []
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                for dz in (-1, 0, 1):
                    for rest, posed in self.grid.get((k[0] + dx, k[1] + dy, k[2] + dz), []):
                        if distance(rest, p) <= tolerance:
                            found.append(posed)
        return found


def compare(name, three, expected):
    """Returns (problems, max error, tolerance, vertices compared, max error of three.js' first set)."""
    problems = []
    rest_points = [p for m in expected["animations"][0]["meshes"] for p in triples(m["rest"])]
    size = diagonal(rest_points)
    tolerance = RELATIVE_TOLERANCE * size
    names = [a["name"] for a in three["animations"]]
    wanted = [a["name"] for a in expected["animations"]]
    if names != wanted:
        problems.append(f"animations {names}, expected {wanted}")
        return problems, math.inf, tolerance, 0, None
    worst = 0.0
    worst_first_set = None
    compared = 0
    for got, want in zip(three["animations"], expected["animations"]):
        label = got["name"] or "(rest)"
        by_node = {}
        for m in want["meshes"]:
            by_node.setdefault((m["node"], m["object"]), []).extend(zip(triples(m["rest"]), triples(m["posed"])))
        seen = set()
        for m in got["meshes"]:
            key = (m["node"], m["object"])
            if key not in by_node:
                problems.append(f"{label}: mesh of node {key} is not expected")
                continue
            seen.add(key)
            index = RestIndex(by_node[key], max(tolerance, 1e-12))
            first_set = triples(m["posed_first_set"]) if "posed_first_set" in m else None
            for i, (rest, posed) in enumerate(zip(triples(m["rest"]), triples(m["posed"]))):
                candidates = index.near(rest, tolerance)
                if not candidates:
                    problems.append(f"{label}: {key} vertex {i} at rest {rest} matches no vertex of the model")
                    continue
                error = min(distance(posed, c) for c in candidates)
                compared += 1
                if error > worst:
                    worst = error
                if error > tolerance and len(problems) < 20:
                    problems.append(f"{label}: {key} vertex {i} at rest {rest}: posed {posed}, off by {error:.3g}")
                if first_set is not None:
                    e = min(distance(first_set[i], c) for c in candidates)
                    worst_first_set = e if worst_first_set is None else max(worst_first_set, e)
        for key in by_node:
            if key not in seen:
                problems.append(f"{label}: no mesh for node {key}")
    return problems, worst, tolerance, compared, worst_first_set


def main():
    if len(sys.argv) != 2:
        print("usage: check_fixtures.py BUILD_DIR", file=sys.stderr)
        return 2
    build = os.path.abspath(sys.argv[1])
    folder = os.path.join(build, "gltf-fixtures")
    fixtures_program = os.path.join(build, "bin", "gltf_fixtures")
    node_dir = subprocess.run(["bash", os.path.join(HERE, "node_deps.sh"), build], check=True,
                              stdout=subprocess.PIPE, text=True).stdout.strip().splitlines()[-1]
    env = dict(os.environ, QUORVEL_GLTF_NODE=node_dir)
    subprocess.run([fixtures_program, folder], check=True)
    files = sorted(os.path.join(folder, f) for f in os.listdir(folder) if f.endswith((".glb", ".gltf")))
    if not files:
        print(f"no fixture files in {folder}")
        return 1

    failures = 0
    validation = subprocess.run(["node", os.path.join(HERE, "validate.mjs"), *files], env=env)
    if validation.returncode != 0:
        print("validate.mjs: errors or warnings (above)")
        failures += 1

    for path in files:
        stem = os.path.splitext(path)[0]
        out = path + ".three.json"
        posing = subprocess.run(["node", os.path.join(HERE, "three_pose.mjs"), path, out], env=env)
        if posing.returncode != 0:
            print(f"{os.path.basename(path)}: three_pose.mjs failed")
            failures += 1
            continue
        with open(out) as f:
            three = json.load(f)
        with open(stem + ".expected.json") as f:
            expected = json.load(f)
        problems, worst, tolerance, compared, first_set = compare(path, three, expected)
        note = ""
        if first_set is not None:
            note = f"; three.js with the first four influences alone: {first_set:.3g}"
        status = "ok" if not problems else "FAILED"
        print(f"{os.path.basename(path)}: {status}, max error {worst:.3g} m over {compared} vertex states "
              f"(tolerance {tolerance:.3g} m){note}")
        for p in problems:
            print(f"  {p}")
        if problems:
            failures += 1
    checks = len(files) + 1
    print(f"{checks - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
