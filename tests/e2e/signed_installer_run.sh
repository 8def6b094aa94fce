#!/usr/bin/env bash
# A publisher's installer as it ships: made on Linux by eek installer from a
# folder holding a UTF-8 name ("café.txt"), signed with osslsigncode and a
# throwaway certificate, then run under Wine as a user runs it. The signature
# verifies, --check sees it, and the installer still installs, the file under
# the name Windows shows for it (CAFÉ.TXT), and starts the setup program.
#
# usage: signed_installer_run.sh <build dir> <stub.exe> <window_watcher.exe>
#          <payload folder> <host eek>
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine_dir="$here/../windows/wine"
source "$wine_dir/wine_env.sh" "$1"
source "$here/../windows/watcher/record.sh"
stub=$2 watcher=$3 demo_payload=$4 eek=$5
work="$wine_session_dir/e2e-signed"
rm -rf "$work" && mkdir -p "$work"
source "$here/e2e_support.sh"

payload="$work/payload"
cp -r "$demo_payload" "$payload"
printf 'accented name\n' >"$payload/café.txt"
"$eek" installer --stub "$stub" -o "$work/unsigned.exe" "$payload" >/dev/null ||
  fail "eek installer"
openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=eek-e2e -days 2 -keyout "$work/key.pem" \
  -out "$work/cert.pem" >/dev/null 2>&1 || fail "making a throwaway certificate"
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$work/unsigned.exe" \
  -out "$work/Signed.exe" >/dev/null || fail "osslsigncode sign"
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/Signed.exe" >/dev/null 2>&1 ||
  fail "osslsigncode verify does not accept the signature"
"$eek" installer --check "$work/Signed.exe" >"$work/check.txt" 2>&1
grep -q '^Authenticode signature: present' "$work/check.txt" ||
  fail "--check does not see the signature: $(cat "$work/check.txt")"

reset_state e2e-signed-start
run_installer "$work/Signed.exe"
expect "what the run showed" "$run_output" "$final_report"$'\nexit\t1'
[ -f "$install/CAFÉ.TXT" ] && cmp -s "$payload/café.txt" "$install/CAFÉ.TXT" ||
  fail "café.txt is not installed as CAFÉ.TXT: $(ls "$install" | xargs)"
rm "$payload/café.txt"
expect_payload_installed "$payload"
[ -n "$setup_record" ] || fail "the setup program was not started"
exit $status
