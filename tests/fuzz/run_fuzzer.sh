#!/usr/bin/env bash
# Runs one bounded fuzz campaign for CTest: run_fuzzer.sh <log file> <fuzzer> <arguments...>.
# libFuzzer's whole output goes to the log file; the console gets the coverage and
# speed reached, and on a finding the end of the log, where the report and the saved
# input are (CTest would otherwise show only the start of a long log).
set -uo pipefail
log="$1"
shift
mkdir -p "$(dirname "$log")"
"$@" </dev/null >"$log" 2>&1
status=$?
grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log"
if [ $status -ne 0 ]; then
  echo "---- fuzzer exited with status $status; end of $log:"
  tail -n 60 "$log"
fi
exit $status
