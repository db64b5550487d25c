"""Decisions for whole Arrow tables: ``resolve_batch``.

Reads any Arrow table, record batch or stream through the Arrow C data
interface (the ``__arrow_c_stream__`` / ``__arrow_c_array__`` capsules), so
pyarrow, polars and duckdb objects all work, and answers every row in native
code: the columns are read in place, without a Python object per row, and
the rows are shared out over native threads with the interpreter lock
released. ``replay_batch`` does the same for the lines of a decision log.
Needs pyarrow (``pip install zorv[arrow]``) for the result; the
rest of ``zorv_tools`` never does.
"""

import importlib
from typing import Any, List, Optional

from . import _native
from .arrow_replay import replay_batch, replay_schema
from .pack_set import PackSet

__all__ = ["decision_schema", "replay_batch", "replay_schema", "resolve_batch", "with_decisions"]


def _pyarrow() -> Any:
    try:
        pyarrow = importlib.import_module("pyarrow")
        importlib.import_module("pyarrow.compute")  # for unique and take
    except ImportError as missing:
        raise ImportError("zorv_tools.arrow needs pyarrow: pip install zorv[arrow]") from missing
    return pyarrow


def decision_schema() -> Any:
    """The Arrow schema of the batches ``resolve_batch`` returns."""
    pa = _pyarrow()
    return pa.schema(
        [
            pa.field("decision", pa.string(), nullable=False),
            pa.field("required", pa.list_(pa.string()), nullable=False),
            pa.field("source", pa.string(), nullable=False),
            pa.field("strictness", pa.string(), nullable=False),
            pa.field("fell_back", pa.bool_(), nullable=False),
            pa.field("pack_sha256", pa.string()),
        ]
    )


def _capsules(batch: Any) -> Any:
    if hasattr(batch, "__arrow_c_stream__"):
        return batch.__arrow_c_stream__()
    if hasattr(batch, "__arrow_c_array__"):
        return batch.__arrow_c_array__()
    raise TypeError(
        f"batch must be an Arrow table, record batch or stream (an object with __arrow_c_stream__ or "
        f"__arrow_c_array__), not {type(batch).__name__}"
    )


def resolve_batch(
    packset: PackSet,
    batch: Any,
    strictness_override: Optional[str] = None,
    *,
    threads: Optional[int] = None,
) -> Any:
    """Decide every row of an Arrow table or record batch with ``packset``.

    ``batch`` has the string columns ``domain``, ``profile``,
    ``jurisdiction`` and ``subject``, the list-of-strings column
    ``universe``, and may have the nullable string columns ``as_of`` (null
    or missing: no reference date) and ``strictness`` (the row's own dial;
    null or missing: ``strictness_override``); other columns are ignored.
    Strings may be ``string``, ``large_string`` or ``string_view``, lists
    ``list`` or ``large_list``.

    Returns a ``pyarrow.RecordBatch`` with one row per input row, in order:
    ``decision`` (exactly the text ``zorv.resolve`` gives for the row's
    query and dial), ``required`` (its required controls), ``source`` and
    ``strictness`` (from its provenance), ``fell_back``, and
    ``pack_sha256`` (the hex SHA-256 of the text of the pack key the lookup
    found, malformed and out-of-window packs included; null when no key was
    found). The rows are shared out over ``threads`` native threads
    (default: the usable cores); the result is the same for every
    ``threads``.

    Raises ``ValueError`` naming the column and the row (counted from 0
    over the whole input) for a column of another Arrow type, a null where a
    string is required, or text that is not UTF-8, and for a missing
    column; no row is decided then.
    """
    pa = _pyarrow()
    rows, *buffers = _native.resolve_arrow(packset, _capsules(batch), strictness_override, threads)
    (
        decision_offsets,
        decision_data,
        list_offsets,
        required_offsets,
        required_data,
        source_offsets,
        source_data,
        strictness_offsets,
        strictness_data,
        fell_back_bits,
        pack_validity,
        pack_positions,
    ) = map(pa.py_buffer, buffers)

    def strings(count: int, offsets: Any, data: Any) -> Any:
        return pa.Array.from_buffers(pa.string(), count, [None, offsets, data])

    items = strings((len(buffers[3]) // 4) - 1, required_offsets, required_data)
    required = pa.Array.from_buffers(pa.list_(pa.string()), rows, [None, list_offsets], children=[items])
    positions = pa.Array.from_buffers(pa.int32(), rows, [pack_validity, pack_positions])
    columns = [
        strings(rows, decision_offsets, decision_data),
        required,
        strings(rows, source_offsets, source_data),
        strings(rows, strictness_offsets, strictness_data),
        pa.Array.from_buffers(pa.bool_(), rows, [None, fell_back_bits]),
        _pack_hashes(pa, packset, positions),
    ]
    return pa.RecordBatch.from_arrays(columns, schema=decision_schema())


def with_decisions(batch: Any, decisions: Any) -> Any:
    """``batch`` (a pyarrow ``RecordBatch`` or ``Table``) with the columns of
    ``decisions`` after its own, as the same kind of object; a column of
    ``batch`` with the name of a decision column is replaced by it."""
    pa = _pyarrow()
    names = set(decisions.schema.names)
    kept = [i for i, name in enumerate(batch.schema.names) if name not in names]
    fields = [batch.schema.field(i) for i in kept] + list(decisions.schema)
    if isinstance(batch, pa.Table):
        added = pa.Table.from_batches([decisions]).columns
        return pa.Table.from_arrays([batch.column(i) for i in kept] + added, schema=pa.schema(fields))
    arrays = [batch.column(i) for i in kept] + list(decisions.columns)
    return pa.RecordBatch.from_arrays(arrays, schema=pa.schema(fields))


def _pack_hashes(pa: Any, packset: PackSet, positions: Any) -> Any:
    """The hex SHA-256 per row, each pack hashed once, only the packs found."""
    keys = packset.keys()
    hashes: List[Optional[str]] = [None] * len(keys)
    for position in pa.compute.unique(positions).to_pylist():
        if position is not None:
            hashes[position] = packset.pack_sha256(keys[position])
    return pa.array(hashes, pa.string()).take(positions)
