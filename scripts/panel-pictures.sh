#!/usr/bin/env bash
# Pictures of the plug-in's panels as Wine shows them under Xvfb, with the
# Japanese face the tests map: builds the windows tree (build/windows) if
# needed, runs the panel pictures case of ui_panels_tests, which writes
# build/windows/pictures/panel-*.png, and copies the command and move panels
# to docs/ for README.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build="$root/build/windows"
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/install-deps.sh
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$jobs" --target ui_panels_tests >/dev/null

export WINEPREFIX="$build/wineprefix"
sh "$root/cmake/wine-run.sh" --prepare
LANG=ja_JP.UTF-8 xvfb-run -a sh "$root/cmake/wine-run.sh" "$build/bin/ui_panels_tests.exe" \
  --gtest_filter='PanelTest.PicturesOfThePanels'
cp "$build/pictures/panel-command.png" "$root/docs/panel-command.png"
cp "$build/pictures/panel-move.png" "$root/docs/panel-move.png"
ls "$build"/pictures/panel-*.png
