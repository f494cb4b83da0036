#!/usr/bin/env bash
# Times each stage of a conversion (instance start, open, page set-up, print
# to PostScript, pdfwrite) on a handful of corpus workbooks, with
# "soffice --headless --convert-to pdf" on the same files for comparison.
# Prints a Markdown table of medians in milliseconds (see docs/performance.md).
#
#   bench/run.sh [runs]      (default 5 runs per workbook)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$here/build}
runs=${1:-5}
corpus=${QUILLMER_CORPUS:-$here/../shared/corpus}/xls
cmake -S "$here" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --parallel 2 --target quillmer_bench program_folder >/dev/null
exec "$build/bench/quillmer_bench" --runs "$runs" "$build/Quillmer/registry.reg" \
  "$corpus/poi_SampleSS.xls" \
  "$corpus/edr_TestUnicodeChars.xls" \
  "$corpus/poi_54686_fraction_formats.xls" \
  "$corpus/edr_Test255x10.xls" \
  "$corpus/poi_36947.xls"
