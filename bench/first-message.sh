#!/usr/bin/env bash
# Times the wait from pressing Convert to the first message box for one job
# (the batch run, the whole conversion and its outcome message), on a few
# small corpus workbooks. Prints a Markdown table of milliseconds (see
# docs/performance.md).
#
#   bench/first-message.sh [runs]      (default 5 runs per workbook)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$here/build}
runs=${1:-5}
corpus=${QUILLMER_CORPUS:-$here/../shared/corpus}/xls
cmake -S "$here" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --parallel 2 --target quillmer_bench_firstmessage program_folder >/dev/null
exec "$build/bench/quillmer_bench_firstmessage" --runs "$runs" "$build/Quillmer/registry.reg" \
  "$corpus/edr_TestUnicodeChars.xls" \
  "$corpus/poi_SampleSS.xls"
