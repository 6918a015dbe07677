#!/usr/bin/env bash
# The demo: installs what is missing, builds the native build (build/native)
# and shows the plug-in at work in the substitute modeller, in three parts.
#
# 1. A session of use (demo_session with examples/demo_session.mqs): the
#    unrigged arm (examples/arm.mqd) gets a three-bone chain clicked in make
#    mode, weights painted with the brush in weight mode and a bend dragged
#    in pose mode; the document is saved (build/demo-session.mqd) and opened
#    again by a fresh plug-in instance, which must find the bones, the
#    weights and the pose as they were saved. Pictures along the way:
#    build/demo-session-*.png.
# 2. The plug-in module as the modeller loads it (mqhost) on the sample
#    rigged arm (examples/arm_rig.mqd, made by make_sample_rig with the
#    plug-in's own rig code), driven by examples/demo.mqs: it applies the
#    rig's first pose, hands another plug-in the posed model
#    (build/demo-posed.obj) and saves the rig again (build/demo-out.mqd).
# 3. Pictures of the sample rig in pose and move mode (build/demo-pose.png,
#    build/demo-move.png).
# 4. The session's rig leaves the modeller: mqhost exports the document of
#    part 1 as glTF (build/demo.glb), bones, weights and the pose included.
# 5. The weight tools: automatic weights on the sample arm, and a figure's
#    left side mirrored to its right, bones and weights
#    (build/auto-weights-arm.png, build/mirror-before.png, build/mirror-after.png).
#
# A step that does not have its effect stops the demo with a non-zero
# status. QUORVEL_BUILD_ROOT moves build/ elsewhere.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build_root=${QUORVEL_BUILD_ROOT:-$root/build}
build="$build_root/native"
log="$build_root/demo-build.log"
session_log="$build_root/demo-session.log"
out="$build_root/demo-out.mqd"
posed="$build_root/demo-posed.obj"
jobs=$(nproc 2>/dev/null || echo 2)
mkdir -p "$build_root"

echo "== installing what is missing"
bash scripts/install-deps.sh

echo "== building the plug-in, the peer plug-in, mqhost and the demo programs in $build"
# Configured as the test command configures it, so that the two share the tree.
if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
  cmake --build "$build" -j "$jobs" --target quorvel quorvel_peer mqhost_driver demo_pictures demo_session rigging_pictures; } >"$log" 2>&1; then
  echo "the build failed (log: $log)" >&2
  tail -n 20 "$log" >&2
  exit 1
fi

echo
echo "== 1. a session of use: rigging the arm with the mouse"
session_pictures=(demo-session-arm demo-session-bones demo-session-weights demo-session-pose demo-session-reopened)
for picture in "${session_pictures[@]}"; do rm -f "$build_root/$picture.png"; done
rm -f "$build_root/demo-session.mqd"
# The plug-in's preferences start as after installing it, apart from the user's own.
session_settings="$build_root/demo-session-settings"
rm -f "$session_settings"
echo "running demo_session examples/arm.mqd examples/demo_session.mqs $build_root"
if ! QUORVEL_SETTINGS="$session_settings" "$build/bin/demo_session" examples/arm.mqd examples/demo_session.mqs \
  "$build_root" | tee "$session_log"; then
  echo "the session of use failed: a step did not have its effect (above; log: $session_log)" >&2
  exit 1
fi
for picture in "${session_pictures[@]}"; do
  if [ ! -s "$build_root/$picture.png" ]; then
    echo "the session of use did not take the picture $build_root/$picture.png" >&2
    exit 1
  fi
done

echo
echo "== 2. the plug-in module as the modeller loads it, on the sample rigged arm"
sample=examples/arm_rig.mqd
echo "running mqhost --plugin $build/bin/libquorvel.so $sample" \
  "--script examples/demo.mqs --save $out --export-model $posed"
rm -f "$out" "$posed"
"$build/bin/mqhost" --plugin "$build/bin/libquorvel.so" "$sample" \
  --script examples/demo.mqs --save "$out" --export-model "$posed"

echo "-- the saved document $out"
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
echo "-- the posed model $posed (from \"GetRenderingModel\", pose \"bend\")"
echo "  $(grep -c '^o ' "$posed") objects, $(grep -c '^v ' "$posed") vertices, $(grep -c '^f ' "$posed") faces"
echo "  the arm's tip ring, bent 45 degrees about the elbow (x, y of its four vertices):"
tip_ring=$(awk '/^o /{o=$2} o=="model0" && /^v / && $2>95 {printf "    %.2f %.2f\n", $2, $3}' "$posed")
if [ -z "$tip_ring" ]; then
  echo "the posed model $posed has no arm's tip ring" >&2
  exit 1
fi
echo "$tip_ring"

# Pictures of the viewport as a person sees it: the rig in pose mode, its
# bones over the skinned arm, and in move mode with the transform handle.
echo
echo "== 3. pictures of the sample rig"
QUORVEL_SETTINGS="$build_root/demo-settings" "$build/bin/demo_pictures" "$sample" "$build_root"

echo
echo "== 4. the session's rig as glTF"
glb="$build_root/demo.glb"
rm -f "$glb"
echo "running mqhost --plugin $build/bin/libquorvel.so $build_root/demo-session.mqd --export-gltf $glb"
if ! export_log=$("$build/bin/mqhost" --plugin "$build/bin/libquorvel.so" "$build_root/demo-session.mqd" \
  --export-gltf "$glb" 2>&1) || [ ! -s "$glb" ]; then
  printf '%s\n' "$export_log" | tail -n 5 >&2
  echo "the session's rig was not exported to $glb" >&2
  exit 1
fi
printf '%s\n' "$export_log" | grep '^export-gltf ' | sed 's/^/  /'
echo "  $(wc -c <"$glb") bytes; glTF 2.0 (binary) for game engines, web viewers and other 3D programs"

echo
echo "== 5. the weight tools: automatic weights, and the right side mirrored from the left"
QUORVEL_SETTINGS="$build_root/demo-settings" "$build/bin/rigging_pictures" "$sample" "$build_root"

echo
echo "== what the demo checked"
echo "the session of use (examples/demo_session.mqs):"
sed -n '/^== checked$/,$p' "$session_log" | tail -n +2
echo "the sample rig: saved again by the module with nothing lost; the posed model handed to the peer"
echo "the session's rig exported as glTF: $glb"
echo "pictures:"
for picture in "${session_pictures[@]}" demo-pose demo-move auto-weights-arm mirror-before mirror-after; do
  echo "  $build_root/$picture.png"
done
