#!/usr/bin/env bash
# Pictures of the plug-in's panels as Wine shows them under Xvfb, with the
# Japanese face the tests map: builds the windows tree if needed
# (build/windows, or build/windows64 where 32-bit programs do not run), runs
# the picture cases of ui_panels_tests, which write pictures/panel-*.png in
# that tree, and copies the panels and the dialog README shows to docs/.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source "$root/scripts/windows-build.sh"
build="$root/build/$windows_build"
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/install-deps.sh
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$windows_toolchain" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$jobs" --target ui_panels_tests >/dev/null

export WINEPREFIX="$build/wineprefix"
sh "$root/cmake/wine-run.sh" --prepare
LANG=ja_JP.UTF-8 xvfb-run -a sh "$root/cmake/wine-run.sh" "$build/bin/ui_panels_tests.exe" \
  --gtest_filter='*.PicturesOf*'
for name in command move poselist posebone weightpen; do
  cp "$build/pictures/panel-$name.png" "$root/docs/panel-$name.png"
done
for name in gltf-scale rig-auto; do
  cp "$build/pictures/dialog-$name.png" "$root/docs/dialog-$name.png"
done
ls "$build"/pictures/*.png
