# Reading the observation log of window_watcher --record (see window_record.h)
# in the test scripts. Source it, then for example:
#
#   window=$(record_select "$log" window class=TarvineSelfExtractProgressDialog |
#            head -n1 | record_field hwnd)
#   record_select "$log" child "parent=$window" id=200 | record_field pos | uniq
#
# windows_path turns a Unix path into the Z: path a Windows program is given.

# record_select FILE KIND [KEY=VALUE...]: the lines of that kind that hold every
# given field exactly.
record_select() {
  local file=$1 kind=$2
  shift 2
  local wanted=""
  [ $# -eq 0 ] || wanted=$(printf '%s\037' "$@")
  awk -F'\t' -v kind="$kind" -v wanted="$wanted" '
    BEGIN { count = split(wanted, want, "\037") - 1 }
    $2 == kind {
      for (i = 1; i <= count; i++) {
        found = 0
        for (j = 3; j <= NF; j++) if ($j == want[i]) found = 1
        if (!found) next
      }
      print
    }' "$file"
}

# record_field KEY: the value of KEY in each line read (lines without it give
# nothing); "t" gives the line's time.
record_field() {
  awk -F'\t' -v prefix="$1=" '{
    for (j = 1; j <= NF; j++) if (index($j, prefix) == 1) print substr($j, length(prefix) + 1)
  }'
}

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
