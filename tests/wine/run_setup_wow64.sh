#!/usr/bin/env bash
# The setup program as it is shipped, a 32-bit program, on 64-bit Windows (a 64-bit Wine prefix) with
# a 32-bit and a 64-bit Office: each editor gets the library of its own bitness, with the help beside
# it, in its own registry view; removal takes all of it and leaves the rest. Skipped (exit 77) where
# 32-bit programs cannot run.
#   xvfb-run -a bash run_setup_wow64.sh BUILD32_DIR (the windows build) BUILD64_DIR (windows64)
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine32.sh"
if ! wine32_runs; then
  echo "skipped: the 32-bit setup program on 64-bit Wine: $wine32_why"
  exit 77
fi
build32=$(cd "$1" && pwd)
build64=$(cd "$2" && pwd)
export WINEDEBUG=-all LANG=ja_JP.UTF-8 WINEARCH=win64
# A prefix of its own, whatever WINEPREFIX says: the run puts stand-ins of Office into the system
# folders and deletes registry keys, which must never happen to a prefix someone uses.
scratch=$(mktemp -d)
export WINEPREFIX=$scratch/prefix
trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; rm -rf "$scratch"' EXIT
export PATH=$PATH:/usr/lib/wine
wine=wine64
passed=0
failed=0
check() {  # name, then a command that succeeds when the check holds
  local name=$1; shift
  if "$@" >/dev/null 2>&1; then passed=$((passed + 1)); echo "ok   $name"; else failed=$((failed + 1)); echo "FAIL $name"; fi
}
w() { "$wine" "$@" 2>/dev/null; }
reg_has() { w reg query "$1" /v "$2" "${@:4}" | tr -d '\r' | grep -q -i -- "$3"; }
reg_gone() { ! w reg query "$@" >/dev/null 2>&1; }
c_path() { echo "$WINEPREFIX/drive_c/$1"; }

"$wine" wineboot -i >/dev/null 2>&1
wineserver -w
sys64=$(c_path windows/system32)
sys32=$(c_path windows/syswow64)
pkg=$(c_path pkg)
rm -rf "$pkg"; mkdir -p "$pkg"
cp "$build32"/package/* "$pkg"/
cp "$build64/com/WekQM417.dll" "$pkg/WekQM417x64.dll"
cp "$build64/tests/win32/wintest.exe" "$(c_path wintest.exe)"
wintest() { w 'C:\wintest.exe' "$@" | tr -d '\r'; }
# The two Office editors, as the setup program finds them; another program's file in each system folder.
for dir in 'Program Files' 'Program Files (x86)'; do
  mkdir -p "$(c_path "$dir/Common Files/Microsoft Shared/VBA/VBA7.1")"
  echo VBE > "$(c_path "$dir/Common Files/Microsoft Shared/VBA/VBA7.1/VBE7.DLL")"
done
echo other > "$sys64/QmOther.dll"
echo other > "$sys32/QmOther.dll"
clsid='{6F1E2B7C-3D4A-4E55-9A21-5C0D7B8E9F41}'
key6='HKCU\Software\Microsoft\Visual Basic\6.0\Addins\WekQM417.AddInClass'
key32='HKCU\Software\Microsoft\VBA\VBE\6.0\Addins\WekQM417.AddInClass'
key64='HKCU\Software\Microsoft\VBA\VBE\6.0\Addins64\WekQM417.AddInClass'

"$wine" 'C:\pkg\Setup.exe' >/dev/null 2>&1 &
setup=$!
wintest click 'Wek Quillmark for VB6 Ver1.0 - ｾｯﾄｱｯﾌﾟ' 'ｾｯﾄｱｯﾌﾟ開始' >/dev/null
out=$(wintest click WekQM417_Setup OK 60)
wait $setup
wineserver -k 2>/dev/null; wineserver -w
sed 's/^/  setup: /' <<<"$out"
check "the installation completes" grep -q 'ｾｯﾄｱｯﾌﾟが完了しました。' <<<"$out"
check "the 32-bit library is in the 32-bit system folder" cmp "$pkg/WekQM417.dll" "$sys32/WekQM417.dll"
check "the 64-bit library is in the 64-bit one" cmp "$pkg/WekQM417x64.dll" "$sys64/WekQM417.dll"
for f in Quillmark.cnt Quillmark.hlp Quillmark.chm; do
  check "$f beside the 32-bit library" cmp "$pkg/$f" "$sys32/$f"
  check "$f beside the 64-bit library" cmp "$pkg/$f" "$sys64/$f"
done
check "the 32-bit view leads to the 32-bit library" reg_has "HKCR\\CLSID\\$clsid\\InprocServer32" '' 'syswow64\\WekQM417.dll' /reg:32
check "the 64-bit view leads to the 64-bit library" reg_has "HKCR\\CLSID\\$clsid\\InprocServer32" '' 'system32\\WekQM417.dll' /reg:64
check "VB6 knows the add-in" reg_has "$key6" LoadBehavior 0x1
check "the 32-bit editor knows it" reg_has "$key32" LoadBehavior 0x3
check "the 64-bit editor knows it" reg_has "$key64" LoadBehavior 0x3

"$wine" 'C:\windows\WekQM417_Setup.exe' /UNINST >/dev/null 2>&1 &
setup=$!
wintest click 'Wek Quillmark for VB6 Ver1.0 - 削除' '削除' >/dev/null
out=$(wintest click WekQM417_Setup OK 60)
wait $setup
sed 's/^/  removal: /' <<<"$out"
check "the removal completes" grep -q 'ｱﾌﾟﾘｹｰｼｮﾝの削除が完了しました。' <<<"$out"
for f in WekQM417.dll Quillmark.cnt Quillmark.hlp Quillmark.chm; do
  check "$f is gone from the 32-bit system folder" test ! -e "$sys32/$f"
  check "$f is gone from the 64-bit one" test ! -e "$sys64/$f"
done
check "the class is gone from the 32-bit view" reg_gone "HKCR\\CLSID\\$clsid" /reg:32
check "  and from the 64-bit view" reg_gone "HKCR\\CLSID\\$clsid" /reg:64
for k in "$key6" "$key32" "$key64"; do check "$k is deleted" reg_gone "$k"; done
check "other programs' files stay" test -e "$sys64/QmOther.dll" -a -e "$sys32/QmOther.dll"
wineserver -k 2>/dev/null
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
