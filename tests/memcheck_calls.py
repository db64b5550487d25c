"""Run by scripts/test under valgrind's memcheck: every path of call_paths a
hundred times, successes and failures alike, so that any block our code
allocates and never frees is reported as definitely lost; then a prepared
set's long batches on one and two threads, which take the paths that
encode and decide a batch a piece at a time, answered or given up."""

import json

from call_paths import PATHS, QUERY_FIELDS, call
from zorv_tools import PackSet

for _ in range(100):
    for path in PATHS:
        call(path)
print(f"memcheck_calls: {100 * len(PATHS)} calls")

packs = PackSet(PATHS[0][2][0])
fields = dict(QUERY_FIELDS, universe=QUERY_FIELDS["universe"] + ["contrôle-é"] * 20)
batch, ascii_batch = ("[" + ",\n".join([json.dumps(fields, ensure_ascii=a)] * 600) + "]" for a in (False, True))
assert len(batch) > 256 * 1024 and ascii_batch.isascii()
batches = 0
for text in (batch, batch[:-1] + ', "\ud800"]', batch[:-1] + ', {"domain": 1}]', ascii_batch):
    for threads in (1, 2):
        try:
            packs.resolve_many(text, threads=threads)
        except (ValueError, UnicodeEncodeError):
            pass
        batches += 1
print(f"memcheck_calls: {batches} long batches")
