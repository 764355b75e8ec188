#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer + ASan + UBSan) into
# build-fuzz/, apart from the main build, and runs each one for
# FUZZ_SECONDS seconds (30 by default). Fails on the first crash or broken
# invariant; the input that did it is left in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${FUZZ_SECONDS:-30}
out=build-fuzz
mkdir -p "$out"

# Each target, its seeds (under tools/fuzz/seeds) and its dictionary.
targets=(Get Send Cmpp Line Ini Queue)
declare -A seeds=([Get]=pdu [Send]=pdu [Cmpp]=cmpp [Line]=line [Ini]=ini [Queue]=queue)
declare -A dicts=([Get]=pdu [Send]=pdu [Cmpp]=cmpp [Line]=line [Ini]=ini [Queue]=pdu)

echo "== building the fuzz targets"
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSMS_FUZZ=ON >/dev/null
cmake --build "$out" --target "${targets[@]/%/Fuzz}"

for target in "${targets[@]}"; do
  echo "== running ${target}Fuzz for ${seconds} s"
  corpus="$out/corpus-$target"
  mkdir -p "$corpus"
  log="$out/${target}.log"
  # The first folder gathers new inputs; the seeds are only read.
  if "$out/tools/fuzz/${target}Fuzz" "$corpus" "tools/fuzz/seeds/${seeds[$target]}" \
       -dict="tools/fuzz/${dicts[$target]}.dict" \
       -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=1024 \
       -artifact_prefix="$out/${target}-" -print_final_stats=1 >"$log" 2>&1; then
    grep -E '^(Done|stat::(number_of_executed_units|new_units_added|peak_rss_mb))' "$log"
  else
    tail -n 60 "$log"
    echo "${target}Fuzz failed; full log in $log"
    exit 1
  fi
done
echo "== fuzzing clean"
