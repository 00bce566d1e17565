#!/usr/bin/env bash
# Builds everything, the window code included, with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/, runs every suite there (the
# window suites on Qt's offscreen platform), and, when clang is present, gives each libFuzzer
# target a short run. Any sanitizer report aborts, so the run fails.
#   PLOVEX_FUZZ_SECONDS  seconds per fuzz target (default 60; 0 skips fuzzing)
#   PLOVEX_ASAN_GUI      ON (default) or OFF: OFF leaves the window code and its
#                        suites out, which CI does to stay inside its time budget
#   PLOVEX_FUZZ_SEED     libFuzzer's random seed (default 1, so a run repeats
#                        the same inputs; 0 lets libFuzzer pick a new one)
# Inputs that once found a fault are kept among the seeds, so every run
# tries them again first.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${PLOVEX_ASAN_BUILD_DIR:-build-asan}
fuzz_seconds=${PLOVEX_FUZZ_SECONDS:-60}
fuzz_seed=${PLOVEX_FUZZ_SEED:-1}

options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLOVEX_GUI="${PLOVEX_ASAN_GUI:-ON}" -DPLOVEX_SANITIZE=ON)
if command -v clang++ >/dev/null 2>&1; then
  # One clang build serves both: the suites link the same instrumented
  # libraries as the fuzz targets.
  options+=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPLOVEX_FUZZ=ON)
  fuzzing=1
else
  echo "sanitize: clang not found, fuzz targets skipped"
  fuzzing=0
fi

cmake -S . -B "$build" -G Ninja "${options[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=0:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

if ((fuzzing)) && ((fuzz_seconds > 0)); then
  # Every fuzz target that was built.
  fuzzers=("$build"/fuzz/fuzz_*)
  [ -x "${fuzzers[0]}" ] || { echo "fuzz: no fuzz targets were built"; exit 1; }
  for fuzzer in "${fuzzers[@]}"; do
    [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    corpus=$(mktemp -d)
    log=$(mktemp)
    seeds=()
    [ -d "fuzz/seeds/${name#fuzz_}" ] && seeds=("fuzz/seeds/${name#fuzz_}")
    echo "fuzz: $name for ${fuzz_seconds}s"
    status=0
    "$fuzzer" -seed="$fuzz_seed" -max_total_time="$fuzz_seconds" -timeout=30 -print_final_stats=1 \
      -artifact_prefix="$corpus/" "$corpus" "${seeds[@]}" >"$log" 2>&1 || status=$?
    grep -E '^(Done [0-9]+ runs|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || true
    if ((status != 0)); then
      tail -n 60 "$log"
      echo "fuzz: $name found a fault (exit $status)"
      exit 1
    fi
    rm -rf "$corpus" "$log"
  done
fi
