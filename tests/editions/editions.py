#!/usr/bin/env python3
"""The editions side by side: documents saved by one open with the same rig in
the others, and each host refuses the other edition's plug-in.

Usage: editions.py BUILD_ROOT EDITION...
EDITION is a build that can run here: native, windows64 or windows (the
32-bit one). Each edition's mqhost runs tests/editions/session.mqs with its
own plug-in on the sample rigged arm and saves the document. Then:

  1. every edition saved the same bytes;
  2. every edition opens every edition's document and saves it again
     unchanged: the same rig, byte for byte;
  3. every edition opens every saved document stripped of the host's copy of
     the plug-in's records, so that the plug-in has only its own element of
     the document to read the rig from, and writes the same element and the
     same bone, weight, morph and pose records back;
  4. the 64-bit host refuses the 32-bit DLL, and the 32-bit host (where it
     runs) the 64-bit DLL, with a message naming both; nothing is loaded.

Exits 0 when every check passed; prints one line per check.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.path.abspath(sys.argv[1])
EDITIONS = sys.argv[2:]
SESSION = os.path.join(ROOT, "tests", "editions", "session.mqs")
SAMPLE = os.path.join(ROOT, "examples", "arm_rig.mqd")
WINE_RUN = os.path.join(ROOT, "cmake", "wine-run.sh")
WINE_ARCH = {"windows": "win32", "windows64": "win64"}
NAMES = {"native": "the native build", "windows": "the 32-bit edition", "windows64": "the 64-bit edition"}
# The plug-in's element of a document.
PLUGIN = {"product": "1513922071", "id": "3289852806"}
FAILURES = []


def check(condition, what, detail=""):
    print(("ok      " if condition else "FAILED  ") + what, flush=True)
    if not condition:
        FAILURES.append(what)
        if detail:
            print("        " + detail.replace("\n", "\n        "), flush=True)
    return condition


def plugin_path(edition):
    return os.path.join(BUILD, edition, "bin", "libquorvel.so" if edition == "native" else "quorvel.dll")


def mqhost(edition, *args, plugin=None):
    """Runs an edition's mqhost with a plug-in (its own by default); the exit
    code and what it printed."""
    bin_dir = os.path.join(BUILD, edition, "bin")
    command = ["--plugin", plugin or plugin_path(edition), *args]
    env = dict(os.environ, QUORVEL_SETTINGS=os.path.join(WORK, "settings-" + edition))
    if edition == "native":
        command = [os.path.join(bin_dir, "mqhost"), *command]
    else:
        env.update(WINEPREFIX=os.path.join(BUILD, edition, "wineprefix"), QUORVEL_WINE_ARCH=WINE_ARCH[edition],
                   LANG="ja_JP.UTF-8")
        command = ["sh", WINE_RUN, os.path.join(bin_dir, "mqhost.exe"), *command]
    # Output through a file: a Wine server the program starts keeps a pipe
    # open after the program has ended.
    with tempfile.TemporaryFile(mode="w+b") as out:
        code = subprocess.run(command, cwd=bin_dir, env=env, stdout=out, stderr=subprocess.STDOUT,
                              timeout=300).returncode
        out.seek(0)
        return code, out.read().decode("utf-8", "replace").replace("\r\n", "\n")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def first_difference(a, b):
    lines_a, lines_b = a.decode("utf-8", "replace").splitlines(), b.decode("utf-8", "replace").splitlines()
    for i, (x, y) in enumerate(zip(lines_a, lines_b)):
        if x != y:
            return "line %d:\n< %s\n> %s" % (i + 1, x[:200], y[:200])
    return "%d lines against %d" % (len(lines_a), len(lines_b))


def strip_records(text):
    """The document without the host's copy of the plug-in's records: no kinds
    registered, no object or vertex data."""
    text = re.sub(r"<UserDataKinds>.*?</UserDataKinds>", "<UserDataKinds/>", text, flags=re.S)
    return re.sub(r"\n\t*<(Object|Vertex)Data [^>]*/>", "", text)


def rig(path):
    """The plug-in's element as text, and its records by object and kind,
    except OBase: those carry the move tool's selection, which lives in the
    records only, not in the element."""
    root = ET.parse(path).getroot()
    kinds = {k.get("slot"): k.get("name") for k in root.iter("Kind")}
    element = ""
    for plugin in root.iter("Plugin"):
        if all(plugin.get(k) == v for k, v in PLUGIN.items()):
            element = ET.tostring(plugin, encoding="unicode")
    records = {}
    for number, obj in enumerate(root.iter("Object")):
        for data in obj.iter():
            if data.tag in ("ObjectData", "VertexData") and kinds.get(data.get("slot")) != "OBase":
                records[(number, kinds.get(data.get("slot")))] = data.get("bytes")
    return element, records


def main():
    saved = {}
    print("editions: " + ", ".join(NAMES[e] for e in EDITIONS), flush=True)

    # 1. The same session in every edition.
    for edition in EDITIONS:
        path = os.path.join(WORK, "saved-by-%s.mqd" % edition)
        code, out = mqhost(edition, SAMPLE, "--script", SESSION, "--save", path)
        if check(code == 0 and os.path.exists(path), "%s runs the session and saves" % NAMES[edition], out[-2000:]):
            saved[edition] = path
    first = next(iter(saved), None)
    for edition, path in saved.items():
        if edition != first:
            check(read(path) == read(saved[first]), "%s saved the same bytes as %s" % (NAMES[edition], NAMES[first]),
                  first_difference(read(saved[first]), read(path)))

    # 2 and 3. Every edition opens every document.
    for edition in saved:
        for name, path in saved.items():
            again = os.path.join(WORK, "%s-saved-again-by-%s.mqd" % (name, edition))
            code, out = mqhost(edition, path, "--save", again)
            ok = code == 0 and os.path.exists(again)
            check(ok and read(again) == read(path),
                  "%s opens the document of %s and saves it again unchanged" % (NAMES[edition], NAMES[name]),
                  out[-1500:] if not ok else first_difference(read(path), read(again)))

            stripped = os.path.join(WORK, "%s-without-records.mqd" % name)
            with open(path, encoding="utf-8") as f:
                text = f.read()
            with open(stripped, "w", encoding="utf-8", newline="") as f:
                f.write(strip_records(text))
            rebuilt = os.path.join(WORK, "%s-rebuilt-by-%s.mqd" % (name, edition))
            code, out = mqhost(edition, stripped, "--save", rebuilt)
            if not check(code == 0 and os.path.exists(rebuilt),
                         "%s opens the document of %s without its records" % (NAMES[edition], NAMES[name]),
                         out[-1500:]):
                continue
            element, records = rig(path)
            element_again, records_again = rig(rebuilt)
            differing = sorted(str(k) for k in records if records_again.get(k) != records[k])[:5]
            check(element and element_again == element and records_again.keys() == records.keys() and not differing,
                  "%s reads the rig of %s from its element alone: the same element, bones, weights, morphs "
                  "and poses" % (NAMES[edition], NAMES[name]),
                  "element %s; records differing: %s" % ("the same" if element_again == element else "differs",
                                                        ", ".join(differing) or "none"))

    # 4. A DLL of the other edition is refused by name.
    for edition, other in (("windows64", "windows"), ("windows", "windows64")):
        if edition not in EDITIONS or not os.path.exists(plugin_path(other)):
            continue
        bits = "32" if other == "windows" else "64"
        code, out = mqhost(edition, SAMPLE, plugin=plugin_path(other))
        check(code == 1 and ("it is built for %s-bit Windows" % bits) in out and "loaded " not in out,
              "%s refuses the %s-bit DLL with a message naming both" % (NAMES[edition], bits), out[-800:])


if __name__ == "__main__":
    WORK = tempfile.mkdtemp(prefix="quorvel-editions-")
    try:
        main()
    except Exception as error:  # a step that could not be taken fails the check
        FAILURES.append(repr(error))
        print("FAILED  " + repr(error))
    finally:
        shutil.rmtree(WORK, ignore_errors=True)
    print("%d failure(s)" % len(FAILURES))
    sys.exit(1 if FAILURES else 0)
