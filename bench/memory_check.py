"""Does the process grow over many calls? Resident set size before and after.

A resolver that leaks a few bytes per call is invisible in a unit test and
fatal in a service that calls it on every request, so the check mixes the
calls a service makes: plain decisions, fall-backs, receipts and rejected
input that raises.
"""

import gc
import os
import time
from dataclasses import dataclass


def rss_bytes():
    """Current resident set size and where it was read (the peak size where
    /proc is not there, which still shows growth)."""
    try:
        with open("/proc/self/statm") as statm:
            return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE"), "/proc/self/statm"
    except OSError:
        import resource

        return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024, "peak RSS from getrusage"


@dataclass(frozen=True)
class MemoryReport:
    calls: int
    warmup_calls: int
    rss_before: int  # after the warm-up
    rss_after: int
    seconds: float
    rss_source: str

    @property
    def growth_per_call(self):
        return (self.rss_after - self.rss_before) / self.calls


def _mixed_calls(zorv, plain, fall_back, receipts):
    bad_query = '{"domain": "payments"}'

    def rejected():
        try:
            zorv.resolve(plain.packs_json, bad_query)
        except ValueError:
            pass

    return [
        lambda: zorv.resolve(plain.packs_json, plain.query_json, plain.override),
        lambda: zorv.resolve(fall_back.packs_json, fall_back.query_json, fall_back.override),
        lambda: zorv.resolve_with_receipts(
            receipts.packs_json, receipts.query_json, receipts.ctx_json, receipts.override
        ),
        rejected,
    ]


def run(zorv, plain, fall_back, receipts, calls):
    """`calls` small calls after a warm-up of a tenth as many; RSS around them."""
    kinds = _mixed_calls(zorv, plain, fall_back, receipts)
    warmup = calls // 10
    for i in range(warmup):
        kinds[i % len(kinds)]()
    gc.collect()
    before, _ = rss_bytes()
    start = time.perf_counter()
    for i in range(calls):
        kinds[i % len(kinds)]()
    seconds = time.perf_counter() - start
    gc.collect()
    after, source = rss_bytes()
    return MemoryReport(calls, warmup, before, after, seconds, source)
