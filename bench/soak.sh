#!/usr/bin/env bash
# The soak run: COUNT conversions (default 300) through one quillmer-convert
# run with two workers. Each job is a symbolic link, in a temporary folder, to
# a corpus workbook (the small and medium ones cycled, or with --all the whole
# corpus), so each has its own target. bench/soak.py watches the program and
# its offices from outside and checks that nothing grows from office to office
# or over the run, no process, zombie or scratch folder is left, every target
# is a valid PDF and the report has one record per job.
#
#   bench/soak.sh [--all] [--count N] [--jobs N]
#   (bench/soak.sh --all --count 2000: the long run of docs/reliability.md)
source "$(dirname "$0")/common.sh"
workbooks=(
  cal_any_sheets.xls edr_Test255x10.xls edr_TestUnicodeChars.xls
  libxls_types.xls poi_36947.xls poi_chinese-provinces.xls poi_Formatting.xls
  poi_SampleSS.xls poi_SimpleWithColours.xls poi_SimpleWithComments.xls
  poi_SubtotalsNested.xls xlrd_namesdemo.xls
)
workbooks=("${workbooks[@]/#/$corpus/}")
pass=()
while (($#)); do
  case $1 in
  --all) mapfile -t workbooks < <(find "$corpus" -maxdepth 1 -iname '*.xls' | sort) ;;
  --count | --jobs) pass+=("$1" "$2") && shift ;;
  *) echo "usage: bench/soak.sh [--all] [--count N] [--jobs N]" >&2 && exit 2 ;;
  esac
  shift
done
bench_build quillmer-convert
work=$(mktemp -d "${TMPDIR:-/tmp}/quillmer-soak.XXXXXX")
trap 'rm -rf "$work"' EXIT
python3 "$here/bench/soak.py" --program "$build/Quillmer/quillmer-convert" \
  --work "$work" "${pass[@]}" -- "${workbooks[@]}"
