#!/usr/bin/env bash
# quillmer-convert with default options over the corpus, beside ONE
# "soffice --headless --convert-to pdf" of the same workbooks (the office's
# own export, the command's reference), compared by bench/fidelity.py: the
# same page count and text similarity >= 0.99. Prints a Markdown table (see
# docs/fidelity.md).
#
#   bench/command-fidelity.sh [quillmer-convert options...]
source "$(dirname "$0")/common.sh"
bench_build quillmer-convert
out=${FIDELITY_DIR:-$build/command-fidelity}
rm -rf "$out"
mkdir -p "$out/ours" "$out/office"
"$build/Quillmer/quillmer-convert" -o "$out/ours" "$@" "$corpus" >"$out/convert.log" 2>&1 || true
/usr/lib/libreoffice/program/soffice -env:UserInstallation="file://$out/profile" --headless \
  --convert-to pdf --outdir "$out/office" "$corpus"/*.xls >/dev/null 2>&1
: >"$out/results.jsonl"
for workbook in "$corpus"/*.xls; do
  name=$(basename "$workbook" .xls)
  if [ -f "$out/ours/$name.pdf" ] && [ -f "$out/office/$name.pdf" ]; then
    python3 "$here/bench/fidelity.py" compare "$out/office/$name.pdf" "$out/ours/$name.pdf" \
      "$name.xls" >>"$out/results.jsonl"
  else
    printf '{"name": "%s.xls", "error": "no PDF"}\n' "$name" >>"$out/results.jsonl"
  fi
done
python3 "$here/bench/fidelity.py" command "$out/results.jsonl"
