"""Replaying a decision log: `zorv replay` on a million records.

Usage: replay.py [--records N] [--python-records N] [--keep DIR [--reuse]]

Writes 10 packs and a log of N records (default 1,000,000) of 10-control
queries decided under them, changes every pack (a subject list, a floor, a
prohibited control, a review status), then runs `zorv replay --format json`
over the log in a child process and reports its wall time and peak resident
set size. Side by side in the same run, a plain-Python replay (json.loads of
each line, PackSet.resolve of its query, comparison of the texts) goes over
the first --python-records lines; both counts of changed records on those
lines must agree, and the two rates give the ratio. Then, unless
--no-columns, the whole log as an Arrow table of one `record` column (read
before the clock starts) is replayed by zorv_tools.arrow.replay_batch with
1 and 2 native threads, what Spark and Dask replays run per batch; its
counts must equal those of `zorv replay`.
"""

import argparse
import json
import os
import random
import subprocess
import sys
import tempfile
import time

from zorv_tools import PackSet

CONTROLS = [f"urn:ctl:{i:03d}" for i in range(60)]
SUBJECTS = [f"subject-{i}" for i in range(8)]


# The command as `zorv` runs it; then its own peak resident size and
# processor time (every thread) on the last line of standard error. Measured
# inside the child, since a child's figures as its parent sees them can
# include the parent's own pages copied at fork.
CHILD = """
import json, resource, sys
from zorv_tools.cli import main
status = main(sys.argv[1:])
usage = resource.getrusage(resource.RUSAGE_SELF)
sys.stderr.write(json.dumps({"peak_kb": usage.ru_maxrss, "cpu_seconds": usage.ru_utime + usage.ru_stime}) + "\\n")
sys.exit(status)
"""


def pack_text(rng, index, changed):
    """Pack `index`; changed: its review status (odd packs), the lists of
    half its subjects, its floor and its prohibited list."""
    status = "re-reviewed" if changed and index % 2 else "approved"
    lines = ["[meta]", 'strictness = "as_configured"', "[meta.legal_review]", f'status = "{status}"']
    for number, subject in enumerate(SUBJECTS):
        controls = rng.sample(CONTROLS, 12)
        if changed and number % 2:
            controls = controls[2:] + rng.sample(CONTROLS, 2)
        lines += [f'[subject."{subject}"]', "controls = " + json.dumps(controls)]
    lines += ["[legally_required]", "controls = " + json.dumps(rng.sample(CONTROLS, 4 if changed else 3))]
    lines += ["[prohibited]", "controls = " + json.dumps(rng.sample(CONTROLS, 2)[: 1 if changed else 2])]
    return "\n".join(lines) + "\n"


def pack_maps(seed):
    """The packs before and after the change, as packs_json texts."""
    before, after = {}, {}
    for i in range(10):
        key = f"retail/domain-{i}.zorv.toml"
        before[key] = pack_text(random.Random(seed * 100 + i), i, False)
        after[key] = pack_text(random.Random(seed * 100 + i), i, True)
    return json.dumps(before), json.dumps(after)


def write_log(path, packset, records, seed):
    rng = random.Random(seed)
    batch = 20000
    with open(path, "w", encoding="utf-8") as log:
        for start in range(0, records, batch):
            queries = []
            for _ in range(min(batch, records - start)):
                queries.append(
                    json.dumps(
                        {
                            "domain": f"domain-{rng.randrange(10)}",
                            "profile": "retail",
                            "jurisdiction": "EU",
                            "subject": rng.choice(SUBJECTS),
                            "universe": rng.sample(CONTROLS, 10),
                        },
                        separators=(",", ":"),
                    )
                )
            dial = "null"
            decisions = packset.resolve_many("[" + ",".join(queries) + "]")
            texts = json.JSONDecoder().decode(decisions)
            for query, decision in zip(queries, texts):
                decision_text = json.dumps(decision, separators=(",", ":"), ensure_ascii=False)
                log.write(f'{{"query":{query},"strictness":{dial},"decision":{decision_text},"pack_sha256":null}}\n')


def python_replay(packset, path, limit):
    """The obvious replay in Python: the count of changed records in the first `limit` lines."""
    changed = 0
    with open(path, encoding="utf-8") as log:
        for number, line in enumerate(log):
            if number == limit:
                break
            record = json.loads(line)
            query = json.dumps(record["query"], separators=(",", ":"), ensure_ascii=False)
            after = packset.resolve(query, record["strictness"])
            if after != json.dumps(record["decision"], separators=(",", ":"), ensure_ascii=False):
                changed += 1
    return changed


def replay_columns(packset, path, summary):
    """replay_batch over the log as one Arrow table, 1 and 2 threads."""
    import pyarrow as pa
    import pyarrow.compute as pc
    from zorv_tools.arrow import replay_batch

    with open(path, encoding="utf-8") as log:
        table = pa.table({"record": pa.array((line.rstrip("\n") for line in log), pa.string())})
    for threads in (1, 2):
        started, started_cpu = time.perf_counter(), time.process_time()
        replayed = replay_batch(packset, table, threads=threads)
        seconds, cpu = time.perf_counter() - started, time.process_time() - started_cpu
        counts = {name: pc.sum(replayed.column(name)).as_py() for name in ("changed", "loosened", "tightened")}
        if any(counts[name] != summary[name] for name in counts):
            sys.exit(f"replay_batch disagrees with zorv replay: {counts}")
        print(
            f"replay_batch threads={threads}: {table.num_rows} records in {seconds:.2f} s wall "
            f"({table.num_rows / seconds:,.0f} records/s, {table.num_rows / cpu:,.0f} per processor second; "
            f"load average {os.getloadavg()[0]:.1f})"
        )


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("--records", type=int, default=1_000_000)
    parser.add_argument("--python-records", type=int, default=100_000)
    parser.add_argument("--keep", metavar="DIR", help="write the log and packs here and keep them")
    parser.add_argument("--reuse", action="store_true", help="with --keep, replay the log already there")
    parser.add_argument("--no-columns", action="store_true", help="leave out replay_batch")
    args = parser.parse_args()
    folder = args.keep or tempfile.mkdtemp(prefix="zorv-replay-bench-")
    os.makedirs(folder, exist_ok=True)
    before_json, after_json = pack_maps(seed=7)
    log_path = os.path.join(folder, "decisions.jsonl")
    packs_path = os.path.join(folder, "after.json")
    with open(packs_path, "w", encoding="utf-8") as file:
        file.write(after_json)
    started = time.perf_counter()
    if args.reuse and os.path.exists(log_path):
        print(f"log: reusing {log_path}, {os.path.getsize(log_path) / 1e6:.0f} MB")
    else:
        write_log(log_path, PackSet(before_json), args.records, seed=11)
        print(
            f"log: {args.records} records, {os.path.getsize(log_path) / 1e6:.0f} MB, "
            f"written in {time.perf_counter() - started:.1f} s"
        )

    started = time.perf_counter()
    child = subprocess.run(
        [sys.executable, "-c", CHILD, "replay", "--packs-json", packs_path, "--format", "json", log_path],
        capture_output=True,
        text=True,
        check=False,
    )
    native_seconds = time.perf_counter() - started
    if child.returncode != 0:
        sys.exit(f"zorv replay failed ({child.returncode}): {child.stderr}")
    summary = json.loads(child.stdout)
    usage = json.loads(child.stderr.rstrip("\n").split("\n")[-1])
    peak_mb = usage["peak_kb"] / 1024
    # Processor time over every thread of the child: what the replay costs
    # whatever else the machine is running; the load average says how busy
    # the machine was meanwhile.
    print(
        f"zorv replay: {summary['records']} records in {native_seconds:.2f} s wall "
        f"({summary['records'] / native_seconds:,.0f} records/s), {usage['cpu_seconds']:.2f} s of "
        f"processor time on {len(os.sched_getaffinity(0))} cores (load average {os.getloadavg()[0]:.1f}), "
        f"peak RSS {peak_mb:.0f} MB; "
        f"{summary['changed']} changed, {summary['loosened']} loosened, {summary['tightened']} tightened"
    )

    limit = min(args.python_records, args.records)
    started = time.perf_counter()
    python_changed = python_replay(PackSet(after_json), log_path, limit)
    python_seconds = time.perf_counter() - started
    with open(log_path, encoding="utf-8") as log:
        head = "".join(line for _, line in zip(range(limit), log))
    from zorv_tools import replay

    head_summary = replay(PackSet(after_json), head)
    if head_summary["changed"] != python_changed:
        sys.exit(
            f"the two replays disagree on the first {limit} lines: {head_summary['changed']} "
            f"against {python_changed} changed"
        )
    python_rate = limit / python_seconds
    native_rate = summary["records"] / native_seconds
    print(
        f"plain-Python replay: {limit} records in {python_seconds:.2f} s ({python_rate:,.0f} records/s); "
        f"zorv replay is {native_rate / python_rate:.1f}x faster"
    )
    if not args.no_columns:
        replay_columns(PackSet(after_json), log_path, summary)
    if not args.keep:
        os.remove(log_path)
        os.remove(packs_path)
        os.rmdir(folder)


if __name__ == "__main__":
    main()
