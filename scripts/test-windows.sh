#!/usr/bin/env bash
# The Windows deliverables: cross-builds Tarnwick.dll, Setup.exe and
# tarnwick.exe for x86_64 and i686 with mingw-w64, checks the DLL's exports and
# the three binaries' imports against the lists in windows/ (the i686 ones
# also against what Windows 2000 lacks), and runs the tests under Wine (x86_64
# only; see tests/wine/run.sh).
#
#   bash scripts/test-windows.sh                 build, check, test
#   bash scripts/test-windows.sh --update-lists  rewrite windows/*.txt from the built binaries
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

update_lists=false
[ "${1:-}" = "--update-lists" ] && update_lists=true

# Never wine32: this kernel cannot run 32-bit programs, and with wine32
# installed the wine loader picks the 32-bit side and fails.
# Setup.exe's window is tested on Xvfb with a CJK font and Wine's own fonts,
# and photographed with ImageMagick; a zh_CN locale gives Wine the ANSI code
# page 936 for tarnwick.exe's redirected text.
bash scripts/install-deps.sh cmake ninja-build nlohmann-json3-dev \
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-posix \
  mingw-w64-tools libwine-dev wine64 fonts-wine xvfb imagemagick fonts-wqy-microhei \
  locales xxd

build() {  # build <folder> <toolchain> <wine tests ON|OFF> <targets...>
  local dir=$1 toolchain=$2 tests=$3
  shift 3
  cmake -S windows -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" -DTARNWICK_WINE_TESTS="$tests" >/dev/null
  cmake --build "$dir" -j 2 --target "$@"
}

echo "== cross-build x86_64"
build build/win64 mingw-x86_64.cmake ON all
echo "== cross-build i686"
build build/win32 mingw-i686.cmake OFF tarnwick_com tarnwick_setup tarnwick_cli

# The DLL's exported names, one a line.
exports_of() {
  x86_64-w64-mingw32-objdump -p "$1" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^\t\[/ {print $NF; next} on {on=0}' | sort
}
# The DLL's imports as DLL!function, DLL names in lower case, one a line.
imports_of() {
  x86_64-w64-mingw32-objdump -p "$1" | awk '
    /^\tDLL Name: / {dll=tolower($3); next}
    /^\tvma:/ {next}
    dll != "" && /^\t[0-9a-f]+[ \t]+[0-9]+[ \t]+[^ \t]+$/ {print dll "!" $NF; next}
    /^$/ {dll=""}' | sort -u
}

check_list() {  # check_list <what> <committed list> <actual text>
  local what=$1 list=$2 actual=$3
  if $update_lists; then
    printf '%s\n' "$actual" > "$list"
    echo "wrote $list"
    return
  fi
  if ! diff -u "$list" <(printf '%s\n' "$actual"); then
    echo "FAIL: $what differs from $list (lines with + are new; if deliberate, run with --update-lists)" >&2
    exit 1
  fi
  echo "ok: $what match $list"
}

# Refuses imports that Windows 2000's msvcrt.dll lacks (see
# windows/win2000-refused-imports.txt), whether or not the lists are rewritten.
refused=$(sed -n 's/^refuse //p' windows/win2000-refused-imports.txt)
allowed=$(sed -n 's/^except //p' windows/win2000-refused-imports.txt)
check_windows_2000() {  # check_windows_2000 <what> <imports>
  local found
  found=$(printf '%s\n' "$2" | grep -E -f <(printf '%s\n' "$refused") | grep -vxF -f <(printf '%s\n' "$allowed") || true)
  if [ -n "$found" ]; then
    echo "FAIL: $1 has imports that Windows 2000 lacks (windows/win2000-refused-imports.txt):" >&2
    printf '  %s\n' $found >&2
    exit 1
  fi
  echo "ok: $1 has no import that Windows 2000 lacks"
}

echo "== exports and imports"
for arch in x86_64:build/win64 i686:build/win32; do
  name=${arch%%:*}
  dll=${arch#*:}/com/Tarnwick.dll
  dll_imports=$(imports_of "$dll")
  setup_imports=$(imports_of "${arch#*:}/installer-win32/Setup.exe")
  cli_imports=$(imports_of "${arch#*:}/cli-win32/tarnwick.exe")
  if [ "$name" = i686 ]; then
    check_windows_2000 "the $name DLL" "$dll_imports"
    check_windows_2000 "the $name Setup.exe" "$setup_imports"
    check_windows_2000 "the $name tarnwick.exe" "$cli_imports"
  fi
  check_list "exports of the $name DLL" windows/exports.txt "$(exports_of "$dll")"
  check_list "imports of the $name DLL" "windows/imports-$name.txt" "$dll_imports"
  check_list "imports of the $name Setup.exe" "windows/setup-imports-$name.txt" "$setup_imports"
  check_list "imports of the $name tarnwick.exe" "windows/cli-imports-$name.txt" "$cli_imports"
done
$update_lists && exit 0

echo "== tests under Wine"
bash tests/wine/run.sh build/win64
