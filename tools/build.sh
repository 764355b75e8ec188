#!/usr/bin/env bash
# Configures and builds into ./build (Release with debug info).
#   tools/build.sh              everything: programs, tests, benchmarks
#   tools/build.sh TARGET...    only those targets and what they need
# SMS_WERROR=ON makes every warning an error (CI builds so).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/build.ninja ]; then
  echo "Configuring the build in build/ ..."
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${SMS_WERROR:+-DSMS_WERROR=$SMS_WERROR} >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build -j"$(nproc)" "${targets[@]}"
