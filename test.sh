#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test in up to three stages:
#   normal  the release build in build/ and all its tests
#   asan    the same tests built with clang, AddressSanitizer and UndefinedBehaviorSanitizer
#           in build-asan/; any sanitizer report fails the test that caused it
#   fuzz    the libFuzzer targets of tests/fuzz, built in build-fuzz/, each fuzzed for
#           QUILLET_FUZZ_SECONDS (default 60); any crash, leak, sanitizer report or hang fails
# Without arguments every stage runs, in that order; `./test.sh normal` runs only the
# first. GL and end-to-end tests start their own Xvfb, so no display is needed.
set -euo pipefail
cd "$(dirname "$0")"

stages=("$@")
if [ ${#stages[@]} -eq 0 ]; then
  stages=(normal asan fuzz)
fi
for stage in "${stages[@]}"; do
  case "$stage" in
    normal|asan|fuzz) ;;
    *) echo "unknown stage: $stage (normal, asan, fuzz)" >&2; exit 2 ;;
  esac
done

jobs="$(nproc)"
./tools/install-deps.sh

for stage in "${stages[@]}"; do
  start=$SECONDS
  echo "== $stage"
  case "$stage" in
    normal)
      cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
      cmake --build build -j"$jobs"
      (cd build && ctest --output-on-failure -j"$jobs")
      ;;
    asan)
      CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQUILLET_SANITIZE=ON -DQUILLET_BENCH=OFF >/dev/null
      cmake --build build-asan -j"$jobs"
      (cd build-asan && ctest --output-on-failure -j"$jobs")
      ;;
    fuzz)
      CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_FUZZ=ON \
        -DQUILLET_TESTS=OFF -DQUILLET_BENCH=OFF -DQUILLET_FUZZ_SECONDS="${QUILLET_FUZZ_SECONDS:-60}" >/dev/null
      cmake --build build-fuzz -j"$jobs" --target fuzz_programs
      (cd build-fuzz && ctest --output-on-failure -j"$jobs" -L fuzz)
      for log in build-fuzz/tests/fuzz/logs/*.log; do  # runs, coverage and speed reached
        echo "$(basename "$log" .log): $(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1)"
      done
      ;;
  esac
  echo "== $stage passed in $((SECONDS - start)) s"
done
