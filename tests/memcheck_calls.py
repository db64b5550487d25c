"""Run by scripts/test under valgrind's memcheck: every path of call_paths a
hundred times, successes and failures alike, so that any block our code
allocates and never frees is reported as definitely lost."""

from call_paths import PATHS, call

for _ in range(100):
    for path in PATHS:
        call(path)
print(f"memcheck_calls: {100 * len(PATHS)} calls")
