#!/usr/bin/env bash
# Builds the serial layer's and the engine's tests with
# ThreadSanitizer into build-tsan/, apart from the main build, and runs them
# TSAN_REPEAT times (3 by default). Fails on the first report.
set -euo pipefail
cd "$(dirname "$0")/../.."

# The engine tests under ThreadSanitizer too (0 leaves them out).
engine=${TSAN_ENGINE:-1}
repeat=${TSAN_REPEAT:-3}
out=build-tsan

programs=("test_serial *" "test_platform CommLayer.*")
[ "$engine" = 1 ] && programs+=("test_gateway *" "test_gateway_window *")

echo "== building with ThreadSanitizer"
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_C_FLAGS=-fsanitize=thread -DCMAKE_CXX_FLAGS=-fsanitize=thread \
      -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
targets=(modemsim)
for p in "${programs[@]}"; do targets+=("${p%% *}"); done
cmake --build "$out" --target "${targets[@]}"

export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
# Qt's glib event dispatcher is not instrumented either; Qt's own one is enough.
export QT_NO_GLIB=1
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 suppressions=$PWD/tools/tsan/qt.supp"
for p in "${programs[@]}"; do
  program=${p%% *}
  filter=${p#* }
  log="$out/$program.log"
  echo "== $program ($filter) x$repeat"
  if timeout 900 "$out/tests/$program" --gtest_filter="$filter" --gtest_repeat="$repeat" \
       --gtest_brief=1 >"$log" 2>&1; then
    grep -E '^\[  PASSED' "$log" | tail -n 1
  else
    # The failures and reports first: the end of the log may be another repeat.
    grep -E -B3 -A25 '^\[  FAILED|: Failure$|WARNING: ThreadSanitizer' "$log" | head -n 200 || true
    tail -n 20 "$log"
    echo "$program failed under ThreadSanitizer; full log in $log"
    exit 1
  fi
done
echo "== ThreadSanitizer clean"
