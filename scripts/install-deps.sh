#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian 12 machine, as root.
# Does nothing and prints nothing when everything is already there.
set -euo pipefail

native_packages=(cmake make g++ libgtest-dev libgmock-dev libbenchmark-dev binutils
  librapidxml-dev libtinyobjloader-dev libstb-dev libosmesa6-dev libtinygltf-dev nlohmann-json3-dev)
# glTF files are checked by other programs: Khronos' validator and three.js
# under Node (npm packages, see tests/gltf/package.json), gltfpack beside the
# export benchmark, and assimp's sample models as files others wrote.
gltf_packages=(nodejs gltfpack time assimp-testmodels)
# Debian's own nodejs comes without npm; NodeSource's brings it.
command -v npm >/dev/null 2>&1 || gltf_packages+=(npm)
# Both Windows builds cross-compile on every machine. Mesa's OpenGL answers
# the viewport pictures under Wine; IPAPGothic stands in for the panels'
# Japanese face; ImageMagick's import takes the screenshots; xdotool and
# Python drive the interactive host's window as a person would.
windows_packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-x86-64 wine wine64 libgl1 libgl1-mesa-dri libglx-mesa0 xvfb xauth locales
  fonts-ipafont-gothic imagemagick xdotool python3)
# Wine's 32-bit side runs the 32-bit build's programs: of any use only where
# the kernel runs 32-bit programs, which scripts/runs-32bit.sh tries.
i386_packages=(wine32:i386 libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386)
if bash "$(dirname "$0")/runs-32bit.sh" >/dev/null; then
  windows_packages+=("${i386_packages[@]}")
fi

# A package counts as there when it is installed for the architecture asked
# ("name:i386"), or else for the machine's own or for all: with both
# architectures of a library installed, dpkg lists it twice.
native_arch=$(dpkg --print-architecture)
missing=()
for package in "${native_packages[@]}" "${gltf_packages[@]}" "${windows_packages[@]}"; do
  arch=$native_arch
  [[ $package == *:* ]] && arch=${package#*:}
  status=$(dpkg-query -W -f='${Status} ${Architecture}\n' "$package" 2>/dev/null || true)
  grep -qE "^install ok installed ($arch|all)\$" <<<"$status" || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages (${missing[*]}); run as root to install them" >&2
    exit 1
  fi
  echo "install-deps: installing ${missing[*]}"
  if [[ " ${missing[*]}" == *":i386"* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine follows LANG: a Japanese locale gives the Shift-JIS code page that a
# Japanese user's Windows has.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: the ja_JP.UTF-8 locale is missing; run as root to generate it" >&2
    exit 1
  fi
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
