#!/usr/bin/env bash
# Installs the Node packages of the glTF checks (gltf-validator, three) into
# BUILD_DIR/gltf-node with `npm ci`, from the committed package-lock.json, and
# prints that folder. Nothing is installed into the source tree; the install
# is redone only when the lock file changed since the last one.
#
#   node_deps.sh BUILD_DIR      prints BUILD_DIR/gltf-node
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: node_deps.sh BUILD_DIR" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
target="$1/gltf-node"
mkdir -p "$target"
if [ ! -d "$target/node_modules/gltf-validator" ] || [ ! -d "$target/node_modules/three" ] ||
  ! cmp -s "$here/package-lock.json" "$target/package-lock.json"; then
  cp "$here/package.json" "$here/package-lock.json" "$target/"
  (cd "$target" && npm ci --no-audit --no-fund --loglevel=error) >&2
fi
cd "$target" && pwd
