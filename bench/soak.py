"""The soak run of bench/soak.sh: links COUNT jobs (the workbooks given,
cycled) into a folder, runs one quillmer-convert over it, watches the process
tree from outside and prints the samples, the growth figures and a verdict
(exit code 1 if a check fails).

Every 0.25 s it reads /proc for the program and every process below it: the
program's RSS, each office's (soffice.bin, by pid) RSS, threads and
descriptors, and the Ghostscript runs; every 10 finished jobs (lines of the
report) it keeps a full sample: the program's descriptors, threads and RSS,
child processes, zombies."""
import argparse
import json
import os
import statistics
import subprocess
import sys
import time

PAGE = os.sysconf("SC_PAGE_SIZE")


def stat(pid):
    """(name, state, ppid, threads, rss bytes, start time) of a process, or None."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            text = f.read()
    except OSError:
        return None
    name = text[text.index("(") + 1:text.rindex(")")]
    fields = text[text.rindex(")") + 2:].split()
    return (name, fields[0], int(fields[1]), int(fields[17]), int(fields[21]) * PAGE,
            int(fields[19]))


def fds(pid):
    try:
        return len(os.listdir(f"/proc/{pid}/fd"))
    except OSError:
        return 0


def processes():
    table = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            s = stat(int(entry))
            if s:
                table[int(entry)] = s
    return table


def descendants(root, table):
    found, todo = {}, [root]
    while todo:
        parent = todo.pop()
        for pid, s in table.items():
            if s[2] == parent and pid not in found:
                found[pid] = s
                todo.append(pid)
    return found


def alive(pid, start):
    """Whether the process pid that started at start still runs (not a zombie)."""
    s = stat(pid)
    return s is not None and s[5] == start and s[1] != "Z"


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


def pages_of(pdf):
    result = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True)
    if result.returncode != 0:
        return None
    for line in result.stdout.splitlines():
        if line.startswith("Pages:"):
            return int(line.split()[1])
    return None


class Watch:
    """What the run's process tree did, sampled from outside."""

    def __init__(self, pid, start):
        self.pid, self.start = pid, start
        self.samples = []
        self.offices = {}  # pid -> {"start", "first", "last", "rss", "threads", "fds", "polls"}
        self.ghostscripts = {}  # pid -> start time
        self.own_peak = 0
        self.own_fds = []

    def poll(self, done, full):
        table = processes()
        own = table.get(self.pid)
        if not own:
            return
        self.own_peak = max(self.own_peak, own[4])
        children = descendants(self.pid, table)
        for pid, s in children.items():
            if s[1] == "Z":
                continue
            if s[0] == "gs":
                self.ghostscripts[pid] = s[5]
            if s[0] != "soffice.bin":
                continue
            o = self.offices.setdefault(pid, {"start": s[5], "first": done, "rss": 0,
                                              "threads": 0, "fds": 0, "polls": 0})
            o["last"] = done
            o["polls"] += 1
            o["rss"] = max(o["rss"], s[4])
            o["threads"] = max(o["threads"], s[3])
            o["fds"] = max(o["fds"], fds(pid))
        if full:
            self.samples.append({
                "jobs": done, "seconds": round(time.monotonic() - self.start, 1),
                "fds": fds(self.pid), "threads": own[3], "rss": own[4],
                "children": len(children),
                "zombies": sorted(p for p, s in children.items() if s[1] == "Z"),
                "offices": {p: (s[4], s[3]) for p, s in children.items()
                            if s[0] == "soffice.bin" and s[1] != "Z"}})


def make_jobs(args):
    """The links in work/in, one per job, and the target each gets."""
    source_dir = os.path.join(args.work, "in")
    out = os.path.join(args.work, "out")
    os.mkdir(source_dir)
    os.mkdir(out)
    width = len(str(args.count - 1))
    jobs = []
    for i in range(args.count):
        source = args.workbooks[i % len(args.workbooks)]
        name = f"{i:0{width}d}-{os.path.basename(source)}"
        os.symlink(source, os.path.join(source_dir, name))
        jobs.append((os.path.basename(source), os.path.join(out, name[:-4] + ".pdf")))
    return source_dir, out, jobs


def run(args, source_dir, out, report, scratch):
    start = time.monotonic()
    env = dict(os.environ, TMPDIR=scratch)
    program = subprocess.Popen([args.program, "-j", str(args.jobs), "-o", out,
                                "--report", report, source_dir], env=env,
                               stdout=subprocess.DEVNULL,
                               stderr=open(os.path.join(args.work, "stderr.txt"), "w"))
    watch = Watch(program.pid, start)
    watch.poll(0, True)
    next_mark = 10
    while program.poll() is None:
        done = lines(report)
        full = done >= next_mark
        watch.poll(done, full)
        if full:
            next_mark = (done // 10 + 1) * 10
        time.sleep(0.25)
    return program.returncode, time.monotonic() - start, watch


def print_samples(watch, count):
    step = max(10, count // 300 * 10)
    print(f"{'jobs':>5} {'s':>6} {'fds':>4} {'thr':>4} {'RSS MiB':>7} {'child':>5} "
          f"{'zomb':>4}  offices (pid: RSS MiB/threads)")
    shown = -1
    for s in watch.samples:
        if s["jobs"] // step == shown and s is not watch.samples[-1]:
            continue
        shown = s["jobs"] // step
        offices = "  ".join(f"{p}: {mib(rss)}/{threads}"
                            for p, (rss, threads) in sorted(s["offices"].items()))
        print(f"{s['jobs']:>5} {s['seconds']:>6} {s['fds']:>4} {s['threads']:>4} "
              f"{mib(s['rss']):>7} {s['children']:>5} {len(s['zombies']):>4}  {offices}")


def check_program(watch, count, jobs, failures):
    """Our process: last third of the samples against the first third (the
    opening sample before any office ran and the closing one as the workers
    end are left out), and its peak by tenths of the run."""
    body = [s for s in watch.samples if 0 < s["jobs"] < count]
    if not body:
        failures.append("no samples")
        return
    limits = {"fds": (1.25, 8), "threads": (1.25, 4), "rss": (1.25, 16 * 2**20)}
    for key, (ratio, slack) in limits.items():
        values = [s[key] for s in body]
        head, tail = thirds(values)
        grows = tail > head * ratio + slack
        shown = mib if key == "rss" else (lambda v: f"{v:.1f}")
        print(f"quillmer-convert {key}: first third {shown(head)}, last third {shown(tail)}, "
              f"range {shown(min(values))}-{shown(max(values))}{'  GROWS' if grows else ''}")
        if grows:
            failures.append(f"quillmer-convert {key} grows")
    tenths = [max((s["rss"] for s in body if t * count // 10 < s["jobs"] <= (t + 1) * count // 10),
                  default=0) for t in range(10)]
    print("quillmer-convert RSS peak by tenth of the run (MiB): "
          + " ".join(mib(v) for v in tenths) + f"; peak of every poll {mib(watch.own_peak)}")
    most = max(s["children"] for s in body)
    print(f"child processes: at most {most}")
    if most > 2 * jobs + 2:
        failures.append(f"{most} child processes")
    for a, b in zip(watch.samples, watch.samples[1:]):
        kept = set(a["zombies"]) & set(b["zombies"])
        if kept:
            failures.append(f"zombies {sorted(kept)} at jobs {a['jobs']} and {b['jobs']}")
    seen = sum(1 for s in watch.samples if s["zombies"])
    print(f"samples with a zombie child: {seen} of {len(watch.samples)}")


def check_offices(watch, failures):
    """Each office's peak over its own life, and the offices of the last third
    of the run against those of the first third."""
    order = sorted(watch.offices, key=lambda p: (watch.offices[p]["first"], p))
    for pid in order:
        o = watch.offices[pid]
        print(f"office {pid}: jobs {o['first']}-{o['last']}, peak RSS {mib(o['rss'])} MiB, "
              f"threads {o['threads']}, fds {o['fds']}")
    peaks = [watch.offices[p]["rss"] for p in order]
    if peaks:
        print(f"office peak RSS (MiB) over {len(peaks)} offices: first {mib(peaks[0])}, "
              f"median {mib(statistics.median(peaks))}, last {mib(peaks[-1])}, "
              f"max {mib(max(peaks))}, min {mib(min(peaks))}")
    if len(order) >= 3:
        for key, slack in (("rss", 32 * 2**20), ("threads", 4), ("fds", 8)):
            head, tail = thirds([watch.offices[p][key] for p in order])
            grows = tail > head * 1.25 + slack
            shown = mib if key == "rss" else (lambda v: f"{v:.1f}")
            print(f"office peak {key}: first third of offices {shown(head)}, last third "
                  f"{shown(tail)}{'  GROWS' if grows else ''}")
            if grows:
                failures.append(f"office {key} grows from office to office")


def check_report(records, jobs, failures):
    """One record per job, each converted, and the report's own office peak
    (office_peak_mb, when the program writes it) by thirds of the run."""
    statuses = {}
    for r in records:
        statuses[r["status"]] = statuses.get(r["status"], 0) + 1
    print(f"report: {len(records)} records {statuses}")
    targets = {r["target"] for r in records}
    if len(records) != len(jobs) or targets != {t for _, t in jobs}:
        failures.append(f"report has {len(records)} records for {len(targets)} targets, "
                        f"not one for each of {len(jobs)} jobs")
    if statuses.get("converted", 0) != len(jobs):
        failures.append("not every job converted: " + "; ".join(
            f"{r['source']}: {r.get('error')}" for r in records if r["status"] != "converted")[:500])
    peaks = [r["office_peak_mb"] for r in records if "office_peak_mb" in r]
    if not peaks:
        print("report: no office_peak_mb field")
        return
    n = max(1, len(peaks) // 3)
    parts = [peaks[:n], peaks[n:-n] or peaks[:n], peaks[-n:]]
    print("report office_peak_mb by third of the run (median / max): " + ", ".join(
        f"{statistics.median(p):.0f} / {max(p):.0f}" for p in parts))
    if statistics.median(parts[2]) > statistics.median(parts[0]) * 1.25 + 32:
        failures.append("office_peak_mb grows over the run")
    # The largest workbooks come first, so the thirds hold other workbooks;
    # each workbook's own copies, early against late, show whether an office
    # needs more for the same work as the run goes on.
    copies = {}
    for r in records:
        if "office_peak_mb" in r:
            book = os.path.basename(r["source"]).split("-", 1)[-1]
            copies.setdefault(book, []).append(r["office_peak_mb"])
    rises = []
    for book, p in copies.items():
        if len(p) >= 4:
            half = len(p) // 2
            rises.append((statistics.median(p[half:]) / max(statistics.median(p[:half]), 1),
                          book, statistics.median(p[:half]), statistics.median(p[half:])))
    if rises:
        rise, book, early, late = max(rises)
        print(f"report office_peak_mb per workbook, its later copies against its earlier: "
              f"median ratio {statistics.median(r[0] for r in rises):.2f}, largest {rise:.2f} "
              f"({book}: {early:.0f} -> {late:.0f} MiB)")
        if late > early * 1.25 + 32:
            failures.append(f"office_peak_mb of {book} grows from copy to copy")


def check_targets(jobs, records, failures):
    """Every target a valid PDF (pdfinfo) with the report's page count, and
    every copy of a workbook with the same page count."""
    pages = {r["target"]: r.get("pages") for r in records}
    bad, mismatched, counts = [], [], {}
    for book, target in jobs:
        found = pages_of(target)
        if found is None:
            bad.append(target)
            continue
        if found != pages.get(target):
            mismatched.append(target)
        counts.setdefault(book, set()).add(found)
    print(f"targets: {len(jobs) - len(bad)} of {len(jobs)} valid PDFs (pdfinfo), "
          f"{sum(1 for c in counts.values() if len(c) == 1)} of {len(counts)} workbooks "
          "with one page count over all their copies")
    if bad:
        failures.append(f"{len(bad)} targets are not valid PDFs, e.g. {bad[:3]}")
    if mismatched:
        failures.append(f"{len(mismatched)} PDFs differ from the report's page count, "
                        f"e.g. {mismatched[:3]}")
    varying = {b: sorted(c) for b, c in counts.items() if len(c) > 1}
    if varying:
        failures.append(f"page counts vary between copies: {varying}")


def check_left(watch, scratch, failures):
    """No office or Ghostscript of the run still runs, nothing runs that names
    the run's scratch folder, and the folder is empty."""
    time.sleep(1)
    left = [p for p, o in watch.offices.items() if alive(p, o["start"])]
    left += [p for p, start in watch.ghostscripts.items() if alive(p, start)]
    for pid in processes():
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if scratch.encode() in f.read() and pid not in left:
                    left.append(pid)
        except OSError:
            pass
    zombies = [p for p, o in list(watch.offices.items()) + list(watch.ghostscripts.items())
               if (stat(p) or ("", ""))[1] == "Z"]
    remains = os.listdir(scratch)
    print(f"after the run: {len(watch.offices)} offices and {len(watch.ghostscripts)} "
          f"Ghostscript runs seen, {len(left)} processes left, {len(zombies)} zombies, "
          f"{len(remains)} entries in the scratch folder")
    if left:
        failures.append(f"processes left after the run: {left}")
    if zombies:
        failures.append(f"zombies after the run: {zombies}")
    if remains:
        failures.append(f"left in the scratch folder: {remains[:5]}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--count", type=int, default=300)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("workbooks", nargs="+")
    args = parser.parse_args()

    source_dir, out, jobs = make_jobs(args)
    report = os.path.join(args.work, "report.jsonl")
    scratch = os.path.join(args.work, "tmp")
    os.mkdir(scratch)
    returncode, elapsed, watch = run(args, source_dir, out, report, scratch)
    time.sleep(0.5)

    print_samples(watch, args.count)
    print(f"\n{args.count} jobs over {len(args.workbooks)} workbooks, -j {args.jobs}: "
          f"exit code {returncode}, {elapsed:.0f} s, {args.count / elapsed * 60:.1f} jobs/min, "
          f"{len(watch.offices)} offices")
    failures = []
    check_program(watch, args.count, args.jobs, failures)
    check_offices(watch, failures)
    with open(report) as f:
        records = [json.loads(line) for line in f if line.strip()]
    check_report(records, jobs, failures)
    check_targets(jobs, records, failures)
    check_left(watch, scratch, failures)
    if returncode != 0:
        failures.append(f"exit code {returncode}")
    print("\nverdict: " + ("PASS" if not failures else "FAIL\n  " + "\n  ".join(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
