#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz and runs
# each for a bounded time (seconds per target, 60 by default), starting from
# the committed seeds in fuzz/corpus/<name>. New inputs go to
# build-fuzz/corpus/<name>, never into the sources; a crash leaves its input
# as build-fuzz/crash-<name>-* and makes the script fail.
# Usage: scripts/fuzz.sh [seconds] [target ...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build="$here/build-fuzz"
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(registryfile settingsini commandline numeric pagerange manifest contentstream)

cmake -S "$here/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --parallel 2
failed=()
for name in "${targets[@]}"; do
  work="$build/corpus/$name"
  mkdir -p "$work"
  echo "== fuzz_$name for ${seconds}s"
  if ! "$build/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=4096 -print_final_stats=1 -artifact_prefix="$build/crash-$name-" \
      "$work" "$here/fuzz/corpus/$name" 2>"$build/fuzz_$name.log"; then
    failed+=("$name")
    tail -40 "$build/fuzz_$name.log"
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ *DONE)' "$build/fuzz_$name.log" || true
done
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "Crashes in: ${failed[*]}" >&2
  exit 1
fi
