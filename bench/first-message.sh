#!/usr/bin/env bash
# Times, in the main window with the spare office ready, the wait from
# pressing Convert to the first message box for one job, and a batch of five
# small workbooks, each against "soffice --headless --convert-to pdf" of the
# same files from a warm profile, in turn in the same run. Prints Markdown
# tables (see docs/performance.md).
#
#   bench/first-message.sh [runs]      (default 5 runs)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$here/build}
runs=${1:-5}
corpus=${QUILLMER_CORPUS:-$here/../shared/corpus}/xls
cmake -S "$here" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --parallel 2 --target quillmer_bench_firstmessage program_folder >/dev/null
bench="$build/bench/quillmer_bench_firstmessage"
"$bench" --runs "$runs" "$build/Quillmer" \
  "$corpus/edr_TestUnicodeChars.xls" \
  "$corpus/poi_SampleSS.xls"
echo
exec "$bench" --batch --runs "$runs" "$build/Quillmer" \
  "$corpus/edr_TestUnicodeChars.xls" \
  "$corpus/poi_SampleSS.xls" \
  "$corpus/poi_SimpleWithColours.xls" \
  "$corpus/poi_blankworkbook.xls" \
  "$corpus/xlrd_namesdemo.xls"
