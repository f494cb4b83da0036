#!/usr/bin/env bash
# The soak run: COUNT conversions (default 300) through one quillmer-convert
# run with two workers, the small and medium corpus workbooks cycled, each
# job with its own target in a temporary folder. bench/soak.py samples our
# process and its offices every 10 finished jobs and checks that nothing
# grows without bound, no zombie or office is left, every target is a valid
# PDF and the report has one record per job.
#
#   bench/soak.sh [--count N] [--jobs N]
source "$(dirname "$0")/common.sh"
bench_build quillmer-convert
workbooks=(
  cal_any_sheets.xls edr_Test255x10.xls edr_TestUnicodeChars.xls
  libxls_types.xls poi_36947.xls poi_chinese-provinces.xls poi_Formatting.xls
  poi_SampleSS.xls poi_SimpleWithColours.xls poi_SimpleWithComments.xls
  poi_SubtotalsNested.xls xlrd_namesdemo.xls
)
work=$(mktemp -d "${TMPDIR:-/tmp}/quillmer-soak.XXXXXX")
trap 'rm -rf "$work"' EXIT
python3 "$here/bench/soak.py" --program "$build/Quillmer/quillmer-convert" \
  --work "$work" "$@" -- "${workbooks[@]/#/$corpus/}"
