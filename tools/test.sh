#!/usr/bin/env bash
# Sets up a fresh Debian machine if needed, builds, and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build.sh
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
cd build
ctest -j"$(nproc)" --output-on-failure --timeout 300
