"""Decisions at scale: 1,000,000 queries of 10 controls, read from Parquet,
decided five ways on this machine in one run, side by side:

  PackSet.resolve_many        one JSON array of every query (threads 1 and 2)
  zorv_tools.arrow kernel     resolve_batch on the Arrow table (threads 1 and 2)
  Spark local[2]              zorv_tools.spark.resolve, from the Parquet file,
                              (with --spark-parts also the same job with the
                              rows passed through mapInArrow unchanged, what
                              Spark itself costs, and with every batch decided
                              in the worker but only its input returned)
  Dask, 2 worker processes    zorv_tools.dask.resolve, from the Parquet file

The ten packs and the queries are generated once (seeded) into build/; a
query asks for one of the ten packs or, one time in ten, for a pack that
does not exist (the fall-back). The JSON text resolve_many reads and the
Arrow table the kernel reads are made before their clocks start; the
engines' clocks run from the Parquet file to the last decision, after one
warm-up job that starts their workers. Each figure is the median of
--repeat runs. Before timing, the kernel's decisions are checked against
PackSet.resolve on a sample of rows.

Usage: scale.py [--rows N] [--repeat N] [--no-engines] [--spark-parts] [--markdown FILE]
"""

import argparse
import json
import os
import random
import resource
import statistics
import sys
import time

import pyarrow as pa
import pyarrow.parquet as pq
import timing
import workloads
from zorv_tools import PackSet
from zorv_tools.arrow import resolve_batch

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "build", "bench-scale")


def pack_map():
    rng = random.Random(workloads.SEED)
    pool = workloads.universe(60, workloads.SEED + 3)
    packs = {}
    for k in range(10):
        profile, domain = workloads.PROFILES[k], workloads.DOMAINS[k]
        packs[f"{profile}/{domain}.zorv.toml"] = workloads.pack_text(rng, profile, domain, pool)
    return json.dumps(packs, ensure_ascii=False), pool


def queries_file(rows, packs_json, pool):
    path = os.path.join(DATA, f"queries-{rows}.parquet")
    if os.path.exists(path):
        return path
    os.makedirs(DATA, exist_ok=True)
    rng = random.Random(f"{workloads.SEED}/scale")
    stems = [key[: -len(".zorv.toml")].split("/") for key in json.loads(packs_json)]
    subjects = workloads.SUBJECTS
    columns = {name: [] for name in ("domain", "profile", "jurisdiction", "subject", "universe", "as_of")}
    for _ in range(rows):
        profile, domain = rng.choice(stems) if rng.random() < 0.9 else ("nobody", "payments")
        columns["domain"].append(domain)
        columns["profile"].append(profile)
        columns["jurisdiction"].append("EU")
        columns["subject"].append(rng.choice(subjects))
        columns["universe"].append(rng.sample(pool, 10))
        columns["as_of"].append("2026-06-30")
    pq.write_table(pa.table(columns), path, row_group_size=50_000)
    return path


def median_seconds(run, repeat, prepare=None):
    """The median wall time of `repeat` runs, and the median processor time
    this process spent in them (every thread; an engine's workers are other
    processes and are not counted). `prepare`, when given, makes each run's
    argument before its clock starts."""
    times, cpu = [], []
    for _ in range(repeat):
        argument = prepare() if prepare is not None else None
        start, start_cpu = time.perf_counter(), _cpu_seconds()
        run() if prepare is None else run(argument)
        times.append(time.perf_counter() - start)
        cpu.append(_cpu_seconds() - start_cpu)
    return statistics.median(times), statistics.median(cpu)


def _cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime + usage.ru_stime


def check_kernel(packset, table):
    rng = random.Random(7)
    sample = sorted(rng.sample(range(table.num_rows), 2000))
    part = table.take(sample)
    decisions = resolve_batch(packset, part, threads=2).column("decision").to_pylist()
    for row, decision in zip(part.to_pylist(), decisions):
        assert decision == packset.resolve(json.dumps(row, ensure_ascii=False)), row


def spark_seconds(path, packset, repeat, parts):
    """Spark's time to decide the file; with `parts`, also its time to pass
    the same rows through mapInArrow unchanged (the engine's own part) and
    to decide every batch in the worker but return only the input (the
    kernel's part; the rest is the decision columns' way back)."""
    from pyspark.sql import SparkSession
    from zorv_tools import spark as zorv_spark

    os.environ.setdefault("PYSPARK_PYTHON", sys.executable)
    session = (
        SparkSession.builder.master("local[2]")
        .appName("zorv-scale")
        .config("spark.ui.enabled", "false")
        .config("spark.driver.memory", "4g")
        # Splits of a few MB, so that both cores get tasks from one file.
        .config("spark.sql.files.maxPartitionBytes", str(4 << 20))
        .config("spark.sql.files.openCostInBytes", str(1 << 20))
        .getOrCreate()
    )
    try:

        def passed(batches):
            yield from batches

        def decided_dropped(batches):
            for batch in batches:
                resolve_batch(packset, batch, threads=1)
                yield batch

        def run(limit=None, way=None):
            frame = session.read.parquet(path)
            if limit:
                frame = frame.limit(limit)
            out = zorv_spark.resolve(frame, packset) if way is None else frame.mapInArrow(way, frame.schema)
            out.write.format("noop").mode("overwrite").save()

        ways = [None] + ([passed, decided_dropped] if parts else [])
        for way in ways:
            run(10_000, way)
        return [median_seconds(lambda way=way: run(way=way), repeat) for way in ways]
    finally:
        session.stop()


def dask_seconds(path, packset, repeat):
    import dask.dataframe as dd
    import distributed
    from zorv_tools import dask as zorv_dask

    with (
        distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster,
        distributed.Client(cluster),
    ):

        def run(partitions=None):
            frame = dd.read_parquet(path, dtype_backend="pyarrow", split_row_groups=True)
            if partitions:
                frame = frame.partitions[:partitions]
            decided = zorv_dask.resolve(frame, packset)
            decided.map_partitions(lambda part: part["decision"].str.len().sum(), meta=("n", "int64")).compute()

        run(1)
        return median_seconds(run, repeat)


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--no-engines", action="store_true")
    parser.add_argument("--spark-parts", action="store_true", help="also time the parts of the Spark job")
    parser.add_argument("--markdown")
    args = parser.parse_args(argv)

    packs_json, pool = pack_map()
    packset = PackSet(packs_json)
    path = queries_file(args.rows, packs_json, pool)
    read_s = median_seconds(lambda: pq.read_table(path), args.repeat)
    load_before = os.getloadavg()[0]
    table = pq.read_table(path)
    check_kernel(packset, table)
    queries_json = "[" + ",".join(json.dumps(row, ensure_ascii=False) for row in table.to_pylist()) + "]"

    results = []

    def measured(name, seconds):
        results.append((name, seconds))
        print(f"{name}: {seconds[0]:.2f} s, {seconds[1]:.2f} s of processor", file=sys.stderr, flush=True)

    measured("Parquet read (pyarrow), for scale", read_s)
    for threads in (1, 2):
        measured(
            f"PackSet.resolve_many, threads={threads}",
            # A new str each run, as the batches of the other benchmarks: a
            # str used before keeps the UTF-8 form the interpreter made for
            # it, which a batch arriving as new text never has.
            median_seconds(
                lambda text: packset.resolve_many(text, threads=threads),
                args.repeat,
                lambda: timing.fresh(queries_json),
            ),
        )
    for threads in (1, 2):
        measured(
            f"Arrow kernel resolve_batch, threads={threads}",
            median_seconds(lambda: resolve_batch(packset, table, threads=threads), args.repeat),
        )
    if not args.no_engines:
        spark = spark_seconds(path, packset, args.repeat, args.spark_parts)
        measured("Spark local[2], Parquet to decisions", spark[0])
        if args.spark_parts:
            measured("Spark local[2], Parquet through mapInArrow unchanged", spark[1])
            measured("Spark local[2], each batch decided, only its input returned", spark[2])
        measured("Dask, 2 worker processes, Parquet to decisions", dask_seconds(path, packset, args.repeat))

    kernel_2 = dict(results)["Arrow kernel resolve_batch, threads=2"][0]
    load = f"{load_before:.1f} before, {os.getloadavg()[0]:.1f} after"
    lines = [
        f"### Decisions at scale: {args.rows:,} queries of 10 controls, 10 packs (median of {args.repeat})",
        "",
        f"Load average of the 2-core machine (other work included): {load}. Processor time is this",
        "process's (all its threads); the engines' workers are other processes.",
        "",
        "| way | seconds | rows/s | time / kernel (2 threads) | processor s | rows per processor s |",
        "|---|---:|---:|---:|---:|---:|",
    ]
    for name, (seconds, cpu) in results:
        engine = name.startswith(("Spark", "Dask"))
        per_cpu = "" if engine or cpu == 0 else f"{args.rows / cpu:,.0f}"
        lines.append(
            f"| {name} | {seconds:.2f} | {args.rows / seconds:,.0f} | {seconds / kernel_2:.2f}× | "
            f"{'' if engine else f'{cpu:.2f}'} | {per_cpu} |"
        )
    text = "\n".join(lines)
    print(text)
    if args.markdown:
        with open(args.markdown, "a", encoding="utf-8") as out:
            out.write("\n" + text + "\n")


if __name__ == "__main__":
    main(sys.argv[1:])
