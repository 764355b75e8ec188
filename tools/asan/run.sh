#!/usr/bin/env bash
# Builds every test program but the end-to-end journeys (test_e2e) with
# AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/, apart
# from the main build, and runs each case once. Fails on any report: a
# memory fault, a leak or undefined behaviour ends the case that met it.
set -euo pipefail
cd "$(dirname "$0")/../.."

out=build-asan
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

echo "== building the unit tests with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_C_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS="$sanitize" \
      -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined >/dev/null
programs=$(ninja -C "$out" -t targets all | sed -n 's/^tests\/\(test_[a-z_]*\): CXX_EXECUTABLE_LINKER.*/\1/p' | grep -vx test_e2e)
# shellcheck disable=SC2086 # one target a word
cmake --build "$out" --target $programs

export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
export ASAN_OPTIONS="detect_stack_use_after_return=1 strict_init_order=1 check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/asan/lsan.supp print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1"
echo "== running $(echo $programs)"
cd "$out"
ctest -j"$(nproc)" --timeout 300 --output-on-failure --no-tests=error -L "^($(echo $programs | tr ' ' '|'))\$"
echo "== AddressSanitizer and UndefinedBehaviorSanitizer clean"
