#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. GL and end-to-end tests start
# their own Xvfb, so no display is needed.
set -euo pipefail
cd "$(dirname "$0")"

./tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure -j"$(nproc)"
