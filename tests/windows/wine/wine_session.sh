#!/usr/bin/env bash
# Starts or stops the Wine session of one build tree: a virtual X display and a
# persistent wineserver for the build's own prefix, which is created on the
# first start. The test tier runs "start" as its set-up fixture and "stop" as
# its clean-up fixture.
#
# Given a probe program (a tiny program of the build's architecture) and its
# pointer width, "start" also finds out, once per test run, whether this
# machine runs programs of that architecture; where it does not (a kernel
# without 32-bit support, no 32-bit Wine), it writes the reason to
# <build>/wine-session/unavailable and every test of the tier then reports
# itself skipped (run_in_wine.sh, wine_test.sh). SIMULATE_NO_32BIT=1 makes the
# probe of a 32-bit build fail, to try that path.
#
# usage: wine_session.sh start|stop <build dir> [probe.exe 32|64]
set -euo pipefail
action=$1
probe=${3:-} bits=${4:-64}
source "$(dirname "$0")/wine_env.sh" "$2"
mkdir -p "$wine_session_dir" "$HOME"
log="$wine_session_dir/session.log"

stop_session() {
  if [ -d "$WINEPREFIX" ]; then
    "$wine_server" -k >/dev/null 2>&1 || true
  fi
  local pid_file="$wine_session_dir/xvfb.pid"
  if [ -f "$pid_file" ]; then
    local pid
    pid=$(cat "$pid_file")
    if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then
      kill "$pid" 2>/dev/null || true
    fi
    rm -f "$pid_file"
  fi
  rm -f "$wine_session_dir/display"
}

start_display() {
  local display_file="$wine_session_dir/display"
  rm -f "$display_file"
  # -displayfd picks a free display number and writes it once the server is up.
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
    3>"$display_file.new" </dev/null >>"$wine_session_dir/xvfb.log" 2>&1 &
  echo $! >"$wine_session_dir/xvfb.pid"
  for _ in $(seq 100); do
    if [ -s "$display_file.new" ]; then
      tr -dc 0-9 <"$display_file.new" >"$display_file"
      rm -f "$display_file.new"
      DISPLAY=":$(cat "$display_file")"
      export DISPLAY
      return 0
    fi
    sleep 0.1
  done
  echo "wine_session: Xvfb did not start (see $wine_session_dir/xvfb.log)" >&2
  return 1
}

# The user folders that Wine links to $HOME become real folders in the prefix,
# so that the desktop the installer writes to is the prefix's own.
make_user_folders_local() {
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
      rm "$link"
      mkdir "$link"
    fi
  done
}

create_prefix() {
  rm -rf "$WINEPREFIX"
  echo "wine_session: creating $WINEPREFIX" >&2
  "$wine_loader" wineboot -i </dev/null >>"$log" 2>&1
  "$wine_server" -w
  make_user_folders_local
  [ -d "$(echo "$WINEPREFIX"/drive_c/users/*/Desktop | cut -d' ' -f1)" ]
}

# How this machine runs i386 programs: native, emulated or unavailable.
i386_state() {
  "$(dirname "$0")/../../../scripts/i386-emulation.sh" status
}

# The prefix is made once and then reused; its ready mark records how i386
# ran when it was made. A prefix made while i386 could not run has an empty
# 32-bit side, so it is made again once i386 runs (natively or emulated).
prefix_current() {
  local ready="$WINEPREFIX/.test-prefix-ready" made
  [ -f "$ready" ] || return 1
  made=$(sed -n 's/^i386=//p' "$ready")
  case "$made" in
    native | emulated) return 0 ;;
    *) [ "$i386" = unavailable ] ;;
  esac
}

start_session() {
  stop_session
  start_display
  i386=$(i386_state)
  if ! prefix_current; then
    create_prefix
  fi
  # Forks into the background once it listens; stays until "stop".
  "$wine_server" -p </dev/null >/dev/null 2>>"$log"
  # Starts the prefix's system processes within the session, so that no test
  # run has to, and registers the shell automation object for the shortcut.
  "$wine_loader" wineboot </dev/null >>"$log" 2>&1
  "$wine_loader" regsvr32 /s wshom.ocx </dev/null >>"$log" 2>&1
  # The desktop in its own place: a test that redirects it and is ended
  # before it can put it back would otherwise move it for every later run.
  local folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer'
  "$wine_loader" reg add "$folders\User Shell Folders" /v Desktop /t REG_EXPAND_SZ \
    /d '%USERPROFILE%\Desktop' /f </dev/null >>"$log" 2>&1
  "$wine_loader" reg delete "$folders\Shell Folders" /v Desktop /f </dev/null >>"$log" 2>&1 || true
  # The prefix is 64-bit with a 32-bit side (syswow64): 32-bit callers find
  # the shell automation object only through its 32-bit registration.
  if [ -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
    "$wine_loader" 'C:\windows\syswow64\regsvr32.exe' /s wshom.ocx </dev/null >>"$log" 2>&1 || true
  fi
  echo "i386=$i386" >"$WINEPREFIX/.test-prefix-ready"
  probe_architecture
  echo "wine_session: display $DISPLAY, prefix $WINEPREFIX, i386 programs $i386"
  if [ -f "$unavailable" ]; then
    echo "wine_session: every test of this tier is skipped: $(cat "$unavailable")"
  fi
}

# Runs the probe program given to "start"; without one, the build's programs
# are taken to run (the 64-bit build, whose Wine runs everything else too).
unavailable="$wine_session_dir/unavailable"
probe_architecture() {
  rm -f "$unavailable"
  [ -n "$probe" ] || return 0
  local output
  if [ "$bits" = 32 ] && [ "${SIMULATE_NO_32BIT:-}" = 1 ]; then
    echo "this machine cannot run 32-bit Windows programs (simulated: SIMULATE_NO_32BIT=1)" >"$unavailable"
    return 0
  fi
  output=$(timeout 120 "$wine_loader" "$probe" </dev/null 2>&1 | tr -d '\r') || true
  if [ "$output" != "pointer bits: $bits" ]; then
    echo "this machine cannot run $bits-bit Windows programs (the probe said: $(head -n1 <<<"$output"))" \
      >"$unavailable"
  fi
}

case "$action" in
  start) start_session ;;
  stop) stop_session ;;
  *)
    echo "usage: $0 start|stop <build dir>" >&2
    exit 2
    ;;
esac
