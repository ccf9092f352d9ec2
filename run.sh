#!/usr/bin/env bash
# Installs what is missing, builds, and starts the game in data/.
# Without a display the game runs on a private screen and its picture is saved as
# screenshot.png in this folder.
set -euo pipefail
cd "$(dirname "$0")"

./tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target runtime

if [ -z "${DISPLAY:-}" ]; then
  echo "No display: running the game on a private screen for a screenshot."
  exec build/tools/quillet-snapshot build/app/quillet data screenshot.png
fi
cd data
exec ../build/app/quillet
