#!/usr/bin/env bash
# Runs one fuzz target for a while over a copy of its seed corpus, so that the repository's corpus
# only grows by hand: bash fuzz/run.sh BUILD_DIR NAME SECONDS. A finding is written to the work
# folder and printed; add it to fuzz/corpus/NAME once it is mended.
set -u
build=$1
name=$2
seconds=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/findings"
"$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/findings/" "$work/corpus" "$here/corpus/$name" >"$work/log" 2>&1
status=$?
grep -E '^#[0-9]+ +DONE|^stat::number_of_executed_units|^stat::peak_rss_mb|cov:' "$work/log" | tail -3
if [ $status -ne 0 ] || [ -n "$(ls "$work/findings")" ]; then
  tail -40 "$work/log"
  for f in "$work/findings"/*; do [ -e "$f" ] && { echo "finding: $(basename "$f")"; xxd "$f" | head -20; }; done
  exit 1
fi
