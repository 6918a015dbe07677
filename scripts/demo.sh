#!/usr/bin/env bash
# The demo: installs what is missing, builds the native build (build/native)
# and runs the plug-in in the substitute modeller on the sample rigged arm
# (examples/arm_rig.mqd, made by make_sample_rig with the plug-in's own rig
# code): the plug-in is loaded, identified and initialised, loads the rig
# from the document and applies its first pose, is driven by
# examples/demo.mqs, and saves the rig again with the document to
# build/demo-out.mqd; then takes pictures of the viewport in pose and move
# mode (build/demo-pose.png, build/demo-move.png).
# QUORVEL_BUILD_ROOT moves build/ elsewhere.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build_root=${QUORVEL_BUILD_ROOT:-$root/build}
build="$build_root/native"
log="$build_root/demo-build.log"
out="$build_root/demo-out.mqd"
posed="$build_root/demo-posed.obj"
jobs=$(nproc 2>/dev/null || echo 2)
mkdir -p "$build_root"

echo "== installing what is missing"
bash scripts/install-deps.sh

echo "== building the plug-in, the peer plug-in and mqhost in $build"
# Configured as the test command configures it, so that the two share the tree.
if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
  cmake --build "$build" -j "$jobs" --target quorvel quorvel_peer mqhost_driver demo_pictures; } >"$log" 2>&1; then
  echo "the build failed (log: $log)" >&2
  tail -n 20 "$log" >&2
  exit 1
fi

sample=examples/arm_rig.mqd
echo "== running mqhost --plugin $build/bin/libquorvel.so $sample" \
  "--script examples/demo.mqs --save $out --export-model $posed"
rm -f "$out" "$posed"
"$build/bin/mqhost" --plugin "$build/bin/libquorvel.so" "$sample" \
  --script examples/demo.mqs --save "$out" --export-model "$posed"

echo "== the saved document $out"
echo "objects:$(grep -o '<Object name="[^"]*"' "$out" | sed 's/<Object name=/ /' | tr -d '\n')"
echo "plug-in elements:"
grep -o '<Plugin product="[0-9]*" id="[0-9]*"' "$out" |
  awk -F'"' '{printf "  product 0x%08X, id 0x%08X\n", $2, $4}'
echo "$(wc -c <"$out") bytes"

# The rig as the plug-in stored it: its element of the document.
rig_element() {
  sed -n '/<Plugin product="1513922071" id="3289852806">/,/<\/Plugin>/p' "$1"
}
echo "the rig in the saved document:"
echo "  poses:$(rig_element "$out" | grep -o '<pose name="[^"]*"' | sed 's/<pose name=/ /' | tr -d '\n')"
echo "  weighted vertices: $(rig_element "$out" | grep -c '<vertex index="[0-9]*" obj0=')"
echo "  morph targets:$(rig_element "$out" | grep -o '<MorphTarget index="[0-9]*" name="[^"]*"' |
  sed 's/.*name=/ /' | tr -d '\n')"
if [ -n "$(rig_element "$out")" ] && diff <(rig_element "$sample") <(rig_element "$out") >/dev/null; then
  echo "  the same rig as in $sample: nothing was lost"
else
  echo "the rig element of $out differs from $sample" >&2
  exit 1
fi

# The posed, skinned model that the peer plug-in asked Quorvel for.
echo "== the posed model $posed (from \"GetRenderingModel\", pose \"bend\")"
echo "  $(grep -c '^o ' "$posed") objects, $(grep -c '^v ' "$posed") vertices, $(grep -c '^f ' "$posed") faces"
echo "  the arm's tip ring, bent 45 degrees about the elbow (x, y of its four vertices):"
awk '/^o /{o=$2} o=="model0" && /^v / && $2>95 {printf "    %.2f %.2f\n", $2, $3}' "$posed"

# Pictures of the viewport as a person sees it: the rig in pose mode, its
# bones over the skinned arm, and in move mode with the transform handle.
echo "== pictures of the viewport"
QUORVEL_SETTINGS="$build_root/demo-settings" "$build/bin/demo_pictures" "$sample" "$build_root"
