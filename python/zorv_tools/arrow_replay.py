"""Replay for Arrow tables of decision-log lines: ``replay_batch``, and the
partial summaries that add up to the summary ``zorv replay`` prints.

Each record is decided again and compared with its recorded decision in
native code, by the same per-record replay as ``zorv_tools.replay``: the
column is read in place through the Arrow C data interface, the rows are
shared out over native threads with the interpreter lock released, and
every row gets its own flags, built as Arrow buffers. The summary of many
rows is built from those columns: ``partial_summary`` of consecutive rows,
``add_summaries`` of partial summaries in row order.
"""

import importlib
import json
from typing import Any, Counter, Dict, Iterable, List, Optional

from . import _native
from .pack_set import PackSet

__all__ = ["add_summaries", "partial_summary", "replay_batch", "replay_schema"]

COUNTS = ("records", "unchanged", "changed", "loosened", "tightened", "provenance_only")
PACK_COUNTS = ("records", "changed", "loosened", "tightened")


def _pyarrow() -> Any:
    from .arrow import _pyarrow as pyarrow

    return pyarrow()


def replay_schema() -> Any:
    """The Arrow schema of the batches ``replay_batch`` returns."""
    pa = _pyarrow()
    return pa.schema(
        [
            pa.field("changed", pa.bool_(), nullable=False),
            pa.field("loosened", pa.bool_(), nullable=False),
            pa.field("tightened", pa.bool_(), nullable=False),
            pa.field("provenance_only", pa.bool_(), nullable=False),
            pa.field("decision", pa.string()),
            pa.field("stem", pa.string()),
            pa.field("gained", pa.list_(pa.string()), nullable=False),
            pa.field("lost", pa.list_(pa.string()), nullable=False),
        ]
    )


def _records_column(pa: Any, records: Any) -> Any:
    if hasattr(records, "__arrow_c_stream__"):
        table = pa.RecordBatchReader.from_stream(records).read_all()
    elif hasattr(records, "__arrow_c_array__"):
        table = pa.Table.from_batches([pa.record_batch(records)])
    else:
        raise TypeError(f"records must be an Arrow table, record batch or stream, not {type(records).__name__}")
    if "record" not in table.schema.names:
        raise ValueError("the batch has no column `record`")
    column = table.column("record")
    if not (
        pa.types.is_string(column.type)
        or pa.types.is_large_string(column.type)
        or getattr(pa.types, "is_string_view", lambda _: False)(column.type)
    ):
        raise ValueError(f"column `record` at row 0 has Arrow type {column.type}, expected a string")
    return column


def replay_batch(packset: PackSet, records: Any, *, threads: Optional[int] = None) -> Any:
    """Replay each decision-log line of ``records`` under ``packset``.

    ``records`` is an Arrow table or record batch with a string column
    ``record``, one log line per row. Returns a ``pyarrow.RecordBatch`` with
    one row per input row: ``changed`` (the decision text differs at all),
    ``loosened`` (a control recorded as required no longer is),
    ``tightened`` (a control is newly required), ``provenance_only`` (only
    the provenance differs), ``decision`` (the new decision text, exactly
    that of ``zorv.resolve``), ``stem`` (the query's ``profile/domain``),
    ``gained`` and ``lost`` (the controls newly required, no longer
    required). A blank line gets null ``decision`` and ``stem``. A null, a
    line that is not a decision record, or a query the resolver refuses:
    ``ValueError`` naming the column and the row. The rows are read in
    place and shared out over ``threads`` native threads (default: the
    usable cores); the result is the same for every ``threads``.
    """
    pa = _pyarrow()
    column = _records_column(pa, records)
    table = pa.Table.from_arrays([column], names=["record"])
    rows, *buffers = _native.replay_arrow(packset, table.__arrow_c_stream__(), threads)
    (
        changed,
        loosened,
        tightened,
        provenance_only,
        decided,
        decision_offsets,
        decision_data,
        stem_offsets,
        stem_data,
        gained_lists,
        gained_offsets,
        gained_data,
        lost_lists,
        lost_offsets,
        lost_data,
    ) = map(pa.py_buffer, buffers)

    def flags(bits: Any) -> Any:
        return pa.Array.from_buffers(pa.bool_(), rows, [None, bits])

    def strings(count: int, validity: Any, offsets: Any, data: Any) -> Any:
        return pa.Array.from_buffers(pa.string(), count, [validity, offsets, data])

    def controls(lists: Any, offsets: Any, data: Any) -> Any:
        items = strings(len(offsets) // 4 - 1, None, offsets, data)
        return pa.Array.from_buffers(pa.list_(pa.string()), rows, [None, lists], children=[items])

    columns = [
        flags(changed),
        flags(loosened),
        flags(tightened),
        flags(provenance_only),
        strings(rows, decided, decision_offsets, decision_data),
        strings(rows, decided, stem_offsets, stem_data),
        controls(gained_lists, gained_offsets, gained_data),
        controls(lost_lists, lost_offsets, lost_data),
    ]
    return pa.RecordBatch.from_arrays(columns, schema=replay_schema())


def partial_summary(table: Any, examples: int) -> Dict[str, Any]:
    """The replay summary of consecutive rows of replayed lines: ``record``,
    the columns of ``replay_batch`` and, when there, ``file`` and ``line``
    (an example's place; null without them). Added up by ``add_summaries``."""
    pa = _pyarrow()
    pc = importlib.import_module("pyarrow.compute")

    decided = table.filter(pc.is_valid(table.column("stem")))
    result: Dict[str, Any] = {"records": decided.num_rows}
    for name in ("changed", "loosened", "tightened", "provenance_only"):
        result[name] = int(pc.sum(decided.column(name).cast(pa.int64())).as_py() or 0)
    by_pack: Dict[str, List[int]] = {}
    if decided.num_rows:
        grouped = (
            decided.select(["stem", "changed", "loosened", "tightened"])
            .group_by("stem")
            .aggregate([("stem", "count"), ("changed", "sum"), ("loosened", "sum"), ("tightened", "sum")])
        )
        for row in grouped.to_pylist():
            by_pack[row["stem"]] = [row["stem_count"], row["changed_sum"], row["loosened_sum"], row["tightened_sum"]]
    result["by_pack"] = by_pack
    for name in ("gained", "lost"):
        controls = pc.list_flatten(decided.column(name))
        result[name] = {item["values"]: item["counts"] for item in pc.value_counts(controls).to_pylist()}
    changed = decided.filter(decided.column("changed"))
    has_place = "line" in table.schema.names
    found = []
    for row in changed.slice(0, examples).to_pylist():
        record = json.loads(row["record"])
        found.append(
            {
                "file": row.get("file") if has_place else None,
                "line": row.get("line") if has_place else None,
                "query": record["query"],
                "strictness": record.get("strictness"),
                "before": record["decision"],
                "after": json.loads(row["decision"]),
            }
        )
    result["examples"] = found
    return result


def add_summaries(partials: Iterable[Dict[str, Any]], examples: int) -> Dict[str, Any]:
    """Partial summaries, in row order, added up into the summary of
    ``zorv_tools.replay``: counts, ``by_pack``, ``gained`` and ``lost`` in
    key order, the first ``examples`` examples, and ``bad`` (0: a bad line
    stops a replay of columns)."""
    totals = dict.fromkeys(COUNTS, 0)
    by_pack: Dict[str, List[int]] = {}
    gained: Counter[str] = Counter()
    lost: Counter[str] = Counter()
    found: List[Dict[str, Any]] = []
    for partial in partials:
        for name in COUNTS[:1] + COUNTS[2:]:
            totals[name] += partial[name]
        for stem, counts in partial["by_pack"].items():
            into = by_pack.setdefault(stem, [0, 0, 0, 0])
            for i, count in enumerate(counts):
                into[i] += count
        gained.update(partial["gained"])
        lost.update(partial["lost"])
        found.extend(partial["examples"][: max(0, examples - len(found))])
    totals["unchanged"] = totals["records"] - totals["changed"]
    result: Dict[str, Any] = dict(totals)
    result["by_pack"] = {stem: dict(zip(PACK_COUNTS, by_pack[stem])) for stem in sorted(by_pack)}
    result["gained"] = {control: gained[control] for control in sorted(gained)}
    result["lost"] = {control: lost[control] for control in sorted(lost)}
    result["examples"] = found
    result["bad"] = 0
    return result
