#!/usr/bin/env bash
# A one-node Slurm on this machine, for real: installs slurm-wlm and munge
# when missing (apt-get, as root), starts munged, slurmctld and slurmd with a
# configuration written into a temporary folder (state, spool, pid files,
# logs and munge's socket and key there too, ports of their own, SLURM_CONF
# pointing at it), submits the job-array script of docs/scaling.md (the
# script itself, its paths given through the environment) with TASKS array
# tasks over the corpus, waits for them, merges the reports and checks one
# converted record and one valid PDF per corpus workbook. Then, with the
# daemons gone, one quillmer-convert -j <cores> over the same corpus for
# comparison. Every daemon it started is stopped, also when a step fails.
# Prints the figures of docs/scaling.md; exit code 1 when a check fails.
#
#   bench/slurm.sh [TASKS]     (default 2; each task gets cores/TASKS CPUs)
#   SLURM_PORT=BASE picks the two ports (default 16817 and 16818)
source "$(dirname "$0")/common.sh"
tasks=${1:-2}
cores=$(nproc)
cpus=$((cores / tasks > 0 ? cores / tasks : 1))
port=${SLURM_PORT:-16817}

if ! command -v slurmctld >/dev/null || ! command -v slurmd >/dev/null ||
  ! command -v sbatch >/dev/null || ! command -v munged >/dev/null; then
  echo "installing slurm-wlm and munge" >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    slurm-wlm munge >/dev/null
fi
bench_build quillmer-convert

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmer-slurm.XXXXXX")
chmod 0755 "$work" # slurmd and the job read the configuration here
mkdir -p "$work"/{state,spool,log,run,munge,reports,pdf,compare}
daemons=() job=
gone() { [[ $(ps -o stat= -p "$1" 2>/dev/null | tr -d " ") != [^Z]* ]]; }
# Cancels the array if it still runs, then ends the daemons one by one,
# slurmd first and munged last (the others authenticate through it).
stop_daemons() {
  local n i pid
  if [[ -n $job ]] && squeue -h -j "$job" 2>/dev/null | grep -q .; then
    scancel "$job" 2>/dev/null || true
    for ((n = 0; n < 60; n++)); do
      squeue -h -j "$job" 2>/dev/null | grep -q . || break
      sleep 0.5
    done
  fi
  for ((i = ${#daemons[@]} - 1; i >= 0; i--)); do
    pid=${daemons[i]}
    kill -TERM "$pid" 2>/dev/null || true
    for ((n = 0; n < 100; n++)); do
      gone "$pid" && break
      sleep 0.2
    done
    if ! gone "$pid"; then
      echo "daemon $pid did not end 20 s after SIGTERM; killed" >&2
      kill -KILL "$pid" 2>/dev/null || true
    fi
    wait "$pid" 2>/dev/null || true
  done
  daemons=()
}
cleanup() {
  local rc=$?
  trap - EXIT
  stop_daemons
  if ((rc != 0)); then
    echo "failed (exit code $rc); the logs:" >&2
    tail -n 20 "$work"/log/* >&2 2>/dev/null || true
  fi
  rm -rf "$work"
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# munged with a key, a socket and files of its own.
dd if=/dev/urandom of="$work/munge/munge.key" bs=1024 count=1 status=none
chmod 0400 "$work/munge/munge.key"
socket=$work/munge/munge.socket
munged --foreground --force --key-file="$work/munge/munge.key" --socket="$socket" \
  --pid-file="$work/munge/munged.pid" --seed-file="$work/munge/seed" \
  --log-file="$work/log/munged.log" 2>>"$work/log/munged.err" &
daemons+=($!)

node=$(hostname -s)
# slurmd -C prints the node line of this machine (CPUs, sockets, memory).
nodeline=$(slurmd -C | head -n 1)
export SLURM_CONF=$work/slurm.conf
cat >"$SLURM_CONF" <<EOF
ClusterName=quillmer-bench
SlurmctldHost=$node
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/run/slurmctld.pid
SlurmdPidFile=$work/run/slurmd.pid
SlurmctldLogFile=$work/log/slurmctld.log
SlurmdLogFile=$work/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core_Memory
SchedulerType=sched/backfill
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
ReturnToService=2
MailProg=/bin/true
$nodeline State=UNKNOWN
PartitionName=bench Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
# cgroup v1 beside a unified hierarchy: v2 refuses the hybrid mode.
cat >"$work/cgroup.conf" <<EOF
CgroupPlugin=cgroup/v1
IgnoreSystemd=yes
EOF

slurmctld -D -i -f "$SLURM_CONF" 2>>"$work/log/slurmctld.err" &
daemons+=($!)
slurmd -D -f "$SLURM_CONF" 2>>"$work/log/slurmd.err" &
daemons+=($!)
for ((n = 0; ; n++)); do
  state=$(sinfo -h -n "$node" -o %T 2>/dev/null || true)
  [[ $state == idle ]] && break
  ((n < 60)) || {
    echo "the node is not idle after 60 s (state '$state')" >&2
    exit 1
  }
  sleep 1
done

# The script of docs/scaling.md, as it stands there.
awk '/^## Slurm job array/ { part = 1 } part && /^```bash/ { inside = 1; next }
     inside && /^```/ { exit } inside { print }' "$here/docs/scaling.md" >"$work/convert.sbatch"
grep -q '^exec ' "$work/convert.sbatch" || {
  echo "no job-array script found in docs/scaling.md" >&2
  exit 1
}

corpus=$(realpath "$corpus")
mapfile -t books < <(find "$corpus" -maxdepth 1 -iname '*.xls' | sort)
export QUILLMER_CONVERT=$build/Quillmer/quillmer-convert QUILLMER_SOURCES=$corpus \
  QUILLMER_PDF=$work/pdf QUILLMER_REPORTS=$work/reports
# submit ARRAY: submits the script as an array of those tasks and waits
# until none of them is left in the queue.
submit() {
  job=$(sbatch --parsable --array="$1" --cpus-per-task="$cpus" --mem=2G \
    --output="$work/reports/slurm-%A_%a.out" "$work/convert.sbatch")
  job=${job%%;*}
  local since=$SECONDS
  while squeue -h -j "$job" 2>/dev/null | grep -q .; do
    ((SECONDS - since < 1800)) || {
      echo "array $job is not done after 30 minutes" >&2
      exit 1
    }
    sleep 0.5
  done
}
started=$(date +%s.%N)
submit 0-$((tasks - 1))
ended=$(date +%s.%N)

failures=()
echo "Slurm $(sinfo -V | cut -d' ' -f2), one node ($nodeline)"
printf 'array %s: %d tasks of --cpus-per-task=%d, %.1f s from sbatch to the last task gone\n' \
  "$job" "$tasks" "$cpus" "$(echo "$ended - $started" | bc)"
echo
echo "| task | state | exit code | start | end | seconds | records |"
echo "|---:|---|---|---|---|---:|---:|"
for ((t = 0; t < tasks; t++)); do
  info=$(scontrol -o show job "${job}_$t")
  field() { grep -o "\b$1=[^ ]*" <<<"$info" | head -n 1 | cut -d= -f2; }
  start=$(field StartTime) end=$(field EndTime) state=$(field JobState) code=$(field ExitCode)
  records=$(wc -l <"$work/reports/shard-$t.jsonl" 2>/dev/null || echo 0)
  echo "| $t | $state | $code | ${start#*T} | ${end#*T} |" \
    "$(($(date -d "$end" +%s) - $(date -d "$start" +%s))) | $records |"
  [[ $state == COMPLETED && $code == 0:0 ]] || failures+=("task $t: $state, exit code $code")
done

cat "$work"/reports/shard-*.jsonl >"$work/report.jsonl"
merged=$(python3 - "$work/report.jsonl" "${books[@]}" <<'EOF'
import json, sys
records = [json.loads(line) for line in open(sys.argv[1]) if line.strip()]
sources = sorted(r["source"] for r in records)
converted = sum(r["status"] == "converted" for r in records)
whole = sources == sorted(sys.argv[2:])
print(f"{len(records)} {converted} {'yes' if whole else 'no'}")
EOF
)
read -r records converted whole <<<"$merged"
valid=0
for f in "$work"/pdf/*.pdf; do pdfinfo "$f" >/dev/null 2>&1 && valid=$((valid + 1)); done
pdfs=$(find "$work/pdf" -name '*.pdf' | wc -l)
echo
echo "merged report: $records records, $converted converted, each corpus workbook" \
  "once: $whole; $valid of $pdfs PDFs valid (pdfinfo), ${#books[@]} workbooks"
((records == ${#books[@]} && converted == ${#books[@]})) || failures+=("$records records, $converted converted")
[[ $whole == yes ]] || failures+=("the records do not name each workbook once")
((valid == ${#books[@]} && pdfs == ${#books[@]})) || failures+=("$valid valid PDFs of $pdfs")

# A share run again alone, as docs/scaling.md says, after one of its PDFs
# was lost: it converts that one and keeps the others.
last=$((tasks - 1))
lost=$(python3 -c 'import json, sys; print(json.loads(open(sys.argv[1]).readline())["target"])' \
  "$work/reports/shard-$last.jsonl")
rm -f "$lost"
QUILLMER_SHARDS=$tasks submit "$last"
read -r reconverted skipped < <(python3 -c '
import json, sys
records = [json.loads(line) for line in open(sys.argv[1]) if line.strip()]
print(sum(r["status"] == "converted" for r in records), sum(r["status"] == "skipped" for r in records))
' "$work/reports/shard-$last.jsonl")
back=$(pdfinfo "$lost" >/dev/null 2>&1 && echo "the PDF is back" || echo "the PDF is missing")
echo "task $last run again alone (QUILLMER_SHARDS=$tasks sbatch --array=$last) after one of" \
  "its PDFs was removed: $reconverted converted, $skipped skipped; $back"
[[ $reconverted == 1 && $back == "the PDF is back" ]] ||
  failures+=("the share run again: $reconverted converted; $back")

# The daemons end before the comparison, so that it runs alone.
stop_daemons
one=$(date +%s.%N)
"$build/Quillmer/quillmer-convert" -j "$cores" -o "$work/compare" "$corpus" >/dev/null ||
  failures+=("quillmer-convert -j $cores failed")
one=$(echo "$(date +%s.%N) - $one" | bc)
printf 'one quillmer-convert -j %d over the same corpus, after the daemons ended: %.1f s;' \
  "$cores" "$one"
printf ' Slurm array / one process: %.2f\n' "$(echo "($ended - $started) / $one" | bc -l)"

if ((${#failures[@]})); then
  printf 'FAIL: %s\n' "${failures[@]}"
  exit 1
fi
echo "PASS"
