#!/usr/bin/env bash
# The ways a PDF spool can become PostScript that were weighed for the
# printer queue, measured on LibreOffice's own exports (the *.reference.pdf
# that bench/fidelity.sh leaves): each candidate's PostScript goes through
# the pipeline's pdfwrite command, and the result is compared with the spool
# by bench/fidelity.py. Prints one Markdown table row per candidate and
# spool, with the milliseconds the PostScript step took.
#
#   bench/queue-candidates.sh spool.pdf...
source "$(dirname "$0")/common.sh"
bench_build quillmer_fidelity
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gs=/usr/bin/gs
gsq=("$gs" -q -dSAFER -dNOPAUSE -dBATCH)

candidate() { # name spool out.ps
  case "$1" in
  no-PostScript) cp "$2" "$3" ;; # pdfwrite on the spool itself, for comparison
  ps2write) "${gsq[@]}" -sDEVICE=ps2write "-sOutputFile=$3" "$2" ;;
  ps2write-WantsToUnicode) "${gsq[@]}" -sDEVICE=ps2write -dWantsToUnicode=true "-sOutputFile=$3" "$2" ;;
  ps2write-legacy-interpreter) "${gsq[@]}" -dNEWPDF=false -sDEVICE=ps2write -dWantsToUnicode=true "-sOutputFile=$3" "$2" ;;
  pdftops-level3) pdftops -level3 "$2" "$3" ;;
  pdftops-level3-origpagesizes) pdftops -level3 -origpagesizes "$2" "$3" ;;
  pdftocairo-ps) pdftocairo -ps "$2" "$3" ;;
  this-queue) "$build/bench/quillmer_fidelity" print "$registry" "$2" "$3" ;;
  esac
}

echo "| candidate | spool | ms | pages | size Δ (pt) | text | render (worst page) | fonts |"
echo "|---|---|---:|---:|---:|---:|---:|---|"
for spool in "$@"; do
  for c in no-PostScript ps2write ps2write-WantsToUnicode ps2write-legacy-interpreter pdftops-level3 \
           pdftops-level3-origpagesizes pdftocairo-ps this-queue; do
    start=$(date +%s%N)
    candidate "$c" "$spool" "$work/out.ps" 2>/dev/null || true
    end=$(date +%s%N)
    "${gsq[@]}" -sDEVICE=pdfwrite "-sOutputFile=$work/out.pdf" -dCompatibilityLevel=1.4 \
      -c 3000000 setvmthreshold -f "$work/out.ps" >/dev/null 2>&1 || true
    python3 "$here/bench/fidelity.py" row "$c" "$(( (end - start) / 1000000 ))" "$spool" \
      "$work/out.pdf"
    rm -f "$work/out.ps" "$work/out.pdf"
  done
done
