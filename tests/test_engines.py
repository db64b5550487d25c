"""Spark and Dask, each started by the test itself, against PackSet.resolve.

Marked `engines`: starting a JVM and a cluster of processes takes a while,
so only the full tier runs these (the quick tier passes -m 'not engines').
"""

import json
import os
import sys

import pytest
from arrow_cases import PACKS, changed_packs_json, expected_row, packs_json, query_json, random_rows

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
        (
            i,
            row["domain"],
            row["profile"],
            row["jurisdiction"],
            row["subject"],
            row["universe"],
            row["as_of"],
            row["strictness"],
        )
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
    assert 'column `universe` at row 0 has Arrow format "u", expected a list of strings' in str(raised.value)


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


# ---- Replay ------------------------------------------------------------------

needs_replay = pytest.mark.skipif(
    not hasattr(__import__("zorv_tools")._native, "replay_lines"), reason="this build has no native replay"
)


@pytest.fixture(scope="module")
def log_file(tmp_path_factory, packset):
    import zorv_tools

    lines = [zorv_tools.decision_record(packset, query_json(row), row["strictness"]) for row in ROWS]
    lines.insert(17, "")  # logs may hold blank lines
    path = tmp_path_factory.mktemp("log") / "decisions.jsonl"
    path.write_text("\n".join(lines) + "\n", encoding="utf-8")
    return path


def log_rows(path):
    return [(str(path), number, line) for number, line in enumerate(path.read_text("utf-8").split("\n")[:-1], 1)]


@needs_replay
def test_spark_replay_summary_equals_zorv_replay(spark, log_file):
    import subprocess

    from zorv_tools import spark as zorv_spark

    frame = spark.createDataFrame(log_rows(log_file), "file string, line long, record string").repartition(3)
    frame = frame.orderBy("line")  # the log's order, over several partitions
    summary = zorv_spark.replay_summary(zorv_spark.replay(frame, changed_packs_json()), examples=7)
    packs = log_file.parent / "changed.json"
    packs.write_text(changed_packs_json(), encoding="utf-8")
    printed = subprocess.run(
        [
            sys.executable,
            "-m",
            "zorv_tools",
            "replay",
            "--packs-json",
            str(packs),
            "--format",
            "json",
            "--examples",
            "7",
            str(log_file),
        ],
        capture_output=True,
        text=True,
    )
    assert printed.returncode == 0, printed.stderr
    assert summary == json.loads(printed.stdout)
    assert summary["changed"] > 0 and summary["records"] == len(ROWS)


@needs_replay
def test_dask_replay_rows_equal_the_arrow_replay(dask_client, log_file):
    import dask.dataframe as dd
    import pandas as pd
    import pyarrow as pa
    from zorv_tools import dask as zorv_dask
    from zorv_tools.arrow import replay_batch

    rows = log_rows(log_file)
    frame = dd.from_pandas(pd.DataFrame(rows, columns=["file", "line", "record"]), npartitions=5)
    got = zorv_dask.replay(frame, changed_packs_json()).compute().sort_values("line")
    expected = replay_batch(PackSet(changed_packs_json()), pa.table({"record": [row[2] for row in rows]}))
    columns = expected.schema.names
    got = got.astype({"decision": object, "stem": object}).replace({float("nan"): None})
    got_rows = [
        {name: (list(row[name]) if name in ("gained", "lost") else row[name]) for name in columns}
        for row in got.to_dict("records")
    ]
    assert got_rows == expected.to_pylist()
