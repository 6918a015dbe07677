#!/usr/bin/env python3
"""Frames per second of the interactive host, measured in its window.

Starts `mqhost --gui` on a rigged document (the sample arm, or a dense one
from `make_sample_rig --dense N`), takes the Quorvel command, and with X
input (xdotool) as a person makes it:
  pose: switches to "ポーズ" and drags the wrist's joint in small steps;
  orbit: turns the view with the right button in small steps.
The host logs each frame's time: all its message loop handled since the
frame before (the input, the plug-in's panels refreshed and repainted), then
the draw event with the plug-in's refresh of its rendering copies and the
picture. The median of each phase is reported, with its frames per second.
Run under an X server, e.g.
  xvfb-run -a -s "-screen 0 1280x960x24" python3 bench/gui_fps.py \
      build/windows/bin cmake/wine-run.sh examples/arm_rig.mqd
With GUI_FPS_SHOTS=PREFIX set, a screenshot of the posed arm is kept as
PREFIX-posed.png.

Usage: gui_fps.py BIN_DIR WINE_RUN DOCUMENT [STEPS]
"""
import math
import os
import subprocess
import sys
import tempfile
import time

BIN, WINE_RUN, DOCUMENT = (os.path.abspath(a) for a in sys.argv[1:4])
STEPS = int(sys.argv[4]) if len(sys.argv) > 4 else 40
ENV = dict(os.environ, LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8")
POSE = 1011  # the command panel's "ポーズ"


def probe(*args, tries=240):
    for _ in range(tries):
        with tempfile.TemporaryFile(mode="w+") as out:
            code = subprocess.run(["sh", WINE_RUN, os.path.join(BIN, "window_probe.exe"), *map(str, args)],
                                  cwd=BIN, env=ENV, stdout=out, stderr=subprocess.DEVNULL).returncode
            out.seek(0)
            if code == 0:
                return tuple(int(v) for v in out.read().split())
        time.sleep(0.25)
    raise RuntimeError("no window %r" % (args,))


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], env=ENV, check=True)


def frames_so_far(log):
    with open(log) as f:
        return [float(line) for line in f if line.strip()]


def paced_drag(button, start, end, steps, pause):
    xdotool("mousemove", "--sync", *start)
    xdotool("mousedown", button)
    for i in range(1, steps + 1):
        xdotool("mousemove", "--sync", start[0] + (end[0] - start[0]) * i // steps,
                start[1] + (end[1] - start[1]) * i // steps)
        time.sleep(pause)
    xdotool("mouseup", button)
    time.sleep(1.0)


def report(name, times):
    times = sorted(times)
    if not times:
        print("%-6s no frames" % name)
        return
    median = times[len(times) // 2]
    print("%-6s %3d frames, median %6.1f ms a frame = %5.1f frames per second" %
          (name, len(times), median, 1000.0 / median))


def main():
    log = tempfile.mktemp(prefix="quorvel-frames-")
    # The plug-in's panels at their first places, clear of each other.
    subprocess.run(["sh", WINE_RUN, "reg", "delete", "HKCU\\Software\\Ostrak\\Quorvel", "/f"], env=ENV,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    gui = subprocess.Popen(["sh", WINE_RUN, os.path.join(BIN, "mqhost.exe"), "--gui", "--plugin", "quorvel.dll",
                            DOCUMENT, "--activate", "Quorvel", "--frame-log", log], cwd=BIN, env=ENV)
    try:
        command = probe("Quorvelコマンド", POSE)
        # Ready once the first frame is drawn: a large file takes a while.
        for _ in range(600):
            if os.path.exists(log) and frames_so_far(log):
                break
            time.sleep(0.1)
        time.sleep(1.0)
        x, y, w, h = probe("--class", "MQHostGuiViewport")
        scale = (h / 2.0) / (500.0 * math.tan(math.radians(22.5)))

        def at(wx, wy):
            return int(x + w / 2.0 + wx * scale), int(y + h / 2.0 - wy * scale)

        if os.environ.get("GUI_FPS_SHOTS"):
            subprocess.run(["import", "-window", "root", os.environ["GUI_FPS_SHOTS"] + "-start.png"], env=ENV)
        xdotool("mousemove", "--sync", command[0] + command[2] // 2, command[1] + command[3] // 2)
        xdotool("click", 1)
        time.sleep(2.0)
        # The sample opens in its pose "bend": the elbow turned 45 degrees,
        # so the wrist's joint stands at (60 + 60 cos 45, 60 sin 45).
        wrist = (60.0 + 60.0 * math.cos(math.radians(45)), 60.0 * math.sin(math.radians(45)))
        before = len(frames_so_far(log))
        paced_drag(1, at(*wrist), at(70.0, 90.0), STEPS, 0.05)
        report("pose", frames_so_far(log)[before + 1:])
        if os.environ.get("GUI_FPS_SHOTS"):
            subprocess.run(["import", "-window", "root", os.environ["GUI_FPS_SHOTS"] + "-posed.png"], env=ENV)

        before = len(frames_so_far(log))
        paced_drag(3, at(-150, -100), at(-150 + 120, -100), STEPS, 0.05)
        report("orbit", frames_so_far(log)[before + 1:])
    finally:
        gui.kill()
        subprocess.run(["wineserver", "-k"], env=ENV)
        if os.path.exists(log):
            os.remove(log)


if __name__ == "__main__":
    main()
