#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each one, one at a time, for the given
# number of seconds on its seed corpus. New inputs go to a scratch corpus
# (the checked-in seeds stay as they are); a crash, a leak or a hang stops
# that target, leaves its input in the artifact folder and fails the script.
#
# Usage: fuzz/run_fuzzers.sh <seconds-per-target> [target ...]
# Environment: BUILD_DIR (default build-fuzz), WORK_DIR (default
# $BUILD_DIR/fuzz-work), JOBS (build jobs, default 2).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: fuzz/run_fuzzers.sh <seconds-per-target> [target ...]}
shift
build=$(realpath -m "${BUILD_DIR:-build-fuzz}")
# Absolute paths: the whole-run target works in a directory of its own.
work=$(realpath -m "${WORK_DIR:-$build/fuzz-work}")
fuzz_dir=$(pwd)/fuzz
all_targets=(text_input analysis_parameters_file stress_history_file block_group_file material_file
             node_stress_file combination_file blocks_file whole_run)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DKORVANEL_FUZZ=ON -DKORVANEL_TESTS=OFF >/dev/null
if ! build_log=$(ninja -C "$build" -j "${JOBS:-2}" $(printf 'fuzz_%s ' "${targets[@]}") 2>&1); then
  printf '%s\n' "$build_log" | tail -40
  echo "fuzz targets did not build" >&2
  exit 1
fi

failed=0
for target in "${targets[@]}"; do
  scratch="$work/$target/corpus"
  artifacts="$work/$target/artifacts/"
  mkdir -p "$scratch" "$artifacts"
  # A whole run may take a while on a large input; the readers must be quick.
  timeout=10
  max_len=4096
  [ "$target" = whole_run ] && timeout=30 && max_len=8192
  echo "== $target: ${seconds}s"
  if ! "$build/fuzz/fuzz_$target" "$scratch" "$fuzz_dir/corpus/$target" \
        -max_total_time="$seconds" -timeout="$timeout" -max_len="$max_len" -rss_limit_mb=4096 \
        -dict="$fuzz_dir/dictionary.txt" -artifact_prefix="$artifacts" -print_final_stats=1 \
        >"$work/$target/log.txt" 2>&1; then
    echo "FAILED $target: see $work/$target/log.txt and $artifacts"
    tail -n 30 "$work/$target/log.txt"
    failed=1
  else
    grep -E "^stat::number_of_executed_units|^Done" "$work/$target/log.txt" | tr '\n' ' '
    echo
  fi
done
exit $failed
