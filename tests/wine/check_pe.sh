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
# The elevated setup program: its entry is the one that narrows the library search before the C
# runtime starts, and the shell and COM are imported on first use, after that (delay-loaded).
entry_is() {  # file, symbol: the program starts at the symbol
  local base entry symbol
  base=$("$objdump" -p "$1" | awk '/^ImageBase/ {print $2}')
  entry=$("$objdump" -p "$1" | awk '/^AddressOfEntryPoint/ {print $2}')
  symbol=$(i686-w64-mingw32-nm "$1" | awk -v s="$2" '$3 == s {print $1}')
  [ -n "$symbol" ] && [ $((16#$base + 16#$entry)) -eq $((16#$symbol)) ]
}
no_shell_import() { ! "$objdump" -p "$1" | awk '/DLL Name:/ {print toupper($3)}' | grep -q -x -E 'SHELL32.DLL|OLE32.DLL'; }
delay_loads() { i686-w64-mingw32-nm "$1" | grep -q ' ___delayLoadHelper2@8$' && grep -a -q -x -i 'shell32.dll' <(strings -a "$1"); }
check "setup/Setup.exe starts at its own entry" entry_is "$build/setup/Setup.exe" _SetupEntry
check "setup/Setup.exe loads the shell and COM only when it calls them" no_shell_import "$build/setup/Setup.exe"
check "  through the delay-load helper" delay_loads "$build/setup/Setup.exe"

exports=$("$objdump" -p "$build/com/WekQM417.dll" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^[ \t]*\[/ {print $NF} on && /^$/ {on=0}')
check "the library exports exactly the four entry points, undecorated" test "$(echo "$exports" | sort | tr '\n' ' ')" = "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer "

# Resources: version information in Japanese and English on all three; a manifest that asks for the
# administrator on the setup program and for nothing on the command; the product icon on both programs.
resource_types() {  # the resource types of a file, as decimal numbers
  "$objdump" -p "$1" | awk '/Resource Directory section/ {on=1; next} on && /^[0-9a-f]+   Entry: ID:/ {print $4}' | sed 's/,$//' |
    while read -r id; do echo $((id)); done
}
has_type() { resource_types "$1" | grep -qx "$2"; }
has_text() {  # a text as the resources hold it (UTF-16LE)
  local pattern
  pattern=$(printf '%s' "$2" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -s ' \n' ' ' | sed 's/ *$//; s/^ *//; s/ /\\x/g; s/^/\\x/')
  LC_ALL=C grep -q -a -P "$pattern" "$1"
}
manifest() { strings -n 8 "$1" | tr -d '\r' | sed -n '/<assembly/,/<\/assembly>/p'; }
manifest_has() { manifest "$1" | grep -q -F "$2"; }
no_manifest() { ! resource_types "$1" | grep -qx 24; }
for file in com/WekQM417.dll setup/Setup.exe cli/quillmark.exe; do
  check "$file has version information" has_type "$build/$file" 16
  check "$file names the product" has_text "$build/$file" "Wek Quillmark for VB6 Ver1.0"
  check "$file has its version, 1.0" has_text "$build/$file" "1.0.0.0"
  check "$file has a Japanese block" has_text "$build/$file" "041104B0"
  check "$file has an English block" has_text "$build/$file" "040904B0"
  check "$file has the copyright line" has_text "$build/$file" "Copyright (C) 2026 Quillmark. All rights reserved."
done
check "com/WekQM417.dll describes itself" has_text "$build/com/WekQM417.dll" "Wek Quillmark for VB6 アドイン"
check "setup/Setup.exe describes itself" has_text "$build/setup/Setup.exe" "Wek Quillmark for VB6 セットアップ"
check "cli/quillmark.exe describes itself" has_text "$build/cli/quillmark.exe" "Wek Quillmark コマンド"
for file in setup/Setup.exe cli/quillmark.exe; do
  check "$file has a manifest" has_type "$build/$file" 24
  check "$file has the product icon" has_type "$build/$file" 14
  check "$file names the systems it supports" manifest_has "$build/$file" "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"
done
check "the setup program asks for the administrator" manifest_has "$build/setup/Setup.exe" 'level="requireAdministrator"'
check "the command asks for nothing" manifest_has "$build/cli/quillmark.exe" 'level="asInvoker"'
check "the library has no manifest" no_manifest "$build/com/WekQM417.dll"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
