#!/usr/bin/env bash
# The archive a Windows team takes: its name carries the version, and it holds the setup program, the
# add-in library, the help files, the 32-bit and the 64-bit quillmark.exe, README and the licence.
#   check_package.sh BUILD_DIR SOURCE_DIR
set -u
build=$1
source=$2
passed=0
failed=0
check() {
  local name=$1; shift
  if "$@" >/dev/null 2>&1; then passed=$((passed + 1)); echo "ok   $name"; else failed=$((failed + 1)); echo "FAIL $name"; fi
}
version=$(sed -n 's/^project(Quillmark VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
zip=$build/Quillmark-$version-windows.zip
check "the archive Quillmark-$version-windows.zip is made" test -s "$zip"
listing=$(unzip -Z1 "$zip" 2>/dev/null)
echo "$listing" | sed 's/^/  /'
top=Quillmark-$version-windows
for file in Setup.exe WekQM417.dll WekQM417x64.dll Quillmark.hlp Quillmark.cnt Quillmark.chm quillmark.exe x64/quillmark.exe README.md; do
  check "it holds $file" grep -qx "$top/$file" <<<"$listing"
done
if [ -e "$source/LICENSE" ]; then
  check "it holds the licence" grep -qx "$top/LICENSE" <<<"$listing"
else
  echo "note: the repository has no LICENSE, so the archive holds none"
fi
tmp=$(mktemp -d)
unzip -q "$zip" -d "$tmp"
for file in Setup.exe WekQM417.dll quillmark.exe; do
  check "$file is the 32-bit build" bash -c "i686-w64-mingw32-objdump -f '$tmp/$top/$file' | grep -q 'pei-i386'"
done
for file in x64/quillmark.exe WekQM417x64.dll; do
  check "$file is the 64-bit build" bash -c "x86_64-w64-mingw32-objdump -f '$tmp/$top/$file' | grep -q 'pei-x86-64'"
done
check "README tells how to install it on Windows" grep -q 'Setup.exe' "$tmp/$top/README.md"
rm -rf "$tmp"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
