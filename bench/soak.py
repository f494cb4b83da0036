"""The soak run of bench/soak.sh: runs quillmer-convert over a manifest of
COUNT jobs, samples the process tree every 10 finished jobs and prints the
samples, the growth figures and a verdict (exit code 1 if a check fails)."""
import argparse
import json
import os
import statistics
import subprocess
import sys
import time

PAGE = os.sysconf("SC_PAGE_SIZE")


def stat(pid):
    """(name, state, ppid, threads, rss bytes) of a process, or None."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            text = f.read()
    except OSError:
        return None
    name = text[text.index("(") + 1:text.rindex(")")]
    fields = text[text.rindex(")") + 2:].split()
    return name, fields[0], int(fields[1]), int(fields[17]), int(fields[21]) * PAGE


def fds(pid):
    try:
        return len(os.listdir(f"/proc/{pid}/fd"))
    except OSError:
        return 0


def descendants(root):
    table = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            s = stat(int(entry))
            if s:
                table[int(entry)] = s
    found, todo = {}, [root]
    while todo:
        parent = todo.pop()
        for pid, s in table.items():
            if s[2] == parent and pid not in found:
                found[pid] = s
                todo.append(pid)
    return found


def sample(pid, done, start):
    own = stat(pid)
    if not own:
        return None
    children = descendants(pid)
    offices = {p: {"rss": s[4], "threads": s[3], "fds": fds(p)}
               for p, s in children.items() if s[0] == "soffice.bin" and s[1] != "Z"}
    return {"jobs": done, "seconds": round(time.monotonic() - start, 1),
            "fds": fds(pid), "threads": own[3], "rss": own[4],
            "children": len(children),
            "zombies": sorted(p for p, s in children.items() if s[1] == "Z"),
            "offices": offices}


def lines(path):
    try:
        with open(path, "rb") as f:
            return f.read().count(b"\n")
    except OSError:
        return 0


def thirds(values):
    n = max(1, len(values) // 3)
    return statistics.mean(values[:n]), statistics.mean(values[-n:])


def mib(value):
    return f"{value / 2**20:.0f}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--count", type=int, default=300)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("workbooks", nargs="+")
    args = parser.parse_args()

    manifest = os.path.join(args.work, "jobs.csv")
    report = os.path.join(args.work, "report.jsonl")
    out = os.path.join(args.work, "out")
    os.mkdir(out)
    targets = []
    with open(manifest, "w") as f:
        f.write("source,target\n")
        for i in range(args.count):
            source = args.workbooks[i % len(args.workbooks)]
            target = os.path.join(out, f"{i:03d}-{os.path.basename(source)[:-4]}.pdf")
            targets.append(target)
            f.write(f'"{source}","{target}"\n')

    start = time.monotonic()
    program = subprocess.Popen([args.program, "--manifest", manifest, "-j", str(args.jobs),
                                "--report", report], stdout=subprocess.DEVNULL,
                               stderr=open(os.path.join(args.work, "stderr.txt"), "w"))
    samples, seen_offices = [], set()
    first = sample(program.pid, 0, start)
    if first:
        samples.append(first)
    next_mark = 10
    while program.poll() is None:
        done = lines(report)
        if done >= next_mark:
            s = sample(program.pid, done, start)
            if s:
                samples.append(s)
                seen_offices.update(s["offices"])
            next_mark = (done // 10 + 1) * 10
        else:
            s = sample(program.pid, done, start)
            if s:  # only the office list, to know every office of the run
                seen_offices.update(s["offices"])
        time.sleep(0.2)
    elapsed = time.monotonic() - start
    time.sleep(0.5)

    # Table of samples.
    print(f"{'jobs':>5} {'s':>6} {'fds':>4} {'thr':>4} {'RSS MiB':>7} {'child':>5} "
          f"{'zomb':>4}  offices (pid: RSS MiB/threads/fds)")
    for s in samples:
        offices = "  ".join(f"{p}: {mib(o['rss'])}/{o['threads']}/{o['fds']}"
                            for p, o in sorted(s["offices"].items()))
        print(f"{s['jobs']:>5} {s['seconds']:>6} {s['fds']:>4} {s['threads']:>4} "
              f"{mib(s['rss']):>7} {s['children']:>5} {len(s['zombies']):>4}  {offices}")

    failures = []
    print(f"\nexit code {program.returncode}, {elapsed:.0f} s, "
          f"{args.count / elapsed * 60:.1f} jobs/min, {len(seen_offices)} offices")

    # Our process: last third of the samples against the first third (the
    # opening sample before any office ran and the closing one as the
    # workers end are left out).
    body = [s for s in samples if 0 < s["jobs"] < args.count]
    limits = {"fds": (1.25, 8), "threads": (1.25, 4), "rss": (1.25, 16 * 2**20)}
    for key, (ratio, slack) in limits.items():
        head, tail = thirds([s[key] for s in body])
        grows = tail > head * ratio + slack
        shown = mib if key == "rss" else (lambda v: f"{v:.1f}")
        print(f"quillmer-convert {key}: first third {shown(head)}, last third {shown(tail)}"
              f"{'  GROWS' if grows else ''}")
        if grows:
            failures.append(f"quillmer-convert {key} grows")
    most = max(s["children"] for s in body)
    print(f"child processes: at most {most}")
    if most > 2 * args.jobs + 2:
        failures.append(f"{most} child processes")

    # Offices: each one's RSS over its own life, and the offices of the last
    # third of the run against those of the first third.
    lives = {}
    for s in body:
        for pid, o in s["offices"].items():
            lives.setdefault(pid, []).append(o)
    order = sorted(lives, key=lambda p: min(i for i, s in enumerate(body) if p in s["offices"]))
    for pid in order:
        life = lives[pid]
        print(f"office {pid}: {len(life)} samples, RSS {mib(life[0]['rss'])} -> "
              f"{mib(life[-1]['rss'])} MiB (peak {mib(max(o['rss'] for o in life))}), "
              f"threads {life[0]['threads']} -> {life[-1]['threads']}, "
              f"fds {life[0]['fds']} -> {life[-1]['fds']}")
    if len(order) >= 3:
        for key, slack in (("rss", 32 * 2**20), ("threads", 4), ("fds", 8)):
            head, tail = thirds([max(o[key] for o in lives[p]) for p in order])
            grows = tail > head * 1.25 + slack
            shown = mib if key == "rss" else (lambda v: f"{v:.1f}")
            print(f"office peak {key}: first third of offices {shown(head)}, last third "
                  f"{shown(tail)}{'  GROWS' if grows else ''}")
            if grows:
                failures.append(f"office {key} grows from office to office")

    # Zombies: none seen in two samples in a row, none at the end.
    for a, b in zip(samples, samples[1:]):
        kept = set(a["zombies"]) & set(b["zombies"])
        if kept:
            failures.append(f"zombies {sorted(kept)} at jobs {a['jobs']} and {b['jobs']}")
    if samples and samples[-1]["zombies"]:
        failures.append(f"zombies at the last sample: {samples[-1]['zombies']}")

    left = [p for p in seen_offices if stat(p) and stat(p)[1] != "Z"]
    if left:
        failures.append(f"offices left after the run: {left}")

    records = []
    with open(report) as f:
        records = [json.loads(line) for line in f if line.strip()]
    statuses = {}
    for r in records:
        statuses[r["status"]] = statuses.get(r["status"], 0) + 1
    print(f"report: {len(records)} records {statuses}")
    if len(records) != args.count:
        failures.append(f"report has {len(records)} records, not {args.count}")
    if statuses.get("converted", 0) != args.count:
        failures.append("not every job converted: " + "; ".join(
            f"{r['source']}: {r.get('error')}" for r in records if r["status"] != "converted")[:500])

    bad = [t for t in targets if subprocess.run(["pdfinfo", t], stdout=subprocess.DEVNULL,
                                                stderr=subprocess.DEVNULL).returncode != 0]
    print(f"targets: {len(targets) - len(bad)} of {len(targets)} valid PDFs (pdfinfo)")
    if bad:
        failures.append(f"{len(bad)} targets are not valid PDFs, e.g. {bad[:3]}")
    if program.returncode != 0:
        failures.append(f"exit code {program.returncode}")

    print("\nverdict: " + ("PASS" if not failures else "FAIL\n  " + "\n  ".join(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
