#!/usr/bin/env bash
# Installs on Debian 12 whatever the build and the tests need and is missing.
# Idempotent; silent when everything is already there.
#
# A package mirror is sometimes mid-sync, and a machine may carry sources of
# its own that are gone; neither stops the set-up:
# - the package lists are refreshed at most once (apt retries each fetch); an
#   index that still fails is named in one line and the set-up goes on with
#   the lists it has;
# - an install that fails for unmet dependencies (one architecture's index
#   lagging the other's) is tried once more with the release's own suite
#   preferred; only when that fails too does the set-up stop, with apt's own
#   words and what to try;
# - where 32-bit programs cannot be run, even by emulation, it warns and
#   installs everything else: the 64-bit build then runs the whole tier.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

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
  strace   # the order of the calls that make an output durable
)

if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
export DEBIAN_FRONTEND=noninteractive
# Each fetch is retried before apt gives an index up.
apt_options=(-o Acquire::Retries=3)
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# The package lists, refreshed once per set-up and only when something is to
# be installed. apt's own messages are shown; a failed index is then named in
# one line, and the lists that did come are used.
lists_refreshed=no
refresh_package_lists() {
  [ "$lists_refreshed" = yes ] && return 0
  lists_refreshed=yes
  # 32-bit Wine comes from Debian's i386 archive (multiarch).
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  local status=0
  $sudo apt-get "${apt_options[@]}" update -q 2>&1 >/dev/null | tee "$logs/update" >&2 || status=$?
  local failed
  failed=$(sed -nE "s/^[EW]: Failed to fetch ([^ ]+).*/\1/p; s/^[EW]: The repository '([^']+)'.*/\1/p" "$logs/update" |
    awk '!seen[$0]++' | paste -sd' ' -)
  if [ -n "$failed" ]; then
    echo "setup: apt-get update could not read: $failed; going on with the package lists it has" >&2
  elif [ "$status" -ne 0 ]; then
    echo "setup: apt-get update failed (status $status); going on with the package lists it has" >&2
  fi
  return 0
}

# apt_install LOG ARGS...: apt-get install, its output kept in LOG.
apt_install() {
  local log=$1
  shift
  $sudo apt-get "${apt_options[@]}" install -y -q "$@" >"$log" 2>&1
}

# The packages that an install into LOG set up at an older version than the
# lists offer: what the release-preferred install held back.
held_back() {
  local log=$1 name installed candidate
  sed -nE 's/^Setting up ([^ ]+) \(.*/\1/p' "$log" | sort -u | while read -r name; do
    installed=$(apt-cache policy "$name" 2>/dev/null | sed -n 's/^ *Installed: //p' | head -n1)
    candidate=$(apt-cache policy "$name" 2>/dev/null | sed -n 's/^ *Candidate: //p' | head -n1)
    if [ -n "$installed" ] && [ -n "$candidate" ] && [ "$installed" != "$candidate" ]; then
      echo "$name $installed (lists offer $candidate)"
    fi
  done
}

install_missing() {
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "setup: installing ${missing[*]}" >&2
  refresh_package_lists
  # A machine that cannot run i386 code still installs wine32; its package
  # scripts may then complain about 32-bit helpers they cannot start, and the
  # test tier reports the 32-bit runs as skipped.
  apt_install "$logs/install" "${missing[@]}" && return 0
  if ! grep -qE 'unmet dependencies|held broken packages|Unable to correct problems' "$logs/install"; then
    cat "$logs/install" >&2
    echo "setup: apt-get install failed (apt's words above). Try again later, or run" \
      "'apt-get update' and 'apt-get install ${missing[*]}' by hand to see why." >&2
    return 1
  fi
  # The lists of one architecture lag the other's (a suite's index failed
  # or the mirror is mid-sync): Multi-Arch: same libraries then have no
  # version that both agree on. The release's own suite has one.
  echo "setup: the install failed for unmet dependencies; trying again with the" \
    "$codename suite preferred (-t $codename)" >&2
  if ! apt_install "$logs/install-release" -t "$codename" "${missing[@]}"; then
    cat "$logs/install" >&2
    echo "setup: ... and again with -t $codename:" >&2
    cat "$logs/install-release" >&2
    echo "setup: apt-get install failed both ways (apt's words above). The mirror may be" \
      "mid-sync: try again later, or remove a source that fails 'apt-get update'." >&2
    return 1
  fi
  local held
  held=$(held_back "$logs/install-release")
  if [ -n "$held" ]; then
    echo "setup: installed from $codename; these are held back from a newer version" \
      "(a security update, say) until 'apt-get upgrade' can take it:" >&2
    printf '  %s\n' "$held" >&2
  fi
}

# The shipping installer is a 32-bit program. Where the kernel runs i386
# code, 32-bit Wine runs natively and nothing is changed here; where it runs
# 64-bit user code only, i386 programs run by emulation (qemu-i386 from the
# backports suite, registered with binfmt_misc; see
# scripts/i386-emulation.sh). The emulator is installed first, since wine32's
# own package scripts start 32-bit programs.
emulation_packages=()
if "$here/i386-emulation.sh" needs-emulator; then
  if "$here/i386-emulation.sh" add-source; then
    emulation_packages=(qemu-user)
  fi
fi
if [ ${#emulation_packages[@]} -gt 0 ]; then
  refresh_package_lists
  apt_install "$logs/emulator" -t "$codename-backports" --no-install-recommends "${emulation_packages[@]}" ||
    { cat "$logs/emulator" >&2; echo "setup: qemu-user could not be installed from $codename-backports" >&2; }
fi
# The emulator is installed above or not at all: enabling only registers it.
if ! I386_EMULATION_NO_INSTALL=1 "$here/i386-emulation.sh" enable; then
  echo "setup: warning: 32-bit programs cannot run here, not even by emulation; the" \
    "rest is installed, and the 64-bit build runs the whole Windows tier" >&2
fi

install_missing

# Wine takes a program's ANSI code page from the locale: the Japanese one
# gives code page 932, on which the double-byte name tests run.
if ! locale -a | grep -qix 'ja_JP.utf8'; then
  echo "setup: generating the locale ja_JP.UTF-8" >&2
  $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
