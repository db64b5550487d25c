"""Calls from many threads at once give exactly what the same calls give one
after another: no call sees another's inputs, results or errors."""

import json
import sys
import threading

import pytest
from call_paths import PATHS, call

THREADS = 8


def varied_calls(thread):
    """Each thread's own calls: every shared path, plus decisions that only
    this thread asks for, so a result handed to the wrong caller shows."""
    own = []
    for index in range(20):
        universe = [f"t{thread}-c{index}-{k}" for k in range(index % 5)] + ["mfa"]
        pack = f'[meta]\nstrictness = "as_configured"\n[subject.s{thread}]\ncontrols = ["mfa", "{universe[0]}"]\n'
        packs = json.dumps({f"p{thread}/d{index}.zorv.toml": pack})
        query = json.dumps(
            {
                "domain": f"d{index}",
                "profile": f"p{thread}",
                "jurisdiction": "EU",
                "subject": f"s{thread}",
                "universe": universe,
            }
        )
        own.append((f"thread {thread} call {index}", "resolve", (packs, query), {}, None))
        own.append((f"thread {thread} bad {index}", "resolve", (packs, query[: -index - 1]), {}, ValueError))
    return [*PATHS, *own]


@pytest.fixture
def frequent_switching():
    interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    yield
    sys.setswitchinterval(interval)


def test_concurrent_calls_match_sequential_ones(frequent_switching):
    plans = [varied_calls(thread) for thread in range(THREADS)]
    expected = [[call(path) for path in plan] for plan in plans]
    results = [[] for _ in range(THREADS)]
    failures = []
    start = threading.Barrier(THREADS)

    def worker(thread):
        try:
            start.wait()
            for _ in range(40):
                results[thread].append([call(path) for path in plans[thread]])
        except BaseException as failure:  # reported by the main thread
            failures.append(failure)

    workers = [threading.Thread(target=worker, args=(thread,)) for thread in range(THREADS)]
    for thread in workers:
        thread.start()
    for thread in workers:
        thread.join()
    assert failures == []
    for thread in range(THREADS):
        assert len(results[thread]) == 40
        for round_results in results[thread]:
            assert round_results == expected[thread]
