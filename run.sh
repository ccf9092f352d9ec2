#!/usr/bin/env bash
# Installs what is missing, builds the game and the tools README.md names, and starts the
# game in build/data, the run folder of the build. Without a display the game runs on a
# private screen and its picture is saved as screenshot.png in this folder.
set -euo pipefail
cd "$(dirname "$0")"

./tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target runtime

if [ -z "${DISPLAY:-}" ]; then
  echo "No display: running the game on a private screen for a screenshot."
  exec build/tools/quillet-snapshot build/app/quillet build/data screenshot.png
fi
cd build/data
exec ../app/quillet
