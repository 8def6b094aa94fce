#!/usr/bin/env bash
# Installs on Debian 12 whatever the build and the tests need and is missing.
# Idempotent; silent when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev   # host build, sanitizers, libFuzzer
  googletest libgtest-dev libbenchmark-dev libcli11-dev zlib1g-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 mingw-w64-tools
  wine64 wine32:i386   # 64-bit Wine with its 32-bit side: the shipping build is PE32
  xvfb x11-utils xdotool imagemagick liblnk-utils
  python3 file locales osslsigncode openssl
  python3-pefile p7zip-full icoutils   # independent readers of the installers eek writes
  help2man lintian dpkg-dev zip unzip   # scripts/package.sh and its tests
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi

# The shipping installer is a 32-bit program. Where the kernel runs i386
# code, 32-bit Wine runs natively and nothing is changed here; where it
# runs 64-bit user code only, i386 programs run by emulation (qemu-i386
# registered with binfmt_misc). See scripts/i386-emulation.sh.
"$(dirname "$0")/i386-emulation.sh" enable
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  # 32-bit Wine comes from Debian's i386 archive (multiarch).
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  # A machine that cannot run i386 code still installs wine32; its package
  # scripts may then complain about 32-bit helpers they cannot start, and the
  # test tier reports the 32-bit runs as skipped.
  $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine takes a program's ANSI code page from the locale: the Japanese one
# gives code page 932, on which the double-byte name tests run.
if ! locale -a | grep -qix 'ja_JP.utf8'; then
  echo "setup: generating the locale ja_JP.UTF-8" >&2
  $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
