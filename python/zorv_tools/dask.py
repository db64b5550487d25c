"""Decisions for Dask DataFrames, through ``map_partitions``: ``resolve``, and
replay of decision logs: ``replay``.

The pack map's text enters the task graph once, as one piece of data that
every partition's task depends on, so the scheduler sends it to each worker
once; each worker process reads it into a ``PackSet`` once (keyed by the
text's SHA-256) and decides its partitions with
``zorv_tools.arrow.resolve_batch``. Needs dask[dataframe] and pyarrow.
"""

import importlib
from typing import Any, Optional

from ._worker_sets import Packs, packs_text, worker_set
from .arrow import resolve_batch

__all__ = ["replay", "resolve"]

_DECISION_COLUMNS = ("decision", "required", "source", "strictness", "fell_back", "pack_sha256")


def _decide_partition(part: Any, text: str, sha256: str, strictness_override: Optional[str]) -> Any:
    pa = importlib.import_module("pyarrow")

    table = pa.Table.from_pandas(part, preserve_index=False)
    # A worker process runs one task per core.
    decisions = resolve_batch(worker_set(text, sha256), table, strictness_override, threads=1).to_pandas()
    decisions.index = part.index
    return part.drop(columns=[name for name in _DECISION_COLUMNS if name in part.columns]).join(decisions)


def _meta(part: Any) -> Any:
    pd = importlib.import_module("pandas")

    kept = part.drop(columns=[name for name in _DECISION_COLUMNS if name in part.columns])
    return kept.assign(
        decision=pd.Series([], dtype=object),
        required=pd.Series([], dtype=object),
        source=pd.Series([], dtype=object),
        strictness=pd.Series([], dtype=object),
        fell_back=pd.Series([], dtype=bool),
        pack_sha256=pd.Series([], dtype=object),
    )


def resolve(ddf: Any, packs: Packs, strictness_override: Optional[str] = None) -> Any:
    """``ddf`` with the decision columns of ``zorv_tools.arrow.resolve_batch`` added.

    The columns read and added, and the replacing of a column of ``ddf``
    with a decision column's name, are as in ``zorv_tools.spark.resolve``;
    ``packs`` is a folder, a ``packs_json`` text or a ``PackSet``. Lazy: a
    column of the wrong type raises the ``ValueError`` of ``resolve_batch``
    when the result is computed.
    """
    dask = importlib.import_module("dask")

    text, sha256 = packs_text(packs)
    shared = dask.delayed(text, pure=True)
    return ddf.map_partitions(_decide_partition, shared, sha256, strictness_override, meta=_meta(ddf._meta))


_REPLAY_COLUMNS = ("changed", "loosened", "tightened", "provenance_only", "decision", "stem", "gained", "lost")


def _replay_partition(part: Any, text: str, sha256: str) -> Any:
    pa = importlib.import_module("pyarrow")

    from .arrow import replay_batch

    table = pa.Table.from_pandas(part[["record"]], preserve_index=False)
    # A worker process runs one task per core.
    replayed = replay_batch(worker_set(text, sha256), table, threads=1).to_pandas()
    replayed.index = part.index
    return part.drop(columns=[name for name in _REPLAY_COLUMNS if name in part.columns]).join(replayed)


def replay(ddf: Any, packs: Packs) -> Any:
    """``ddf``, decision-log lines in a string column ``record``, with the
    columns of ``zorv_tools.arrow.replay_batch`` added, as
    ``zorv_tools.spark.replay`` adds them; the set is sent to each worker
    once and read there once."""
    dask = importlib.import_module("dask")
    pd = importlib.import_module("pandas")

    text, sha256 = packs_text(packs)
    kept = ddf._meta.drop(columns=[name for name in _REPLAY_COLUMNS if name in ddf._meta.columns])
    meta = kept.assign(
        **{name: pd.Series([], dtype=bool) for name in _REPLAY_COLUMNS[:4]},
        **{name: pd.Series([], dtype=object) for name in _REPLAY_COLUMNS[4:]},
    )
    return ddf.map_partitions(_replay_partition, dask.delayed(text, pure=True), sha256, meta=meta)
