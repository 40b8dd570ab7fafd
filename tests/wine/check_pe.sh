#!/usr/bin/env bash
# The 32-bit deliverables: PE32, the library's four undecorated exports, and no import beyond the system's.
set -u
build=$1
objdump=i686-w64-mingw32-objdump
passed=0
failed=0
check() {
  local name=$1; shift
  if "$@" >/dev/null 2>&1; then passed=$((passed + 1)); echo "ok   $name"; else failed=$((failed + 1)); echo "FAIL $name"; fi
}
system_only() {
  "$objdump" -p "$1" | awk '/DLL Name:/ {print toupper($3)}' | grep -v -x -E 'KERNEL32.DLL|USER32.DLL|GDI32.DLL|ADVAPI32.DLL|OLE32.DLL|OLEAUT32.DLL|SHELL32.DLL|MSVCRT.DLL|COMCTL32.DLL' | grep -q . && return 1
  return 0
}
for file in com/WekQM417.dll setup/Setup.exe cli/quillmark.exe; do
  check "$file is PE32" bash -c "$objdump -p '$build/$file' | grep -q 'Magic.*010b'"
  check "$file is for i386" bash -c "$objdump -f '$build/$file' | grep -q 'pei-i386'"
  check "$file imports only system libraries" system_only "$build/$file"
done
exports=$("$objdump" -p "$build/com/WekQM417.dll" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^[ \t]*\[/ {print $NF} on && /^$/ {on=0}')
check "the library exports exactly the four entry points, undecorated" test "$(echo "$exports" | sort | tr '\n' ' ')" = "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer "
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
