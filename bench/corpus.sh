#!/usr/bin/env bash
# The whole corpus, side by side in one run: "quillmer-convert -j 2" and
# "-j 1" with default options (the office's own export) against ONE
# "soffice --headless --convert-to pdf" process converting the same
# workbooks (from a profile that has started before), in turn, several
# rounds; the ratios are ours / soffice. With PREVIOUS set to an earlier
# build's quillmer-convert (whose default was the window's road), it then
# also runs "--as-window -j 2" against that program's default, in turn.
# Every PDF is checked with pdfinfo. Peak resident memory is sampled from
# /proc every 0.2 s over the whole process tree. Prints Markdown tables (see
# docs/performance.md).
#
#   bench/corpus.sh [rounds] [--as-window rounds]      (default 3 and 1)
#   PREVIOUS=/path/to/old/quillmer-convert bench/corpus.sh 3 2
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$here/build}
rounds=${1:-3}
single=${2:-1}
corpus=${QUILLMER_CORPUS:-$here/../shared/corpus}/xls
office=/usr/lib/libreoffice/program/soffice
cmake -S "$here" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --parallel 2 --target quillmer-convert program_folder >/dev/null
convert="$build/Quillmer/quillmer-convert"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mapfile -t books < <(find "$corpus" -maxdepth 1 -iname '*.xls' | sort)

# sample PID FILE: until PID ends, the peak of the tree's summed RSS, of the
# largest office process, of the program itself and of the largest
# Ghostscript, in MB, written to FILE.
sample() {
  local root=$1 file=$2 total=0 officepeak=0 own=0 gs=0 line
  while kill -0 "$root" 2>/dev/null; do
    line=$(ps -e -o pid=,ppid=,rss=,comm= | awk -v root="$root" '
      { parent[$1] = $2; rss[$1] = $3; name[$1] = $4 }
      END {
        for (p in parent) {
          q = p; inside = 0
          for (n = 0; n < 20 && q > 1; n++) { if (q == root) { inside = 1; break } q = parent[q] }
          if (!inside) continue
          sum += rss[p]
          if (name[p] ~ /soffice/ && rss[p] > office) office = rss[p]
          if (name[p] == "gs" && rss[p] > gs) gs = rss[p]
          if (p == root) own = rss[p]
        }
        printf "%d %d %d %d\n", sum, office, own, gs
      }')
    read -r a b c d <<<"$line"
    ((a > total)) && total=$a
    ((b > officepeak)) && officepeak=$b
    ((c > own)) && own=$c
    ((d > gs)) && gs=$d
    sleep 0.2
  done
  echo "$((total / 1024)) $((officepeak / 1024)) $((own / 1024)) $((gs / 1024))" >"$file"
}

# timed NAME COMMAND...: runs it with the sampler; prints "seconds total office own gs".
timed() {
  local name=$1
  shift
  local start end
  start=$(date +%s.%N)
  "$@" >"$work/$name.log" 2>&1 &
  local pid=$!
  sample "$pid" "$work/$name.rss" &
  local sampler=$!
  wait "$pid" || true
  end=$(date +%s.%N)
  wait "$sampler"
  echo "$(echo "$end - $start" | bc) $(cat "$work/$name.rss")"
}

# valid DIR: the number of PDFs in DIR that pdfinfo reads.
valid() {
  local n=0 f
  for f in "$1"/*.pdf; do
    [ -e "$f" ] && pdfinfo "$f" >/dev/null 2>&1 && n=$((n + 1))
  done
  echo "$n"
}

# The --convert-to profile's first start, not counted.
"$office" -env:UserInstallation="file://$work/profile" --headless --convert-to pdf \
  --outdir "$work/warm" "${books[0]}" >/dev/null 2>&1

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "| round | quillmer-convert -j 2 (s) | PDFs valid | converted | -j 1 (s) | converted | soffice --convert-to (s) | PDFs valid | -j 2 / soffice | -j 1 / soffice | peak total (MB) | peak office (MB) | quillmer-convert itself (MB) |"
echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
for ((r = 1; r <= rounds; r++)); do
  rm -rf "$work/q" "$work/q1" "$work/s"
  read -r qs qt qo qp _ < <(timed "q$r" "$convert" -j 2 -o "$work/q" "$corpus")
  read -r ss _ _ _ _ < <(timed "s$r" "$office" -env:UserInstallation="file://$work/profile" \
    --headless --convert-to pdf --outdir "$work/s" "${books[@]}")
  read -r os _ _ _ _ < <(timed "one$r" "$convert" -j 1 -o "$work/q1" "$corpus")
  converted=$(grep -c ' converted ' "$work/q$r.log" || true)
  converted1=$(grep -c ' converted ' "$work/one$r.log" || true)
  ratio=$(echo "scale=3; $qs / $ss" | bc)
  ratio1=$(echo "scale=3; $os / $ss" | bc)
  echo "$qs" >>"$work/q.times"
  echo "$os" >>"$work/one.times"
  echo "$ss" >>"$work/s.times"
  echo "$ratio" >>"$work/ratios"
  echo "$ratio1" >>"$work/ratios1"
  printf '| %d | %.1f | %d | %d | %.1f | %d | %.1f | %d | %.2f | %.2f | %d | %d | %d |\n' "$r" "$qs" \
    "$(valid "$work/q")" "$converted" "$os" "$converted1" "$ss" "$(valid "$work/s")" "$ratio" \
    "$ratio1" "$qt" "$qo" "$qp"
done
printf '| median | %.1f | | | %.1f | | %.1f | | %.2f | %.2f | | | |\n' "$(median <"$work/q.times")" \
  "$(median <"$work/one.times")" "$(median <"$work/s.times")" "$(median <"$work/ratios")" \
  "$(median <"$work/ratios1")"
echo
echo "Failures of the last -j 2 round:"
grep -E ' failed ' "$work/q$rounds.log" || echo "none"

if [ -n "${PREVIOUS:-}" ]; then
  echo
  echo "| round | --as-window -j 2 (s) | PDFs valid | the previous default -j 2 (s) | PDFs valid | ratio | pages equal |"
  echo "|---:|---:|---:|---:|---:|---:|---:|"
  for ((r = 1; r <= single; r++)); do
    rm -rf "$work/w" "$work/p"
    read -r ws _ _ _ _ < <(timed "w$r" "$convert" --as-window -j 2 -o "$work/w" "$corpus")
    read -r ps _ _ _ _ < <(timed "p$r" "$PREVIOUS" -j 2 -o "$work/p" "$corpus")
    same=0
    for f in "$work/w"/*.pdf; do
      a=$(pdfinfo "$f" 2>/dev/null | awk '/^Pages:/ { print $2 }')
      b=$(pdfinfo "$work/p/$(basename "$f")" 2>/dev/null | awk '/^Pages:/ { print $2 }')
      [ -n "$a" ] && [ "$a" = "$b" ] && same=$((same + 1))
    done
    echo "$ws / $ps" | bc -l >>"$work/wratios"
    printf '| %d | %.1f | %d | %.1f | %d | %.2f | %d |\n' "$r" "$ws" "$(valid "$work/w")" "$ps" \
      "$(valid "$work/p")" "$(echo "$ws / $ps" | bc -l)" "$same"
  done
  printf '| median | | | | | %.2f | |\n' "$(median <"$work/wratios")"
fi
