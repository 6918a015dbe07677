#!/bin/sh
# Runs a Windows program of the build under Wine with a prefix of the build's
# own: WINEPREFIX when the caller sets it, otherwise "wineprefix" in the build
# tree that holds the program. The prefix is created on first use and reused.
# "wine-run.sh --prepare" only creates the prefix.
#
# Wine's side follows the program: a PE32+ x86-64 program runs under wine64
# in a 64-bit prefix, anything else under Wine's 32-bit side. For a command
# that is not a file of the build (regedit, reg) and for --prepare,
# QUORVEL_WINE_ARCH (win32 or win64) decides, else the prefix's own kind,
# else the compiler of the build tree that holds the prefix, else win32.
if [ -z "$WINEPREFIX" ]; then
  start=$(cd "$(dirname "$1")" 2>/dev/null && pwd || pwd)
  dir=$start
  while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ "$dir" = "/" ] && dir=$start
  WINEPREFIX="$dir/wineprefix"
fi
export WINEPREFIX

# The machine field of a PE file's header: "win64" for x86-64, "win32" for
# i386, nothing for anything else.
pe_arch() {
  [ -f "$1" ] || return 0
  [ "$(od -An -c -N2 "$1" 2>/dev/null | tr -d ' ')" = "MZ" ] || return 0
  header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  case $(od -An -tx2 -j$((header + 4)) -N2 "$1" | tr -d ' ') in
    8664) echo win64 ;;
    014c) echo win32 ;;
  esac
}

arch=
[ "$1" = "--prepare" ] || arch=$(pe_arch "$1")
[ -n "$arch" ] || arch=$QUORVEL_WINE_ARCH
if [ -z "$arch" ] && [ -f "$WINEPREFIX/system.reg" ]; then
  grep -q '^#arch=win64' "$WINEPREFIX/system.reg" && arch=win64 || arch=win32
fi
if [ -z "$arch" ] && [ -f "$(dirname "$WINEPREFIX")/CMakeCache.txt" ]; then
  grep -q '^CMAKE_TOOLCHAIN_FILE:.*x86_64' "$(dirname "$WINEPREFIX")/CMakeCache.txt" && arch=win64
fi
[ -n "$arch" ] || arch=win32
export WINEARCH=$arch
# Debian's "wine" starts the 32-bit loader whenever it is installed, even on
# a machine that cannot run it; a 64-bit prefix is driven by wine64 itself.
if [ "$arch" = win64 ]; then
  loader=/usr/lib/wine/wine64
  [ -x "$loader" ] || loader=$(command -v wine64 || echo wine64)
  export WINELOADER=$loader
else
  loader=wine
fi
export WINEDEBUG=-all
# A crash ends the program instead of waiting in the debugger.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winedbg.exe=d"

# Programs started side by side must not both create the prefix.
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$loader" wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w
  fi
  # The panels ask for the modeller users' Japanese face; IPAPGothic has its
  # metrics. Windows are left unmanaged: with no window manager on the
  # display, Wine would wait two seconds for one at every hide. A UTF-16
  # registry file keeps the face name whatever LANG is.
  if [ ! -f "$WINEPREFIX/.quorvel-settings" ]; then
    reg="$WINEPREFIX/quorvel-settings.reg"
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
      '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]' \
      '"ＭＳ Ｐゴシック"="IPAPGothic"' '"MS PGothic"="IPAPGothic"' '' \
      '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' |
      iconv -f UTF-8 -t UTF-16 >"$reg"
    "$loader" regedit /S "$(WINELOADER=$loader "$loader" winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1 </dev/null &&
      wineserver -w && touch "$WINEPREFIX/.quorvel-settings"
  fi
) 9>"$WINEPREFIX.lock"

[ "$1" = "--prepare" ] && exit 0
exec "$loader" "$@" </dev/null
