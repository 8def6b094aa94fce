# Shared by the eek command-line test scripts (sourced): the eek under test, a
# failure counter, cases skipped by name, and a runner of eek that treats a
# hang or a sanitizer report as a failure.
#
# The sourcing script passes the group of cases to run and the command that
# runs eek, the program last:
#   source eek_script_support.sh GROUP PROGRAM               (the host's eek)
#   source eek_script_support.sh GROUP RUNNER... PROGRAM.exe (eek.exe, e.g.
#     bash tests/windows/wine/run_in_wine.sh BUILD_DIR .../eek.exe)
# and, if it wants another limit, sets eek_time_limit (seconds, default 20, 60
# under Wine).
# Run by the Windows tier (wine_test.sh), a script gets the build tree first,
# which the runner names again: that first word is dropped.
# Sets eek (the program, absolute), eek_runner (the words before it),
# eek_platform (host or windows) and group.
if [ -d "$1" ] && [[ " ${*:2} " == *" $1 "* ]]; then
  shift
fi
group=$1
shift
eek=$(realpath "${@: -1}")
eek_runner=("${@:1:$#-1}")
# Under Wine, the first run of a program in a session may take some seconds more.
case $eek in
*.exe) eek_platform=windows default_time_limit=60 ;;
*) eek_platform=host default_time_limit=20 ;;
esac
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# in_group NAME: true when the cases of group NAME are to run (all groups run
# when the group given is "all"). A group that no in_group names is a failure,
# never a run of nothing.
group_found=
in_group() {
  [ "$group" = "$1" ] && group_found=yes
  [ "$group" = all ] || [ "$group" = "$1" ]
}

# skip_on PLATFORM CASE REASON: true, and the case named in the output and in
# the summary, when eek runs on PLATFORM (host or windows), where CASE cannot
# apply; use as: skip_on windows "pipe" "no FIFOs there" || { the case; }
skipped=()
skip_on() {
  [ "$eek_platform" = "$1" ] || return 1
  echo "skipped on $1: $2: $3"
  skipped+=("$2")
}

# killed_in_phase PHASE FOLDER ARGS...: runs eek with ARGS and kills it
# (SIGKILL) while it writes, directly in FOLDER, an archive (PHASE archive:
# a pack, an installer's payload) or a program (PHASE program: an installer's
# own write); a failure when eek ended before (tests/host/kill_in_phase.py).
killed_in_phase() {
  python3 "$(dirname "${BASH_SOURCE[0]}")/kill_in_phase.py" "$1" "$2" "$eek" "${@:3}" ||
    fail "eek ${*:3} was not killed while writing $([ "$1" = program ] && echo a program || echo an archive)"
}

# eek_command ARGS...: runs eek, its output where the caller sends it.
eek_command() {
  "${eek_runner[@]}" "$eek" "$@"
}

# err_holds TEXT: eek's error output holds TEXT; eek.exe joins a folder given
# with "/" and a name in it with "\", so there either stands for both.
err_holds() {
  if [ "$eek_platform" = windows ]; then
    tr '\\' / <err.txt | grep -qF -- "${1//\\//}"
  else
    grep -qF -- "$1" err.txt
  fi
}

# shown_path PATH: an absolute path as eek names it: itself on the host, the
# drive path Wine gives it (Z:\...) on Windows.
shown_path() {
  if [ "$eek_platform" = windows ]; then
    local path=${1//\//\\}
    printf 'Z:%s\n' "$path"
  else
    printf '%s\n' "$1"
  fi
}

# finish NAME: the summary line and the exit status of the script.
finish() {
  [ "$group" = all ] || [ -n "$group_found" ] || fail "$1 has no group named $group"
  if [ "${#skipped[@]}" -gt 0 ]; then
    local names
    names=$(printf '%s; ' "${skipped[@]}")
    echo "$1 ($group, $eek_platform): ${#skipped[@]} case(s) skipped: ${names%; }"
  fi
  if [ "$failures" -gt 0 ]; then
    echo "$1 ($group, $eek_platform): $failures failure(s)" >&2
    exit 1
  fi
  echo "$1 ($group, $eek_platform): all checks passed"
  exit 0
}

# run CMD...: runs eek with a time limit, keeping its exit status in $status
# and its stderr in $err.
run() {
  timeout "${eek_time_limit:-$default_time_limit}" "${eek_runner[@]}" "$eek" "$@" >out.txt 2>err.txt
  status=$?
  # eek.exe ends its lines as Windows does.
  [ "$eek_platform" = windows ] && sed -i 's/\r$//' out.txt err.txt
  err=$(cat err.txt)
  [ "$status" -eq 124 ] && fail "eek $* hung"
  grep -q 'Sanitizer' err.txt && fail "eek $* hit a sanitizer report: $err"
}

# written_through WHAT REFERENCE CMD...: an existing output that is not a
# plain file is written through, never replaced. CMD names its output OUT,
# which becomes in turn a FIFO (its reader must get the bytes of REFERENCE, the
# output the command wrote as a plain file), character devices made with mknod
# (the null device takes the bytes, the full one gives the write error and
# exit status 1) and a symbolic link (the link stays; its target gets the
# bytes). Each kind must still be what it was.
written_through() {
  local what=$1 reference=$2 kind target args reader
  shift 2
  skip_on windows "$what into a FIFO, a device or a symbolic link" \
    "FIFOs and device nodes are Unix kinds of file that eek.exe cannot be given" && return
  rm -rf through && mkdir through
  mkfifo through/fifo
  mknod through/null c 1 3 2>/dev/null && mknod through/full c 1 7 2>/dev/null ||
    echo "SKIP: $what: mknod refused here; no device outputs tried" >&2
  ln -s target.out through/link
  for kind in fifo null full link; do
    target=through/$kind
    [ -e "$target" ] || [ -L "$target" ] || continue
    args=()
    for word in "$@"; do [ "$word" = OUT ] && args+=("$target") || args+=("$word"); done
    reader=
    if [ "$kind" = fifo ]; then
      cat through/fifo >through/fifo.bytes &
      reader=$!
    fi
    run "${args[@]}"
    if [ -n "$reader" ]; then
      # A command that never opened the FIFO leaves the reader waiting: end it.
      kill -0 "$reader" 2>/dev/null && [ "$status" -ne 0 ] && : >through/fifo
      wait "$reader"
    fi
    case $kind in
    fifo)
      [ "$status" -eq 0 ] && [ -p "$target" ] && cmp -s through/fifo.bytes "$reference" ||
        fail "$what into a FIFO: status $status, $err" ;;
    null)
      [ "$status" -eq 0 ] && [ -c "$target" ] || fail "$what into a null device: status $status, $err" ;;
    full)
      [ "$status" -eq 1 ] && [ -c "$target" ] && grep -q 'No space left on device' err.txt ||
        fail "$what into a full device: status $status, $err" ;;
    link)
      [ "$status" -eq 0 ] && [ -L "$target" ] && cmp -s through/target.out "$reference" ||
        fail "$what through a symbolic link: status $status, $err" ;;
    esac
  done
  # Nothing is left beside the outputs.
  [ -z "$(ls through | grep -vx 'fifo\|null\|full\|link\|target.out\|fifo.bytes')" ] ||
    fail "$what: files left beside the outputs: $(ls through)"
}
