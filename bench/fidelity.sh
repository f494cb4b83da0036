#!/usr/bin/env bash
# The fidelity report: every good workbook of the corpus converted by the
# program's own parts (page set-up with the default options, the printer
# queue, the first Ghostscript run), beside LibreOffice's own PDF export of
# it with the same page set-up, compared by bench/fidelity.py. Prints the
# Markdown table of docs/fidelity.md.
#
#   bench/fidelity.sh [workbook...]     (default: every corpus xls/ file)
source "$(dirname "$0")/common.sh"
out=${FIDELITY_DIR:-$build/fidelity}
bench_build quillmer_fidelity
if [ $# -eq 0 ]; then set -- "$corpus"/*.xls; fi
rm -rf "$out"
mkdir -p "$out"
"$build/bench/quillmer_fidelity" export "$registry" "$out" "$@" >&2
: >"$out/results.jsonl"
for workbook in "$@"; do
  name=$(basename "$workbook" .xls)
  if [ -f "$out/$name.pdf" ] && [ -f "$out/$name.reference.pdf" ]; then
    python3 "$here/bench/fidelity.py" compare "$out/$name.reference.pdf" "$out/$name.pdf" \
      "$name.xls" >>"$out/results.jsonl"
  else
    printf '{"name": "%s.xls", "error": "no PDF"}\n' "$name" >>"$out/results.jsonl"
  fi
done
python3 "$here/bench/fidelity.py" table "$out/results.jsonl"
