#!/usr/bin/env bash
# The skinning kernel and the rendering copies' redeform at 10 000, 100 000
# and 1 000 000 vertices in the 64-bit Windows build under wine64, beside the
# native build, in one run on this machine: the median of 5 repetitions of
# each, in ns per vertex, and the ratio of the two. Run as root on Debian 12
# (it installs what is missing and builds what it needs):
#
#   bash bench/editions.sh [REPETITIONS]
#
# Debian has no mingw-w64 build of Google Benchmark: the source of the
# version the native build links (1.7.1) is fetched once from Debian's
# archive into build/src, checked against its published SHA-256, and built
# into build/windows64-bench.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
repetitions=${1:-5}
jobs=$(nproc 2>/dev/null || echo 2)
version=1.7.1
tarball="benchmark_$version.orig.tar.gz"
sha256=6430e4092653380d9dc4ccb45a1e2dc9259d581f4866dc0759713126056bc1d7
source_dir="$root/build/src/benchmark-$version"
filter='^(SkinningKernel|RenderingCopyRedeform)/'

bash scripts/install-deps.sh
if [ ! -f "$source_dir/CMakeLists.txt" ]; then
  mkdir -p "$root/build/src"
  curl -sSf -o "$root/build/src/$tarball" "http://deb.debian.org/debian/pool/main/b/benchmark/$tarball"
  echo "$sha256  $root/build/src/$tarball" | sha256sum -c --quiet
  tar -xzf "$root/build/src/$tarball" -C "$root/build/src"
fi

echo "building the native and the 64-bit Windows benchmark programs"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "$jobs" --target deform_bench >/dev/null
cmake -S . -B build/windows64-bench -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_TESTS=OFF -DQUORVEL_BENCHMARK_SOURCE="$source_dir" >/dev/null
cmake --build build/windows64-bench -j "$jobs" --target deform_bench >/dev/null

out="$root/build/bench-editions"
mkdir -p "$out"
arguments=(--benchmark_filter="$filter" --benchmark_repetitions="$repetitions"
  --benchmark_report_aggregates_only=true)
echo "running the native build"
build/native/bin/deform_bench "${arguments[@]}" --benchmark_out="$out/native.json" \
  --benchmark_out_format=json >/dev/null
echo "running the 64-bit Windows build under wine64"
# The windows64 test tree's prefix, made once and reused.
WINEPREFIX="$root/build/windows64/wineprefix" QUORVEL_WINE_ARCH=win64 \
  sh cmake/wine-run.sh build/windows64-bench/bin/deform_bench.exe "${arguments[@]}" \
  --benchmark_out='Z:'"${out//\//\\}"'\windows64.json' --benchmark_out_format=json >/dev/null

python3 - "$out/native.json" "$out/windows64.json" <<'EOF'
import json
import sys


def medians(path):
    with open(path) as f:
        data = json.load(f)
    result = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") == "median":
            scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b["time_unit"]]
            result[b["run_name"]] = b["real_time"] * scale
    return result, data["context"]


native, context = medians(sys.argv[1])
windows, _ = medians(sys.argv[2])
print("%s, %d CPUs at %.0f MHz; median of each benchmark's repetitions"
      % (context.get("host_name", "this machine"), context["num_cpus"], context["mhz_per_cpu"]))
print()
print("| benchmark | vertices | native ns/vertex | 64-bit Windows ns/vertex | Windows / native |")
print("|---|---:|---:|---:|---:|")
for name in sorted(native, key=lambda n: (n.split("/")[0], int(n.split("/")[1]))):
    if name not in windows:
        continue
    vertices = int(name.split("/")[1])
    a, b = native[name] / vertices, windows[name] / vertices
    print("| %s | %d | %.2f | %.2f | %.2f |" % (name.split("/")[0], vertices, a, b, b / a))
EOF
