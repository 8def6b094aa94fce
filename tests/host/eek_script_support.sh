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
