#!/usr/bin/env python3
"""Quorvel's glTF files checked end to end through the substitute host.

Usage: check_documents.py --mqhost COMMAND --plugin PATH --node-deps DIR [--keep DIR]

COMMAND runs mqhost: its path, or a command line to put in front of it such
as "sh cmake/wine-run.sh build/windows64/bin/mqhost.exe" (split like a shell
line). PATH is the plug-in module mqhost loads. DIR is the folder
tests/gltf/node_deps.sh installed the npm packages (gltf-validator, three)
into, as it prints it. --keep DIR works in DIR and leaves the files there.

For each document (the sample rig, its meshes without a rig, and the rigs of
tests/gltf/fixtures):
  - mqhost exports it (.glb, and one .gltf), Khronos' validator reports no
    error and no warning, the file has an animation per pose and the sequence;
  - for every pose, three.js' skinned and morphed vertices at the pose's
    keyframe agree with the plug-in's posed model for other plug-ins (vertex
    by vertex, matched by rest position) within 1e-4 of the model's size;
  - round trip: the file is imported into an empty document and exported
    again: the same content (accessors decoded, numbers within 1e-6, names
    equal), and the imported rig poses as the original.
Then files others wrote (assimp's skinned and morphed samples) import into
rigs that pose as three.js poses them; broken files are refused with a
message naming the file and leave the document byte for byte as it was; an
export to a path that cannot be written fails and leaves nothing behind.

Prints one line per check and "N passed, N failed"; exits 1 on any failure.
"""
import argparse
import base64
import json
import math
import os
import re
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import traceback

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
GLTF_TESTS = os.path.join(ROOT, "tests", "gltf")
FIXTURES = os.path.join(GLTF_TESTS, "fixtures")
SAMPLE = os.path.join(ROOT, "examples", "arm_rig.mqd")
DEFAULT_SCALE = 0.01
POSE_TOLERANCE = 1e-4    # of the model's bounding-box diagonal
CONTENT_TOLERANCE = 1e-6  # relative, for numbers of two exports

# The documents: file, what to export it as, the unit scale given (None: the
# plug-in's default). examples/arm.mqd is the sample's meshes without a rig.
DOCUMENTS = [
    (SAMPLE, "glb", None),
    (os.path.join(ROOT, "examples", "arm.mqd"), "glb", None),
    (os.path.join(FIXTURES, "branch_rig.mqd"), "glb", 1.0),
    (os.path.join(FIXTURES, "morph_rig.mqd"), "gltf", None),
]

# Samples of the assimp-testmodels package that are broken on purpose.
ASSIMP_BROKEN = ["glTF2/RecursiveNodes/RecursiveNodes.gltf", "glTF2/IndexOutOfRange/IndexOutOfRange.gltf",
                 "glTF2/BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb", "glTF2/MissingBin/BoxTextured.gltf"]

RESULTS = []


def check(ok, what, detail=""):
    RESULTS.append(bool(ok))
    print(("ok      " if ok else "FAILED  ") + what, flush=True)
    if not ok and detail:
        print("        " + str(detail).strip().replace("\n", "\n        "), flush=True)
    return ok


class Setup:
    def __init__(self, args, work):
        # Runs from the work folder: paths of the command line made absolute.
        self.mqhost = [os.path.abspath(w) if os.path.exists(w) else w for w in shlex.split(args.mqhost)]
        self.plugin = os.path.abspath(args.plugin)
        self.node_deps = os.path.abspath(args.node_deps)
        self.work = work

    def path(self, name):
        return os.path.join(self.work, name)

    def run_mqhost(self, name, document=None, script=None, extra=()):
        """mqhost with the plug-in, the document (None: a new one) and the
        script's lines; the exit status and what it printed (out, err)."""
        command = self.mqhost + ["--plugin", self.plugin]
        if document:
            command.append(document)
        if script is not None:
            script_path = self.path(name + ".mqs")
            with open(script_path, "w", encoding="utf-8") as f:
                f.write("\n".join(script) + "\n")
            command += ["--script", script_path]
        command += list(extra)
        env = dict(os.environ, QUORVEL_SETTINGS=self.path("settings"))
        # Output through files: a Wine server the program starts keeps pipes
        # open after the program has ended.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run(command, cwd=self.work, env=env, stdout=out, stderr=err, timeout=600).returncode
            out.seek(0)
            err.seek(0)
            decode = lambda f: f.read().decode("utf-8", "replace").replace("\r\n", "\n")
            return code, decode(out), decode(err)

    def node(self, script, *args):
        """Runs one of tests/gltf's Node scripts with the installed packages."""
        env = dict(os.environ, QUORVEL_GLTF_NODE=self.node_deps)
        result = subprocess.run(["node", os.path.join(GLTF_TESTS, script), *args], cwd=self.work, env=env,
                                capture_output=True, timeout=600)
        return result.returncode, (result.stdout + result.stderr).decode("utf-8", "replace")


# ---------------------------------------------------------------- glTF files

COMPONENTS = {5120: "b", 5121: "B", 5122: "h", 5123: "H", 5125: "I", 5126: "f"}
WIDTHS = {"SCALAR": 1, "VEC2": 2, "VEC3": 3, "VEC4": 4, "MAT2": 4, "MAT3": 9, "MAT4": 16}


def read_gltf(path):
    """The JSON and the buffers' bytes of a .gltf (buffers beside it or in
    data URIs) or .glb."""
    with open(path, "rb") as f:
        data = f.read()
    binary = None
    if data[:4] == b"glTF":
        length = struct.unpack_from("<I", data, 8)[0]
        offset, document = 12, None
        while offset + 8 <= min(length, len(data)):
            size, kind = struct.unpack_from("<II", data, offset)
            chunk = data[offset + 8:offset + 8 + size]
            if kind == 0x4E4F534A:
                document = json.loads(chunk.decode("utf-8"))
            elif kind == 0x004E4942:
                binary = chunk
            offset += 8 + size
    else:
        document = json.loads(data.decode("utf-8"))
    if not isinstance(document, dict) or not isinstance(document.get("buffers", []), list):
        raise ValueError(path + ": no glTF 2.0 JSON")
    buffers = []
    for buffer in document.get("buffers", []):
        uri = buffer.get("uri")
        if uri is None:
            buffers.append(binary or b"")
        elif uri.startswith("data:"):
            buffers.append(base64.b64decode(uri.split(",", 1)[1]))
        else:
            with open(os.path.join(os.path.dirname(path), uri), "rb") as f:
                buffers.append(f.read())
    return document, buffers


def view_bytes(document, buffers, index):
    view = document["bufferViews"][index]
    start = view.get("byteOffset", 0)
    return buffers[view["buffer"]][start:start + view["byteLength"]], view.get("byteStride")


def accessor_values(document, buffers, index):
    """An accessor's values, flattened, as stored (integers stay integers)."""
    accessor = document["accessors"][index]
    code = COMPONENTS[accessor["componentType"]]
    width = WIDTHS[accessor["type"]]
    size = struct.calcsize("<" + code)
    count = accessor["count"]
    values = [0] * (count * width)
    if "bufferView" in accessor:
        data, stride = view_bytes(document, buffers, accessor["bufferView"])
        stride = stride or size * width
        base = accessor.get("byteOffset", 0)
        for i in range(count):
            values[i * width:(i + 1) * width] = struct.unpack_from("<%d%s" % (width, code), data, base + i * stride)
    sparse = accessor.get("sparse")
    if sparse:
        ind = sparse["indices"]
        data, _ = view_bytes(document, buffers, ind["bufferView"])
        icode = COMPONENTS[ind["componentType"]]
        rows = struct.unpack_from("<%d%s" % (sparse["count"], icode), data, ind.get("byteOffset", 0))
        data, _ = view_bytes(document, buffers, sparse["values"]["bufferView"])
        new = struct.unpack_from("<%d%s" % (sparse["count"] * width, code), data, sparse["values"].get("byteOffset", 0))
        for k, row in enumerate(rows):
            values[row * width:(row + 1) * width] = new[k * width:(k + 1) * width]
    return values


def canonical(path):
    """The file's content without its byte layout: accessors decoded in
    place of buffer views, embedded images by their bytes' digest."""
    document, buffers = read_gltf(path)
    content = {k: v for k, v in document.items() if k not in ("buffers", "bufferViews")}
    content["accessors"] = []
    for i, accessor in enumerate(document.get("accessors", [])):
        entry = {k: v for k, v in accessor.items() if k not in ("bufferView", "byteOffset", "sparse")}
        entry.setdefault("normalized", False)
        entry["values"] = accessor_values(document, buffers, i)
        content["accessors"].append(entry)
    # Images by name: a .glb embeds a texture only where the document's
    # folder holds it, and a document made by an import has no folder.
    embedded = []
    for image in content.get("images", []):
        if "bufferView" in image:
            embedded.append(image.get("name", ""))
        for key in ("bufferView", "mimeType", "uri"):
            image.pop(key, None)
    return content, embedded


def sort_key(value):
    return tuple(round(v, 4) if isinstance(v, float) else v for v in value)


def triangle_views(content):
    """Each mesh primitive as its triangles, every corner with all its
    attribute and target values: the mesh without its vertex numbering.
    The accessors this takes in are left out of `content`, bar their type."""
    accessors = content["accessors"]
    taken = set()
    views = []
    for mesh in content.get("meshes", []):
        for primitive in mesh.get("primitives", []):
            sources = [a for _, a in sorted(primitive.get("attributes", {}).items())]
            for target in primitive.get("targets", []):
                sources += [a for _, a in sorted(target.items())]
            taken.update(sources)
            columns = []
            for a in sources:
                width = WIDTHS[accessors[a]["type"]]
                values = accessors[a]["values"]
                columns.append([tuple(values[i:i + width]) for i in range(0, len(values), width)])
            count = min((len(c) for c in columns), default=0)
            if "indices" in primitive:
                taken.add(primitive["indices"])
                order = accessors[primitive["indices"]]["values"]
            else:
                order = list(range(count))
            corners = [tuple(v for c in columns for v in c[i]) if i < count else ("out of range", i) for i in order]
            triangles = []
            for t in range(0, len(corners) - 2, 3):
                triangle = corners[t:t + 3]
                first = min(range(3), key=lambda k: sort_key(triangle[k]))
                triangles.append(triangle[first:] + triangle[:first])  # the same winding
            views.append(sorted(triangles, key=lambda t: [sort_key(c) for c in t]))
    for a in taken:
        accessors[a] = {"type": accessors[a]["type"], "componentType": accessors[a]["componentType"]}
    return views


def differences(a, b, where="", found=None, limit=12):
    """Where two JSON values differ: numbers by CONTENT_TOLERANCE (relative
    to their size, at least 1), everything else exactly."""
    found = [] if found is None else found
    if len(found) >= limit:
        return found
    number = (int, float)
    if isinstance(a, number) and isinstance(b, number) and not isinstance(a, bool) and not isinstance(b, bool):
        if not (abs(a - b) <= CONTENT_TOLERANCE * max(1.0, abs(a), abs(b))):
            found.append("%s: %r against %r" % (where or "/", a, b))
    elif isinstance(a, dict) and isinstance(b, dict):
        for key in sorted(set(a) | set(b)):
            if key not in a or key not in b:
                found.append("%s/%s: only in the %s" % (where, key, "first" if key in a else "second"))
            else:
                differences(a[key], b[key], "%s/%s" % (where, key), found, limit)
    elif isinstance(a, (list, tuple)) and isinstance(b, (list, tuple)):
        if len(a) != len(b):
            found.append("%s: %d entries against %d" % (where or "/", len(a), len(b)))
        else:
            for i, (x, y) in enumerate(zip(a, b)):
                differences(x, y, "%s/%d" % (where, i), found, limit)
    elif a != b:
        found.append("%s: %r against %r" % (where or "/", a, b))
    return found


def write_glb(path, document, binary):
    text = json.dumps(document, separators=(",", ":")).encode("utf-8")
    text += b" " * (-len(text) % 4)
    binary += b"\0" * (-len(binary) % 4)
    chunks = struct.pack("<II", len(text), 0x4E4F534A) + text
    if binary:
        chunks += struct.pack("<II", len(binary), 0x004E4942) + binary
    with open(path, "wb") as f:
        f.write(struct.pack("<III", 0x46546C67, 2, 12 + len(chunks)) + chunks)


# ---------------------------------------------------------------- poses


def floats3(values):
    return [tuple(values[i:i + 3]) for i in range(0, len(values) - 2, 3)]


class Grid:
    """Points by cell, for finding those near a point."""

    def __init__(self, points, cell):
        self.cell = cell
        self.cells = {}
        for index, p in enumerate(points):
            self.cells.setdefault(self.key(p), []).append(index)
        self.points = points

    def key(self, p):
        return tuple(int(math.floor(c / self.cell)) for c in p)

    def near(self, p, radius):
        k = self.key(p)
        found = []
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                for dz in (-1, 0, 1):
                    for index in self.cells.get((k[0] + dx, k[1] + dy, k[2] + dz), ()):
                        if math.dist(self.points[index], p) <= radius:
                            found.append(index)
        return found


def model_size(model):
    points = [p for o in model["objects"] if o["faces"] for p in floats3(o["rest"])]
    if not points:
        return 0.0
    return math.dist([min(p[k] for p in points) for k in range(3)], [max(p[k] for p in points) for k in range(3)])


def compare_pose(meshes, model, scale):
    """Whether the meshes (each a name, rest and posed positions in metres)
    pose as the plug-in's posed model (document units times `scale`): every
    mesh vertex lands on one of the model's vertices at its rest position,
    within POSE_TOLERANCE of the model's size, and every vertex of the
    model's faces is reached. Answers (ok, worst deviation / size, detail)."""
    size = model_size(model) * scale
    tolerance = POSE_TOLERANCE * size
    objects = []
    for o in model["objects"]:
        if not o["faces"] or not o["rest"]:
            continue
        rest = [tuple(c * scale for c in p) for p in floats3(o["rest"])]
        posed = [tuple(c * scale for c in p) for p in floats3(o["vertices"])]
        used = sorted({v for face in o["faces"] for v in face})
        objects.append({"name": o["name"], "rest": rest, "posed": posed, "grid": Grid(rest, max(tolerance, 1e-12)),
                        "used": used, "reached": set()})
    problems, worst = [], 0.0
    for mesh in meshes:
        rest, posed = floats3(mesh["rest"]), floats3(mesh["posed"])
        named = [o for o in objects if o["name"] == mesh["name"]]
        owner, homes = None, None
        for candidate in named + [o for o in objects if o not in named]:
            found = [candidate["grid"].near(p, tolerance) for p in rest]
            if all(found):
                owner, homes = candidate, found
                break
        if owner is None:
            problems.append("mesh %r: no object of the posed model has its %d rest positions" %
                            (mesh["name"], len(rest)))
            continue
        for i, (p, candidates) in enumerate(zip(posed, homes)):
            # Coincident vertices at rest may go apart; the nearest counts.
            deviation = min(math.dist(p, owner["posed"][j]) for j in candidates)
            worst = max(worst, deviation)
            if deviation > tolerance and len(problems) < 8:
                j = min(candidates, key=lambda j: math.dist(p, owner["posed"][j]))
                problems.append("mesh %r vertex %d (object %r vertex %d): %s against the plug-in's %s" %
                                (mesh["name"], i, owner["name"], j, fmt(p), fmt(owner["posed"][j])))
            owner["reached"].update(candidates)
    for o in objects:
        missing = [v for v in o["used"] if v not in o["reached"]]
        if missing:
            problems.append("object %r: %d of its face vertices are in no mesh (first: %d)" %
                            (o["name"], len(missing), missing[0]))
    relative = worst / size if size > 0 else float("inf")
    return not problems and size > 0, relative, "\n".join(problems)


def fmt(p):
    return "(" + ", ".join("%.6g" % c for c in p) + ")"


def three_meshes(entry):
    return [{"name": m.get("node") or "", "rest": m["rest"], "posed": m["posed"]} for m in entry["meshes"]]


def model_meshes(model):
    """A posed model's objects as meshes (document units)."""
    return [{"name": o["name"], "rest": o["rest"], "posed": o["vertices"]} for o in model["objects"] if o["faces"]]


def load_json(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def pose_names(document):
    """The pose list of a document's rig element, in order."""
    with open(document, encoding="utf-8") as f:
        text = f.read()
    return re.findall(r'<pose name="([^"]*)"', text)


def states_of(names):
    """The states compared, as (list position, animation name, label): each
    pose, or for a document without poses its rest state."""
    if not names:
        return [(None, "", "the rest state")]
    return [(i, pose, 'pose "%s"' % pose) for i, pose in enumerate(names)]


def state_script(states, stem):
    """The script lines that take the plug-in's posed model of each state."""
    lines = []
    for k, (position, _, _) in enumerate(states):
        if position is not None:
            lines.append("pose %d" % position)
        lines.append("posed-model %s-state%d.json" % (stem, k))
    return lines


def three_pose(setup, gltf, stem):
    out = setup.path(stem + "-three.json")
    code, text = setup.node("three_pose.mjs", gltf, out)
    if code != 0 or not os.path.exists(out):
        return None, text
    return load_json(out), text


def scale_word(scale):
    return "" if scale is None else " %g" % scale


# ---------------------------------------------------------------- the checks


def has_rig(document):
    with open(document, encoding="utf-8") as f:
        return '<Plugin product="1513922071"' in f.read()


def check_document(setup, document, kind, scale):
    name = os.path.splitext(os.path.basename(document))[0]
    names = pose_names(document)
    states = states_of(names)
    exported = setup.path("%s.%s" % (name, kind))
    stem = setup.path(name)
    script = ["activate", "poses", "export-gltf %s%s" % (exported, scale_word(scale))] + state_script(states, stem)
    code, out, err = setup.run_mqhost(name, document, script)
    written = code == 0 and os.path.exists(exported)
    if not check(written and re.search(r"export-gltf .*: \d+ objects?, ", out),
                 "%s: mqhost exports it as .%s" % (name, kind), out[-1500:] + err):
        return
    for i, pose in enumerate(names):
        check('pose %d: "%s" is current' % (i, pose) in out, "%s: pose %d is \"%s\"" % (name, i, pose), out[-800:])

    code, report = setup.node("validate.mjs", exported)
    check(code == 0, "%s: the glTF validator reports no error and no warning" % name, report[-2000:])

    content, _ = read_gltf(exported)
    animations = [a.get("name") for a in content.get("animations", [])]
    if names:
        check(animations == names + ["poses"],
              "%s: one animation per pose, named after it, and the sequence \"poses\"" % name,
              "animations %r, poses %r" % (animations, names))
    if not has_rig(document):
        check(not animations and not content.get("skins"), "%s: without a rig, plain meshes" % name,
              "animations %r, %d skins" % (animations, len(content.get("skins", []))))
    unit = content.get("asset", {}).get("extras", {}).get("quorvel", {}).get("unitScale")
    expected_scale = DEFAULT_SCALE if scale is None else scale
    check(unit is not None and abs(unit - expected_scale) <= 1e-9 * expected_scale,
          "%s: the file records its unit scale %g" % (name, expected_scale), "asset: %r" % content.get("asset"))

    three, text = three_pose(setup, exported, name)
    loaded = check(three is not None, "%s: three.js loads it" % name, text[-2000:])
    by_name = {a["name"]: a for a in three["animations"]} if loaded else {}
    models = {}
    for k, (_, animation, label) in enumerate(states):
        model_path = "%s-state%d.json" % (stem, k)
        if not check(os.path.exists(model_path), "%s: the plug-in's posed model of %s" % (name, label)):
            continue
        models[k] = load_json(model_path)
        if not loaded or not check(animation in by_name, "%s: three.js has an animation for %s" % (name, label),
                                   "animations: %r" % list(by_name)):
            continue
        ok, worst, detail = compare_pose(three_meshes(by_name[animation]), models[k], expected_scale)
        check(ok, "%s: %s in three.js agrees with the plug-in (worst %.2g of the size)" % (name, label, worst),
              detail)

    check_round_trip(setup, name, exported, kind, scale, states, models)


def check_round_trip(setup, name, exported, kind, scale, states, models):
    again = setup.path("%s-again.%s" % (name, kind))
    stem = setup.path(name + "-imported")
    script = ["activate", "import-gltf %s%s" % (exported, scale_word(scale)), "poses",
              "export-gltf %s%s" % (again, scale_word(scale))] + state_script(states, stem)
    code, out, err = setup.run_mqhost(name + "-round-trip", None, script)
    imported = re.search(r"import-gltf .*: \d+ objects?, ", out) is not None
    if not check(code == 0 and imported and os.path.exists(again),
                 "%s: imported into an empty document and exported again" % name, out[-1500:] + err):
        return
    (first, embedded), (second, embedded_again) = canonical(exported), canonical(again)
    # The meshes are compared as triangles with their corners' values, so
    # that vertices numbered in another order count as the same; all else
    # value by value.
    reordered = bool(differences(first, second, limit=1))
    found = differences(triangle_views(first), triangle_views(second), "/meshes as triangles")
    found += differences(first, second, limit=12 - len(found))
    reordered = reordered and not found
    notes = ["its vertices numbered in another order"] if reordered else []
    notes += ["texture %s referenced, not embedded" % n for n in embedded if n not in embedded_again]
    check(not found, "%s: the second export holds the same content as the first%s" %
          (name, " (%s)" % "; ".join(notes) if notes else ""), "\n".join(found))
    for k, (_, _, label) in enumerate(states):
        path = "%s-state%d.json" % (stem, k)
        if k not in models or not os.path.exists(path):
            check(False, "%s: the imported rig's %s" % (name, label), "no posed model")
            continue
        ok, worst, detail = compare_pose(model_meshes(load_json(path)), models[k], 1.0)
        check(ok, "%s: the imported model shows %s as the original (worst %.2g of the size)" % (name, label, worst),
              detail)


def assimp_samples():
    """Skinned or morphed glTF 2.0 files of Debian's assimp-testmodels."""
    try:
        listing = subprocess.run(["dpkg", "-L", "assimp-testmodels"], capture_output=True, text=True).stdout
    except OSError:
        return []
    found = []
    for path in sorted(listing.split()):
        if not path.endswith((".gltf", ".glb")) or not os.path.isfile(path):
            continue
        if any(path.endswith(broken) for broken in ASSIMP_BROKEN):
            continue
        try:
            document, _ = read_gltf(path)
        except (OSError, ValueError, KeyError, struct.error):
            continue
        if document.get("asset", {}).get("version") != "2.0" or not document.get("animations"):
            continue
        morphed = any("targets" in p for m in document.get("meshes", []) for p in m.get("primitives", []))
        if document.get("skins") or morphed:
            found.append(path)
    return found


def check_others_files(setup):
    samples = assimp_samples()
    if not check(samples, "assimp-testmodels holds skinned or morphed glTF 2.0 samples",
                 "install assimp-testmodels (scripts/install-deps.sh)"):
        return
    for number, path in enumerate(samples):
        name = os.path.basename(path)
        three, text = three_pose(setup, path, "other%d" % number)
        if not check(three is not None, "%s: three.js loads it" % name, text[-1500:]):
            continue
        animations = [a for a in three["animations"] if a["name"] != ""]
        stem = setup.path("other%d" % number)
        states = [(i, a["name"], "") for i, a in enumerate(animations)]
        script = ["activate", "import-gltf %s" % path, "poses"] + state_script(states, stem)
        code, out, err = setup.run_mqhost("other%d" % number, None, script)
        if not check(code == 0, "%s: imported with its %d animation(s) as poses" % (name, len(animations)),
                     out[-1500:] + err):
            continue
        for i, animation in enumerate(animations):
            model = load_json("%s-state%d.json" % (stem, i))
            ok, worst, detail = compare_pose(three_meshes(animation), model, DEFAULT_SCALE)
            check(ok, "%s: pose %d (animation %r at its first keyframe) agrees with three.js (worst %.2g of the size)"
                  % (name, i, animation["name"], worst), detail)


def minimal_rig(change=None):
    """A small skinned, animated glTF file as JSON and binary: a triangle on
    two joints, "a" and its child "b", and an animation that moves "b".
    `change(document, binary)` breaks it and answers the new binary."""
    positions = struct.pack("<9f", 0, 0, 0, 1, 0, 0, 0, 1, 0)
    indices = struct.pack("<3H", 0, 1, 2) + b"\0\0"
    joints = struct.pack("<12B", 0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0)
    weights = struct.pack("<12f", 1, 0, 0, 0, 0.5, 0.5, 0, 0, 1, 0, 0, 0)
    identity = (1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1)
    bind = struct.pack("<32f", *identity, *identity[:13], -1.0, 0, 1)
    times = struct.pack("<f", 0.0)
    moves = struct.pack("<3f", 0.0, 1.5, 0.0)
    parts = [positions, indices, joints, weights, bind, times, moves]
    binary, views = b"", []
    for part in parts:
        views.append({"buffer": 0, "byteOffset": len(binary), "byteLength": len(part)})
        binary += part
    document = {
        "asset": {"version": "2.0", "generator": "check_documents.py"},
        "scene": 0, "scenes": [{"nodes": [0, 1]}],
        "nodes": [{"name": "skin", "mesh": 0, "skin": 0}, {"name": "a", "children": [2]},
                  {"name": "b", "translation": [0, 1, 0]}],
        "meshes": [{"name": "triangle", "primitives": [
            {"attributes": {"POSITION": 0, "JOINTS_0": 2, "WEIGHTS_0": 3}, "indices": 1}]}],
        "skins": [{"joints": [1, 2], "inverseBindMatrices": 4, "skeleton": 1}],
        "animations": [{"name": "lift", "channels": [{"sampler": 0, "target": {"node": 2, "path": "translation"}}],
                        "samplers": [{"input": 5, "output": 6}]}],
        "accessors": [
            {"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3", "min": [0, 0, 0], "max": [1, 1, 0]},
            {"bufferView": 1, "componentType": 5123, "count": 3, "type": "SCALAR"},
            {"bufferView": 2, "componentType": 5121, "count": 3, "type": "VEC4"},
            {"bufferView": 3, "componentType": 5126, "count": 3, "type": "VEC4"},
            {"bufferView": 4, "componentType": 5126, "count": 2, "type": "MAT4"},
            {"bufferView": 5, "componentType": 5126, "count": 1, "type": "SCALAR", "min": [0], "max": [0]},
            {"bufferView": 6, "componentType": 5126, "count": 1, "type": "VEC3"}],
        "bufferViews": views,
        "buffers": [{"byteLength": len(binary)}],
    }
    if change:
        binary = change(document, binary) or binary
    document["buffers"][0]["byteLength"] = len(binary)
    return document, binary


def patched(binary, offset, data):
    return binary[:offset] + data + binary[offset + len(data):]


def bad_files(setup, sample_glb):
    """(file, what is wrong) for every broken file."""
    files = []

    def text(name, content, what):
        path = setup.path(name)
        with open(path, "wb") as f:
            f.write(content)
        files.append((path, what))

    def rig(name, what, change):
        document, binary = minimal_rig(change)
        path = setup.path(name)
        write_glb(path, document, binary)
        files.append((path, what))

    text("notes.glb", b"These are notes, not a model.\n", "not glTF (text named .glb)")
    text("notes.gltf", b"{ \"asset\": { \"version\": \"2.0\" }, \"nodes\": [ {", "not glTF (JSON cut off)")
    with open(sample_glb, "rb") as f:
        whole = f.read()
    text("truncated.glb", whole[:len(whole) * 3 // 5], "a truncated .glb")
    text("short-header.glb", whole[:10], "a .glb cut inside its header")

    def index_out_of_range(document, binary):
        return patched(binary, document["bufferViews"][1]["byteOffset"], struct.pack("<3H", 0, 1, 7))

    def accessor_past_buffer(document, binary):
        document["accessors"][0]["count"] = 300

    def node_cycle(document, binary):
        document["nodes"][2]["children"] = [1]

    def joints_apart(document, binary):
        document["nodes"].append({"name": "c", "translation": [2, 0, 0]})
        document["scenes"][0]["nodes"].append(3)
        document["skins"][0]["joints"] = [1, 2, 3]
        document["skins"][0].pop("skeleton")

    def nan_translation(document, binary):
        return patched(binary, document["bufferViews"][6]["byteOffset"], struct.pack("<f", float("nan")))

    def infinite_bind(document, binary):
        return patched(binary, document["bufferViews"][4]["byteOffset"], struct.pack("<f", float("inf")))

    def absurd_count(document, binary):
        document["accessors"][0]["count"] = 4000000000

    def joint_index_out_of_range(document, binary):
        return patched(binary, document["bufferViews"][2]["byteOffset"], struct.pack("<B", 9))

    rig("index-out-of-range.glb", "a vertex index out of range", index_out_of_range)
    rig("joint-out-of-range.glb", "a joint index out of range", joint_index_out_of_range)
    rig("accessor-past-buffer.glb", "an accessor past its buffer", accessor_past_buffer)
    rig("node-cycle.glb", "a node cycle", node_cycle)
    rig("joints-apart.glb", "joints that are not one tree", joints_apart)
    rig("nan-translation.glb", "NaN in an animated translation", nan_translation)
    rig("infinite-bind.glb", "infinity in an inverse bind matrix", infinite_bind)
    rig("absurd-count.glb", "an absurd accessor count", absurd_count)
    for broken in ASSIMP_BROKEN:
        path = os.path.join("/usr/share/assimp/models", broken)
        if os.path.exists(path):
            files.append((path, "assimp's " + broken))
    return files


def check_bad_input(setup, sample_glb):
    files = bad_files(setup, sample_glb)
    # The unbroken rig first: the broken ones are refused for what is
    # wrong with them, not for what they are.
    control = setup.path("control.glb")
    write_glb(control, *minimal_rig())
    script = ["activate", "save %s" % setup.path("bad-before.mqd")]
    for i, (path, _) in enumerate(files):
        script += ["import-gltf %s" % path, "save %s" % setup.path("bad-after-%d.mqd" % i)]
    script += ["import-gltf %s" % control, "save %s" % setup.path("bad-control.mqd")]
    code, out, err = setup.run_mqhost("bad-input", SAMPLE, script)
    if not check(code == 0, "broken files: mqhost runs the imports", out[-1500:] + err):
        return
    with open(setup.path("bad-before.mqd"), "rb") as f:
        before = f.read()
    for i, (path, what) in enumerate(files):
        line = next((l for l in out.splitlines() if ("import-gltf %s: " % path) in l), "")
        refused = ": failed: " in line
        named = os.path.basename(path) in line.split(": failed: ", 1)[-1]
        with open(setup.path("bad-after-%d.mqd" % i), "rb") as f:
            unchanged = f.read() == before
        check(refused and named and unchanged, "broken file, %s: refused, named, the document unchanged" % what,
              "%s\nthe document %s" % (line or "no line for " + path, "unchanged" if unchanged else "CHANGED"))
    line = next((l for l in out.splitlines() if ("import-gltf %s: " % control) in l), "")
    check(": failed: " not in line and line, "the unbroken small rig imports", line or out[-800:])


def check_unwritable(setup):
    folder = setup.path("unwritable")
    os.makedirs(os.path.join(folder, "taken.glb"))
    listing = sorted(os.listdir(folder))
    target = os.path.join(folder, "taken.glb")
    code, out, err = setup.run_mqhost("unwritable-batch", SAMPLE, None, ["--export-gltf", target])
    check(code == 1 and ("--export-gltf %s: " % target) in err and sorted(os.listdir(folder)) == listing
          and os.path.isdir(target),
          "an export onto a folder: exit status 1, the reason, nothing left behind",
          "exit %d\n%s%s\nfolder: %r" % (code, err, out[-600:], sorted(os.listdir(folder))))
    missing = os.path.join(folder, "missing", "rig.glb")
    code, out, err = setup.run_mqhost("unwritable-script", SAMPLE, ["export-gltf %s" % missing])
    line = next((l for l in out.splitlines() if ("export-gltf %s: " % missing) in l), "")
    check(code == 0 and ": failed: " in line and sorted(os.listdir(folder)) == listing,
          "an export into a missing folder: the reason, nothing left behind",
          "%s\nfolder: %r" % (line or out[-600:] + err, sorted(os.listdir(folder))))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--mqhost", required=True, help="mqhost, or a command line ending in it")
    parser.add_argument("--plugin", required=True, help="the plug-in module")
    parser.add_argument("--node-deps", required=True, help="the folder of the installed npm packages")
    parser.add_argument("--keep", help="work in this folder and keep it")
    args = parser.parse_args()
    work = os.path.abspath(args.keep) if args.keep else tempfile.mkdtemp(prefix="quorvel-gltf-")
    os.makedirs(work, exist_ok=True)
    setup = Setup(args, work)
    try:
        for document, kind, scale in DOCUMENTS:
            check_document(setup, document, kind, scale)
        check_others_files(setup)
        sample_glb = setup.path("arm_rig.glb")
        if check(os.path.exists(sample_glb), "broken files: the sample rig's export to cut short"):
            check_bad_input(setup, sample_glb)
        check_unwritable(setup)
    except Exception:  # a step that could not be taken fails the check
        check(False, "the checks ran to their end", traceback.format_exc())
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    failed = RESULTS.count(False)
    print("%d passed, %d failed" % (len(RESULTS) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
