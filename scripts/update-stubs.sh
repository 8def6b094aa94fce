#!/usr/bin/env bash
# Rebuilds the installer stubs the project ships from the current sources:
# OstrelTarvine64SetupStub.exe (no payload) of the win32 preset, the shipping
# build, and of the win64 preset, the 64-bit build of the same sources, copied to
# stubs/win32 and stubs/win64, with the toolchain that built them in
# stubs/toolchain.txt. The stub is linked reproducibly, and each preset's
# test shipped_stub_current compares the copy with its own build: commit
# stubs/ together with every change to the installer's sources.
#
# usage: scripts/update-stubs.sh
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

changed=$(git status --porcelain -- . ':(exclude)stubs' 2>/dev/null || true)
[ -z "$changed" ] ||
  echo "update-stubs: note: the working tree has changes that are not committed;" \
    "the stubs are built from them:"$'\n'"$changed" >&2

toolchain=stubs/toolchain.txt.new
: >"$toolchain"
for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target OstrelTarvine64SetupStub -j "$(nproc)" >/dev/null
  install -D -m 644 "build/$preset/installer/OstrelTarvine64SetupStub.exe" \
    "stubs/$preset/OstrelTarvine64SetupStub.exe"
  cxx=$(sed -n 's/^set(CMAKE_CXX_COMPILER "\(.*\)")$/\1/p' "build/$preset"/CMakeFiles/*/CMakeCXXCompiler.cmake |
    head -n1)
  echo "$preset: $(bash tests/windows/pe/compare_shipped_stub.sh --toolchain "$cxx")" >>"$toolchain"
done
mv "$toolchain" stubs/toolchain.txt
ls -l stubs/*/OstrelTarvine64SetupStub.exe | awk '{ print $5, $NF }'
git status --short -- stubs
