# Shared by the package tests: failures counted, a product folder to make an
# installer of, and the checks of eek --version.
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

# make_product <folder>: a product as a publisher hands it to eek installer.
make_product() {
  mkdir -p "$1"
  printf 'MZ stands in for the product setup\n' >"$1/setup.exe"
  printf 'read me\r\n' >"$1/readme.txt"
}

# check_version <version output> <version> <stub file> <stub path as eek shows it>:
# the version line, and the default stub named with its SHA-256.
check_version() {
  local output=$1 version=$2 stub=$3 shown=$4 sha
  sha=$(sha256sum "$stub" | cut -d' ' -f1)
  [ "$(sed -n 1p <<<"$output")" = "eek $version" ] || fail "--version's first line: $output"
  grep -qxF "default stub: $shown" <<<"$output" || fail "--version names another stub: $output"
  grep -qxF "default stub SHA-256: $sha" <<<"$output" ||
    fail "--version gives another SHA-256 than sha256sum's $sha: $output"
}
