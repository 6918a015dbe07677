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
export WINEDLLOVERRIDES="mscoree=;mshtml="

# Programs started side by side must not both create the prefix.
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w
  fi
) 9>"$WINEPREFIX.lock"

[ "$1" = "--prepare" ] && exit 0
exec wine "$@" </dev/null
