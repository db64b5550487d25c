"""Batch resolution: 1,000 queries (of 10, 100 and 1,000 controls each)
against one 10-pack map, in one
zorv_tools.resolve_many call beside 1,000 zorv.resolve calls, measured side
by side in one run. Every call is given new str objects. Prints medians and
their ratio; checks first that both give the same decisions.

Usage: batch.py [--quick] [--markdown FILE]   (appends a table to FILE)
"""

import random
import statistics
import sys
import time

import workloads
import zorv
import zorv_tools


def fresh(text):
    return (text + " ")[:-1]


def main(argv):
    runs = 3 if "--quick" in argv else 11
    library = workloads.PackLibrary(10)
    builder = workloads.Builder(library)
    rows = [measure(builder, controls, runs) for controls in (10, 100, 1000)]
    if "--markdown" in argv:
        with open(argv[argv.index("--markdown") + 1], "a", encoding="utf-8") as out:
            out.write(
                "\n## Batch resolution\n\n1,000 queries against one map of 10 packs (70 kB), each call given new "
                "str objects: one zorv_tools.resolve_many call beside 1,000 zorv.resolve calls, medians of "
                f"{runs} runs side by side.\n\n| controls per query | 1,000 resolve calls | one resolve_many "
                "call | speed-up |\n|---|---|---|---|\n"
            )
            for controls, each, batch, ratio in rows:
                out.write(f"| {controls:,} | {each * 1e3:.1f} ms | {batch * 1e3:.1f} ms | {ratio:.1f}x |\n")


def measure(builder, controls, runs):
    base = builder.make("batch", "10 packs", n_universe=controls)
    rng = random.Random(workloads.SEED)
    subjects = workloads.SUBJECTS
    queries = [
        workloads.query("retail", "payments", rng.choice(subjects), workloads.universe(controls), rng)
        for _ in range(1000)
    ]
    queries_json = "[" + ",".join(queries) + "]"
    packs_json = base.packs_json
    assert (
        zorv_tools.resolve_many(packs_json, queries_json)
        == "[" + ",".join(zorv.resolve(packs_json, q) for q in queries) + "]"
    )

    def one_by_one():
        for q in queries:
            zorv.resolve(fresh(packs_json), fresh(q))

    def batch():
        zorv_tools.resolve_many(fresh(packs_json), fresh(queries_json))

    times = {"1,000 resolve calls": [], "one resolve_many call": []}
    for _ in range(runs):
        for name, call in (("1,000 resolve calls", one_by_one), ("one resolve_many call", batch)):
            start = time.perf_counter()
            call()
            times[name].append(time.perf_counter() - start)
    medians = {name: statistics.median(samples) for name, samples in times.items()}
    ratio = medians["1,000 resolve calls"] / medians["one resolve_many call"]
    print(
        f"1,000 queries of {controls:,} controls, 10 packs ({base.packs_mb * 1000:.0f} kB): "
        + ", ".join(f"{name} {median * 1e3:.2f} ms" for name, median in medians.items())
        + f"; batch speed-up {ratio:.1f}x"
    )
    return controls, medians["1,000 resolve calls"], medians["one resolve_many call"], ratio


if __name__ == "__main__":
    main(sys.argv[1:])
