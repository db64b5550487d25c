"""zorv_tools.arrow.replay_batch against a brute-force comparison, and its
column summaries against zorv_tools.replay."""

import json

import pytest
from arrow_cases import changed_packs_json, packs_json, query_json, random_rows

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


def test_each_row_equals_the_brute_force_comparison(before, after):
    log = log_of(before, random_rows(300, seed=30))
    # A record as another writer spaced it is the same record.
    spaced = json.loads(log[0])
    log.append(json.dumps(spaced, indent=None, separators=(", ", ": "), ensure_ascii=False))
    got = replay_batch(after, pa.table({"record": log})).to_pylist()
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


def test_a_blank_line_is_no_record(before, after):
    got = replay_batch(after, pa.table({"record": ["", "  "]})).to_pylist()
    assert [(row["decision"], row["stem"], row["changed"]) for row in got] == [(None, None, False)] * 2
    records = pa.table({"record": ["", "  "]})
    summary = add_summaries([partial_summary(with_decisions(records, replay_batch(after, records)), 3)], 3)
    assert summary == zorv_tools.replay(after, "\n\n", examples=3)
