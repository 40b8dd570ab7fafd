#!/usr/bin/env bash
# quillmark.exe under Wine as a Windows team uses it, on a code page 932 project with Japanese module
# and folder names: wildcards, projects, writes, the settings store from two processes, read-only and
# held files, links, what a console shows (read back with ReadConsoleOutputW) and what a pipe
# receives; then the file layer's shared cases. Run inside one X server (a console needs it):
#   xvfb-run -a bash run_cli_tests.sh BUILD_DIR
# With QM_WINE=wine and a 32-bit build, the same checks run the 32-bit programs.
set -u
build=$(cd "$1" && pwd)
export WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 WINEARCH=${WINEARCH:-win64}
export WINEPREFIX=${WINEPREFIX:-$(mktemp -d)/prefix}
export PATH=$PATH:/usr/lib/wine
wine=${QM_WINE:-wine64}
passed=0
failed=0

check() {  # name, then a command that succeeds when the check holds
  local name=$1; shift
  if "$@" >/dev/null 2>&1; then passed=$((passed + 1)); echo "ok   $name"; else failed=$((failed + 1)); echo "FAIL $name"; fi
}
has() { grep -qF -- "$2" <<<"$1"; }
"$wine" wineboot -i >/dev/null 2>&1
wineserver -w

q=$build/cli/quillmark.exe
probe=$build/tests/win32/console_probe.exe
qm() {  # the command's output and error, without CR; its status
  local out status
  out=$("$wine" "$q" "$@" 2>&1)
  status=$?
  printf '%s\n' "${out//$'\r'/}"
  return $status
}
work=$WINEPREFIX/drive_c/チーム
rm -rf "$work"; mkdir -p "$work/給与計算/sub"
cd "$work" || exit 1
module() {  # path, then the lines of a module in UTF-8; the file is code page 932 with CR LF
  local path=$1; shift
  printf '%s\r\n' "$@" | iconv -f utf-8 -t cp932 >"$path"
}
module 給与計算/税計算.bas 'Attribute VB_Name = "税計算"' 'Option Explicit' '' 'Public Function 消費税(ByVal 金額 As Long) As Long' '    消費税 = 金額 / 10' 'End Function'
module 給与計算/sub/Tax.bas 'Attribute VB_Name = "Tax"' 'Public Sub Calc()' 'End Sub'
module 給与計算/給与.vbp 'Type=Exe' 'Module=税計算; 税計算.bas' 'Module=Tax; SUB\..\sub\TAX.BAS'
finding='給与計算\税計算.bas:4: 消費税: no stamp'

# --- Text: a pipe receives UTF-8 (or code page 932 when asked); a console shows UTF-16.
out=$(qm check '給与計算\*.BAS')
check "a wildcard is expanded, in any case, and the path shown with \\" has "$out" "$finding"
check "  a pipe receives UTF-8" test "$(qm check '給与計算\*.bas' | head -1)" = "$finding"
out=$(QUILLMARK_CODEPAGE=932 "$wine" "$q" check '給与計算\*.bas' 2>/dev/null | iconv -f cp932 -t utf-8 | tr -d '\r')
check "  or code page 932 with QUILLMARK_CODEPAGE=932" test "$out" = "$finding"
for cp in 437 932 65001; do
  out=$("$wine" "$probe" --codepage $cp "$q" check '給与計算\*.bas' 2>/dev/null | tr -d '\r')
  check "  a console of code page $cp shows it right" has "$out" "$finding"
done
out=$("$wine" "$probe" "$q" check 'なし\*.bas' 2>/dev/null | tr -d '\r')
check "  and standard error too" has "$out" 'なし\*.bas: no file matches this pattern'
out=$(qm check 'なし\*.bas'); status=$?
check "a pattern that matches nothing is named" has "$out" 'なし\*.bas: no file matches this pattern'

# --- Projects: members with Japanese names, "\", ".." and another case.
out=$(qm check '給与計算\給与.vbp')
check "a project's Japanese member is found" has "$out" "$finding"
check "  and a member written otherwise, its path normalised" has "$out" '給与計算\sub\TAX.BAS:2: Calc: no stamp'

# --- Writes.
export QUILLMARK_SETTINGS='C:\チーム\store.reg'
printf 'REGEDIT4\r\n\r\n' >store.reg
out=$(qm stamp '給与計算\*.bas' --all --diff)
check "--diff shows the Japanese procedure" has "$out" "+' 関数名　: 消費税"
check "  in a diff of the normalised path" has "$out" '給与計算\税計算.bas'
before=$(md5sum <給与計算/税計算.bas)
qm stamp '給与計算\給与.vbp' --all --write >/dev/null
check "stamp --all --write stamps the modules" test "$(qm check '給与計算\給与.vbp')" = ""
check "  and keeps code page 932 and CR LF" bash -c "iconv -f cp932 -t utf-8 <'給与計算/税計算.bas' | grep -q \$'消費税 = 金額 / 10\\r'"
check "  nothing is left beside them" test "$(ls -A 給与計算 | wc -l)" -eq 3
check "  a second run changes nothing" bash -c "s=\$(md5sum <'給与計算/税計算.bas'); '$wine' '$q' stamp '給与計算\\給与.vbp' --all --write; test \"\$s\" = \"\$(md5sum <'給与計算/税計算.bas')\""
test "$before" != "$(md5sum <給与計算/税計算.bas)" || echo "  (the module was not changed)"

module 読取専用.bas 'Public Sub A()' 'End Sub'
"$wine" cmd /c attrib +r 'C:\チーム\読取専用.bas' >/dev/null 2>&1
before=$(md5sum <読取専用.bas)
out=$(qm stamp 読取専用.bas --all --write); status=$?
check "a read-only module is refused" has "$out" 'the file is read-only'
check "  and left as it was" test "$(md5sum <読取専用.bas)" = "$before"
"$wine" cmd /c attrib -r 'C:\チーム\読取専用.bas' >/dev/null 2>&1

module 編集中.bas 'Public Sub A()' 'End Sub'
before=$(md5sum <編集中.bas)
coproc holder { "$wine" "$build/tests/win32/file_layer.exe" --hold 'C:\チーム\編集中.bas' 2>/dev/null; }
read -r -t 30 line <&"${holder[0]}"
out=$(qm stamp 編集中.bas --all --write); status=$?
exec {holder[1]}>&-
wait "$holder_PID" 2>/dev/null
check "a module held open without sharing is reported" has "$out" '編集中.bas: cannot read: another program holds the file open'
check "  with status 1" test "$status" -eq 1
check "  and left as it was" test "$(md5sum <編集中.bas)" = "$before"

mkdir -p 実体
module 実体/本体.bas 'Public Sub A()' 'End Sub'
ln -s 実体/本体.bas リンク.bas
qm stamp リンク.bas --all --write >/dev/null
check "a link to a module is followed" grep -q "'" 実体/本体.bas
check "  and stays a link" test -L リンク.bas

# --- The settings store from two processes at once: nothing is lost.
( for i in 1 2 3 4 5 6; do "$wine" "$q" settings set ToolBarPosition $((i % 2)) >/dev/null 2>&1; done ) &
( for i in 1 2 3 4 5 6; do "$wine" "$q" settings set EditStamp "0,0,0,0,0,担当$i" >/dev/null 2>&1; done ) &
wait
check "two writers of one store lose nothing" test "$(qm settings get ToolBarPosition)" = 0
check "  of either" has "$(qm settings get EditStamp)" '担当6'

# --- A path longer than MAX_PATH.
deep=$work/$(printf 'a%.0s' {1..60})/$(printf 'b%.0s' {1..60})/$(printf 'c%.0s' {1..60})/$(printf 'd%.0s' {1..60})
mkdir -p "$deep"
module "$deep/長い.bas" 'Public Sub A()' 'End Sub'
winpath='C:\チーム'$(sed "s|^$work||; s|/|\\\\|g" <<<"$deep")'\長い.bas'
out=$(qm stamp "$winpath" --all --write); status=$?
[ "$status" -eq 0 ] || echo "  $winpath: $out"
check "a path longer than MAX_PATH is written" test "$status" -eq 0
check "  and stamped" grep -q "@(f)" "$deep/長い.bas"

# --- The file layer's shared cases.
out=$(timeout 300 "$wine" "$build/tests/win32/file_layer.exe" 'C:\チーム' 2>/dev/null | tr -d '\r')
sed 's/^/  file layer: /' <<<"$out"
summary=$(tail -1 <<<"$out")
if [[ "$summary" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
  passed=$((passed + BASH_REMATCH[1])); failed=$((failed + BASH_REMATCH[2]))
else
  failed=$((failed + 1)); echo "FAIL the file layer's cases ran to their end"
fi

cd / && rm -rf "$work"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
