#!/usr/bin/env bash
# Builds an installer from any folder of files: packs the folder with the host
# eek and links the archive into the installer as its payload (RCDATA 10).
#
# usage: scripts/build-installer.sh [--win64] FOLDER OUT.exe
#
# FOLDER holds plain files only (no subfolders); the installer unpacks them
# into \Ostrel Setup\Tarvine64 and starts the setup.exe among them. The
# installer is the shipping 32-bit build unless --win64 is given. Its build
# tree, build/installer-kit-<preset>, is kept: after the first run only the
# payload is packed, compiled and linked again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=win32
if [ "${1:-}" = --win64 ]; then
  preset=win64
  shift
fi
if [ $# -ne 2 ] || [ ! -d "$1" ]; then
  echo "usage: $0 [--win64] FOLDER OUT.exe" >&2
  exit 2
fi
folder=$(realpath "$1")
out=$(realpath -m "$2")
ls "$folder" | grep -qix setup.exe ||
  echo "build-installer: warning: $folder has no setup.exe; the installer will start none" >&2

cd "$root"
./scripts/setup.sh
cmake --preset host >/dev/null
cmake --build --preset host --target eek >/dev/null
kit="$root/build/installer-kit-$preset"
mkdir -p "$kit"
build/host/eek pack "$kit/payload.eek" "$folder"
cmake --preset "$preset" -B "$kit" -DINSTALLER_PAYLOAD_ARCHIVE="$kit/payload.eek" \
  -DHOST_EEK="$root/build/host/eek" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$kit" --target OstrelTarvine64Setup
cp "$kit/OstrelTarvine64Setup.exe" "$out"
echo "build-installer: $out ($(stat -c %s "$out") bytes)"
