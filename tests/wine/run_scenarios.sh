#!/usr/bin/env bash
# The scenario files against the real library under Wine: each one in a stand-in environment of its
# own, which registers the library where the scenario says it lies, creates the add-in by its
# ProgID and acts on its real dialogs. Run inside one X server:
#   xvfb-run -a bash run_scenarios.sh [--vba] BUILD_DIR FILE...
# --vba: the stand-in is Office's VBA editor (of the build's bitness) for every file.
set -u
mode=scenario
if [ "${1:-}" = --vba ]; then mode=scenario-vba; shift; fi
build=$(cd "$1" && pwd)
shift
export WINEDEBUG=-all LANG=ja_JP.UTF-8 WINEARCH=${WINEARCH:-win64}
export WINEPREFIX=${WINEPREFIX:-$(mktemp -d)/prefix}
export PATH=$PATH:/usr/lib/wine
wine=${QM_WINE:-wine64}  # the 32-bit prefix: QM_WINE=wine WINEARCH=win32

"$wine" wineboot -i >/dev/null 2>&1
wineserver -w
# Scenarios may place the library on drive D: as well.
mkdir -p "$WINEPREFIX/drive_d"
ln -sfn ../drive_d "$WINEPREFIX/dosdevices/d:"
dos() { local p; p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); echo "Z:${p//\//\\}"; }
lib=$(dos "$build/com/WekQM417.dll")

passed=0
failed=0
for file in "$@"; do
  scn=$(dos "$file")
  out=$(timeout 300 "$wine" "$build/tests/win32/standin.exe" "$mode" "$lib" "$scn" 2>/dev/null | tr -d '\r')
  status=$?
  if [ $status -eq 0 ] && grep -q '^passed ' <<<"$out"; then
    passed=$((passed + 1)); echo "passed $(basename "$file")"
  else
    failed=$((failed + 1)); echo "FAILED $(basename "$file") (exit $status)"
    sed 's/^/  /' <<<"$out" | grep -v '^  FAILED '
  fi
done
wineserver -k 2>/dev/null
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
