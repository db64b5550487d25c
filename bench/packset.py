"""The prepared pack set: zorv_tools.PackSet beside zorv.resolve and beside a
prepared resolver in plain Python (prepared_reference.py), measured side by
side in one run, every call given new str objects. Checks first that all of
them give the same text.

  - one query (10 packs; 10 controls, and 1,000 controls under aggressive):
    PackSet.resolve, zorv.resolve, the plain-Python prepared resolver;
  - resolve_many of 10,000 queries of 100 controls on 1 and on 2 threads;
  - a batch of 1,000 queries beside 1,000 PackSet.resolve calls, at 10, 100
    and 1,000 controls per query;
  - building a set from 10,000 packs (70 MB) beside one zorv.resolve call on
    that map, and the memory the set holds beside the map's text.

Usage: packset.py [--quick] [--markdown FILE]   (appends its tables to FILE)
"""

import ctypes
import gc
import random
import statistics
import sys
import time

import prepared_reference
import timing
import workloads
import zorv
from zorv_tools import PackSet


def fmt(seconds):
    if seconds >= 1e-3:
        return f"{seconds * 1e3:.2f} ms"
    return f"{seconds * 1e6:.2f} µs"


def single_queries(builder, settings):
    rows = []
    for controls, override, name in (
        (10, None, "10 packs, 10 controls"),
        (1000, "aggressive", "10 packs, 1,000 controls, aggressive"),
    ):
        w = builder.make("packset", name, n_packs=10, n_universe=controls, override=override)
        packs = PackSet(w.packs_json)
        peer = prepared_reference.PreparedResolver(w.packs_json)
        expected = zorv.resolve(w.packs_json, w.query_json, override)
        assert packs.resolve(w.query_json, override) == expected, name
        assert peer.resolve(w.query_json, override) == expected, f"{name}: the Python peer differs"
        times = timing.measure(
            {
                "PackSet.resolve": lambda p, q: packs.resolve(q, override),
                "zorv.resolve": lambda p, q: zorv.resolve(p, q, override),
                "Python prepared": lambda p, q: peer.resolve(q, override),
            },
            (w.packs_json, w.query_json),
            settings,
        )
        medians = {key: t.median_ns / 1e9 for key, t in times.items()}
        rows.append((name, medians))
        log(
            f"{name}: "
            + ", ".join(f"{key} {fmt(v)}" for key, v in medians.items())
            + f"; zorv/set {medians['zorv.resolve'] / medians['PackSet.resolve']:.1f}x,"
            f" Python/set {medians['Python prepared'] / medians['PackSet.resolve']:.1f}x"
        )
    return rows


def queries_of(controls, count, rng, ensure_ascii=False):
    return [
        workloads.query(
            "retail",
            "payments",
            rng.choice(workloads.SUBJECTS),
            workloads.universe(controls),
            rng,
            ensure_ascii=ensure_ascii,
        )
        for _ in range(count)
    ]


def on_fresh(call, *texts):
    """Makes new copies of `texts` and returns `call` bound to them: the
    copies are made before the clock starts, as in timing.measure, so that a
    batch's time is not that of copying its whole text in the interpreter."""

    def prepare():
        copies = [timing.fresh(text) for text in texts]
        return lambda: call(*copies)

    return prepare


def alternate(calls, runs):
    """Median wall time of each call, the calls taking turns in every run.
    Each entry prepares its call (fresh arguments) before the clock starts."""
    samples = {name: [] for name in calls}
    for run in range(runs):
        for name in list(calls) if run % 2 == 0 else list(reversed(calls)):
            call = calls[name]()
            gc.collect()
            start = time.perf_counter()
            call()
            samples[name].append(time.perf_counter() - start)
    return {name: statistics.median(values) for name, values in samples.items()}


def threaded_batch(builder, runs):
    """resolve_many on 1 and 2 threads, for queries written with their
    non-ASCII text as is and for the same queries as json.dumps writes them
    by default (ASCII, escaped): a str of the first kind is encoded to UTF-8
    by the interpreter on every call, on the calling thread, before the
    batch is shared out; an ASCII str is its own UTF-8."""
    base = builder.make("packset", "threads", n_packs=10, n_universe=100)
    packs = PackSet(base.packs_json)
    rows = []
    for ensure_ascii, name in ((False, "non-ASCII as is"), (True, "ASCII, json.dumps defaults")):
        queries = queries_of(100, 10_000, random.Random(workloads.SEED), ensure_ascii)
        batch = "[" + ",".join(queries) + "]"
        one = packs.resolve_many(batch, threads=1)
        assert packs.resolve_many(batch, threads=2) == one
        medians = alternate(
            {
                "threads=1": on_fresh(lambda b: packs.resolve_many(b, threads=1), batch),
                "threads=2": on_fresh(lambda b: packs.resolve_many(b, threads=2), batch),
            },
            runs,
        )
        rows.append((name, medians))
        log(
            f"resolve_many, 10,000 queries of 100 controls, {name}: threads=1 {fmt(medians['threads=1'])}, "
            f"threads=2 {fmt(medians['threads=2'])}; {medians['threads=1'] / medians['threads=2']:.2f}x"
        )
    return rows


def batch_beside_calls(builder, runs):
    rows = []
    base = builder.make("packset", "batch", n_packs=10)
    packs = PackSet(base.packs_json)
    for controls in (10, 100, 1000):
        queries = queries_of(controls, 1000, random.Random(workloads.SEED + controls))
        batch = "[" + ",".join(queries) + "]"
        assert packs.resolve_many(batch) == "[" + ",".join(packs.resolve(q) for q in queries) + "]"

        def separate(*fresh_queries):
            for q in fresh_queries:
                packs.resolve(q)

        medians = alternate(
            {
                "1,000 calls": on_fresh(separate, *queries),
                "batch, threads=1": on_fresh(lambda b: packs.resolve_many(b, threads=1), batch),
                "batch": on_fresh(packs.resolve_many, batch),
            },
            runs,
        )
        rows.append((controls, medians))
        log(f"1,000 queries of {controls:,} controls: " + ", ".join(f"{k} {fmt(v)}" for k, v in medians.items()))
    return rows


class _MallInfo2(ctypes.Structure):
    _fields_ = [
        (name, ctypes.c_size_t)
        for name in (
            "arena",
            "ordblks",
            "smblks",
            "hblks",
            "hblkhd",
            "usmblks",
            "fsmblks",
            "uordblks",
            "fordblks",
            "keepcost",
        )
    ]


def heap_in_use():
    """Bytes the C allocator has handed out and not had back (glibc's
    mallinfo2): what a native object holds, whatever the allocator keeps."""
    libc = ctypes.CDLL(None)
    libc.mallinfo2.restype = _MallInfo2
    info = libc.mallinfo2()
    return info.uordblks + info.hblkhd


def building(runs):
    library = workloads.PackLibrary(10_000)
    w = workloads.Builder(library).make("packset", "build", n_packs=10_000)
    text_bytes = len(w.packs_json.encode())
    PackSet(w.packs_json)  # the str's UTF-8 form is made once, as for every later call
    medians = alternate(
        {
            "PackSet(packs_json)": on_fresh(PackSet, w.packs_json),
            "zorv.resolve": on_fresh(lambda p: zorv.resolve(p, w.query_json), w.packs_json),
        },
        runs,
    )
    packs_json = timing.fresh(w.packs_json)
    zorv.resolve(packs_json, w.query_json)  # the UTF-8 form, which the str keeps, is the map's text
    gc.collect()
    before = heap_in_use()
    packs = PackSet(packs_json)
    after = heap_in_use()
    assert len(packs) == 10_000
    log(
        f"building from 10,000 packs ({text_bytes / 1e6:.1f} MB): "
        + ", ".join(f"{k} {fmt(v)}" for k, v in medians.items())
        + f"; the set holds {(after - before) / 1e6:.1f} MB beside the map's text"
    )
    return text_bytes, medians, after - before


def main(argv):
    quick = "--quick" in argv
    settings = (
        timing.QUICK if quick else timing.Settings(budget_s=4.0, min_rounds=9, max_rounds=2000, min_batch_ns=1_000_000)
    )
    runs = 3 if quick else 11
    builder = workloads.Builder(workloads.PackLibrary(10))
    single = single_queries(builder, settings)
    threads = threaded_batch(builder, runs)
    batches = batch_beside_calls(builder, runs)
    text_bytes, build, held = building(3 if quick else 5)
    if "--markdown" in argv:
        with open(argv[argv.index("--markdown") + 1], "a", encoding="utf-8") as out:
            out.write(markdown(single, threads, batches, text_bytes, build, held, settings, runs))


def markdown(single, threads, batches, text_bytes, build, held, settings, runs):
    lines = [
        "",
        "## Prepared pack set",
        "",
        "zorv_tools.PackSet beside zorv.resolve and beside a prepared resolver in plain Python "
        "(bench/prepared_reference.py: packs read once with tomllib, json.loads of the query, json.dumps of "
        "the answer), in one run, every call given new str objects, copied before the clock starts; all three give "
        "the same text. "
        f"Single queries: medians of at least {settings.min_rounds} samples each; batches and building: "
        f"medians of {runs} runs, taking turns.",
        "",
        "| workload | PackSet.resolve | zorv.resolve | Python prepared | zorv / PackSet | Python / PackSet |",
        "|---|---|---|---|---|---|",
    ]
    for name, m in single:
        lines.append(
            f"| {name} | {fmt(m['PackSet.resolve'])} | {fmt(m['zorv.resolve'])} | {fmt(m['Python prepared'])} "
            f"| {m['zorv.resolve'] / m['PackSet.resolve']:.1f}x | "
            f"{m['Python prepared'] / m['PackSet.resolve']:.1f}x |"
        )
    lines += [
        "",
        "| resolve_many, 10,000 queries of 100 controls | threads=1 | threads=2 | speed-up |",
        "|---|---|---|---|",
    ]
    lines += [
        f"| 10 packs, queries {name} | {fmt(m['threads=1'])} | {fmt(m['threads=2'])} | "
        f"{m['threads=1'] / m['threads=2']:.2f}x |"
        for name, m in threads
    ]
    lines += [
        "",
        "| 1,000 queries of | 1,000 PackSet.resolve calls | resolve_many, threads=1 | resolve_many, default threads "
        "| calls / batch (threads=1) | calls / batch (default) |",
        "|---|---|---|---|---|---|",
    ]
    for controls, m in batches:
        lines.append(
            f"| {controls:,} controls | {fmt(m['1,000 calls'])} | {fmt(m['batch, threads=1'])} | "
            f"{fmt(m['batch'])} | {m['1,000 calls'] / m['batch, threads=1']:.2f}x | "
            f"{m['1,000 calls'] / m['batch']:.2f}x |"
        )
    lines += [
        "",
        f"| building from 10,000 packs ({text_bytes / 1e6:.1f} MB) | PackSet(packs_json) | one zorv.resolve "
        "| build / resolve | memory the set holds beside the text |",
        "|---|---|---|---|---|",
        f"| | {fmt(build['PackSet(packs_json)'])} | {fmt(build['zorv.resolve'])} | "
        f"{build['PackSet(packs_json)'] / build['zorv.resolve']:.2f}x | {held / 1e6:.1f} MB "
        f"({held / text_bytes:.2f}x the text) |",
        "",
    ]
    return "\n".join(lines)


def log(message):
    print(message, file=sys.stderr, flush=True)


if __name__ == "__main__":
    main(sys.argv[1:])
