#!/usr/bin/env bash
# Makes the packages a publisher installs eek from:
#   build/package/eek_VERSION_amd64.deb      from the host build (cmake --install)
#   build/package/eek-VERSION-windows.zip    from the win32 build
# The version is the project's (CMakeLists.txt), as the build trees recorded it.
#
# usage: scripts/package.sh                 build the host and win32 presets, make both
#        scripts/package.sh [--deb HOST_BUILD] [--zip WIN32_BUILD] [--out DIR]
#                                           make one or both from build trees as they are
#                                           (the package tests use this)
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
package_files=$source_dir/tools/eek/package

deb_build="" zip_build="" out=$source_dir/build/package
while [ $# -gt 0 ]; do
  case $1 in
    --deb) deb_build=$(cd "$2" && pwd) && shift 2 ;;
    --zip) zip_build=$(cd "$2" && pwd) && shift 2 ;;
    --out) mkdir -p "$2" && out=$(cd "$2" && pwd) && shift 2 ;;
    *)
      echo "usage: $0 [--deb HOST_BUILD] [--zip WIN32_BUILD] [--out DIR]" >&2
      exit 2
      ;;
  esac
done
if [ -z "$deb_build" ] && [ -z "$zip_build" ]; then
  cd "$source_dir"
  for preset in host win32; do
    echo "== $preset: configure and build eek"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target eek -j "$(nproc)"
  done
  deb_build=$source_dir/build/host zip_build=$source_dir/build/win32
fi
mkdir -p "$out"

# The packages' file times: the last commit's, so that the same sources give
# the same packages (dpkg-deb, gzip -n and zip -X follow them).
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null || date +%s)}
export LC_ALL=C.UTF-8 TZ=UTC

# fix_tree <folder>: modes and times as a package wants them.
fix_tree() {
  find "$1" -type d -exec chmod 0755 {} +
  find "$1" -type f -exec chmod 0644 {} +
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

version_of() {
  [ -f "$1/eek-version" ] || {
    echo "package: $1 is not a configured build tree (no eek-version)" >&2
    exit 1
  }
  cat "$1/eek-version"
}

make_deb() {
  local build=$1 version stage scratch deb
  version=$(version_of "$build")
  scratch=$(mktemp -d "$out/deb.XXXXXX")
  stage=$scratch/eek
  DESTDIR=$stage cmake --install "$build" --prefix /usr --component Unspecified >/dev/null
  local eek=$stage/usr/bin/eek doc=$stage/usr/share/doc/eek
  [ -x "$eek" ] && [ -f "$stage/usr/share/eek/OstrelTarvine64SetupStub.exe" ] || {
    echo "package: cmake --install $build gave no usr/bin/eek or stub" >&2
    exit 1
  }

  # The manual page: help2man from eek --help, with each command's own help
  # (the commands as eek --help lists them) as the COMMANDS section.
  local include=$scratch/commands.h2m
  {
    echo "[COMMANDS]"
    "$eek" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z]\+\) .*/\1/p' | while read -r command; do
      echo ".SS \"eek $command\""
      "$eek" "$command" --help | help_to_roff
    done
  } >"$include"
  mkdir -p "$stage/usr/share/man/man1"
  help2man --no-info --section 1 --version-string "$version" \
    --name "makes self-extracting installers; packs, lists, tests and extracts their archives" \
    --include "$include" "$eek" >"$scratch/eek.1"
  gzip -9n <"$scratch/eek.1" >"$stage/usr/share/man/man1/eek.1.gz"

  install -D -m 0644 "$package_files/eek.bash-completion" \
    "$stage/usr/share/bash-completion/completions/eek"
  install -D -m 0644 "$package_files/copyright" "$doc/copyright"
  sed -e "s/@VERSION@/$version/g" -e "s/@DATE@/$(date -R -d "@$SOURCE_DATE_EPOCH")/" \
    "$package_files/changelog.in" | gzip -9n >"$doc/changelog.gz"

  # The control file: dependencies as dpkg-shlibdeps finds them for eek.
  mkdir -p "$scratch/debian"
  printf 'Source: eek\n\nPackage: eek\nArchitecture: any\n' >"$scratch/debian/control"
  local depends
  depends=$(cd "$scratch" && dpkg-shlibdeps -O "$eek" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
  fix_tree "$stage"
  chmod 0755 "$eek"
  mkdir -m 0755 "$stage/DEBIAN"
  cat >"$stage/DEBIAN/control" <<EOF
Package: eek
Version: $version
Architecture: $(dpkg --print-architecture)
Maintainer: Ostrel Tarvine64 installer developers <maintainers@users.noreply.c-seed-2ce3da06.example>
Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)
Depends: $depends
Section: devel
Priority: optional
Description: publisher's tool that makes self-extracting Windows installers
 eek packs a folder of files into a copy of a prebuilt installer stub, so that
 a publisher makes a Windows installer without a compiler, and packs, lists,
 tests and extracts the installers' payload archives. The shipped 32-bit and
 64-bit installer stubs come with it.
EOF
  (cd "$stage" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$stage/DEBIAN/md5sums"
  chmod 0644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
  touch -d "@$SOURCE_DATE_EPOCH" "$stage/DEBIAN" "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
  deb=$out/eek_${version}_$(dpkg --print-architecture).deb
  dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
  rm -rf "$scratch"
  echo "$deb"
}

# help_to_roff: a command's help (CLI11's layout) as man page text: the usage
# and option lines kept as they are, other lines as filled paragraphs.
help_to_roff() {
  sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/" -e 's/-/\\-/g' | awk '
    /^$/ { if (nofill) { print ".fi"; nofill = 0 } print ".PP"; next }
    /^ / || /^Usage:/ || /:$/ { if (!nofill) { print ".nf"; nofill = 1 } print; next }
    { if (nofill) { print ".fi"; nofill = 0 } print }
    END { if (nofill) print ".fi" }'
}

make_zip() {
  local build=$1 version stage scratch zip name
  version=$(version_of "$build")
  name=eek-$version-windows
  scratch=$(mktemp -d "$out/zip.XXXXXX")
  stage=$scratch/$name
  cmake --install "$build" --prefix "$stage" --component Unspecified >/dev/null
  [ -f "$stage/eek.exe" ] && [ -f "$stage/OstrelTarvine64SetupStub.exe" ] || {
    echo "package: cmake --install $build gave no eek.exe or stub in one folder" >&2
    exit 1
  }
  sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$package_files/README-windows.txt" >"$stage/README.txt"
  fix_tree "$stage"
  zip=$out/$name.zip
  rm -f "$zip"
  (cd "$scratch" && find "$name" | sort | zip -X -q -9 "$zip" -@)
  rm -rf "$scratch"
  echo "$zip"
}

[ -z "$deb_build" ] || make_deb "$deb_build"
[ -z "$zip_build" ] || make_zip "$zip_build"
