#!/usr/bin/env bash
# End-to-end tests of the Windows programs under Wine: the library's self-registration, the setup
# program's installation and removal with their error paths, and the command's registry files
# against the real registry. Run inside one X server: xvfb-run -a bash run_wine_tests.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export WINEDEBUG=-all LANG=ja_JP.UTF-8 WINEARCH=${WINEARCH:-win64}
export WINEPREFIX=${WINEPREFIX:-$(mktemp -d)/prefix}
export PATH=$PATH:/usr/lib/wine
wine=${QM_WINE:-wine64}  # the 32-bit prefix: QM_WINE=wine WINEARCH=win32
passed=0
failed=0

check() {  # name, then a command that succeeds when the check holds
  local name=$1; shift
  if "$@" >/dev/null 2>&1; then passed=$((passed + 1)); echo "ok   $name"; else failed=$((failed + 1)); echo "FAIL $name"; fi
}
w() { "$wine" "$@" 2>/dev/null; }
reg_has() { w reg query "$1" /v "$2" | tr -d '\r' | grep -q -- "$3"; }
reg_gone() { ! w reg query "$1" >/dev/null 2>&1; }
c_path() { echo "$WINEPREFIX/drive_c/$1"; }

"$wine" wineboot -i >/dev/null 2>&1
wineserver -w
sys=$(c_path windows/system32)
pkg=$(c_path pkg)
rm -rf "$pkg"; mkdir -p "$pkg"
cp "$build"/package/* "$pkg"/
cp "$build"/tests/win32/wintest.exe "$(c_path wintest.exe)"
wintest() { w 'C:\wintest.exe' "$@" | tr -d '\r'; }

# --- The library registers and unregisters itself with the system's tool.
cp "$pkg/WekQM417.dll" "$sys/"
check "regsvr32 registers the library" w regsvr32 /s 'C:\windows\system32\WekQM417.dll'
check "the ProgID names the class" reg_has 'HKCR\WekQM417.AddInClass\CLSID' '' '{6F1E2B7C-3D4A-4E55-9A21-5C0D7B8E9F41}'
check "the class is an apartment in-process server" reg_has 'HKCR\CLSID\{6F1E2B7C-3D4A-4E55-9A21-5C0D7B8E9F41}\InprocServer32' ThreadingModel Apartment

# --- A stand-in environment creates the add-in by its ProgID and works with it as a user would.
out=$(timeout 300 "$wine" "$build/tests/win32/standin.exe" 2>/dev/null | tr -d '\r')
sed 's/^/  stand-in: /' <<<"$out"
summary=$(tail -1 <<<"$out")
if [[ "$summary" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
  passed=$((passed + BASH_REMATCH[1])); failed=$((failed + BASH_REMATCH[2]))
else
  failed=$((failed + 1)); echo "FAIL the stand-in environment ran to its end"
fi
w reg delete 'HKCU\Software\Microsoft\Visual Basic\6.0\Addins\WekQM417.AddInClass' /f >/dev/null
wineserver -k 2>/dev/null; wineserver -w
check "regsvr32 /u unregisters it" w regsvr32 /u /s 'C:\windows\system32\WekQM417.dll'
check "nothing of the class is left" reg_gone 'HKCR\WekQM417.AddInClass'
out=$(timeout 60 "$wine" "$build/tests/win32/standin.exe" unregistered 2>/dev/null | tr -d '\r')
sed 's/^/  stand-in: /' <<<"$out"
check "an environment copes with the unregistered library" grep -q '^[0-9]* passed, 0 failed$' <<<"$out"
rm -f "$sys/WekQM417.dll"

# --- A lower-case switch ends the program without a window and without a change.
timeout 20 "$wine" 'C:\pkg\Setup.exe' /uninst >/dev/null 2>&1
check "a lower-case switch ends at once" test $? -eq 0
check "  and changes nothing" test ! -e "$sys/WekQM417.dll"

# --- A missing required file: the message names it and nothing is copied.
mv "$pkg/Quillmark.cnt" "$pkg/Quillmark.cnt.away"
"$wine" 'C:\pkg\Setup.exe' >/dev/null 2>&1 &
setup=$!
wintest click 'Wek Quillmark for VB6 Ver1.0 - ｾｯﾄｱｯﾌﾟ' 'ｾｯﾄｱｯﾌﾟ開始' >/dev/null
out=$(wintest click WekQM417_Setup OK)
wait $setup
check "a missing file is named" grep -q 'ｲﾝｽﾄｰﾙに必要なﾌｧｲﾙが存在しません。' <<<"$out"
check "  with its full path" grep -q 'C:\\pkg\\Quillmark.cnt' <<<"$out"
check "  and nothing was copied" test ! -e "$sys/WekQM417.dll"
check "  nor written" reg_gone 'HKCU\Software\Microsoft\Visual Basic\6.0\Addins\WekQM417.AddInClass'
mv "$pkg/Quillmark.cnt.away" "$pkg/Quillmark.cnt"

# --- Installation, on a system without WinHelp (Wine poses as Windows 10).
# Beside the setup program lies a library of a system name, as a downloads folder may hold one:
# Wine's shell32 imports shcore.dll, and Wine loads one found in the program's folder before its own
# (Windows does the same for the libraries the shell and COM load by name). The program narrows the
# search before it loads the shell, so the planted one is never loaded.
cp "$build/tests/win32/planted.dll" "$pkg/shcore.dll"
w reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null
started=$(mktemp)
WINEDEBUG=+process "$wine" 'C:\pkg\Setup.exe' >/dev/null 2>"$started" &
setup=$!
wintest click 'Wek Quillmark for VB6 Ver1.0 - ｾｯﾄｱｯﾌﾟ' 'ｾｯﾄｱｯﾌﾟ開始' >/dev/null
front=$(wintest front WekQM417_Setup 'Wek Quillmark for VB6 Ver1.0 - ｾｯﾄｱｯﾌﾟ' 60)
echo "  completion message: $front"
# Owned by the dialog. Whether it is in front is printed: without a window manager (bare Xvfb) the
# stacking of another process's window is Wine's own and proves nothing either way.
check "the completion message is owned by the dialog" grep -q 'owner: Wek Quillmark for VB6 Ver1.0 - ｾｯﾄｱｯﾌﾟ$' <<<"$front"
out=$(wintest click WekQM417_Setup OK 60)
wait $setup
check "the installation completes" grep -q 'ｾｯﾄｱｯﾌﾟが完了しました。' <<<"$out"
check "  without loading the library put beside it (shcore.dll)" test ! -e "$pkg/shcore.dll.loaded"
rm -f "$pkg/shcore.dll" "$pkg/shcore.dll.loaded"
# The registration tool is started by its full path, as the file to run, with both paths quoted.
regsvr32_line=$(grep -a -o 'app L"[^"]*[Rr]egsvr32.exe" cmdline L".*' "$started" | head -1)
echo "  registration: $regsvr32_line"
check "the registration tool is named by its full path" grep -q -i -F 'app L"C:\\windows\\system32\\Regsvr32.exe"' <<<"$regsvr32_line"
check "  and its command line quotes both paths" grep -q -i -F 'cmdline L"\"C:\\windows\\system32\\Regsvr32.exe\" /S \"C:\\windows\\system32\\WekQM417.dll\""' <<<"$regsvr32_line"
rm -f "$started"
# The installation opened the group in a shell window; the user closes it.
wineserver -k 2>/dev/null; wineserver -w
for f in WekQM417.dll Quillmark.cnt Quillmark.hlp Quillmark.chm; do check "$f is copied" cmp "$pkg/$f" "$sys/$f"; done
check "the uninstaller is copied" cmp "$pkg/Setup.exe" "$(c_path windows/WekQM417_Setup.exe)"
check "the library is registered" reg_has 'HKCR\WekQM417.AddInClass\CLSID' '' '{6F1E2B7C'
key='HKCU\Software\Microsoft\Visual Basic\6.0\Addins\WekQM417.AddInClass'
check "LoadBehavior is 1" reg_has "$key" LoadBehavior 0x1
check "ToolBarPosition is 1" reg_has "$key" ToolBarPosition 0x1
check "FixedFormList is written" reg_has "$key" FixedFormList '0,1,2,3'
check "FriendlyName is written" reg_has "$key" FriendlyName 'Wek Quillmark for VB6 Ver1.0'
check "EditStamp is not" bash -c "! $wine reg query '$key' /v EditStamp"
ukey='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Wek Quillmark for VB6 Ver1.0'
# The program's path quoted, so that a Windows folder with a blank is not cut short.
check "the uninstall entry is written, the program's path quoted" \
  reg_has "$ukey" UninstallString '"C:\\windows\\WekQM417_Setup.exe" /UNINST Wek Quillmark for VB6 Ver1.0'
group=$(find "$WINEPREFIX/drive_c" -type d -name 'Wek Quillmark for VB6 Ver1.0' | head -1)
check "the program group is made" test -n "$group"
check "  with the help shortcut" test -e "$group/Quillmark ﾍﾙﾌﾟ.lnk"
# Windows 10 has no WinHelp: the shortcut leads to the HTML Help file.
link=$(wintest link "$(w winepath -w "$group/Quillmark ﾍﾙﾌﾟ.lnk" | tr -d '\r')")
check "  which leads to the help that opens on this system ($link)" grep -q -i -x 'C:\\windows\\system32\\Quillmark.chm' <<<"$link"
check "  and the uninstall shortcut" test -e "$group/Quillmark ｱﾝｲﾝｽﾄｰﾙ.lnk"

# --- Installing again keeps the user's format.
w reg add "$key" /v SelectDatas /t REG_SZ /d '[1,0,0,0,0,]' /f >/dev/null
w reg add "$key" /v LoadBehavior /t REG_DWORD /d 0 /f >/dev/null
"$wine" 'C:\pkg\Setup.exe' >/dev/null 2>&1 &
setup=$!
wintest click 'Wek Quillmark for VB6 Ver1.0 - ｾｯﾄｱｯﾌﾟ' 'ｾｯﾄｱｯﾌﾟ開始' >/dev/null
out=$(wintest click WekQM417_Setup OK 60)
wait $setup
check "installing again completes" grep -q 'ｾｯﾄｱｯﾌﾟが完了しました。' <<<"$out"
check "  and keeps the user's format" reg_has "$key" SelectDatas '\[1,0,0,0,0,\]'
check "  and writes the registration values" reg_has "$key" LoadBehavior 0x1
wineserver -k 2>/dev/null; wineserver -w

# --- The command's registry files against the real registry.
w reg delete "$key" /v EditStamp /f >/dev/null
cp "$build/cli/quillmark.exe" "$(c_path quillmark.exe)"
# A named store must exist: the command never makes one up.
printf 'REGEDIT4\r\n\r\n' > "$(c_path store.reg)"
printf 'REGEDIT4\r\n\r\n' > "$(c_path back.reg)"
w 'C:\quillmark.exe' settings --settings 'C:\store.reg' set EditStamp '0,1,3,0,0,担当'
check "the command's store imports into the registry" w reg import 'C:\store.reg'
check "  and the add-in's key reads the same" bash -c "$wine 'C:\\quillmark.exe' settings get EditStamp 2>/dev/null | tr -d '\r' | grep -qx '0,1,3,0,0,担当'"
w reg export "$key" 'C:\exported.reg' /y >/dev/null
check "a key exported by the system reads back in the command" bash -c "$wine 'C:\\quillmark.exe' settings --settings 'C:\\back.reg' import 'C:\\exported.reg' && $wine 'C:\\quillmark.exe' settings --settings 'C:\\back.reg' get EditStamp 2>/dev/null | tr -d '\r' | grep -qx '0,1,3,0,0,担当'"

# --- Removal through the uninstall string, started as the system's list of installed programs does.
uninstall_string=$(w reg query "$ukey" /v UninstallString | tr -d '\r' | sed -n 's/^ *UninstallString *REG_SZ *//p')
# (Not through wintest's pipe: the program started would hold it open.)
check "the uninstall string starts the uninstaller" w 'C:\wintest.exe' start "$uninstall_string"
wintest click 'Wek Quillmark for VB6 Ver1.0 - 削除' '削除' >/dev/null
out=$(wintest click WekQM417_Setup OK 60)
wintest wait-gone 'Wek Quillmark for VB6 Ver1.0 - 削除' 30
check "the removal completes" grep -q 'ｱﾌﾟﾘｹｰｼｮﾝの削除が完了しました。' <<<"$out"
for f in WekQM417.dll Quillmark.cnt Quillmark.hlp Quillmark.chm; do check "$f is deleted" test ! -e "$sys/$f"; done
check "the class is unregistered" reg_gone 'HKCR\WekQM417.AddInClass'
check "the settings key is deleted" reg_gone "$key"
check "the uninstall entry is deleted" reg_gone "$ukey"
check "the program group is deleted" test ! -e "$group"
check "the running uninstaller stays" test -e "$(c_path windows/WekQM417_Setup.exe)"

# --- Removing twice still completes.
"$wine" 'C:\windows\WekQM417_Setup.exe' /UNINST >/dev/null 2>&1 &
setup=$!
wintest click 'Wek Quillmark for VB6 Ver1.0 - 削除' '削除' >/dev/null
out=$(wintest click WekQM417_Setup OK 60)
wait $setup
check "removing twice completes" grep -q 'ｱﾌﾟﾘｹｰｼｮﾝの削除が完了しました。' <<<"$out"

# --- A link in place of the program group: the elevated program neither creates nor deletes through
# it. Wine shows a Unix symbolic link as a reparse point (without a tag); it makes no junctions.
elsewhere=$(c_path elsewhere)
rm -rf "$elsewhere"; mkdir -p "$elsewhere"
ln -s "$elsewhere" "$group"
"$wine" 'C:\pkg\Setup.exe' >/dev/null 2>&1 &
setup=$!
wintest click 'Wek Quillmark for VB6 Ver1.0 - ｾｯﾄｱｯﾌﾟ' 'ｾｯﾄｱｯﾌﾟ開始' >/dev/null
out=$(wintest click WekQM417_Setup OK 60)
wait $setup
echo "  message: $(grep -o '次の場所が[^)]*)' <<<"$out")"
check "a link in place of the group: setup says so" grep -q 'ｼﾞｬﾝｸｼｮﾝかｼﾝﾎﾞﾘｯｸ ﾘﾝｸのため、作成しませんでした: C:\\.*\\Wek Quillmark for VB6 Ver1.0)' <<<"$out"
check "  and creates nothing where it leads" test -z "$(ls -A "$elsewhere")"
check "  the rest is installed" cmp "$pkg/WekQM417.dll" "$sys/WekQM417.dll"
touch "$elsewhere/Quillmark ﾍﾙﾌﾟ.lnk" "$elsewhere/Quillmark ｱﾝｲﾝｽﾄｰﾙ.lnk"
"$wine" 'C:\windows\WekQM417_Setup.exe' /UNINST >/dev/null 2>&1 &
setup=$!
wintest click 'Wek Quillmark for VB6 Ver1.0 - 削除' '削除' >/dev/null
out=$(wintest click WekQM417_Setup OK 60)
wait $setup
check "  removal says so too" grep -q 'ｼﾞｬﾝｸｼｮﾝかｼﾝﾎﾞﾘｯｸ ﾘﾝｸのため、削除しませんでした' <<<"$out"
check "  and deletes nothing where it leads" test -e "$elsewhere/Quillmark ﾍﾙﾌﾟ.lnk" -a -e "$elsewhere/Quillmark ｱﾝｲﾝｽﾄｰﾙ.lnk"
check "  nor the link" test -L "$group"
check "  the rest is removed" test ! -e "$sys/WekQM417.dll"
rm -f "$group"; rm -rf "$elsewhere"

wineserver -k 2>/dev/null
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
