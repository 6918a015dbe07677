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
# GoogleTest cases from the output. A suite without a GoogleTest summary (one
# that could not start, died or ran nothing) counts as one failure, whatever
# its exit status.
run_suites() {
  local name=$1
  shift
  local dir="$build_root/$name"
  local log="$build_root/$name-tests.log"
  (cd "$dir" && "$@" ctest -V --timeout 600) >"$log" 2>&1
  local status=$?
  local p f s dead=()
  p=$(grep -E '^([0-9]+: )?\[  PASSED  \] [0-9]+ tests?\.' "$log" |
    sed -E 's/.*\] ([0-9]+) tests?.*/\1/' | awk '{n += $1} END {print n + 0}')
  f=$(grep -E '^([0-9]+: )?\[  FAILED  \] [0-9]+ tests?, listed below' "$log" |
    sed -E 's/.*\] ([0-9]+) tests?.*/\1/' | awk '{n += $1} END {print n + 0}')
  s=$(grep -E '^([0-9]+: )?\[  SKIPPED \] [0-9]+ tests?, listed below' "$log" |
    sed -E 's/.*\] ([0-9]+) tests?.*/\1/' | awk '{n += $1} END {print n + 0}')
  # Every suite CTest started, by number and name, must have printed the
  # summary line of a GoogleTest run. Programs labelled "check" are no
  # GoogleTest suites: each is one case, passed when CTest says so.
  local number suite checks
  checks=" $( (cd "$dir" && ctest -N -L '^check$') | sed -nE 's/^ *Test +#[0-9]+: (.*)$/\1/p' | tr '\n' ' ')"
  while read -r number suite; do
    if [[ $checks == *" $suite "* ]]; then
      if grep -qE "Test +#$number: $suite \.+ +Passed" "$log"; then
        p=$((p + 1))
      else
        dead+=("$suite")
      fi
    elif ! grep -qE "^$number: \[==========\] [0-9]+ tests? from [0-9]+ test suites? ran\." "$log"; then
      dead+=("$suite")
    fi
  done < <(sed -nE 's/^ *Start +([0-9]+): ([^ ]+)$/\1 \2/p' "$log")
  if [ ${#dead[@]} -eq 0 ] && [ $status -ne 0 ] && [ "$f" -eq 0 ]; then
    dead+=("ctest")
  fi
  failed=$((failed + f + ${#dead[@]}))
  passed=$((passed + p))
  skipped=$((skipped + s))
  if [ $status -ne 0 ] || [ ${#dead[@]} -gt 0 ]; then
    echo "$name: $p passed, $f failed (log: $log)"
    [ ${#dead[@]} -gt 0 ] && echo "  suites that did not run to a summary: ${dead[*]}"
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
    printf '%s\n' "$output" | tail -n 20
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

# The Windows builds: the build tree's name, its binutils prefix, the PE
# format and processor objdump names, the optional header's magic and Wine's
# side.
declare -A mingw=([windows]=i686-w64-mingw32 [windows64]=x86_64-w64-mingw32)
declare -A pe_format=([windows]="pei-i386 i386 010b" [windows64]="pei-x86-64 i386:x86-64 020b")
declare -A wine_arch=([windows]=win32 [windows64]=win64)

objdump_of() { "${mingw[$1]}-objdump" "${@:2}"; }

# The DLL is a module for the edition's processor: PE32 for i386, PE32+ for
# x86-64.
windows_format() {
  local build=$1 dll="$build_root/$1/bin/quorvel.dll" actual
  actual="$(objdump_of "$build" -f "$dll" | sed -n 's/.*file format //p')"
  actual+=" $(objdump_of "$build" -f "$dll" | sed -n 's/^architecture: \([^,]*\),.*/\1/p')"
  actual+=" $(objdump_of "$build" -p "$dll" | awk '/^Magic/ {print $2}')"
  if [ "$actual" != "${pe_format[$build]}" ]; then
    echo "quorvel.dll: format, processor and magic '$actual'; expected '${pe_format[$build]}'"
    return 1
  fi
}

windows_exports() {
  objdump_of "$1" -p "$build_root/$1/bin/quorvel.dll" |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s*\[ *[0-9]+\]' |
    awk '{print $NF}' | compare_exports
}

# The product as shipped: optimised, no debug sections or symbol table inside
# the DLL, the debug information in quorvel.dll.debug beside it.
windows_shipping() {
  local build=$1
  local dll="$build_root/$build/bin/quorvel.dll" debug="$build_root/$build/bin/quorvel.dll.debug"
  local sections bad=0
  grep -qE '^CMAKE_BUILD_TYPE:STRING=(Release|RelWithDebInfo|MinSizeRel)$' \
    "$build_root/$build/CMakeCache.txt" || { echo "the $build build is not optimised"; bad=1; }
  sections=$(objdump_of "$build" -h "$dll" | awk '$2 ~ /^\./ {print $2}')
  if printf '%s\n' "$sections" | grep -q '^\.debug'; then
    echo "quorvel.dll carries debug sections:" $(printf '%s\n' "$sections" | grep '^\.debug')
    bad=1
  fi
  printf '%s\n' "$sections" | grep -qx '\.gnu_debuglink' || { echo "quorvel.dll has no debug link"; bad=1; }
  if objdump_of "$build" -t "$dll" 2>/dev/null | grep -q 'SYMBOL TABLE:' &&
    [ "$(objdump_of "$build" -t "$dll" | grep -c '(sec ')" -gt 0 ]; then
    echo "quorvel.dll carries a symbol table"
    bad=1
  fi
  [ -f "$debug" ] || { echo "quorvel.dll.debug is missing"; return 1; }
  objdump_of "$build" -h "$debug" | grep -q '\.debug_info' ||
    { echo "quorvel.dll.debug holds no debug information"; bad=1; }
  return $bad
}

windows_imports() {
  local dlls bad=0
  dlls=$(objdump_of "$1" -p "$build_root/$1/bin/quorvel.dll" | awk '/DLL Name:/ {print tolower($3)}')
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

# The DLL's resource directory, one line per resource: type, name, language
# and size, as objdump reads it from the .rsrc section.
resource_list() {
  objdump_of "$1" -p "$build_root/$1/bin/quorvel.dll" |
    sed -n '/The .rsrc Resource Directory section/,/Resources start at/p' |
    awk 'match($0, /^ *[0-9a-f]+ +Entry: /) {
           # The indent after the offset tells the level: type, name, language.
           sub(/^ *[0-9a-f]+/, "")
           indent = index($0, "Entry:") - 1
           id = $3; sub(/,$/, "", id)
           if (indent <= 3) type = id; else if (indent <= 5) name = id; else lang = id
           next
         }
         / Leaf: / { size = $6; sub(/,$/, "", size); print type, name, lang, size }'
}

# Both DLLs carry the same resources, byte counts included: the panels'
# dialogs, menus, icons and strings are one resource script. (The Wine
# suites read them back from the DLL of each edition that can run.)
windows_resources() {
  local list32 list64
  list32=$(resource_list windows)
  list64=$(resource_list windows64)
  [ "$(printf '%s\n' "$list32" | grep -c .)" -ge 20 ] || {
    echo "the 32-bit DLL lists few resources:"
    printf '%s\n' "$list32"
    return 1
  }
  if [ "$list32" != "$list64" ]; then
    echo "the two DLLs' resources differ:"
    diff <(printf '%s\n' "$list32") <(printf '%s\n' "$list64") | head -n 20
    return 1
  fi
}

# One Windows build and the checks that need no running: the DLL's format,
# exports, imports and shipping state. Answers whether it built.
windows_build() {
  local build=$1 toolchain=$2
  configure_and_build "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo || return 1
  check "$build-format" windows_format "$build"
  check "$build-exports" windows_exports "$build"
  check "$build-imports" windows_imports "$build"
  check "$build-shipping" windows_shipping "$build"
}

# A Windows build's suites under Wine (inside Xvfb, for the tests that show
# windows), then the interactive host driven with X input; its screenshots
# stay in build/BUILD/gui-e2e for people to look at.
windows_run() {
  local build=$1
  export WINEPREFIX="$build_root/$build/wineprefix" QUORVEL_WINE_ARCH=${wine_arch[$build]}
  "$root/cmake/wine-run.sh" --prepare >/dev/null 2>&1
  run_suites "$build" xvfb-run -a
  wineserver -k >/dev/null 2>&1 || true
  check "$build-gui" xvfb-run -a -s "-screen 0 1280x960x24" python3 "$root/tests/gui/gui_e2e.py" \
    "$build_root/$build/bin" "$root/examples" "$root/cmake/wine-run.sh" "$build_root/$build/gui-e2e"
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$node_dir" ]; then
    check "$build-gltf-documents" env LANG=ja_JP.UTF-8 python3 "$root/tests/gltf/check_documents.py" \
      --mqhost "sh $root/cmake/wine-run.sh $build_root/$build/bin/mqhost.exe" \
      --plugin "$build_root/$build/bin/quorvel.dll" --node-deps "$node_dir"
    wineserver -k >/dev/null 2>&1 || true
  fi
  unset WINEPREFIX QUORVEL_WINE_ARCH
}

# Native build and tests.
node_dir=""
if configure_and_build native -DCMAKE_BUILD_TYPE=RelWithDebInfo; then
  run_suites native
  check native-exports native_exports
  # glTF files as other programs read them: Khronos' validator and three.js
  # under Node, posing each exported file as the plug-in does.
  if node_dir=$(bash "$root/tests/gltf/node_deps.sh" "$build_root/native"); then
    check gltf-fixtures python3 "$root/tests/gltf/check_fixtures.py" "$build_root/native"
    check gltf-documents python3 "$root/tests/gltf/check_documents.py" \
      --mqhost "$build_root/native/bin/mqhost" --plugin "$build_root/native/bin/libquorvel.so" \
      --node-deps "$node_dir"
  else
    node_dir=""
    echo "gltf: the Node packages did not install (npm ci in $build_root/native/gltf-node)"
    failed=$((failed + 1))
    note_failure "gltf node packages"
  fi
fi

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
if configure_and_build sanitize -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON -DQUORVEL_BENCH=OFF; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  run_suites sanitize
  unset ASAN_OPTIONS UBSAN_OPTIONS
fi

# Which Windows programs this machine can run: some kernels refuse 32-bit
# programs, and Wine's 32-bit side with them. Found out by trying one.
if why_not=$(bash "$root/scripts/runs-32bit.sh"); then
  runs32=1
  echo "machine: runs 32-bit programs; both Windows builds' suites run"
else
  runs32=0
  echo "machine: does not run 32-bit programs ($why_not); the 32-bit Windows suites are not run:" \
    "its DLL is built and checked without running it, the 64-bit build's suites run"
fi

# The 32-bit product (quorvel.dll for the modeller's 32-bit edition) and the
# 64-bit one, each checked as shipped; the suites run where they can.
built32=0 built64=0
windows_build windows toolchain-mingw-i686.cmake && built32=1
windows_build windows64 toolchain-mingw-x86_64.cmake && built64=1
[ $built32 -eq 1 ] && [ $built64 -eq 1 ] && check windows-resources windows_resources
[ $built32 -eq 1 ] && [ $runs32 -eq 1 ] && windows_run windows
[ $built64 -eq 1 ] && windows_run windows64

# The editions side by side: each host refuses the other edition's DLL, and
# a document saved by one opens with the same rig in the others.
editions=()
[ -f "$build_root/native/bin/mqhost" ] && editions+=(native)
[ $built64 -eq 1 ] && editions+=(windows64)
[ $built32 -eq 1 ] && [ $runs32 -eq 1 ] && editions+=(windows)
if [ $built32 -eq 1 ] && [ $built64 -eq 1 ]; then
  check editions python3 "$root/tests/editions/editions.py" "$build_root" "${editions[@]}"
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
