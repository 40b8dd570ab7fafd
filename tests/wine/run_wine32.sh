#!/usr/bin/env bash
# The 32-bit programs (the deliverables themselves) in a 32-bit Wine prefix: the end-to-end checks
# and the scenario files, as for the 64-bit builds. Skipped (exit 77) where 32-bit Wine cannot start,
# as on a kernel without 32-bit emulation.
#   xvfb-run -a bash run_wine32.sh BUILD_DIR (the windows build) FAULTS_DIR (windows-faults) SCENARIO_FILE...
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine32.sh"
if ! wine32_runs; then
  echo "skipped: the 32-bit deliverables under 32-bit Wine: $wine32_why"
  exit 77
fi
export QM_WINE=$wine32_loader WINEARCH=win32
export WINEPREFIX=${WINEPREFIX:-$(mktemp -d)/prefix}
status=0
build=$1
faults=$2
shift 2
bash "$here/run_wine_tests.sh" "$build" || status=1
bash "$here/run_scenarios.sh" "$build" "$@" || status=1
# Where the fault is real: an exception that left a window or timer procedure would end the process.
QUILLMARK_FAULTS=dialog,tick bash "$here/run_scenarios.sh" "$faults" "$here/faults.scn" || status=1
exit $status
