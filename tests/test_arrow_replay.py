"""zorv_tools.arrow.replay_batch against a brute-force comparison, and its
column summaries against zorv_tools.replay."""

import json

import pytest
from arrow_cases import changed_packs_json, packs_json, query_json, random_rows
from timing import fastest

pa = pytest.importorskip("pyarrow")

import zorv_tools  # noqa: E402
from zorv_tools import PackSet, _native  # noqa: E402

if not hasattr(_native, "replay_lines"):
    pytest.skip("this build has no native replay of decision logs", allow_module_level=True)

from zorv_tools.arrow import replay_batch, with_decisions  # noqa: E402
from zorv_tools.arrow_replay import add_summaries, partial_summary  # noqa: E402


@pytest.fixture(scope="module")
def before():
    return PackSet(packs_json())


@pytest.fixture(scope="module")
def after():
    return PackSet(changed_packs_json())


def log_of(before, rows):
    return [zorv_tools.decision_record(before, query_json(row), row["strictness"]) for row in rows]


def brute_force(after, record):
    """What a replay of one record owes, worked out from the two decisions."""
    logged = json.loads(record)
    new = after.resolve(json.dumps(logged["query"]), logged["strictness"])
    old, now = logged["decision"], json.loads(new)
    lost = sorted(set(old["required"]) - set(now["required"]))
    gained = sorted(set(now["required"]) - set(old["required"]))
    changed = new != json.dumps(old, ensure_ascii=False, separators=(",", ":"))
    return {
        "changed": changed,
        "loosened": bool(lost),
        "tightened": bool(gained),
        "provenance_only": changed and not lost and not gained and old["verdict"] == now["verdict"],
        "decision": new,
        "stem": f"{logged['query']['profile']}/{logged['query']['domain']}",
        "gained": gained,
        "lost": lost,
    }


# (how the column is laid out, native threads)
LAYOUTS = [
    (lambda log: pa.table({"record": log}), 1),
    (lambda log: pa.table({"record": pa.array(log, pa.large_string())}), 2),
    (lambda log: pa.table({"record": pa.array(log, pa.string_view())}), 3),
    # Batches of uneven length, the first two sliced out of one array.
    (lambda log: pa.Table.from_batches(split(pa.record_batch({"record": log}), [0, 7, 120])), 4),
]


def split(batch, starts):
    return [batch.slice(start, end - start) for start, end in zip(starts, starts[1:] + [batch.num_rows])]


@pytest.mark.parametrize("layout, threads", LAYOUTS)
def test_each_row_equals_the_brute_force_comparison(before, after, layout, threads):
    log = log_of(before, random_rows(300, seed=30))
    # A record as another writer spaced it is the same record.
    spaced = json.loads(log[0])
    log.append(json.dumps(spaced, indent=None, separators=(", ", ": "), ensure_ascii=False))
    got = replay_batch(after, layout(log), threads=threads).to_pylist()
    assert got == [brute_force(after, record) for record in log]
    assert any(row["loosened"] for row in got) and any(row["tightened"] for row in got)
    assert any(row["provenance_only"] for row in got) and not all(row["changed"] for row in got)


@pytest.mark.parametrize("parts", [1, 4, 37])
def test_summaries_of_parts_add_up_to_the_log_replay(before, after, parts):
    log = log_of(before, random_rows(250, seed=31))
    records = pa.table({"record": log, "file": ["a.jsonl"] * len(log), "line": list(range(1, len(log) + 1))})
    whole = with_decisions(records, replay_batch(after, records))
    size = -(-len(log) // parts)
    partials = [partial_summary(whole.slice(at, size), 5) for at in range(0, len(log), size)]
    expected = zorv_tools.replay(after, "\n".join(log), examples=5)
    for example in expected["examples"]:
        example["file"] = "a.jsonl"
    assert add_summaries(partials, 5) == expected


# (the log line, the error)
BAD = [
    (None, "column `record` at row 1 is null, expected a string"),
    ('{"query": 1}\n{}', "column `record` at row 1 holds a line feed; a record is one line"),
    ("not json", "column `record` at row 1, column 2: not a decision record: expected ident"),
    (
        '{"query": {"domain": 1}, "strictness": null, "decision": {}}',
        "column `record` at row 1, column 22: query_json is not a valid RegulatoryQuery: invalid type: integer `1`, "
        "expected a string",
    ),
]


@pytest.mark.parametrize("line, message", BAD)
def test_a_bad_line_names_the_column_and_row(before, after, line, message):
    log = log_of(before, random_rows(1, seed=32)) + [line]
    with pytest.raises(ValueError) as raised:
        replay_batch(after, pa.table({"record": pa.array(log, pa.string())}))
    assert str(raised.value) == message


def with_bytes(log, row, raw):
    """``log`` as a string column whose row ``row`` holds the bytes ``raw``,
    which need not be UTF-8."""
    data = [line.encode() for line in log]
    data[row] = raw
    offsets = [0]
    for item in data:
        offsets.append(offsets[-1] + len(item))
    buffers = [None, pa.py_buffer(pa.array(offsets, pa.int32()).buffers()[1]), pa.py_buffer(b"".join(data))]
    return pa.Array.from_buffers(pa.string(), len(data), buffers)


def test_the_first_bad_row_is_reported_whatever_thread_finds_it(before, after):
    log = log_of(before, random_rows(400, seed=33))
    log[390] = "not json"
    record = with_bytes(log, 250, b'{"query": "\xff"}')
    batch = pa.record_batch({"record": record})
    # Row 250 is in the second batch; each thread takes runs of the rows.
    table = pa.Table.from_batches(split(batch, [0, 100]))
    for threads in (1, 2, 5):
        with pytest.raises(ValueError) as raised:
            replay_batch(after, table, threads=threads)
        assert str(raised.value) == "column `record` at row 250 is not valid UTF-8"


# (the table, the error)
WRONG_COLUMNS = [
    ({"record": [1, 2]}, "column `record` at row 0 has Arrow type int64, expected a string"),
    ({"record": pa.array([None], pa.null())}, "column `record` at row 0 has Arrow type null, expected a string"),
    ({"records": ["x"]}, "the batch has no column `record`"),
]


@pytest.mark.parametrize("columns, message", WRONG_COLUMNS)
def test_a_column_of_another_type_is_refused(after, columns, message):
    with pytest.raises(ValueError) as raised:
        replay_batch(after, pa.table(columns))
    assert str(raised.value) == message


def test_the_native_replay_checks_the_column_itself(after):
    # The same checks as the Python half's, for data that bypasses it.
    data = pa.table({"record": [1]}).__arrow_c_stream__()
    with pytest.raises(ValueError) as raised:
        _native.replay_arrow(after, data)
    assert str(raised.value) == (
        'column `record` at row 0 has Arrow format "l", expected a string (Arrow format "u", "U" or "vu")'
    )


def test_a_blank_line_is_no_record(before, after):
    got = replay_batch(after, pa.table({"record": ["", "  "]})).to_pylist()
    assert [(row["decision"], row["stem"], row["changed"]) for row in got] == [(None, None, False)] * 2
    records = pa.table({"record": ["", "  "]})
    summary = add_summaries([partial_summary(with_decisions(records, replay_batch(after, records)), 3)], 3)
    assert summary == zorv_tools.replay(after, "\n\n", examples=3)


def test_cost_grows_linearly_with_rows_and_with_recorded_controls(before, after):
    log = log_of(before, random_rows(500, seed=34))
    once, four = pa.table({"record": log}), pa.table({"record": log * 4})
    times = [fastest(lambda t=t: replay_batch(after, t, threads=1)) for t in (once, four)]
    assert times[1] < 8 * times[0], times

    # A record that claims many required controls: each is lost.
    def claiming(count):
        record = json.loads(log[0])
        record["decision"]["required"] = [f"c{i:06d}" for i in range(count)]
        return pa.table({"record": [json.dumps(record)] * 20})

    small, large = claiming(2_000), claiming(8_000)
    assert replay_batch(after, large).column("lost")[0].as_py()[-1] == "c007999"
    times = [fastest(lambda t=t: replay_batch(after, t, threads=1)) for t in (small, large)]
    assert times[1] < 8 * times[0], times
