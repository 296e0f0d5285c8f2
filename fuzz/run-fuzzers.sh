#!/usr/bin/env bash
# Builds the fuzz entry points with clang (AddressSanitizer, UndefinedBehavior-
# Sanitizer, libFuzzer) and runs each for a bounded time on its seed corpus,
# made afresh in a temporary folder from examples/. Prints the
# executions of each target; any finding makes it exit non-zero, and the
# failing input and log are kept in the work folder it names.
#
#   fuzz/run-fuzzers.sh [SECONDS-PER-TARGET]     (default 30)
#
# Environment: ZK_FUZZ_BUILD (build folder, default build-fuzz), ZK_FUZZ_TARGETS
# (the targets to run, separated by blanks; by default all), ZK_FUZZ_TEXTS
# (folder of further text files used as nuclide library seeds; by default
# data/real of a shared/ folder beside the repository, when there is one).
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-30}"
build="${ZK_FUZZ_BUILD:-$repo/build-fuzz}"
texts="${ZK_FUZZ_TEXTS:-$repo/../shared/data/real}"
targets=(sample_file ewcal rcal peak_list nuclide_library uncertainty_settings instrument_answers
  spectrum_text)
if [ -n "${ZK_FUZZ_TARGETS:-}" ]; then
  read -r -a targets <<<"$ZK_FUZZ_TARGETS"
fi

CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZK_FUZZ=ON -DZK_SANITIZE=ON -DZK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target zk_fuzz -j "$(nproc)"

work="$(mktemp -d "${TMPDIR:-/tmp}/zk-fuzz.XXXXXX")"
extra=()
if [ -d "$texts" ]; then
  while IFS= read -r -d '' f; do extra+=("$f"); done \
    < <(find "$texts" -maxdepth 1 -type f \( -name '*.spe' -o -name '*.txt' \) -print0 | sort -z)
fi
"$build/fuzz/zk_fuzz_seeds" "$repo/examples" "$work/seeds" "${extra[@]}"

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
status=0
found=()
for t in "${targets[@]}"; do
  mkdir -p "$work/$t/corpus" "$work/$t/findings"
  cp -r "$work/seeds/$t/." "$work/$t/corpus/" 2>/dev/null || true
  log="$work/$t/fuzz.log"
  if (cd "$work/$t" && "$build/fuzz/zk_fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$work/$t/findings/" -rss_limit_mb=2048 -timeout=10 corpus >"$log" 2>&1); then
    echo "fuzz $t: $(grep -h 'stat::number_of_executed_units' "$log" | awk '{print $2}') executions, no finding"
  else
    echo "fuzz $t: FINDING (log and input in $work/$t)"
    tail -n 60 "$log"
    status=1
    found+=("$t")
  fi
done
failed=${#found[@]}
if [ "$failed" -eq 0 ]; then
  rm -rf "$work"
fi
echo "fuzz: $(( ${#targets[@]} - failed )) passed, $failed failed"
exit "$status"
