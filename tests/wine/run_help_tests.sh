#!/usr/bin/env bash
# The help files in the system's viewers under Wine, opened by the product's own code (dialogs.exe
# help): WinHelp where the system has it (Wine posing as Windows XP), HTML Help where it has none
# (Windows 10). Every context number the product asks for opens its topic. Run inside one X server:
#   xvfb-run -a bash run_help_tests.sh BUILD_DIR HELP_SOURCE
set -u
build=$(cd "$1" && pwd)
source_file=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine32.sh"
export LANG=ja_JP.UTF-8 WINEARCH=${WINEARCH:-win64}
export WINEPREFIX=${WINEPREFIX:-$(mktemp -d)/prefix}
export PATH=$PATH:/usr/lib/wine
wine=${QM_WINE:-wine64}
passed=0
failed=0
check() {
  local name=$1; shift
  if "$@" >/dev/null 2>&1; then passed=$((passed + 1)); echo "ok   $name"; else failed=$((failed + 1)); echo "FAIL $name"; fi
}
WINEDEBUG=-all "$wine" wineboot -i >/dev/null 2>&1
wineserver -w
help_dir="$WINEPREFIX/drive_c/help"
rm -rf "$help_dir"; mkdir -p "$help_dir"
cp "$build"/package/Quillmark.* "$help_dir"/
log=$(mktemp)

version() { WINEDEBUG=-all "$wine" reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null 2>&1; }
open_help() {  # file, context, channel: the viewer's trace goes to $log
  WINEDEBUG="-all,+$3" timeout 60 "$wine" "$build/tests/win32/dialogs.exe" help "$1" "$2" 3 >"$log" 2>&1
  local status=$?
  wineserver -k 2>/dev/null; wineserver -w
  return $status
}

# The topics in the order of the source: topic N starts topic block N (its offset is N * 0x8000).
mapfile -t topics < <(awk '$1 == "@topic" {print $2 " " (($3 ~ /^[0-9]+$/) ? $3 : 0)}' "$source_file")
offset_of() { local i; for i in "${!topics[@]}"; do [ "${topics[$i]#* }" = "$1" ] && printf '%x' $((i * 0x8000)); done; }
page_of() { local t; for t in "${topics[@]}"; do [ "${t#* }" = "$1" ] && echo "/$(tr 'A-Z' 'a-z' <<<"${t%% *}").htm"; done; }

# Every request comes from a project folder that holds a WINHLP32.EXE of its own: the viewer of the
# Windows folder (or the system folder) is started by its full path, never the one found by name.
project="$WINEPREFIX/drive_c/project"
rm -rf "$project"; mkdir -p "$project"
cp "$build/tests/win32/planted.exe" "$project/WINHLP32.EXE"
version winxp64
for context in 8 13 14 15 16 17 18 19 20 22; do
  (cd "$project" && open_help 'C:\help\Quillmark.hlp' $context winhelp)
  hex=$(printf '%x' $context)
  check "WinHelp: context $context is mapped" grep -a -q "HLPFILE_PageByMap <\"C:\\\\\\\\help\\\\\\\\Quillmark.hlp\">\[$hex\]" "$log"
  check "WinHelp: context $context opens its topic" grep -a -q "HLPFILE_PageByOffset <\"C:\\\\\\\\help\\\\\\\\Quillmark.hlp\">\[$(offset_of $context)\]" "$log"
  check "WinHelp: context $context finds no fault" bash -c "! grep -a -q -i 'not found in file\|Wrong system header\|wrong header' '$log'"
done
# The help command: the viewer gets the help file's path quoted.
(cd "$project" && open_help 'C:\help\Quillmark.hlp' 0 winhelp)
check "WinHelp: the help command reads every topic" grep -a -q "Added page\[$((${#topics[@]} - 1))\]" "$log"
check "WinHelp: a WINHLP32.EXE in the current folder is never started" test ! -e "$project/WINHLP32.EXE.loaded"

version win10
for context in 8 13 14 15 16 17 18 19 20 22; do
  open_help 'C:\help\Quillmark.hlp' $context htmlhelp
  check "HTML Help: the .chm is asked for context $context" grep -a -q "Quillmark.chm\", command=HH_HELP_CONTEXT, data=$(printf '%x' $context))" "$log"
  check "HTML Help: context $context opens $(page_of $context)" grep -a -q "FindContextAlias returning \"$(page_of $context)\"" "$log"
done
open_help 'C:\help\Quillmark.hlp' 0 htmlhelp
check "HTML Help: the help command opens the .chm at its first topic" grep -a -q "Quillmark.chm\", command=HH_DISPLAY_TOPIC" "$log"

# Missing files and a missing viewer: nothing crashes, the product is told and stays silent.
for v in winxp64 win10; do
  version $v
  open_help 'C:\nowhere\Quillmark.hlp' 13 htmlhelp
  status=$?
  check "$v: a missing help file crashes nothing (status $status)" test $status -eq 0 -o $status -eq 3
done
version win10
mv "$WINEPREFIX/drive_c/windows/system32/hhctrl.ocx" "$WINEPREFIX/drive_c/windows/system32/hhctrl.ocx.away" 2>/dev/null
# One of that name in the current folder (the user's project) is not loaded in its place.
cp "$build/tests/win32/planted.dll" "$project/hhctrl.ocx"
(cd "$project" && open_help 'C:\help\Quillmark.hlp' 13 htmlhelp)
status=$?
check "a missing HTML Help viewer is reported to the product (status $status)" test $status -eq 3
check "  and an hhctrl.ocx in the current folder is not loaded in its place" test ! -e "$project/hhctrl.ocx.loaded"
mv "$WINEPREFIX/drive_c/windows/system32/hhctrl.ocx.away" "$WINEPREFIX/drive_c/windows/system32/hhctrl.ocx" 2>/dev/null
version win10

# The 32-bit setup program on 64-bit Windows (when this machine runs 32-bit programs): the files land
# in the 32-bit system folder, and the help shortcut names them there as 64-bit Explorer sees it.
# Where it cannot run, the 64-bit setup program's own paths are still checked by the end-to-end test,
# and the shortcut names for every system by the unit test of the shortcut table.
setup32=${QM_SETUP32:-}
if [ -n "$setup32" ] && [ -f "$setup32/package/Setup.exe" ] && ! wine32_runs; then
  echo "skipped: the 32-bit setup program on 64-bit Windows (WOW64): $wine32_why"
elif [ -n "$setup32" ] && [ -f "$setup32/package/Setup.exe" ]; then
  pkg="$WINEPREFIX/drive_c/pkg32"
  rm -rf "$pkg"; mkdir -p "$pkg"; cp "$setup32"/package/* "$pkg"/
  cp "$build/tests/win32/wintest.exe" "$WINEPREFIX/drive_c/wintest.exe"
  wintest() { WINEDEBUG=-all "$wine" 'C:\wintest.exe' "$@" 2>/dev/null | tr -d '\r'; }
  WINEDEBUG=-all wine 'C:\pkg32\Setup.exe' >/dev/null 2>&1 &
  setup=$!
  wintest click 'Wek Quillmark for VB6 Ver1.0 - ｾｯﾄｱｯﾌﾟ' 'ｾｯﾄｱｯﾌﾟ開始' 60 >/dev/null
  out=$(wintest click WekQM417_Setup OK 90)
  wait $setup
  wineserver -k 2>/dev/null; wineserver -w
  check "WOW64: the 32-bit setup program completes" grep -q 'ｾｯﾄｱｯﾌﾟが完了しました。' <<<"$out"
  wow=$WINEPREFIX/drive_c/windows/syswow64
  check "WOW64: the files are in the 32-bit system folder" cmp "$pkg/Quillmark.chm" "$wow/Quillmark.chm"
  group=$(find "$WINEPREFIX/drive_c" -type d -name 'Wek Quillmark for VB6 Ver1.0' | head -1)
  link=$(wintest link "$(WINEDEBUG=-all "$wine" winepath -w "$group/Quillmark ﾍﾙﾌﾟ.lnk" 2>/dev/null | tr -d '\r')")
  echo "  help shortcut: $link"
  check "WOW64: the help shortcut names the .chm in SysWOW64" grep -q -i -x 'C:\\windows\\syswow64\\Quillmark.chm' <<<"$link"
  uninstall=$(WINEDEBUG=-all "$wine" reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Wek Quillmark for VB6 Ver1.0' /v UninstallString /reg:32 2>/dev/null | tr -d '\r')
  check "WOW64: the uninstall string names the Windows folder" grep -q -i -F '"C:\windows\WekQM417_Setup.exe" /UNINST' <<<"$uninstall"
  registered32() {  # the class, in the registry that 32-bit programs (the environment) see
    WINEDEBUG=-all "$wine" reg query 'HKCR\CLSID\{6F1E2B7C-3D4A-4E55-9A21-5C0D7B8E9F41}\InprocServer32' /reg:32 2>/dev/null |
      tr -d '\r' | grep -q -i 'WekQM417.dll'
  }
  check "WOW64: the 32-bit registration tool registered the library" registered32
fi
rm -f "$log"; rm -rf "$project"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
