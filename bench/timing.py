"""Per-call medians for several callables measured side by side.

The callables of one workload take turns within every round, in a rotating
order, so drift in the machine's speed (frequency, other load) lands on all of
them alike instead of on whichever happened to run last. A sample is one
batch of back-to-back calls divided by its length; batches are long enough
that the clock's own cost is negligible even for calls of a microsecond.

Every call gets argument strings no parser has seen. CPython keeps the UTF-8
form of a str once something has asked for it in a cacheable way (orjson and
rtoml do), so reusing one str object would let whichever implementation runs
second skip the encoding that a request with new text pays. The copies are
made before the clock starts.
"""

import gc
import statistics
import time
from dataclasses import dataclass


@dataclass(frozen=True)
class Settings:
    budget_s: float  # wall time to spend sampling one workload, all callables together
    min_rounds: int
    max_rounds: int
    min_batch_ns: int  # a batch lasts at least this long


QUICK = Settings(budget_s=0.25, min_rounds=3, max_rounds=200, min_batch_ns=200_000)
FULL = Settings(budget_s=9.0, min_rounds=9, max_rounds=2000, min_batch_ns=1_000_000)


@dataclass(frozen=True)
class Timing:
    median_ns: float
    low_ns: float  # fastest sample
    high_ns: float  # slowest sample
    samples: int
    batch: int


def fresh(text):
    """An equal str that is a new object, so without any cached UTF-8 form."""
    if not isinstance(text, str) or len(text) < 2:
        return text
    half = len(text) // 2
    return text[:half] + text[half:]


def _batch_size(fn, args, settings):
    call_args = tuple(fresh(a) for a in args)
    start = time.perf_counter_ns()
    fn(*call_args)
    once = max(time.perf_counter_ns() - start, 1)
    return max(1, -(-settings.min_batch_ns // once))


def measure(callables, args, settings):
    """Median per-call time of each named callable, each called with fresh
    copies of `args`; all are run once first."""
    names = list(callables)
    batches = {name: _batch_size(callables[name], args, settings) for name in names}
    samples = {name: [] for name in names}

    gc.collect()
    gc_was_enabled = gc.isenabled()
    gc.disable()
    try:
        started = time.perf_counter_ns()
        rounds = 0
        while rounds < settings.max_rounds:
            order = names[rounds % len(names) :] + names[: rounds % len(names)]
            for name in order:
                fn, batch = callables[name], batches[name]
                batch_args = [tuple(fresh(a) for a in args) for _ in range(batch)]
                start = time.perf_counter_ns()
                for call_args in batch_args:
                    fn(*call_args)
                samples[name].append((time.perf_counter_ns() - start) / batch)
                del batch_args
            rounds += 1
            elapsed_s = (time.perf_counter_ns() - started) / 1e9
            if rounds >= settings.min_rounds and elapsed_s >= settings.budget_s:
                break
            if rounds % 16 == 0:
                gc.collect()  # keep collections out of the samples without letting garbage pile up
    finally:
        if gc_was_enabled:
            gc.enable()

    return {
        name: Timing(statistics.median(values), min(values), max(values), len(values), batches[name])
        for name, values in samples.items()
    }
