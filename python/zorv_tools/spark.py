"""Decisions for Spark DataFrames, through ``mapInArrow``: ``resolve``.

The pack map's text travels in the closure of the function Spark runs on
its Python workers; each worker process reads it into a ``PackSet`` once
(keyed by the text's SHA-256) and decides every Arrow batch it is given
with ``zorv_tools.arrow.resolve_batch``. Needs pyspark and pyarrow on the
driver and on the workers, and the zorv wheel on the workers.
"""

from typing import TYPE_CHECKING, Any, Iterator, Optional

from ._worker_sets import Packs, packs_text, worker_set
from .arrow import decision_schema, resolve_batch, with_decisions

if TYPE_CHECKING:
    import pyarrow
    from pyspark.sql import DataFrame

__all__ = ["resolve"]


def _spark_fields() -> Any:
    from pyspark.sql.types import ArrayType, BooleanType, StringType, StructField

    return [
        StructField("decision", StringType(), False),
        StructField("required", ArrayType(StringType(), False), False),
        StructField("source", StringType(), False),
        StructField("strictness", StringType(), False),
        StructField("fell_back", BooleanType(), False),
        StructField("pack_sha256", StringType(), True),
    ]


def resolve(df: "DataFrame", packs: Packs, strictness_override: Optional[str] = None) -> "DataFrame":
    """``df`` with the decision columns of ``zorv_tools.arrow.resolve_batch`` added.

    ``df`` has the query columns ``resolve_batch`` reads (``domain``,
    ``profile``, ``jurisdiction``, ``subject``, ``universe``, and optionally
    ``as_of`` and a per-row ``strictness``); ``packs`` is a folder, a
    ``packs_json`` text or a ``PackSet``. Each row gains ``decision`` (the
    exact text of ``zorv.resolve``), ``required``, ``source``,
    ``strictness``, ``fell_back`` and ``pack_sha256``; a column of ``df``
    with one of these names (a per-row ``strictness`` dial) is replaced by
    it. Lazy like any transformation: a column of the wrong type raises the
    ``ValueError`` of ``resolve_batch`` (inside Spark's error) when the
    result is computed.
    """
    from pyspark.sql.types import StructType

    text, sha256 = packs_text(packs)
    decided = {field.name for field in _spark_fields()}
    schema = StructType([field for field in df.schema.fields if field.name not in decided] + _spark_fields())
    decision_schema()  # pyarrow is needed on the workers; fail here on the driver first

    def decide(batches: Iterator["pyarrow.RecordBatch"]) -> Iterator["pyarrow.RecordBatch"]:
        packset = worker_set(text, sha256)
        for batch in batches:
            # Spark gives each task a core of its own.
            yield with_decisions(batch, resolve_batch(packset, batch, strictness_override, threads=1))

    return df.mapInArrow(decide, schema)
