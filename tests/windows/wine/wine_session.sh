#!/usr/bin/env bash
# Starts or stops the Wine session of one build tree: a virtual X display and a
# persistent wineserver for the build's own prefix, which is created on the
# first start. The test tier runs "start" as its set-up fixture and "stop" as
# its clean-up fixture.
#
# usage: wine_session.sh start|stop <build dir>
set -euo pipefail
action=$1
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

start_session() {
  stop_session
  start_display
  if [ ! -f "$WINEPREFIX/.test-prefix-ready" ]; then
    create_prefix
  fi
  # Forks into the background once it listens; stays until "stop".
  "$wine_server" -p </dev/null >/dev/null 2>>"$log"
  # Starts the prefix's system processes within the session, so that no test
  # run has to, and registers the shell automation object for the shortcut.
  "$wine_loader" wineboot </dev/null >>"$log" 2>&1
  "$wine_loader" regsvr32 /s wshom.ocx </dev/null >>"$log" 2>&1
  touch "$WINEPREFIX/.test-prefix-ready"
  echo "wine_session: display $DISPLAY, prefix $WINEPREFIX"
}

case "$action" in
  start) start_session ;;
  stop) stop_session ;;
  *)
    echo "usage: $0 start|stop <build dir>" >&2
    exit 2
    ;;
esac
