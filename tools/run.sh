#!/usr/bin/env bash
# Sets up a fresh Debian machine if needed, builds, and starts the desk.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build.sh
./build/desk/smsdesk
