"""zorv_tools.arrow.resolve_batch against PackSet.resolve, row by row."""

import subprocess
import sys

import pytest
from arrow_cases import expected_row, packs_json, random_rows
from timing import fastest

pa = pytest.importorskip("pyarrow")

from zorv_tools import PackSet  # noqa: E402
from zorv_tools.arrow import decision_schema, resolve_batch, with_decisions  # noqa: E402

STRING_TYPES = {
    "string": (pa.string(), pa.list_(pa.string())),
    "large": (pa.large_string(), pa.large_list(pa.large_string())),
    "view": (pa.string_view(), pa.list_(pa.string_view())),
}
QUERY_COLUMNS = ("domain", "profile", "jurisdiction", "subject", "universe", "as_of", "strictness")


@pytest.fixture(scope="module")
def packset():
    return PackSet(packs_json())


def table_of(rows, kind="string", chunk=None):
    string, strings = STRING_TYPES[kind]
    types = {"universe": strings}
    schema = pa.schema([(name, types.get(name, string)) for name in QUERY_COLUMNS if name in rows[0]])
    table = pa.Table.from_pylist(rows, schema=schema)
    if chunk:
        table = pa.Table.from_batches(table.to_batches(max_chunksize=chunk), schema=schema)
    return table


@pytest.mark.parametrize(
    "kind, chunk, threads, override",
    [
        ("string", None, 1, None),
        ("string", 7, 2, None),
        ("large", 100, 2, "minimal"),
        ("view", 33, 3, "as_configured"),
        ("string", 1, 2, "strict"),
    ],
)
def test_rows_equal_the_pack_set(packset, kind, chunk, threads, override):
    rows = random_rows(400, seed=len(kind) * 31 + (chunk or 0))
    got = resolve_batch(packset, table_of(rows, kind, chunk), override, threads=threads)
    assert got.schema == decision_schema()
    assert got.to_pylist() == [expected_row(packset, row, override) for row in rows]


def test_slices_and_extra_columns(packset):
    rows = random_rows(300, seed=5)
    table = table_of(rows).append_column("note", pa.array(range(300)))
    part = table.slice(101, 150).combine_chunks().to_batches()[0]
    assert resolve_batch(packset, part).to_pylist() == [expected_row(packset, row) for row in rows[101:251]]


def test_the_answer_is_the_same_for_every_thread_count(packset):
    table = table_of(random_rows(2000, seed=9))
    once = resolve_batch(packset, table, threads=1)
    for threads in (2, 5, 64):
        assert resolve_batch(packset, table, threads=threads).equals(once)


def test_optional_columns_may_be_missing_or_all_null(packset):
    rows = [{k: v for k, v in row.items() if k not in ("as_of", "strictness")} for row in random_rows(50, seed=3)]
    missing = resolve_batch(packset, table_of(rows), "minimal")
    nulls = table_of(rows).append_column("as_of", pa.nulls(50)).append_column("strictness", pa.nulls(50))
    assert missing.to_pylist() == [expected_row(packset, dict(row, as_of=None), "minimal") for row in rows]
    assert resolve_batch(packset, nulls, "minimal").equals(missing)


def test_an_empty_table_gives_an_empty_batch(packset):
    empty = table_of(random_rows(1, seed=1)).slice(0, 0)
    assert resolve_batch(packset, empty).num_rows == 0


def _set(column, row, value):
    def change(rows):
        rows[row][column] = value
        return table_of(rows)

    return change


def _retype(column, arrow_type, values):
    def change(rows):
        table = table_of(rows)
        return table.set_column(table.schema.get_field_index(column), column, pa.array(values, arrow_type))

    return change


def _drop(column):
    return lambda rows: table_of(rows).drop_columns([column])


# (the table made from 8 random rows, expected message)
FAULTS = [
    (_set("subject", 3, None), "column `subject` at row 3 is null, expected a string"),
    (_set("domain", 0, None), "column `domain` at row 0 is null, expected a string"),
    (_set("universe", 5, None), "column `universe` at row 5 is null, expected a list of strings"),
    (_set("universe", 6, ["mfa", None]), "column `universe` at row 6 holds a null, expected strings"),
    (
        _retype("jurisdiction", pa.int64(), list(range(8))),
        'column `jurisdiction` at row 0 has Arrow format "l", expected a string (Arrow format "u", "U" or "vu")',
    ),
    (
        _retype("universe", pa.list_(pa.int32()), [[1]] * 8),
        'column `universe` at row 0 has Arrow format "+l<i>", expected a list of strings '
        '(Arrow format "+l" or "+L" of "u", "U" or "vu")',
    ),
    (
        _retype("universe", pa.string(), ["mfa"] * 8),
        'column `universe` at row 0 has Arrow format "u", expected a list of strings '
        '(Arrow format "+l" or "+L" of "u", "U" or "vu")',
    ),
    (
        _retype("as_of", pa.date32(), [None] * 8),
        'column `as_of` at row 0 has Arrow format "tdD", expected a string (Arrow format "u", "U" or "vu")',
    ),
    (_drop("profile"), "the batch has no column `profile`"),
    (_drop("universe"), "the batch has no column `universe`"),
]


@pytest.mark.parametrize("change, message", FAULTS)
def test_a_bad_column_names_the_column_and_row(packset, change, message):
    with pytest.raises(ValueError) as raised:
        resolve_batch(packset, change(random_rows(8, seed=2)))
    assert str(raised.value) == message


def test_rows_are_counted_over_the_whole_table(packset):
    rows = random_rows(30, seed=4)
    rows[23]["profile"] = None
    with pytest.raises(ValueError, match=r"^column `profile` at row 23 is null"):
        resolve_batch(packset, table_of(rows, chunk=10))


def test_text_that_is_not_utf8_is_refused(packset):
    rows = random_rows(4, seed=6)
    table = table_of(rows)
    bad = pa.Array.from_buffers(
        pa.string(), 4, [None, pa.py_buffer(b"\0\0\0\0\1\0\0\0\2\0\0\0\3\0\0\0\4\0\0\0"), pa.py_buffer(b"ab\xffc")]
    )
    table = table.set_column(table.schema.get_field_index("subject"), "subject", bad)
    with pytest.raises(ValueError, match=r"^column `subject` at row 2 is not valid UTF-8$"):
        resolve_batch(packset, table)


def test_other_objects_are_refused(packset):
    with pytest.raises(TypeError, match="Arrow table, record batch or stream"):
        resolve_batch(packset, [{"domain": "x"}])
    with pytest.raises(TypeError, match="zorv_tools.PackSet"):
        resolve_batch(packs_json(), table_of(random_rows(2, seed=1)))


@pytest.mark.parametrize("library", ["polars", "duckdb"])
def test_other_arrow_libraries(packset, library):
    rows = random_rows(200, seed=8)
    table = table_of(rows)
    if library == "polars":
        pl = pytest.importorskip("polars")
        source = pl.from_arrow(table)
    else:
        duckdb = pytest.importorskip("duckdb")
        source = duckdb.connect().from_arrow(table).arrow()
        source = source.read_all() if hasattr(source, "read_all") else source
    assert resolve_batch(packset, source).to_pylist() == [expected_row(packset, row) for row in rows]


def test_many_rows_cost_linear_time(packset):
    rows = random_rows(5000, seed=11)
    once, four = (table_of(rows), table_of(rows * 4))
    once, four = (fastest(lambda t=t: resolve_batch(packset, t, threads=1)) for t in (once, four))
    assert four < 8 * once, (once, four)


def test_importing_the_tools_never_needs_pyarrow():
    blocked = (
        "import sys; sys.modules['pyarrow'] = None\n"
        "import zorv_tools, zorv_tools.arrow, zorv_tools.spark, zorv_tools.dask\n"
        "try:\n"
        "    zorv_tools.arrow.resolve_batch(zorv_tools.PackSet('{}'), None)\n"
        "except ImportError as e:\n"
        "    print(e)\n"
    )
    done = subprocess.run([sys.executable, "-c", blocked], capture_output=True, text=True, check=True)
    assert done.stdout == "zorv_tools.arrow needs pyarrow: pip install zorv[arrow]\n"


@pytest.mark.parametrize("as_table", [False, True])
def test_decisions_go_beside_the_rows(packset, as_table):
    rows = random_rows(40, seed=12)
    table = table_of(rows).append_column("id", pa.array(range(40)))
    source = table if as_table else table.combine_chunks().to_batches()[0]
    got = with_decisions(source, resolve_batch(packset, source))
    assert type(got) is type(source)
    assert got.schema.names == [
        "domain",
        "profile",
        "jurisdiction",
        "subject",
        "universe",
        "as_of",
        "id",
        "decision",
        "required",
        "source",
        "strictness",
        "fell_back",
        "pack_sha256",
    ]
    assert got.select(["id", "universe"]).to_pylist() == [
        {"id": i, "universe": row["universe"]} for i, row in enumerate(rows)
    ]
    assert got.select(list(decision_schema().names)).to_pylist() == [expected_row(packset, row) for row in rows]
