#!/usr/bin/env bash
# The main job: sets up whatever is missing, makes the installer of the
# default payload (the demo product) as a publisher does, by eek installer
# from the payload folder and the shipped stubs (the builds here make eek, the
# demo product and the window watcher; the installer itself is not compiled),
# for the shipping win32 stub and for win64, and runs the shipping 32-bit
# installer as a user would under Wine (the 64-bit one, saying so, on a
# machine that cannot run 32-bit programs): on an
# 800 x 600 virtual desktop of its own prefix (build/run/wineprefix), started
# from the user's Downloads folder, every message acknowledged by the window
# watcher after a moment. Saves pictures of the progress window and of the
# final message, and prints what was installed where: the installation
# folder, the desktop shortcut and the recorded start of setup.exe.
#
# usage: scripts/run.sh      (installers: build/installers/win32 and win64;
#                             pictures: build/run/progress.png, build/run/final-message.png)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)
./scripts/setup.sh

echo "== building the archive tool, the demo product and the window watcher"
cmake --preset host >/dev/null
cmake --build --preset host --target eek -j "$jobs" >/dev/null
for preset in win64 win32; do
  cmake --preset "$preset" >/dev/null
done
cmake --build --preset win64 -j "$jobs" --target demo_payload_folder window_watcher read_shortcut >/dev/null
cmake --build --preset win32 -j "$jobs" --target demo_payload_folder wine_probe >/dev/null

echo "== making the installers from the demo product's folder with eek installer"
eek=build/host/eek
mkdir -p build/installers/win64 build/installers/win32
# The shipped 32-bit stub is the one beside eek; the 64-bit one is named.
"$eek" installer -o build/installers/win32/OstrelTarvine64Setup.exe build/win32/demo/payload
"$eek" installer --stub stubs/win64/OstrelTarvine64SetupStub.exe \
  -o build/installers/win64/OstrelTarvine64Setup.exe build/win64/demo/payload

# The Wine session of the run: its own prefix and virtual display, made as the
# test tier makes them.
run="$root/build/run"
wine="$root/tests/windows/wine"
mkdir -p "$run"
bash "$wine/wine_session.sh" start "$run" >/dev/null
trap 'bash "$wine/wine_session.sh" stop "$run"' EXIT
source "$wine/wine_env.sh" "$run"
source "$root/tests/windows/watcher/record.sh"
wine_run() { "$wine/run_in_wine.sh" "$run" "$@"; }

# The shipping installer is the 32-bit one; a machine without 32-bit support
# (no i386 execution, no 32-bit Wine) runs the 64-bit one of the same sources.
probe=$(wine_run "$(windows_path "$root/build/win32/tests/windows/wine_probe.exe")" 2>&1 | tr -d '\r' || true)
if [ "$probe" = "pointer bits: 32" ]; then
  build=win32
  case "$("$root/scripts/i386-emulation.sh" status)" in
    emulated) echo "run: the shipping 32-bit installer runs emulated (this machine runs i386 code by qemu-i386)" ;;
    *) echo "run: the shipping 32-bit installer runs natively" ;;
  esac
else
  build=win64
  echo "run: this machine cannot run 32-bit Windows programs (${probe%%$'\n'*});" \
    "running the 64-bit installer of the same sources instead" >&2
fi
installer=build/installers/$build/OstrelTarvine64Setup.exe
echo "== payload (the demo product), as the installer carries it"
"$eek" installer --check "$installer"

drive_c="$WINEPREFIX/drive_c"
for folder in "$drive_c"/users/*/Desktop; do
  case "$folder" in */Public/Desktop) ;; *) desktop=$folder ;; esac  # the user's own
done
user=$(basename "$(dirname "$desktop")")
downloads="$drive_c/users/$user/Downloads"
source tests/windows/wine/installer_facts.sh "$eek" "$drive_c"
link="$desktop/Ostrel Tarvine64 Setup.lnk"
record="$install/setup-started.txt"
log="$run/watcher.log"
rm -rf "$base" "$link" "$log" "$run"/*.png
mkdir -p "$downloads"
cp "$installer" "$downloads/"
program="C:\\users\\$user\\Downloads\\OstrelTarvine64Setup.exe"

# The Unix process of a Windows program of this prefix, by its path.
unix_process() {
  local file
  for file in $(grep -lxzF -- "$1" /proc/[0-9]*/cmdline 2>/dev/null); do
    # The program itself, or the i386 emulator running it (qemu-i386 WINE PROGRAM).
    case "$(tr '\0' '\n' <"$file" | head -n1)" in
      "$1" | */qemu-i386) ;;
      *) continue ;;
    esac
    grep -qxzF "WINEPREFIX=$WINEPREFIX" "${file%/cmdline}/environ" 2>/dev/null || continue
    basename "${file%/cmdline}"
    return 0
  done
  return 0
}
# A picture of the virtual desktop.
desktop_name="run-$$"
take_picture() {
  local window
  window=$(xwininfo -display "$DISPLAY" -name "$desktop_name - Wine desktop" | awk '/Window id:/ { print $4 }')
  import -display "$DISPLAY" -window "$window" "$1"
}

echo "== running $program, the $build installer ($installer), under Wine (desktop 800 x 600)"
wine_run explorer "/desktop=$desktop_name,800x600" \
  "$(windows_path "$root/build/win64/tests/windows/window_watcher.exe")" --timeout-ms 120000 \
  --answer-after-ms 1500 --record "$(windows_path "$log")" --cwd "C:\\users\\$user\\Downloads" -- \
  "$program" >"$run/watcher.out" 2>&1 &
runner=$!

# The progress window goes by in a fraction of a second: the installer is
# held (SIGSTOP) once the label passes 40 %, pictured, and let go again.
# Once the final message is up or the run has ended, the progress window is
# gone and there is nothing left to picture.
installer_process=""
for _ in $(seq 3000); do
  kill -0 "$runner" 2>/dev/null || break
  ! grep -q $'\tbox\t' "$log" 2>/dev/null || break
  [ -n "$installer_process" ] || installer_process=$(unix_process "$program")
  percent=$( (record_select "$log" child id=100 2>/dev/null || true) | record_field text |
    tr -dc '0-9\n' | tail -n1)
  if [ -n "$installer_process" ] && [ -n "$percent" ] && ((percent >= 40)); then
    kill -STOP "$installer_process"
    sleep 0.5
    take_picture "$run/progress.png"
    kill -CONT "$installer_process"
    break
  fi
done
[ -f "$run/progress.png" ] || echo "run: the progress window was not seen; see $log" >&2

# The final message stays up for 1.5 s before the watcher answers it.
for _ in $(seq 600); do
  if grep -q $'\tbox\t' "$log" 2>/dev/null; then
    sleep 0.5
    take_picture "$run/final-message.png"
    break
  fi
  sleep 0.05
done

# setup.exe records its start; its window is then closed, which ends the desktop.
for _ in $(seq 600); do
  [ -f "$record" ] && break
  sleep 0.05
done
if [ -f "$record" ]; then
  wine_run taskkill /f /pid "$(sed -n 's/^process=//p' "$record" | tr -d '\r')" >/dev/null 2>&1 || true
fi
wait "$runner" || true

echo "== what the user saw (message boxes, answered with OK; exit code)"
tr -d '\r' <"$run/watcher.out"
echo "== installed into $install_windows ($install)"
ls -l --time-style=+ "$install" | awk 'NR > 1 { printf "%12s  %s\n", $5, $NF }'
echo "== desktop shortcut $link"
wine_run "$root/build/win64/tests/e2e/read_shortcut.exe" \
  "C:\\users\\$user\\Desktop\\Ostrel Tarvine64 Setup.lnk" | tr -d '\r' | sed 's/^/  /'
echo "== setup.exe started (its own record)"
if [ -f "$record" ]; then
  tr -d '\r' <"$record" | sed 's/^/  /'
else
  echo "  setup.exe did not record a start"
fi
echo "== start folder $downloads"
ls "$downloads" | sed 's/^/  /'
echo "== pictures"
ls "$run"/*.png | sed 's/^/  /'
