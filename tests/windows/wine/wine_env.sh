# Sourced by the Wine scripts of the Windows test tier. Given the build tree in
# $1, sets up the environment of that build's Wine session: its own prefix,
# home, display and log folder, nothing shared with the user's own Wine.
wine_build_dir=$(cd "$1" && pwd)
wine_session_dir="$wine_build_dir/wine-session"

export WINEPREFIX="$wine_build_dir/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko download prompts, no menu entries or file associations.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
# Wine links the user folders to $HOME and reads its XDG settings; keep both
# inside the build tree so that an unusual or missing HOME changes nothing.
export HOME="$wine_session_dir/home"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_DESKTOP_DIR XDG_RUNTIME_DIR
# The tests expect the en-US defaults: ANSI code page 1252; a run may name
# another locale in WINE_TEST_LOCALE (Wine takes the code page from it).
export LANG=${WINE_TEST_LOCALE:-C.UTF-8} LC_ALL=${WINE_TEST_LOCALE:-C.UTF-8}

wine_loader=/usr/lib/wine/wine64
[ -x "$wine_loader" ] || wine_loader=$(command -v wine64)
wine_server=/usr/lib/wine/wineserver
[ -x "$wine_server" ] || wine_server=$(command -v wineserver)

if [ -f "$wine_session_dir/display" ]; then
  DISPLAY=":$(cat "$wine_session_dir/display")"
  export DISPLAY
fi
