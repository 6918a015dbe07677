#!/bin/sh
# Runs a Windows program of the build under Wine with a prefix of the build's
# own: WINEPREFIX when the caller sets it, otherwise "wineprefix" in the build
# tree that holds the program. The prefix is created on first use and reused.
# "wine-run.sh --prepare" only creates the prefix.
if [ -z "$WINEPREFIX" ]; then
  start=$(cd "$(dirname "$1")" 2>/dev/null && pwd || pwd)
  dir=$start
  while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ "$dir" = "/" ] && dir=$start
  WINEPREFIX="$dir/wineprefix"
fi
export WINEPREFIX
export WINEARCH=win32
export WINEDEBUG=-all
# A crash ends the program instead of waiting in the debugger.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winedbg.exe=d"

# Programs started side by side must not both create the prefix.
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 </dev/null
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
    wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1 </dev/null &&
      wineserver -w && touch "$WINEPREFIX/.quorvel-settings"
  fi
) 9>"$WINEPREFIX.lock"

[ "$1" = "--prepare" ] && exit 0
exec wine "$@" </dev/null
