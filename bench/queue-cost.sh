#!/usr/bin/env bash
# The printer queue's cost per job: whole conversions (office start, page
# set-up, print, pdfwrite) with this queue and with the queue it replaced
# (ps2write alone), taking turns in one run, medians in milliseconds. Prints
# the Markdown table of docs/performance.md.
#
#   bench/queue-cost.sh [runs]      (default 5 runs per workbook and queue)
source "$(dirname "$0")/common.sh"
runs=${1:-5}
bench_build quillmer_fidelity
exec "$build/bench/quillmer_fidelity" cost --runs "$runs" "$registry" \
  "$corpus/cal_any_sheets.xls" \
  "$corpus/edr_TestUnicodeChars.xls" \
  "$corpus/poi_chinese-provinces.xls" \
  "$corpus/edr_Test255x10.xls" \
  "$corpus/poi_36947.xls" \
  "$corpus/poi_FormulaEvalTestData.xls" \
  "$corpus/edr_Test_git_issue_250_richtext.xls" \
  "$corpus/poi_styles-3563.xls" \
  "$corpus/poi_54016.xls"
