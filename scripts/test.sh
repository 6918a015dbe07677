#!/usr/bin/env bash
# Installs what is missing, builds the native, sanitizer and windows builds,
# runs every test and check, and ends with one line "N passed, N failed".
# Exits non-zero on any failure. Build trees live in build/ and are reused.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build_root="$root/build"
mkdir -p "$build_root"
jobs=$(nproc 2>/dev/null || echo 2)

passed=0
failed=0
skipped=0
problems=()

note_failure() {
  problems+=("$1")
}

if ! bash scripts/install-deps.sh; then
  echo "install-deps failed"
  echo "0 passed, 1 failed"
  exit 1
fi

# configure_and_build NAME [cmake arguments...]: logs in build/NAME.log.
configure_and_build() {
  local name=$1
  shift
  local dir="$build_root/$name"
  local log="$build_root/$name.log"
  {
    cmake -S "$root" -B "$dir" "$@" &&
      cmake --build "$dir" -j "$jobs"
  } >"$log" 2>&1
  local status=$?
  if [ $status -ne 0 ]; then
    echo "$name: build FAILED (log: $log)"
    grep -E 'error|Error' "$log" | head -n 20
    failed=$((failed + 1))
    note_failure "$name build"
    return 1
  fi
  return 0
}

# run_suites NAME [ctest wrapper...]: runs CTest in build/NAME and counts the
# GoogleTest cases from the output; a suite that dies without a GoogleTest
# summary counts as one failure.
run_suites() {
  local name=$1
  shift
  local dir="$build_root/$name"
  local log="$build_root/$name-tests.log"
  (cd "$dir" && "$@" ctest -V --timeout 600) >"$log" 2>&1
  local status=$?
  local p f s
  p=$(grep -E '^([0-9]+: )?\[  PASSED  \] [0-9]+ tests?\.' "$log" |
    sed -E 's/.*\] ([0-9]+) tests?.*/\1/' | awk '{n += $1} END {print n + 0}')
  f=$(grep -E '^([0-9]+: )?\[  FAILED  \] [0-9]+ tests?, listed below' "$log" |
    sed -E 's/.*\] ([0-9]+) tests?.*/\1/' | awk '{n += $1} END {print n + 0}')
  s=$(grep -E '^([0-9]+: )?\[  SKIPPED \] [0-9]+ tests?, listed below' "$log" |
    sed -E 's/.*\] ([0-9]+) tests?.*/\1/' | awk '{n += $1} END {print n + 0}')
  if [ $status -ne 0 ] && [ "$f" -eq 0 ]; then
    local dead
    dead=$(wc -l <"$dir/Testing/Temporary/LastTestsFailed.log" 2>/dev/null || echo 1)
    [ "$dead" -gt 0 ] || dead=1
    f=$dead
  fi
  passed=$((passed + p))
  failed=$((failed + f))
  skipped=$((skipped + s))
  if [ $status -ne 0 ]; then
    echo "$name: $p passed, $f failed (log: $log)"
    grep -E '\[  FAILED  \] [A-Za-z]|\*\*\*Failed|\*\*\*Exception|Not Run|Timeout' "$log" | head -n 30
    note_failure "$name tests"
  else
    if [ "$s" -gt 0 ]; then
      echo "$name: $p passed, $s skipped"
    else
      echo "$name: $p passed"
    fi
  fi
}

# check NAME COMMAND...: one named check that passes or fails as a whole.
check() {
  local name=$1
  shift
  local output
  if output=$("$@" 2>&1); then
    passed=$((passed + 1))
    echo "check $name: ok"
  else
    failed=$((failed + 1))
    echo "check $name: FAILED"
    printf '%s\n' "$output" | head -n 20
    note_failure "check $name"
  fi
}

expected_exports="MQCheckVersion MQCreate MQEnumFileExt MQEnumFileType MQEnumString MQExportFile MQGetPlugInID MQGetPlugInName MQGetPlugInType MQImportFile MQInit MQModifyObject MQModifySelect MQOnEvent"

compare_exports() {
  local actual
  actual=$(sort -u | tr '\n' ' ' | sed 's/ $//')
  if [ "$actual" != "$expected_exports" ]; then
    echo "exports:  $actual"
    echo "expected: $expected_exports"
    return 1
  fi
}

native_exports() {
  nm -D --defined-only "$build_root/native/bin/libquorvel.so" | awk '{print $3}' | compare_exports
}

windows_exports() {
  i686-w64-mingw32-objdump -p "$build_root/windows/bin/quorvel.dll" |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s*\[ *[0-9]+\]' |
    awk '{print $NF}' | compare_exports
}

# The product as shipped: optimised, no debug sections or symbol table inside
# the DLL, the debug information in quorvel.dll.debug beside it.
windows_shipping() {
  local dll="$build_root/windows/bin/quorvel.dll" debug="$build_root/windows/bin/quorvel.dll.debug"
  local sections bad=0
  grep -qE '^CMAKE_BUILD_TYPE:STRING=(Release|RelWithDebInfo|MinSizeRel)$' \
    "$build_root/windows/CMakeCache.txt" || { echo "the windows build is not optimised"; bad=1; }
  sections=$(i686-w64-mingw32-objdump -h "$dll" | awk '$2 ~ /^\./ {print $2}')
  if printf '%s\n' "$sections" | grep -q '^\.debug'; then
    echo "quorvel.dll carries debug sections:" $(printf '%s\n' "$sections" | grep '^\.debug')
    bad=1
  fi
  printf '%s\n' "$sections" | grep -qx '\.gnu_debuglink' || { echo "quorvel.dll has no debug link"; bad=1; }
  if i686-w64-mingw32-objdump -t "$dll" 2>/dev/null | grep -q 'SYMBOL TABLE:' &&
    [ "$(i686-w64-mingw32-objdump -t "$dll" | grep -c '(sec ')" -gt 0 ]; then
    echo "quorvel.dll carries a symbol table"
    bad=1
  fi
  [ -f "$debug" ] || { echo "quorvel.dll.debug is missing"; return 1; }
  i686-w64-mingw32-objdump -h "$debug" | grep -q '\.debug_info' ||
    { echo "quorvel.dll.debug holds no debug information"; bad=1; }
  return $bad
}

windows_imports() {
  local dlls bad=0
  dlls=$(i686-w64-mingw32-objdump -p "$build_root/windows/bin/quorvel.dll" |
    awk '/DLL Name:/ {print tolower($3)}')
  [ -n "$dlls" ] || { echo "no import table found"; return 1; }
  for dll in $dlls; do
    case "$dll" in
      kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | comdlg32.dll | advapi32.dll | \
        msvcrt.dll | shell32.dll | ole32.dll | oleaut32.dll | imm32.dll | uxtheme.dll | \
        version.dll | winmm.dll) ;;
      *) echo "imports a non-system DLL: $dll"; bad=1 ;;
    esac
  done
  return $bad
}

# Native build and tests.
if configure_and_build native -DCMAKE_BUILD_TYPE=RelWithDebInfo; then
  run_suites native
  check native-exports native_exports
fi

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
if configure_and_build sanitize -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON -DQUORVEL_BENCH=OFF; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  run_suites sanitize
fi

# The 32-bit Windows product, its export and import tables, and the tests
# under Wine (inside Xvfb, for the tests that show windows).
if configure_and_build windows -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo; then
  check windows-exports windows_exports
  check windows-imports windows_imports
  check windows-shipping windows_shipping
  export WINEPREFIX="$build_root/windows/wineprefix"
  "$root/cmake/wine-run.sh" --prepare >/dev/null 2>&1
  run_suites windows xvfb-run -a
  wineserver -k >/dev/null 2>&1 || true
  # The interactive host driven with X input; its screenshots stay in
  # build/windows/gui-e2e for people to look at.
  check windows-gui xvfb-run -a -s "-screen 0 1280x960x24" python3 "$root/tests/gui/gui_e2e.py" \
    "$build_root/windows/bin" "$root/examples" "$root/cmake/wine-run.sh" "$build_root/windows/gui-e2e"
  wineserver -k >/dev/null 2>&1 || true
fi

if [ ${#problems[@]} -gt 0 ]; then
  echo "failed: ${problems[*]}"
fi
if [ "$skipped" -gt 0 ]; then
  echo "$passed passed, $failed failed, $skipped skipped"
else
  echo "$passed passed, $failed failed"
fi
[ "$failed" -eq 0 ]
