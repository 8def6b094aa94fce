#!/usr/bin/env bash
# scripts/setup.sh's decisions, without the network: each row of the table
# runs a copy of the set-up beside a stand-in emulation script, with stand-in
# apt-get, apt-cache, dpkg, dpkg-query, locale and localedef first on PATH.
# They record every call and answer as the row says; the row then checks the
# calls, what the set-up printed and its exit status.
#
#   setup_script_test.sh SOURCE_DIR
set -uo pipefail
source_dir=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
failures=0
fail() {
  echo "FAIL: $case_name: $*" >&2
  failures=$((failures + 1))
}

# The stand-ins read the row from the environment:
#   STAND_IN_MISSING   packages dpkg-query reports as not installed
#   STAND_IN_UPDATE    ok | one-index | whole | dead-source
#   STAND_IN_INSTALL   ok | unmet-once | unmet-always | network
#   STAND_IN_I386      native | unavailable (the emulation script)
mkdir -p "$work/bin" "$work/scripts"
cp "$source_dir/scripts/setup.sh" "$work/scripts/setup.sh"
cat >"$work/scripts/i386-emulation.sh" <<'EOF'
#!/usr/bin/env bash
echo "i386-emulation.sh $*" >>"$STAND_IN_CALLS"
case "$1:$STAND_IN_I386" in
  enable:native) echo "i386: runs natively; no emulation needed" ;;
  needs-emulator:native) exit 1 ;;
  enable:unavailable) echo "i386-emulation: no qemu-i386 of version 10 or later could be installed" >&2; exit 1 ;;
  *) exit 0 ;;
esac
EOF
cat >"$work/bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
for p in $STAND_IN_MISSING; do [ "$p" = "${@: -1}" ] && exit 1; done
printf 'install ok installed'
EOF
cat >"$work/bin/dpkg" <<'EOF'
#!/usr/bin/env bash
echo "dpkg $*" >>"$STAND_IN_CALLS"
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
EOF
cat >"$work/bin/apt-cache" <<'EOF'
#!/usr/bin/env bash
# libssl3:i386 was set up at the release's version; the lists offer newer.
if [ "$1 $2" = "policy libssl3:i386" ]; then
  printf 'libssl3:i386:\n  Installed: 3.0.20\n  Candidate: 3.0.22\n'
else
  printf '%s:\n  Installed: 1.0\n  Candidate: 1.0\n' "$2"
fi
EOF
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STAND_IN_CALLS"
unmet() {
  echo "The following packages have unmet dependencies:"
  echo " libssl3:i386 : Depends: libssl3 (= 3.0.20) but 3.0.22 is to be installed"
  echo "E: Unable to correct problems, you have held broken packages."
  exit 100
}
case " $* " in
  *" update "*)
    echo "Hit:1 http://mirror.invalid/debian $STAND_IN_CODENAME InRelease"
    case $STAND_IN_UPDATE in
      one-index)
        echo "E: Failed to fetch http://mirror.invalid/debian-security/dists/$STAND_IN_CODENAME-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
        echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
        exit 100 ;;
      whole)
        echo "W: Failed to fetch http://mirror.invalid/debian/dists/$STAND_IN_CODENAME/InRelease  Temporary failure resolving 'mirror.invalid'" >&2
        echo "W: Failed to fetch http://mirror.invalid/debian-security/dists/$STAND_IN_CODENAME-security/InRelease  Temporary failure resolving 'mirror.invalid'" >&2
        echo "W: Some index files failed to download. They have been ignored, or old ones used instead." >&2
        exit 0 ;;
      dead-source)
        echo "E: The repository 'http://mirror.invalid/debian no-such-suite Release' does not have a Release file." >&2
        exit 100 ;;
    esac ;;
  *" install "*)
    case "$STAND_IN_INSTALL: $* " in
      unmet-always:*|unmet-once:*)
        case " $* " in *" -t $STAND_IN_CODENAME "*) [ "$STAND_IN_INSTALL" = unmet-once ] || unmet ;; *) unmet ;; esac ;;
      network:*)
        echo "E: Failed to fetch http://mirror.invalid/debian/pool/main/w/wine/wine64.deb  Connection refused" >&2
        echo "E: Unable to fetch some archives, maybe run apt-get update or try with --fix-missing?"
        exit 100 ;;
    esac
    case " $* " in *" qemu-user "*) [ "$STAND_IN_I386" = unavailable ] && { echo "E: Unable to locate package qemu-user"; exit 100; } ;; esac
    echo "Setting up libssl3:i386 (3.0.20) ..."
    echo "Setting up xvfb (2:21.1.7-3) ..." ;;
esac
exit 0
EOF
printf '#!/bin/sh\necho ja_JP.utf8\n' >"$work/bin/locale"
printf '#!/bin/sh\necho "localedef $*" >>"$STAND_IN_CALLS"\n' >"$work/bin/localedef"
chmod +x "$work"/bin/* "$work/scripts/i386-emulation.sh"

# case NAME MISSING UPDATE INSTALL I386 STATUS: runs the set-up for one row;
# its calls are in $calls, what it printed in $printed, one line each.
run_case() {
  case_name=$1
  export STAND_IN_MISSING=$2 STAND_IN_UPDATE=$3 STAND_IN_INSTALL=$4 STAND_IN_I386=$5
  export STAND_IN_CALLS=$work/calls STAND_IN_CODENAME=$codename
  local expected_status=$6 status=0
  : >"$STAND_IN_CALLS"
  PATH="$work/bin:$PATH" bash "$work/scripts/setup.sh" >"$work/printed" 2>&1 </dev/null || status=$?
  calls=$(cat "$STAND_IN_CALLS")
  printed=$(cat "$work/printed")
  if { [ "$expected_status" = 0 ] && [ "$status" -ne 0 ]; } ||
    { [ "$expected_status" = fail ] && [ "$status" -eq 0 ]; }; then
    fail "exit status $status; printed:"$'\n'"$printed"
  fi
  local updates
  updates=$(grep -c '^apt-get .*update' <<<"$calls")
  [ "$updates" -le 1 ] || fail "apt-get update ran $updates times"
  if [ "$updates" -eq 1 ] && ! grep -q '^apt-get -o Acquire::Retries=[1-9].* update' <<<"$calls"; then
    fail "apt-get update without retries: $calls"
  fi
}
printed_has() { grep -qF -- "$1" <<<"$printed" || fail "printed no '$1'; printed:"$'\n'"$printed"; }
printed_lacks() { ! grep -qF -- "$1" <<<"$printed" || fail "printed '$1'"; }
installs() { grep -c '^apt-get .*install' <<<"$calls"; }

# Everything there: no package list is read, nothing is installed.
run_case "nothing missing" "" ok ok native 0
[ -z "$(grep '^apt-get' <<<"$calls")" ] || fail "apt-get ran: $calls"
printed_has "i386: runs natively"

# One index fails: apt's words are shown, the index is named in one line and
# the install goes on with the lists there are.
run_case "update fails for one index" "wine32:i386 xvfb" one-index ok native 0
printed_has "File has unexpected size"
printed_has "setup: apt-get update could not read: http://mirror.invalid/debian-security/dists/$codename-security/main/binary-i386/Packages.xz;"
grep -q '^apt-get .* install -y -q wine32:i386 xvfb$' <<<"$calls" || fail "no install of the missing packages: $calls"
[ "$(installs)" -eq 1 ] || fail "installed $(installs) times"

# The whole update fails (apt says so with warnings and status 0): both
# sources named, the install still tried.
run_case "update fails whole" "xvfb" whole ok native 0
printed_has "could not read: http://mirror.invalid/debian/dists/$codename/InRelease http://mirror.invalid/debian-security/dists/$codename-security/InRelease;"
[ "$(installs)" -eq 1 ] || fail "installed $(installs) times"

# An extra source of the machine's that is gone.
run_case "a dead extra source" "xvfb" dead-source ok native 0
printed_has "could not read: http://mirror.invalid/debian no-such-suite Release;"

# Unmet dependencies once: tried again with the release preferred; the
# libraries that held back from newer versions are named.
run_case "install passes with the release preferred" "wine32:i386" one-index unmet-once native 0
grep -q "^apt-get .* install -y -q -t $codename wine32:i386$" <<<"$calls" || fail "no retry with -t $codename: $calls"
printed_has "libssl3:i386 3.0.20 (lists offer 3.0.22)"
printed_lacks "xvfb 2:21"

# Unmet dependencies both ways: the set-up stops with apt's explanation of
# both tries and what to try.
run_case "install fails both ways" "wine32:i386" ok unmet-always native fail
printed_has "libssl3:i386 : Depends: libssl3 (= 3.0.20)"
[ "$(grep -c 'unmet dependencies' <<<"$printed")" -ge 2 ] || fail "apt's explanation not shown for both tries"
printed_has "failed both ways"

# A failure that is not about dependencies is not retried.
run_case "install fails to fetch" "wine32:i386" ok network native fail
printed_has "Unable to fetch some archives"
[ "$(installs)" -eq 1 ] || fail "retried a failed fetch: $calls"

# Emulation cannot be set up: a warning, everything else installed, one
# update serving the emulator and the rest.
run_case "emulation unavailable" "xvfb" ok ok unavailable 0
grep -q "^apt-get .* install -y -q -t $codename-backports --no-install-recommends qemu-user$" <<<"$calls" ||
  fail "no try of qemu-user from backports: $calls"
printed_has "setup: warning: 32-bit programs cannot run here"
grep -q '^apt-get .* install -y -q xvfb$' <<<"$calls" || fail "the rest not installed: $calls"
grep -n 'i386-emulation.sh enable' <<<"$calls" >/dev/null || fail "emulation never enabled: $calls"

if [ "$failures" -ne 0 ]; then
  echo "setup_script_test: $failures failures" >&2
  exit 1
fi
echo "setup_script_test: every row passed"
