"""Where zorv stands against what its users would otherwise run.

Usage: run.py [--quick] [--markdown PATH] [--memory-calls N]

On the same seeded inputs, times zorv.resolve and zorv.resolve_with_receipts,
the same resolution in plain Python (standard-library parsers, then orjson +
rtoml), and parsing the inputs alone. Before timing a workload it checks that
both Python versions return exactly zorv's text, and stops if one does not.
"""

import argparse
import json
import os
import sys
import tempfile
import time

import memory_check
import orjson
import reference_resolver
import report
import rtoml
import timing
import workloads
import zorv


def _parse_pack(text):
    if text is None:  # no pack to parse: the missing fall-back
        return None
    try:
        return rtoml.loads(text)
    except Exception:  # a malformed pack costs its failed parse too
        return None


def arguments(workload):
    """The strings every implementation is called with: packs, query, context, and
    the one pack used (which only the parse-only floor reads on its own)."""
    return workload.packs_json, workload.query_json, workload.ctx_json, workload.pack_text


def callables_for(workload, native):
    """The implementations to time on one workload, by name; each takes `arguments`."""
    o = workload.override
    if not workload.receipts:
        return {
            "zorv": lambda p, q, c, t: zorv.resolve(p, q, o),
            "py_stdlib": lambda p, q, c, t: reference_resolver.resolve(p, q, o),
            "py_native": lambda p, q, c, t: native.resolve(p, q, o),
            "floor": lambda p, q, c, t: (orjson.loads(p), orjson.loads(q), _parse_pack(t)),
        }
    return {
        "zorv": lambda p, q, c, t: zorv.resolve_with_receipts(p, q, c, o),
        "py_stdlib": lambda p, q, c, t: reference_resolver.resolve_with_receipts(p, q, c, o),
        "py_native": lambda p, q, c, t: native.resolve_with_receipts(p, q, c, o),
        "floor": lambda p, q, c, t: (orjson.loads(p), orjson.loads(q), orjson.loads(c), _parse_pack(t)),
        "zorv_resolve": lambda p, q, c, t: zorv.resolve(p, q, o),
    }


class Mismatch(Exception):
    pass


def check(workload, fns):
    """zorv's answer is what the workload means to exercise, and (b), (c) equal it."""
    args = arguments(workload)
    expected = fns["zorv"](*args)
    decision = json.loads(expected)["decision"] if workload.receipts else json.loads(expected)
    source = decision["provenance"]["source"]
    if not source.startswith(workload.expect_source):
        raise Mismatch(
            f"{workload.group} / {workload.name}: zorv answered from {source!r}, "
            f"the workload expects {workload.expect_source!r}"
        )
    for impl in ("py_stdlib", "py_native"):
        got = fns[impl](*args)
        if got != expected:
            raise Mismatch(_describe(workload, impl, expected, got))


def _describe(workload, impl, expected, got):
    at = next((i for i, (x, y) in enumerate(zip(expected, got)) if x != y), min(len(expected), len(got)))
    folder = tempfile.mkdtemp(prefix="zorv-bench-mismatch-")
    for name, text in (
        ("packs.json", workload.packs_json),
        ("query.json", workload.query_json),
        ("ctx.json", workload.ctx_json or ""),
        ("zorv.out", expected),
        (f"{impl}.out", got),
    ):
        with open(os.path.join(folder, name), "w", encoding="utf-8") as out:
            out.write(text)
    return (
        f"{workload.group} / {workload.name}: {impl} differs from zorv at character {at} "
        f"(override {workload.override!r})\n  zorv: {expected[max(0, at - 80) : at + 80]!r}\n"
        f"  {impl}: {got[max(0, at - 80) : at + 80]!r}\n  inputs and both outputs in {folder}"
    )


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("--quick", action="store_true", help="few samples: a smoke run of a minute or so")
    parser.add_argument("--markdown", metavar="PATH", help="also write the report to PATH")
    parser.add_argument(
        "--memory-calls", type=int, help="calls of the memory check (default 1,000,000; 100,000 with --quick)"
    )
    options = parser.parse_args(argv)
    settings = timing.QUICK if options.quick else timing.FULL
    memory_calls = options.memory_calls or (100_000 if options.quick else 1_000_000)

    started = time.perf_counter()
    machine = report.machine()  # before the run loads the machine itself
    native = reference_resolver.Resolver(orjson.loads, rtoml.loads)
    log(f"generating {10_000:,} packs and the workloads (seed {workloads.SEED})")
    grid = workloads.grid(workloads.PackLibrary(10_000))

    rows = []
    for number, workload in enumerate(grid, 1):
        fns = callables_for(workload, native)
        try:
            check(workload, fns)
        except Mismatch as mismatch:
            log(f"MISMATCH {mismatch}")
            return 1
        times = timing.measure(fns, arguments(workload), settings)
        rows.append(report.Row(workload, "resolve_with_receipts" if workload.receipts else "resolve", times))
        log(
            f"[{number}/{len(grid)}] {workload.group}: {workload.name}: "
            + ", ".join(f"{name} {report.fmt_time(t.median_ns)}" for name, t in times.items())
        )

    small = workloads.small_calls()
    log(f"memory check: {memory_calls:,} calls")
    try:
        for workload in small:
            check(workload, callables_for(workload, native))
    except Mismatch as mismatch:
        log(f"MISMATCH {mismatch}")
        return 1
    memory = memory_check.run(zorv, *small, memory_calls)

    mode = (
        f"{'--quick' if options.quick else 'full'}: at least {settings.min_rounds} samples per "
        f"implementation and workload, about {settings.budget_s:g} s of sampling per workload; "
        f"run took {time.perf_counter() - started:.0f} s"
    )
    versions = f"zorv {zorv.__version__}, orjson {orjson.__version__}, rtoml {rtoml.__version__}"
    text = report.document("zorv benchmark", machine, mode, versions, rows, memory, len(grid) + len(small))
    print(text)
    if options.markdown:
        with open(options.markdown, "w", encoding="utf-8") as out:
            out.write(text)
        log(f"wrote {options.markdown}")
    return 0


def log(message):
    print(message, file=sys.stderr, flush=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
