#!/usr/bin/env bash
# The zip of scripts/package.sh, made from this (32-bit) build tree: eek.exe
# is a console program importing system DLLs only; unpacked into the Wine
# session's drive C:, it names its default stub (beside it) with the stub's
# SHA-256 and makes installers with the default and the win64 stub that pass
# its own --check.
#
# usage: zip_package_test.sh <win32 build dir> <source dir> <objdump>
set -uo pipefail
build=$(cd "$1" && pwd) source_dir=$2 objdump=$3
source "$(dirname "$0")/package_test_support.sh"
run_in_wine() { bash "$source_dir/tests/windows/wine/run_in_wine.sh" "$build" "$@" | tr -d '\r'; }
source "$source_dir/tests/windows/wine/wine_env.sh" "$build"
version=$(cat "$build/eek-version")
scratch=$build/tests/package/zip-test
rm -rf "$scratch" && mkdir -p "$scratch"

zip=$(bash "$source_dir/scripts/package.sh" --zip "$build" --out "$scratch") || {
  echo "FAIL: scripts/package.sh --zip $build"
  exit 1
}
name=eek-$version-windows
[ "$(basename "$zip")" = "$name.zip" ] || fail "package named $zip"
unzip -l "$zip"

# Unpacked where a publisher would, on drive C:.
drive=$WINEPREFIX/drive_c/eek-zip-package
rm -rf "$drive" && mkdir -p "$drive"
unzip -q "$zip" -d "$drive" || fail "unzip"
folder=$drive/$name windows_folder="C:\\eek-zip-package\\$name"
for file in eek.exe OstrelTarvine64SetupStub.exe win64/OstrelTarvine64SetupStub.exe README.txt; do
  [ -f "$folder/$file" ] || fail "the zip lacks $name/$file"
done
cmp -s "$folder/OstrelTarvine64SetupStub.exe" "$source_dir/stubs/win32/OstrelTarvine64SetupStub.exe" ||
  fail "the zip's default stub is not the shipped 32-bit one"
bash "$source_dir/tests/windows/pe/check_executable.sh" "$folder/eek.exe" "$objdump" i386 console ||
  fail "eek.exe's format or imports"

eek="$windows_folder\\eek.exe"
check_version "$(run_in_wine "$eek" --version)" "$version" "$folder/OstrelTarvine64SetupStub.exe" \
  "$windows_folder\\OstrelTarvine64SetupStub.exe"

make_product "$drive/product"
for stub in default win64; do
  out="C:\\eek-zip-package\\$stub.exe"
  arguments=()
  [ "$stub" = default ] || arguments=(--stub "$stub")
  run_in_wine "$eek" installer -q "${arguments[@]}" -o "$out" 'C:\eek-zip-package\product' ||
    fail "installer ($stub stub)"
  check=$(run_in_wine "$eek" installer --check "$out") || fail "--check of the $stub-stub installer: $check"
  want="PE32 i386" && [ "$stub" = win64 ] && want="PE32+ x86-64"
  grep -q "$want" <<<"$check" || fail "the $stub-stub installer is not $want: $check"
  echo "$stub stub: $(sed -n 1,2p <<<"$check" | tr '\n' ' ')"
done

[ $status -eq 0 ] && echo "PASS: $(basename "$zip")" && rm -rf "$scratch" "$drive"
exit $status
