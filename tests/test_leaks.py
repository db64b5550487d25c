"""Nothing outlives a call: not the memory behind it, not a Python object it
made, not a reference to its arguments. Every path of call_paths is run many
times, successes and every kind of failure alike."""

import gc
import os
import sys
import tracemalloc

import pytest
from call_paths import PATHS, SANITIZED, call


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def run_every_path(rounds):
    for _ in range(rounds):
        for path in PATHS:
            call(path)


@pytest.mark.skipif(SANITIZED, reason="AddressSanitizer keeps freed memory in quarantine")
def test_resident_memory_stays_flat_over_two_hundred_thousand_calls():
    run_every_path(300)
    gc.collect()
    growth = []
    for _ in range(2):
        before = resident_bytes()
        run_every_path(5000)
        gc.collect()
        growth.append(resident_bytes() - before)
    # A leak grows memory in every stretch of 5000 rounds: one leaked byte per
    # call on every path by 200 KB, one kept copy of a decision text on any
    # one path by megabytes. The allocator taking a larger heap once (after a
    # large block elsewhere was freed) grows it in one stretch only.
    assert min(growth) < 2 * 1024 * 1024, f"resident memory grew by {growth} bytes, each over {5000 * len(PATHS)} calls"


@pytest.mark.parametrize("path", PATHS, ids=[path[0] for path in PATHS])
def test_no_python_object_outlives_a_call(path):
    tracemalloc.start()
    try:
        for _ in range(50):
            call(path)
        gc.collect()
        before = tracemalloc.get_traced_memory()[0]
        for _ in range(2000):
            call(path)
        gc.collect()
        grown = tracemalloc.get_traced_memory()[0] - before
    finally:
        tracemalloc.stop()
    # One leaked object per call, the smallest being 16 bytes, would be 32 KB.
    assert grown < 8 * 1024, f"{grown} bytes of Python objects outlived 2000 calls"


def fresh(value):
    """An equal object of its own, so its reference count is ours alone."""
    if isinstance(value, str):
        return "".join(list(value))
    if isinstance(value, bytes):
        return bytes(bytearray(value))
    if isinstance(value, dict):
        return dict(value)
    return value


@pytest.mark.parametrize("path", PATHS, ids=[path[0] for path in PATHS])
def test_arguments_keep_their_reference_counts(path):
    name, function, args, kwargs, expected = path
    args = tuple(fresh(arg) for arg in args)
    kwargs = {key: fresh(value) for key, value in kwargs.items()}
    objects = [*args, *kwargs.values()]
    counts = [sys.getrefcount(obj) for obj in objects]
    for _ in range(500):
        call((name, function, args, kwargs, expected))
    gc.collect()
    assert [sys.getrefcount(obj) for obj in objects] == counts
