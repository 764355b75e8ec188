#!/usr/bin/env bash
# Fails when a tracked C++ source is not formatted as .clang-format says
# (with Debian 12's clang-format), and lists those files; clang-format -i on
# each one mends it.
set -euo pipefail
cd "$(dirname "$0")/../.."

total=$(git ls-files '*.cpp' '*.h' | wc -l)
# shellcheck disable=SC2016 # expanded by the inner shell
unformatted=$(git ls-files -z '*.cpp' '*.h' |
  xargs -0 -n 16 -P "$(nproc)" sh -c 'for f; do clang-format "$f" | cmp -s - "$f" || echo "$f"; done' sh | sort)
if [ -n "$unformatted" ]; then
  echo "$unformatted"
  echo "$(echo "$unformatted" | wc -l) of $total files are not formatted as .clang-format says (clang-format -i them)"
  exit 1
fi
echo "format kept: $total files"
