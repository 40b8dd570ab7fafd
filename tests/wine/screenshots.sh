#!/usr/bin/env bash
# Screenshots of every dialog, as a user of a Japanese Windows sees them, taken under Wine and Xvfb:
#   bash tests/wine/screenshots.sh BUILD_DIR (the windows64 build) OUT_DIR
set -u
build=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
export WINEDEBUG=-all LANG=ja_JP.UTF-8 WINEARCH=win64
export WINEPREFIX=${WINEPREFIX:-$(mktemp -d)/prefix}
export PATH=$PATH:/usr/lib/wine
shoot() {  # name, then the dialog's arguments
  local name=$1; shift
  # A virtual desktop, so that Wine draws the window frames itself.
  wine64 explorer /desktop=Quillmark,1024x768 "$build/tests/win32/dialogs.exe" "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep 4
  import -window root "$out/$name.full.png"
  convert "$out/$name.full.png" -trim +repage "$out/$name.png"
  rm -f "$out/$name.full.png"
  kill $pid 2>/dev/null
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
}
run() {
  wine64 wineboot -i >/dev/null 2>&1
  wineserver -w
  for page in 0 1 10 11 12 13 14 60 100; do shoot "wizard-page-$page" wizard $page; done
  shoot custom-item custom
  shoot settings settings
  shoot version version
  shoot setup setup
  shoot uninstall uninstall
  # The help viewers at two topics: WinHelp where Windows has it (Wine posing as XP), HTML Help
  # where it has none (Windows 10). The help files lie where the setup program puts them.
  mkdir -p "$WINEPREFIX/drive_c/windows/system32"
  cp "$build"/package/Quillmark.* "$WINEPREFIX/drive_c/windows/system32/"
  for version in winxp64 win10; do
    wine64 reg add 'HKCU\Software\Wine' /v Version /d $version /f >/dev/null 2>&1
    viewer=$([ $version = win10 ] && echo htmlhelp || echo winhelp)
    for context in 13 22; do shoot "help-$viewer-$context" help 'C:\windows\system32\Quillmark.hlp' $context 6; done
  done
  wine64 reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1
}
if [ -z "${DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
else
  run
fi
