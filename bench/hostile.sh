#!/usr/bin/env bash
# Puts every workbook of corpus/bad and seeded damaged copies of corpus/xls
# workbooks (bench/mutate.py) through quillmer-convert --report, a few jobs
# per run, and checks after each run: the command ended with 0 or 1 (not by
# a signal or the watchdog below), every job has a record, a failure has a
# reason, no office or Ghostscript of the run is left, no source changed,
# and a target exists only for a converted job and is a valid PDF.
# Prints a Markdown summary (see docs/reliability.md); exits 1 on any
# violation.
#
#   bench/hostile.sh [--count N] [--seed S] [--timeout SECONDS] [--per-run K]
#                    [--jobs J] [--max-size BYTES]
#   (defaults: 200 copies, seed 1, 30 s, 10 jobs per run, 2 workers,
#   sources up to 200000 bytes)
source "$(dirname "$0")/common.sh"
count=200 seed=1 limit=30 perrun=10 workers=2 maxsize=200000
while (($#)); do
  case $1 in
  --count) count=$2 ;;
  --seed) seed=$2 ;;
  --timeout) limit=$2 ;;
  --per-run) perrun=$2 ;;
  --jobs) workers=$2 ;;
  --max-size) maxsize=$2 ;;
  *) echo "usage: bench/hostile.sh [--count N] [--seed S] [--timeout S] [--per-run K]" \
    "[--jobs J] [--max-size BYTES]" >&2 && exit 2 ;;
  esac
  shift 2
done
bench_build quillmer-convert
command=$build/Quillmer/quillmer-convert
bad=${QUILLMER_CORPUS:-$here/../shared/corpus}/bad

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmer-hostile-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/out" "$work/tmp"
for f in "$bad"/*; do cp "$f" "$work/in/bad-$(basename "$f")"; done
python3 "$here/bench/mutate.py" --seed "$seed" --count "$count" --max-size "$maxsize" \
  "$work/in" "$corpus"/*.xls >/dev/null
(cd "$work/in" && sha256sum -- *) >"$work/sums"
mapfile -t sources < <(cd "$work/in" && ls)

violations=()
violate() { violations+=("$1"); }
# Processes whose command line names the run's temporary folder: its
# offices (private profiles) and Ghostscript runs (scratch files).
leftovers() { pgrep -f -- "$1" || true; }

started=$(date +%s.%N)
for ((first = 0; first < ${#sources[@]}; first += perrun)); do
  run=$((first / perrun))
  tmp=$work/tmp/$run
  mkdir -p "$tmp"
  args=()
  for name in "${sources[@]:first:perrun}"; do args+=("$work/in/$name"); done
  rc=0
  # A watchdog well past the command's own limit: a hang of ours shows as 137.
  TMPDIR=$tmp timeout -s KILL $((limit * perrun + 300)) "$command" -o "$work/out" \
    -j "$workers" --timeout "$limit" --report "$work/report-$run.jsonl" "${args[@]}" \
    >"$work/log-$run" 2>&1 || rc=$?
  if ((rc != 0 && rc != 1)); then
    violate "run $run: exit code $rc (jobs ${args[*]##*/})"
  fi
  left=$(leftovers "$tmp")
  if [[ -n $left ]]; then
    violate "run $run: processes left: $(echo $left)"
    kill -9 $left 2>/dev/null || true
  fi
  # Reads the report: every job has a record, a failure a reason, and a
  # target exists only for a converted job.
  while IFS=$'\t' read -r kind name detail; do
    case $kind in
    record) violate "$name: $detail" ;;
    pdf) pdfinfo "$detail" >/dev/null 2>&1 || violate "$name: target is not a valid PDF" ;;
    esac
  done < <(python3 - "$work/report-$run.jsonl" "$work/out" "${args[@]}" <<'EOF'
import json, os, sys
report, out, sources = sys.argv[1], sys.argv[2], sys.argv[3:]
records = {}
if os.path.exists(report):
    for line in open(report, encoding="utf-8"):
        if line.strip():
            r = json.loads(line)
            records[r["source"]] = r
for s in sources:
    name = os.path.basename(s)
    target = os.path.join(out, os.path.splitext(name)[0] + ".pdf")
    r = records.get(s)
    if r is None:
        print(f"record\t{name}\tno record")
        continue
    if r["status"] == "converted":
        if r.get("target") != target or not os.path.exists(target):
            print(f"record\t{name}\tconverted without its target")
        else:
            print(f"pdf\t{name}\t{target}")
    elif r["status"] == "failed":
        if not r.get("error", "").strip():
            print(f"record\t{name}\tfailed without a reason")
        if os.path.exists(target):
            print(f"record\t{name}\tfailed but a target exists")
    else:
        print(f"record\t{name}\tstatus {r['status']}")
EOF
  )
  rm -rf "$tmp"
  printf '\r%d/%d jobs' $((first + ${#args[@]})) ${#sources[@]} >&2
done
ended=$(date +%s.%N)
echo >&2
stray=$(cd "$work/out" && ls -A | grep -v '\.pdf$' || true)
[[ -z $stray ]] || violate "files other than PDFs left in the target folder: $stray"
(cd "$work/in" && sha256sum --quiet -c "$work/sums") >/dev/null 2>&1 ||
  violate "sources changed: $(cd "$work/in" && sha256sum --quiet -c "$work/sums" 2>&1 | tr '\n' ' ')"

echo "Hostile input: ${#sources[@]} jobs ($(ls "$bad" | wc -l) of corpus/bad, $count damaged" \
  "copies, seed $seed), --timeout $limit, $perrun jobs per run, -j $workers," \
  "$(awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.0f", b - a }') s in all"
echo
cat "$work"/report-*.jsonl 2>/dev/null | python3 -c '
import collections, json, re, sys
rows = collections.Counter()
damages = collections.defaultdict(collections.Counter)
for line in sys.stdin:
    if not line.strip():
        continue
    r = json.loads(line)
    name = r["source"].rsplit("/", 1)[-1]
    damage = "bad" if name.startswith("bad-") else name.split("-")[1]
    if r["status"] == "converted":
        reason = "converted"
    elif "timed out" in r.get("error", ""):
        reason = "timed out"
    else:
        reason = "failed: " + re.sub(r"\x27[^\x27]*\x27", "\x27…\x27", r.get("error", ""))
    rows[reason] += 1
    damages[reason][damage] += 1
kinds = ["bad", "flip", "cut", "shuffle", "header"]
print("| Outcome | Jobs | " + " | ".join(kinds) + " |")
print("|---|---:|" + "---:|" * len(kinds))
for reason, n in rows.most_common():
    print(f"| {reason} | {n} | " + " | ".join(str(damages[reason][k]) for k in kinds) + " |")
'
echo
if ((${#violations[@]})); then
  echo "Violations (${#violations[@]}):"
  printf -- '- %s\n' "${violations[@]}"
  exit 1
fi
echo "Violations: none."
