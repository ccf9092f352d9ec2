#!/usr/bin/env bash
# One bounded fuzz campaign for CTest: run_fuzzer.sh <log file> <fuzzer> <arguments...>.
# libFuzzer's output goes to the log; the console gets the coverage and speed reached and,
# on a finding, the end of the log with the report and the saved input.
set -uo pipefail
log="$1"; shift
mkdir -p "$(dirname "$log")"
"$@" </dev/null >"$log" 2>&1
status=$?
grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log"
[ $status -eq 0 ] || { echo "---- fuzzer exited with status $status; end of $log:"; tail -n 60 "$log"; }
exit $status
