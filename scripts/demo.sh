#!/usr/bin/env bash
# The demo: installs what is missing, builds the native build (build/native)
# and runs the plug-in in the substitute modeller on the sample arm: the
# plug-in is loaded, identified and initialised, given the document, driven by
# examples/demo.mqs, and the document is saved again to build/demo-out.mqd.
# QUORVEL_BUILD_ROOT moves build/ elsewhere.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build_root=${QUORVEL_BUILD_ROOT:-$root/build}
build="$build_root/native"
log="$build_root/demo-build.log"
out="$build_root/demo-out.mqd"
jobs=$(nproc 2>/dev/null || echo 2)
mkdir -p "$build_root"

echo "== installing what is missing"
bash scripts/install-deps.sh

echo "== building the plug-in, the peer plug-in and mqhost in $build"
# Configured as the test command configures it, so that the two share the tree.
if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
  cmake --build "$build" -j "$jobs" --target quorvel quorvel_peer mqhost_driver; } >"$log" 2>&1; then
  echo "the build failed (log: $log)" >&2
  tail -n 20 "$log" >&2
  exit 1
fi

echo "== running mqhost --plugin $build/bin/libquorvel.so examples/arm.mqd" \
  "--script examples/demo.mqs --save $out"
rm -f "$out"
"$build/bin/mqhost" --plugin "$build/bin/libquorvel.so" examples/arm.mqd \
  --script examples/demo.mqs --save "$out"

echo "== the saved document $out"
echo "objects:$(grep -o '<Object name="[^"]*"' "$out" | sed 's/<Object name=/ /' | tr -d '\n')"
echo "plug-in elements:"
grep -o '<Plugin product="[0-9]*" id="[0-9]*"' "$out" |
  awk -F'"' '{printf "  product 0x%08X, id 0x%08X\n", $2, $4}'
echo "$(wc -c <"$out") bytes"
