#!/usr/bin/env bash
# The .deb of scripts/package.sh, made from this build tree: lintian finds no
# error in it; unpacked into a scratch root (dpkg-deb -x), its eek names its
# default stub with the stub's SHA-256 and makes installers with the default
# and the win64 stub that pass --check; the manual page has every command's
# help, and the bash completion knows every command and option that the help
# lists, and nothing else.
#
# usage: deb_package_test.sh <host build dir> <source dir>
set -uo pipefail
build=$(cd "$1" && pwd) source_dir=$2
source "$(dirname "$0")/package_test_support.sh"
scratch=$build/tests/package/deb-test
rm -rf "$scratch" && mkdir -p "$scratch"
version=$(cat "$build/eek-version")

deb=$(bash "$source_dir/scripts/package.sh" --deb "$build" --out "$scratch/out") || {
  echo "FAIL: scripts/package.sh --deb $build"
  exit 1
}
[ "$(basename "$deb")" = "eek_${version}_$(dpkg --print-architecture).deb" ] || fail "package named $deb"

echo "== lintian $(basename "$deb")"
lintian_output=$(lintian --info "$deb" 2>&1)
echo "$lintian_output"
grep -q '^E: ' <<<"$lintian_output" && fail "lintian reports errors"

root=$scratch/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x"
eek=$root/usr/bin/eek stubs=$root/usr/share/eek
for file in usr/bin/eek usr/share/eek/OstrelTarvine64SetupStub.exe \
  usr/share/eek/win64/OstrelTarvine64SetupStub.exe usr/share/man/man1/eek.1.gz \
  usr/share/bash-completion/completions/eek usr/share/doc/eek/copyright \
  usr/share/doc/eek/changelog.gz; do
  [ -f "$root/$file" ] || fail "the package lacks /$file"
done
cmp -s "$stubs/OstrelTarvine64SetupStub.exe" "$source_dir/stubs/win32/OstrelTarvine64SetupStub.exe" ||
  fail "the packaged default stub is not the shipped 32-bit one"

echo "== the unpacked eek"
check_version "$("$eek" --version)" "$version" "$stubs/OstrelTarvine64SetupStub.exe" \
  "$stubs/OstrelTarvine64SetupStub.exe"
# Alone, away from its stubs, eek says so rather than naming a file.
mkdir -p "$scratch/alone" && cp "$eek" "$scratch/alone/eek"
alone=$("$scratch/alone/eek" --version) || fail "--version without a stub ends with $?"
grep -q '^default stub: none found' <<<"$alone" || fail "--version without a stub: $alone"

make_product "$scratch/product"
for stub in default win64; do
  out=$scratch/$stub.exe
  arguments=()
  [ "$stub" = default ] || arguments=(--stub "$stub")
  "$eek" installer -q "${arguments[@]}" -o "$out" "$scratch/product" || fail "installer ($stub stub)"
  check=$("$eek" installer --check "$out") || fail "--check of the $stub-stub installer: $check"
  want="PE32 i386" && [ "$stub" = win64 ] && want="PE32+ x86-64"
  grep -q "$want" <<<"$check" || fail "the $stub-stub installer is not $want: $check"
  echo "$stub stub: $(sed -n 1,2p <<<"$check" | tr '\n' ' ')"
done

echo "== manual page and bash completion against eek --help"
commands=$("$eek" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z]\+\) .*/\1/p')
[ "$(wc -w <<<"$commands")" -ge 6 ] || fail "eek --help lists the commands: $commands"
# Every long and short option of a help text.
options_of() { grep -oE '(^|[ ,"(|])--?[a-zA-Z][-a-zA-Z]*' | sed 's/^[ ,"(|]//' | sort -u; }
man=$(zcat "$root/usr/share/man/man1/eek.1.gz")
completion=$root/usr/share/bash-completion/completions/eek
helped=$("$eek" --help | options_of)
global_words=$(grep -E '^ *(local global_options=|COMPREPLY=.*--code-page)' "$completion" | options_of)
for option in $helped; do
  grep -qxF -- "$option" <<<"$global_words" || fail "the completion lacks the option $option"
done
for command in $commands; do
  grep -qF ".SS \"eek $command\"" <<<"$man" || fail "the manual page lacks eek $command"
  grep -qE "commands=\"([a-z ]* )?$command( [a-z ]*)?\"" "$completion" ||
    fail "the completion lacks the command $command"
  command_options=$("$eek" "$command" --help | options_of)
  helped+=$'\n'$command_options
  block=$(awk -v c="$command" '$1 == c ")" { on = 1 } on { print } on && /;;/ { exit }' "$completion")
  for option in $command_options; do
    case $option in
      -h | --help | --code-page) words=$global_words ;;
      *) words=$(options_of <<<"$block") ;;
    esac
    grep -qxF -- "$option" <<<"$words" || fail "the completion of $command lacks its option $option"
    grep -qF -- "${option//-/\\-}" <<<"$man" || fail "the manual page lacks $command's option $option"
  done
done
completed=$(grep -vE '^ *#|compgen|^complete' "$completion" | options_of)
for option in $completed; do
  grep -qxF -- "$option" <<<"$helped" || fail "the completion offers $option, which no help lists"
done
# The completion itself, as bash runs it.
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _eek; echo "${COMPREPLY[*]}"' \
    _ "$completion" "$@"
}
[ "$(complete_words eek inst)" = installer ] || fail "completion of 'eek inst': $(complete_words eek inst)"
[ "$(complete_words eek installer --no-s)" = --no-setup ] ||
  fail "completion of 'eek installer --no-s': $(complete_words eek installer --no-s)"
[ "$(complete_words eek installer --stub win6)" = win64 ] ||
  fail "completion of 'eek installer --stub win6': $(complete_words eek installer --stub win6)"

[ $status -eq 0 ] && echo "PASS: $(basename "$deb")" && rm -rf "$scratch"
exit $status
