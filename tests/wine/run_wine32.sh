#!/usr/bin/env bash
# The 32-bit programs (the deliverables themselves) in a 32-bit Wine prefix: the end-to-end checks
# and the scenario files, as for the 64-bit builds. Skipped (exit 77) where 32-bit Wine cannot start,
# as on a kernel without 32-bit emulation.
#   xvfb-run -a bash run_wine32.sh BUILD_DIR (the windows build) FAULTS_DIR (windows-faults) SCENARIO_FILE...
set -u
here=$(cd "$(dirname "$0")" && pwd)
loader=/usr/lib/wine/wine
if ! why=$("$loader" --version 2>&1); then
  echo "32-bit Wine cannot start here: ${why:-$loader is missing}"
  exit 77
fi
export QM_WINE=$loader WINEARCH=win32
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
