#!/usr/bin/env bash
# clang-tidy over every source file of the project that a build compiles (its compile_commands.json;
# the clang preset writes one): bash tools/tidy.sh BUILD_DIR. Fails on any finding.
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
files=$(python3 - "$build/compile_commands.json" "$root" <<'PY'
import json, sys
root = sys.argv[2] + "/"
seen = sorted({e["file"] for e in json.load(open(sys.argv[1]))
               if e["file"].startswith(root) and "/build/" not in e["file"][len(root):]})
print("\n".join(seen))
PY
)
status=0
echo "$files" | xargs -P "${TIDY_JOBS:-2}" -n 4 clang-tidy -p "$build" --quiet >"$build/tidy.log" 2>&1 || status=$?
grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' "$build/tidy.log" || true
if [ $status -ne 0 ] || grep -q -E ': (warning|error): ' "$build/tidy.log"; then
  echo "clang-tidy: findings above"
  exit 1
fi
echo "clang-tidy: $(echo "$files" | wc -l) files, no finding"
