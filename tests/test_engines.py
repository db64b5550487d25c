"""Spark and Dask, each started by the test itself, against PackSet.resolve.

Marked `engines`: starting a JVM and a cluster of processes takes a while,
so only the full tier runs these (the quick tier passes -m 'not engines').
"""

import os
import sys

import pytest

from arrow_cases import PACKS, expected_row, packs_json, random_rows

pytestmark = pytest.mark.engines

pytest.importorskip("pyarrow")

from zorv_tools import PackSet  # noqa: E402

ROWS = random_rows(600, seed=21)
DECIDED = ("decision", "required", "source", "strictness", "fell_back", "pack_sha256")


@pytest.fixture(scope="module")
def packset():
    return PackSet(packs_json())


@pytest.fixture(scope="module")
def packs_dir(tmp_path_factory):
    folder = tmp_path_factory.mktemp("packs")
    for key, text in PACKS.items():
        path = folder / key
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text, encoding="utf-8")
    return folder


def expected(packset, rows, override=None):
    return [dict(id=i, **expected_row(packset, row, override)) for i, row in enumerate(rows)]


# ---- Spark -----------------------------------------------------------------


@pytest.fixture(scope="module")
def spark():
    pyspark = pytest.importorskip("pyspark")
    from pyspark.sql import SparkSession

    os.environ["PYSPARK_PYTHON"] = sys.executable
    os.environ["PYSPARK_DRIVER_PYTHON"] = sys.executable
    session = (
        SparkSession.builder.master("local[2]")
        .appName("zorv-engines-test")
        .config("spark.ui.enabled", "false")
        .config("spark.sql.shuffle.partitions", "2")
        # Several Arrow batches per task, so a worker decides many batches.
        .config("spark.sql.execution.arrow.maxRecordsPerBatch", "64")
        .getOrCreate()
    )
    assert pyspark.__version__
    yield session
    session.stop()


def spark_frame(spark, rows, universe_type=None):
    from pyspark.sql.types import ArrayType, LongType, StringType, StructField, StructType

    fields = [StructField("id", LongType(), False)]
    fields += [StructField(name, StringType(), True) for name in ("domain", "profile", "jurisdiction", "subject")]
    fields += [StructField("universe", universe_type or ArrayType(StringType(), True), True)]
    fields += [StructField(name, StringType(), True) for name in ("as_of", "strictness")]
    data = [
        (i, row["domain"], row["profile"], row["jurisdiction"], row["subject"], row["universe"], row["as_of"],
         row["strictness"])
        for i, row in enumerate(rows)
    ]
    return spark.createDataFrame(data, StructType(fields)).repartition(3)


def spark_rows(frame):
    return [
        {name: (list(row[name]) if name == "required" else row[name]) for name in ("id",) + DECIDED}
        for row in sorted(frame.collect(), key=lambda row: row["id"])
    ]


@pytest.mark.parametrize("packs_as", ["set", "text", "folder"])
def test_spark_rows_equal_the_pack_set(spark, packset, packs_dir, packs_as):
    from zorv_tools import spark as zorv_spark

    packs = {"set": packset, "text": packs_json(), "folder": packs_dir}[packs_as]
    override = {"set": None, "text": "minimal", "folder": "strict"}[packs_as]
    frame = zorv_spark.resolve(spark_frame(spark, ROWS), packs, override)
    assert frame.columns[:6] == ["id", "domain", "profile", "jurisdiction", "subject", "universe"]
    assert spark_rows(frame) == expected(packset, ROWS, override)


def test_spark_wrong_column_type_gives_the_documented_error(spark, packset):
    from pyspark.sql.types import StringType

    from zorv_tools import spark as zorv_spark

    rows = [dict(row, universe="mfa") for row in ROWS[:10]]
    frame = zorv_spark.resolve(spark_frame(spark, rows, universe_type=StringType()), packset)
    with pytest.raises(Exception) as raised:
        frame.collect()
    assert "column `universe` at row 0 has Arrow format \"u\", expected a list of strings" in str(raised.value)


# ---- Dask ------------------------------------------------------------------


@pytest.fixture(scope="module")
def dask_client():
    pytest.importorskip("dask.dataframe")
    distributed = pytest.importorskip("distributed")
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None)
    client = distributed.Client(cluster)
    yield client
    client.close()
    cluster.close()


def dask_frame(rows):
    import dask.dataframe as dd
    import pandas as pd
    import pyarrow as pa

    frame = pd.DataFrame([dict(id=i, **row) for i, row in enumerate(rows)])
    # A list column as Arrow holds it (as Parquet reads it): Dask would turn
    # an object column of Python lists into text.
    frame["universe"] = frame["universe"].astype(pd.ArrowDtype(pa.list_(pa.string())))
    return dd.from_pandas(frame, npartitions=7)


@pytest.mark.parametrize("packs_as, override", [("set", None), ("folder", "as_configured")])
def test_dask_rows_equal_the_pack_set(dask_client, packset, packs_dir, packs_as, override):
    from zorv_tools import dask as zorv_dask

    packs = {"set": packset, "folder": packs_dir}[packs_as]
    result = zorv_dask.resolve(dask_frame(ROWS), packs, override).compute().sort_values("id")
    got = [
        {name: (list(row[name]) if name == "required" else row[name]) for name in ("id",) + DECIDED}
        for row in result.astype({"pack_sha256": object}).replace({float("nan"): None}).to_dict("records")
    ]
    assert got == expected(packset, ROWS, override)


def test_dask_wrong_column_type_gives_the_documented_error(dask_client, packset):
    from zorv_tools import dask as zorv_dask

    rows = [dict(row, subject=7) for row in ROWS[:20]]
    with pytest.raises(ValueError, match=r"^column `subject` at row 0 has Arrow format \"l\", expected a string"):
        zorv_dask.resolve(dask_frame(rows), packset).compute()
