"""Decisions for Spark DataFrames, through ``mapInArrow``: ``resolve``, and
replay of decision logs: ``replay`` and ``replay_summary``.

The pack map's text travels in the closure of the function Spark runs on
its Python workers; each worker process reads it into a ``PackSet`` once
(keyed by the text's SHA-256) and decides every Arrow batch it is given
with ``zorv_tools.arrow.resolve_batch``. Needs pyspark and pyarrow on the
driver and on the workers, and the zorv wheel on the workers.
"""

import importlib
import json
from typing import Any, Dict, Iterator, Optional

from ._worker_sets import Packs, packs_text, worker_set
from .arrow import decision_schema, replay_batch, replay_schema, resolve_batch, with_decisions
from .arrow_replay import add_summaries, partial_summary

__all__ = ["replay", "replay_summary", "resolve"]


def _spark_fields() -> Any:
    spark_types = importlib.import_module("pyspark.sql.types")

    return [
        spark_types.StructField("decision", spark_types.StringType(), False),
        spark_types.StructField("required", spark_types.ArrayType(spark_types.StringType(), False), False),
        spark_types.StructField("source", spark_types.StringType(), False),
        spark_types.StructField("strictness", spark_types.StringType(), False),
        spark_types.StructField("fell_back", spark_types.BooleanType(), False),
        spark_types.StructField("pack_sha256", spark_types.StringType(), True),
    ]


def resolve(df: Any, packs: Packs, strictness_override: Optional[str] = None) -> Any:
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
    spark_types = importlib.import_module("pyspark.sql.types")

    text, sha256 = packs_text(packs)
    decided = {field.name for field in _spark_fields()}
    schema = spark_types.StructType(
        [field for field in df.schema.fields if field.name not in decided] + _spark_fields()
    )
    decision_schema()  # pyarrow is needed on the workers; fail here on the driver first

    def decide(batches: Iterator[Any]) -> Iterator[Any]:
        packset = worker_set(text, sha256)
        for batch in batches:
            # Spark gives each task a core of its own.
            yield with_decisions(batch, resolve_batch(packset, batch, strictness_override, threads=1))

    return df.mapInArrow(decide, schema)


def _replay_fields() -> Any:
    spark_types = importlib.import_module("pyspark.sql.types")

    return [
        spark_types.StructField("changed", spark_types.BooleanType(), False),
        spark_types.StructField("loosened", spark_types.BooleanType(), False),
        spark_types.StructField("tightened", spark_types.BooleanType(), False),
        spark_types.StructField("provenance_only", spark_types.BooleanType(), False),
        spark_types.StructField("decision", spark_types.StringType(), True),
        spark_types.StructField("stem", spark_types.StringType(), True),
        spark_types.StructField("gained", spark_types.ArrayType(spark_types.StringType(), False), False),
        spark_types.StructField("lost", spark_types.ArrayType(spark_types.StringType(), False), False),
    ]


def replay(df: Any, packs: Packs) -> Any:
    """``df``, a DataFrame of decision-log lines in a string column
    ``record``, with the columns of ``zorv_tools.arrow.replay_batch`` added
    (``changed``, ``loosened``, ``tightened``, ``provenance_only``, the new
    ``decision``, ``stem``, ``gained``, ``lost``). ``packs`` as for
    ``resolve``; each worker reads the set once. Other columns (``file``
    and ``line`` for the examples of ``replay_summary``) are kept.
    """
    spark_types = importlib.import_module("pyspark.sql.types")

    text, sha256 = packs_text(packs)
    added = {field.name for field in _replay_fields()}
    schema = spark_types.StructType([field for field in df.schema.fields if field.name not in added] + _replay_fields())
    replay_schema()

    def decide(batches: Iterator[Any]) -> Iterator[Any]:
        packset = worker_set(text, sha256)
        for batch in batches:
            # Spark gives each task a core of its own.
            yield with_decisions(batch, replay_batch(packset, batch, threads=1))

    return df.mapInArrow(decide, schema)


def replay_summary(df: Any, examples: int = 20) -> Dict[str, Any]:
    """The summary ``zorv replay`` prints (``zorv_tools.replay``'s dict) of
    a DataFrame that ``replay`` returned, in one pass over it: each
    partition sums its own rows, and the driver adds the partitions up in
    order. The examples are the first ``examples`` changed rows in the
    DataFrame's order, with their ``file`` and ``line`` columns when it has
    them.
    """
    spark_types = importlib.import_module("pyspark.sql.types")

    if examples < 0:
        raise ValueError("examples must be at least 0")

    def summarise_partition(batches: Iterator[Any]) -> Iterator[Any]:
        pa = importlib.import_module("pyarrow")

        for batch in batches:
            partial = partial_summary(pa.Table.from_batches([batch]), examples)
            yield pa.RecordBatch.from_pylist([{"partial": json.dumps(partial)}])

    schema = spark_types.StructType([spark_types.StructField("partial", spark_types.StringType(), False)])
    partials = [json.loads(row["partial"]) for row in df.mapInArrow(summarise_partition, schema).collect()]
    return add_summaries(partials, examples)
