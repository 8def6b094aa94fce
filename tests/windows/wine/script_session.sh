# Sourced by the scripts that run installers outside ctest (the installer
# benchmark, the payload ceiling search): starts a Wine session of its own in
# the work folder, ends it when the script exits, and sets what their runs
# use: $wine (this folder), WINEPREFIX and the loader (wine_env.sh), the
# watcher's record readers (record.sh), drive_c, the installer's folders
# (installer_facts.sh) and the window watcher's Windows path.
#
# usage: source script_session.sh <repository root> <work folder> <eek>
wine="$1/tests/windows/wine"
bash "$wine/wine_session.sh" start "$2" >/dev/null
# shellcheck disable=SC2064  # the folder is fixed now
trap "bash '$wine/wine_session.sh' stop '$2'" EXIT
source "$wine/wine_env.sh" "$2"
source "$1/tests/windows/watcher/record.sh"
drive_c="$WINEPREFIX/drive_c"
source "$wine/installer_facts.sh" "$3" "$drive_c"
watcher=$(windows_path "$1/build/win64/tests/windows/window_watcher.exe")
