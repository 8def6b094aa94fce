# Shared by the eek command-line test scripts (sourced): a failure counter and
# a runner of eek that treats a hang or a sanitizer report as a failure.
# The sourcing script sets eek (the program) and, if it wants another limit,
# eek_time_limit (seconds, default 20).
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# run CMD...: runs eek with a time limit, keeping its exit status in $status
# and its stderr in $err.
run() {
  timeout "${eek_time_limit:-20}" "$eek" "$@" >out.txt 2>err.txt
  status=$?
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
