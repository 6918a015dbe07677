#!/usr/bin/env python3
"""A person's session in the interactive host, with real X input.

Starts `mqhost --gui` on the unrigged arm (a copy of examples/arm.mqd) under
Wine on the X display of the test (Xvfb), then, with xdotool moving the mouse
and pressing buttons and keys as a person would:
  takes the Quorvel command from the Command menu, clicks "作成" and makes a
  three-bone chain by four clicks along the arm, switches to "ウェイト",
  Alt-clicks the elbow bone and paints a stroke over the forearm, switches to
  "ポーズ" and drags the chain's tip to bend the arm, undoes once and redoes;
  in a second pose turns the arm with the rotate handle and types the
  elbow's Z rotation into the pose panel, committed with Enter; and saves
  with the File menu.
Screenshots are taken along the way (ImageMagick's import) and pixels checked
where the model must have moved; then a fresh headless host opens the saved
file and checks the bones, weights and pose (saved_session_check.exe).

Usage: gui_e2e.py BIN_DIR EXAMPLES_DIR WINE_RUN OUT_DIR
Exits 0 when every step and check passed.
"""
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

BIN, EXAMPLES, WINE_RUN, OUT = (os.path.abspath(a) for a in sys.argv[1:5])
# The command panel's mode buttons and its display menu; the move panel's
# rotate handle; the pose list's new pose; the pose panel's Z rotation.
MAKE, POSE, WEIGHT, MOVE, DISPLAY = 1047, 1011, 1012, 1003, 1041
MOVE_ROTATE, POSELIST_NEW, POSEOBJ_ROTZ = 1011, 1121, 1109
ENV = dict(os.environ, LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8")
FAILURES = []


def log(text):
    print(text, flush=True)


def check(condition, what):
    log(("ok      " if condition else "FAILED  ") + what)
    if not condition:
        FAILURES.append(what)
    return condition


def wine(*args, timeout=60):
    """Runs a program of the build under Wine; its stdout and exit code.

    The output goes through a file, not a pipe: a Wine server that the
    program starts keeps a pipe open long after the program has ended."""
    with tempfile.TemporaryFile(mode="w+") as out:
        result = subprocess.run(["sh", WINE_RUN, os.path.join(BIN, args[0]), *args[1:]], cwd=BIN, env=ENV,
                                stdout=out, stderr=subprocess.STDOUT, timeout=timeout)
        out.seek(0)
        return out.read(), result.returncode


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], env=ENV, check=True)


def probe(*args, tries=40):
    """The screen rectangle (x, y, w, h) of a window or control; None if it never shows."""
    for _ in range(tries):
        out, code = wine("window_probe.exe", *map(str, args), timeout=30)
        if code == 0:
            return tuple(int(v) for v in out.split())
        time.sleep(0.25)
    return None


def centre(rect):
    return rect[0] + rect[2] // 2, rect[1] + rect[3] // 2


def click_at(x, y, button=1, modifiers=None):
    xdotool("mousemove", "--sync", x, y)
    if modifiers:
        xdotool("keydown", modifiers)
    xdotool("click", button)
    if modifiers:
        xdotool("keyup", modifiers)
    time.sleep(0.3)


def drag(start, end, steps=12):
    xdotool("mousemove", "--sync", *start)
    xdotool("mousedown", 1)
    for i in range(1, steps + 1):
        x = start[0] + (end[0] - start[0]) * i // steps
        y = start[1] + (end[1] - start[1]) * i // steps
        xdotool("mousemove", "--sync", x, y)
        time.sleep(0.05)
    xdotool("mouseup", 1)
    time.sleep(0.5)


def keys(*names):
    for name in names:
        xdotool("key", "--clearmodifiers", name)
        time.sleep(0.3)


def screenshot(name):
    path = os.path.join(OUT, name + ".png")
    time.sleep(0.8)  # the last frame reaches the screen
    subprocess.run(["import", "-window", "root", path], env=ENV, check=True)
    return path


def pixel(path, x, y):
    out = subprocess.run(["convert", path, "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "txt:-"],
                         capture_output=True, text=True, check=True).stdout
    # A header line, then "0,0: (r,g,b)  #RRGGBB  srgb(...)".
    hexcode = re.search(r"#([0-9A-Fa-f]{6})\b", out.splitlines()[-1]).group(1)
    return tuple(int(hexcode[i:i + 2], 16) for i in (0, 2, 4))


def background(rgb):
    # The viewport's background, (77, 77, 84).
    return abs(rgb[0] - 77) + abs(rgb[1] - 77) + abs(rgb[2] - 84) < 12


class View:
    """Screen pixels of document points in the arm file's camera: 500 units in
    front of the origin on +Z, looking at it, 45 degrees high."""

    def __init__(self, viewport):
        self.x, self.y, self.w, self.h = viewport
        self.scale = (self.h / 2.0) / (500.0 * math.tan(math.radians(22.5)))

    def at(self, wx, wy):
        return (int(round(self.x + self.w / 2.0 + wx * self.scale)),
                int(round(self.y + self.h / 2.0 - wy * self.scale)))


def main():
    os.makedirs(OUT, exist_ok=True)
    work = tempfile.mkdtemp(prefix="quorvel-gui-")
    document = os.path.join(work, "arm.mqd")
    shutil.copy(os.path.join(EXAMPLES, "arm.mqd"), document)
    frames = os.path.join(work, "frames.txt")
    # The plug-in's panels at their first places, as a new user sees them.
    subprocess.run(["sh", WINE_RUN, "reg", "delete", "HKCU\\Software\\Ostrak\\Quorvel", "/f"], env=ENV,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    gui = subprocess.Popen(["sh", WINE_RUN, os.path.join(BIN, "mqhost.exe"), "--gui", "--plugin", "quorvel.dll",
                            document, "--frame-log", frames], cwd=BIN, env=ENV)
    try:
        main_window = probe("mqhost - arm.mqd")
        if not check(main_window is not None, "the main window shows the arm's file name"):
            return
        viewport = probe("--class", "MQHostGuiViewport")
        view = View(viewport)
        xdotool("mousemove", "--sync", *centre(viewport))
        xdotool("click", 1)  # the main window takes the keyboard
        # Command menu, first command plug-in.
        keys("alt+c", "1")
        command = probe("Quorvelコマンド", MAKE)
        if not check(command is not None, "Quorvel's command panel appears when its command is taken"):
            screenshot("gui-0-no-command")
            return
        screenshot("gui-1-started")

        # Make: a chain of three bones and its tip along the arm.
        click_at(*centre(probe("Quorvelコマンド", MAKE)))
        for wx in (0, 60, 120, 144):
            click_at(*view.at(wx, 0))
        click_at(*view.at(170, 40), button=3)  # the next bone is not wanted
        made = screenshot("gui-2-bones")

        # Weight: the wrist bone becomes the palette (Alt+click on its body),
        # and strokes along the hand's top and bottom edges give it the hand.
        click_at(*centre(probe("Quorvelコマンド", WEIGHT)))
        click_at(*view.at(132, 0), modifiers="alt")
        drag(view.at(116, 10), view.at(150, 10))
        drag(view.at(116, -10), view.at(150, -10))
        screenshot("gui-3-weights")

        # Pose: the tip dragged up turns the wrist, and the hand with it,
        # into the empty space above the hand.
        click_at(*centre(probe("Quorvelコマンド", POSE)))
        straight = screenshot("gui-4-pose-before")
        above_hand = view.at(128, 14)
        check(background(pixel(straight, *above_hand)), "the space above the hand is empty at rest")
        drag(view.at(144, 0), view.at(130, 60), steps=20)
        bent = screenshot("gui-5-posed")
        check(not background(pixel(bent, *above_hand)), "the posed hand has turned up into it")

        # Undo puts the hand back, redo turns it again.
        xdotool("mousemove", "--sync", *view.at(-100, -100))
        keys("ctrl+z")
        undone = screenshot("gui-6-undone")
        check(background(pixel(undone, *above_hand)), "undo puts the hand back")
        keys("ctrl+y")
        redone = screenshot("gui-7-redone")
        check(not background(pixel(redone, *above_hand)), "redo turns it again")

        # A second pose, turned with the rotate handle: the move panel's
        # handle type 回転, the handle shown from the 表示 menu (its fourth
        # item), a new pose, the root's pivot clicked (the handle stands on
        # it) and its centre dragged 60 pixels right: half a degree a pixel
        # about the line of sight turns the root 30 degrees. The saved
        # document is checked for it below.
        click_at(*centre(probe("Quorvelコマンド", MOVE)))
        click_at(*centre(probe("移動", MOVE_ROTATE)))
        click_at(*centre(probe("Quorvelコマンド", DISPLAY)))
        keys("Down", "Down", "Down", "Down", "Return")
        click_at(*centre(probe("Quorvelコマンド", POSE)))
        click_at(*centre(probe("ポーズリスト", POSELIST_NEW)))
        click_at(*view.at(0, 0))
        root = view.at(0, 0)
        drag(root, (root[0] + 60, root[1]), steps=12)
        screenshot("gui-8-handle-turned")

        # The elbow's body clicked (it turned with the root) and its Z
        # rotation typed into the pose panel, committed with Enter.
        elbow = (90 * math.cos(math.radians(30)), 90 * math.sin(math.radians(30)))
        click_at(*view.at(*elbow))
        rot_z = probe("ポーズ", POSEOBJ_ROTZ)
        check(rot_z is not None, "the pose panel shows the current bone's rotation")
        if rot_z is not None:
            click_at(*centre(rot_z))
            keys("End", "shift+Home")
            xdotool("type", "--delay", "50", "--", "-15")
            keys("Return")
            time.sleep(0.5)
        screenshot("gui-9-typed")
        # The keyboard back to the main window: a click on empty space in
        # the view, inside the handle's rings and clear of its axes.
        click_at(*view.at(-40, -40))

        # Saved with the File menu: File, Save.
        keys("alt+f", "s")
        time.sleep(1.5)
        xdotool("key", "alt+F4")
        gui.wait(timeout=60)
        check(gui.returncode == 0, "the window closes cleanly after saving (exit %s)" % gui.returncode)

        ENV["QUORVEL_SAVED_GUI_DOCUMENT"] = document
        out, code = wine("host_gui_saved_check.exe", "--gtest_also_run_disabled_tests",
                         "--gtest_filter=SavedGuiSession.*", timeout=120)
        log(out)
        check(code == 0, "a fresh host finds the bones, weights and pose in the saved file")
        with open(frames) as f:
            times = sorted(float(line) for line in f if line.strip())
        check(len(times) > 20, "the view was drawn %d times" % len(times))
        if times:
            log("frame time median %.1f ms over %d frames" % (times[len(times) // 2], len(times)))
    finally:
        if gui.poll() is None:
            gui.kill()
            subprocess.run(["wineserver", "-k"], env=ENV)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    try:
        main()
    except Exception as error:  # a step that could not be taken fails the test
        FAILURES.append(repr(error))
        log("FAILED  " + repr(error))
    log("%d failure(s)" % len(FAILURES))
    sys.exit(1 if FAILURES else 0)
