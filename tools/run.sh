#!/usr/bin/env bash
# Sets up a fresh Debian machine if needed, builds, and starts the desk in the
# work folder ./work, which dbcreate fills on the first start (database, tree,
# phrase, log and settings files; files already there are kept).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build.sh
./build/tools/dbcreate/dbcreate work
cd work
exec ../build/desk/smsdesk
