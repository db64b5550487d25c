"""Timing for the growth tests: they compare the cost of four times an input
with that of the input once, so each side is the least processor time of
several runs. Processor time of the whole process counts the work of any
threads a call starts, and not the other processes on a busy machine; the
least of several runs drops a run slowed by a collection or a cold cache."""

import time


def fastest(call, runs=5):
    best = float("inf")
    for _ in range(runs):
        start = time.process_time()
        call()
        best = min(best, time.process_time() - start)
    return best
