#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a given time (default 20 s).
#   tools/fuzz.sh [seconds] [target...]
# The seed corpus in fuzz/corpus/ is copied, so the repository stays as it is; what a run
# learns stays in build/fuzz/corpus/. Findings (crash-*, leak-*, timeout-*) land in
# build/fuzz/findings/ and make the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_answer fuzz_text_command fuzz_numbers fuzz_model_file)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]}"

mkdir -p build/fuzz/findings
status=0
for t in "${targets[@]}"; do
  seeds="fuzz/corpus/${t#fuzz_}"
  work="build/fuzz/corpus/${t#fuzz_}"
  mkdir -p "$work"
  cp -n "$seeds"/* "$work"/ 2>/dev/null || true
  log="build/fuzz/findings/$t.log"
  if ! "build/fuzz/fuzz/$t" "$work" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
      -rss_limit_mb=2048 -artifact_prefix="build/fuzz/findings/$t-" -print_final_stats=1 >"$log" 2>&1; then
    echo "$t: FINDING, see $log"
    tail -n 30 "$log"
    status=1
  fi
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  echo "$t: ${runs:-?} executions in ${seconds} s"
done
exit $status
