# Sourced by the scripts that run a Windows build under Wine: which build
# this machine can run. The 32-bit one (build/windows) where the kernel runs
# 32-bit programs, else the 64-bit one (build/windows64); QUORVEL_WINDOWS_BUILD
# (windows or windows64) chooses either. Sets windows_build,
# windows_toolchain and QUORVEL_WINE_ARCH.
windows_build=${QUORVEL_WINDOWS_BUILD:-}
if [ -z "$windows_build" ]; then
  if why_not=$(bash "$(dirname "${BASH_SOURCE[0]}")/runs-32bit.sh"); then
    windows_build=windows
  else
    windows_build=windows64
    echo "$(basename "$0"): this machine does not run 32-bit programs ($why_not); using the 64-bit build" >&2
  fi
fi
case "$windows_build" in
  windows) windows_toolchain=toolchain-mingw-i686.cmake QUORVEL_WINE_ARCH=win32 ;;
  windows64) windows_toolchain=toolchain-mingw-x86_64.cmake QUORVEL_WINE_ARCH=win64 ;;
  *)
    echo "$(basename "$0"): QUORVEL_WINDOWS_BUILD is windows or windows64, not '$windows_build'" >&2
    exit 2
    ;;
esac
export QUORVEL_WINE_ARCH
