#!/usr/bin/env bash
# Try Quorvel as a person does: the interactive substitute modeller
# (mqhost --gui) with the built plug-in, under Wine.
#
#   scripts/gui.sh [FILE]               opens FILE (default: the sample rigged
#                                       arm) on this desktop's display
#   scripts/gui.sh --screenshot [FILE]  needs no display: under Xvfb, takes the
#                                       command, shows the pose panels and saves
#                                       the window as docs/gui.png
#
# Builds what is missing first: the 32-bit windows tree in build/windows, or
# build/windows64 on a machine that does not run 32-bit programs (or with
# QUORVEL_WINDOWS_BUILD=windows64). In the
# window: Command > Quorvel takes the plug-in's command; right drag turns the
# view, middle or Shift+right drag pans, the wheel zooms, P switches
# perspective and orthographic, F frames everything; Ctrl+Z / Ctrl+Y undo
# and redo; File saves.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/windows-build.sh"
build="$root/build/$windows_build"
jobs=$(nproc 2>/dev/null || echo 2)
screenshot=0
if [ "${1:-}" = "--screenshot" ]; then
  screenshot=1
  shift
fi
file=$(realpath "${1:-$root/examples/arm_rig.mqd}")

if [ $screenshot -eq 0 ] && [ -z "${DISPLAY:-}" ]; then
  echo "gui.sh: there is no display here (DISPLAY is not set)." >&2
  echo "Run it on a desktop, or take a picture with: scripts/gui.sh --screenshot [FILE]" >&2
  exit 1
fi

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$windows_toolchain" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$jobs" --target mqhost_driver quorvel window_probe >/dev/null
export WINEPREFIX="$build/wineprefix"
sh "$root/cmake/wine-run.sh" --prepare
export LANG=ja_JP.UTF-8

if [ $screenshot -eq 0 ]; then
  cd "$build/bin"
  exec sh "$root/cmake/wine-run.sh" ./mqhost.exe --gui --plugin quorvel.dll "$file"
fi

# The picture: the command taken, "ポーズ" chosen, the view drawn.
export GUI_BIN="$build/bin" GUI_RUN="$root/cmake/wine-run.sh" GUI_FILE="$file" GUI_OUT="$root/docs/gui.png"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -e
  cd "$GUI_BIN"
  # The panels at their first places, as a new user sees them.
  sh "$GUI_RUN" reg delete "HKCU\\Software\\Ostrak\\Quorvel" /f >/dev/null 2>&1 || true
  sh "$GUI_RUN" ./mqhost.exe --gui --plugin quorvel.dll "$GUI_FILE" --activate Quorvel >/dev/null 2>&1 &
  # Where a window or control is, once it is there.
  probe() {
    for _ in $(seq 1 120); do
      if r=$(sh "$GUI_RUN" ./window_probe.exe "$@" 2>/dev/null | tr -d "\r") && [ -n "$r" ]; then
        echo "$r"
        return 0
      fi
      sleep 0.25
    done
    return 1
  }
  if ! pose=$(probe "Quorvelコマンド" 1011); then
    echo "gui.sh: the command panel did not appear" >&2
    wineserver -k
    exit 1
  fi
  read -r x y w h <<<"$pose"
  sleep 1
  # F frames the arm; a middle drag moves it clear of the panels, which
  # open at the left of the window; then the pose mode and its panels.
  xdotool key f
  sleep 1
  xdotool mousemove --sync 560 560 click 5
  xdotool mousedown 2 mousemove --sync 660 600 mousemove --sync 760 640 mouseup 2
  sleep 1
  xdotool mousemove --sync $((x + w / 2)) $((y + h / 2)) click 1
  sleep 3
  read -r mx my mw mh <<<"$(probe "mqhost - $(basename "$GUI_FILE")")"
  import -window root -crop "${mw}x${mh}+${mx}+${my}" "$GUI_OUT"
  wineserver -k
'
echo "gui.sh: wrote docs/gui.png"
