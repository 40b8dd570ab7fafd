#!/usr/bin/env bash
# The command's Wine checks with the 32-bit programs in a 32-bit prefix, where this machine runs them.
#   xvfb-run -a bash run_cli_wine32.sh BUILD_DIR   (exit 77: skipped)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine32.sh"
if ! wine32_runs; then
  echo "skipped: the 32-bit quillmark.exe under Wine: $wine32_why"
  exit 77
fi
QM_WINE=wine WINEARCH=win32 exec bash "$here/run_cli_tests.sh" "$1"
