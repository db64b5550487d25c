"""zorv lint: one row per rule, agreement with the resolver, the output
formats (SARIF checked against the OASIS schema), exit codes, and the pack
format's JSON Schema."""

import json
import pathlib

import call_paths
import jsonschema
import pytest
import zorv
import zorv_tools
from test_tools import run
from zorv_tools import _native, pack_lint

ROOT = pathlib.Path(__file__).resolve().parent.parent
TESTDATA = ROOT / "testdata"

# One pack per rule, and the one finding it must give:
# (line, column, end_line, end_column, severity, rule, message, suggestion).
RULE_ROWS = [
    (
        '[meta]\nstrictness = "a\n',
        (
            2,
            16,
            2,
            16,
            "error",
            "toml-syntax",
            "control character not allowed here: the pack is not TOML 1.0, so the resolver reads it as malformed",
            None,
        ),
    ),
    (
        '[subject.card]\ncontrols = ["mfa"]\n',
        (
            1,
            1,
            1,
            2,
            "error",
            "missing-meta",
            "the pack has no `meta` table: the resolver reads it as malformed, so "
            "every query for it gets the whole universe",
            None,
        ),
    ),
    (
        '[meta]\n[subject.card]\ncontrols = ["mfa", 7]\n',
        (
            3,
            20,
            3,
            21,
            "error",
            "wrong-type",
            "`subject.card.controls[1]` must be a string, found integer: the pack is malformed",
            None,
        ),
    ),
    (
        '[meta]\neffective_from = "2025-02-01"\neffective_until = "2025-01-31"\n',
        (
            2,
            18,
            2,
            30,
            "error",
            "empty-window",
            "effective_from `2025-02-01` sorts after effective_until `2025-01-31`: "
            "every query with an `as_of` falls back to the whole universe",
            None,
        ),
    ),
    (
        '[meta]\n[subject.card]\ncontrol = ["mfa"]\ncontrols = []\n',
        (
            3,
            1,
            3,
            8,
            "warning",
            "unknown-key",
            "unknown key `subject.card.control` in `subject.card`: the resolver ignores it",
            "did you mean `controls`?",
        ),
    ),
    (
        '[meta]\n[subject.pii]\ncontrols = []\n[subject.pii.health]\ncontrols = ["x"]\n',
        (
            4,
            14,
            4,
            20,
            "warning",
            "nested-subject-table",
            "`subject.pii.health` is a table inside subject `pii`, not a subject of its own: the resolver ignores it",
            '[subject."pii.health"]',
        ),
    ),
    (
        '[meta]\nstrictness = "Minimal"\n[legally_required]\ncontrols = ["a"]\n',
        (
            2,
            14,
            2,
            23,
            "warning",
            "unrecognised-strictness",
            "strictness `Minimal` is none of `aggressive`, `as_configured`, `minimal`: it resolves like `aggressive`",
            "did you mean `minimal`?",
        ),
    ),
    (
        '[meta]\nstrictness = "minimal"\n',
        (
            2,
            14,
            2,
            23,
            "warning",
            "minimal-without-floor",
            "the pack has no `legally_required` table: under `minimal` "
            "every query without an override falls back to the whole universe",
            None,
        ),
    ),
    (
        '[meta]\neffective_from = "2025-01-01"\neffective_until = "2025-12-31T23:59:59Z"\n',
        (
            3,
            19,
            3,
            41,
            "warning",
            "bound-format",
            "the bounds are written in different forms (a date and a date-time): "
            "compared as text, `2025-12-31T23:59:59Z` sorts after `2025-12-31`",
            None,
        ),
    ),
    (
        '[meta]\n[legally_required]\ncontrols = ["mfa"]\n[prohibited]\ncontrols = ["mfa"]\n',
        (
            5,
            13,
            5,
            18,
            "warning",
            "prohibited-overlap",
            "prohibited control `mfa` is also listed in `legally_required`: it is removed from those answers",
            None,
        ),
    ),
    (
        '[meta]\n[subject.card]\ncontrols = ["mfa", "tls", "mfa"]\n',
        (
            3,
            27,
            3,
            32,
            "warning",
            "duplicate-control",
            "control `mfa` is listed twice in `subject.card.controls`",
            None,
        ),
    ),
    (
        "[meta]\n[legally_required]\n",
        (
            2,
            1,
            2,
            19,
            "warning",
            "missing-controls",
            "`legally_required` has no `controls` key: it reads as an empty list, so it requires nothing",
            None,
        ),
    ),
]


@pytest.mark.parametrize("text, expected", RULE_ROWS, ids=[row[1][5] for row in RULE_ROWS])
def test_each_rule_gives_its_exact_finding(text, expected):
    findings = zorv_tools.lint(text, "p.toml")
    assert [
        (f.line, f.column, f.end_line, f.end_column, f.severity, f.rule, f.message, f.suggestion) for f in findings
    ] == [expected]
    assert findings[0].path == "p.toml"


@pytest.mark.parametrize(
    "text, rule, suggestion",
    [
        ('[meta]\nstrictness = "as-configured"\n', "unrecognised-strictness", "did you mean `as_configured`?"),
        ('[meta]\nstrictness = "strict"\n', "unrecognised-strictness", None),
        ('[meta]\nStrictness = "minimal"\n', "unknown-key", "did you mean `strictness`?"),
        ("[meta]\n[Prohibited]\ncontrols = []\n", "unknown-key", "did you mean `prohibited`?"),
        ('[meta]\n[meta.legal_review]\nstatsu = "ok"\n', "unknown-key", "did you mean `status`?"),
        ('[meta]\neffective_from = "2025-1-01"\n', "bound-format", None),
        ('[meta]\neffective_until = "2025-12-31 23:59:59"\n', "bound-format", None),
    ],
)
def test_suggestions_name_the_close_vocabulary_word(text, rule, suggestion):
    findings = zorv_tools.lint(text)
    assert [(f.rule, f.suggestion) for f in findings] == [(rule, suggestion)]


def test_well_formed_dates_and_date_times_pass():
    for bounds in (("2025-01-01", "2025-12-31"), ("2025-01-01T00:00:00Z", "2025-12-31T23:59:59.5+02:00")):
        text = '[meta]\neffective_from = "%s"\neffective_until = "%s"\n' % bounds
        assert zorv_tools.lint(text) == []


def test_an_ignore_comment_silences_the_rules_it_names():
    text = (
        '[meta]\n[subject.card]\ncontrols = ["a", "a"]  # zorv-lint: ignore[unknown-key, duplicate-control]\n'
        '[subject.web]\ncontrols = ["a", "a"]  # zorv-lint: ignore[unknown-key]\n'
    )
    assert [(f.line, f.rule) for f in zorv_tools.lint(text)] == [(5, "duplicate-control")]


def packs_for_agreement():
    """Every toml-test document that is UTF-8, and the packs of the tests."""
    texts = []
    for path in sorted((TESTDATA / "toml-test" / "tests").rglob("*.toml")):
        try:
            texts.append(path.read_bytes().decode("utf-8"))
        except UnicodeDecodeError:
            pass
    texts += [call_paths.PACK, call_paths.BIG_PACK, call_paths.NO_FLOOR_PACK] + [text for text, _ in RULE_ROWS]
    texts += [path.read_text() for path in sorted((ROOT / "examples" / "packs").rglob("*.toml"))]
    return texts


def test_lint_errors_exactly_when_the_resolver_falls_back_for_every_query():
    texts = packs_for_agreement()
    assert len(texts) > 500
    key = "retail/payments.zorv.toml"
    for text in texts:
        packs = json.dumps({key: text})
        decision = json.loads(zorv.resolve(packs, call_paths.query(as_of=None)))
        malformed = decision["provenance"]["source"] == f"<malformed:{key}>"
        rules = {f.rule for f in zorv_tools.lint(text) if f.severity == "error"}
        assert bool(rules - {"empty-window"}) == malformed, text
        if "empty-window" in rules and not malformed:
            for as_of in ("", "2025-06-30", "9999", "\uffff"):
                source = json.loads(zorv.resolve(packs, call_paths.query(as_of=as_of)))["provenance"]["source"]
                assert source == f"<outside-effective-envelope:{key}>"


def write(tmp_path, files):
    for name, text in files.items():
        path = tmp_path / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)


def test_folders_get_pack_name_and_shadowed_pack_and_formats_agree(tmp_path):
    write(
        tmp_path,
        {
            "packs/retail/payments.zorv.toml": "[meta]\n",
            "packs/retail/payments.toml": "[meta]\n",
            "packs/stray.toml": "[meta]\n",
            "packs/retail/bad.toml": "[meta]\nstrictness = 1\n",
        },
    )
    packs = tmp_path / "packs"
    status, out, _ = run("lint", packs)
    assert status == 1
    assert out == (
        f"{packs}/retail/bad.toml:2:14: error: `meta.strictness` must be a string, found integer: the "
        "pack is malformed [wrong-type]\n"
        f"{packs}/retail/payments.toml:1:1: warning: `retail/payments.toml` is never read: "
        "`retail/payments.zorv.toml` is looked up first [shadowed-pack]\n"
        f"{packs}/stray.toml:1:1: warning: `stray.toml` is not inside a profile folder: no query looks it "
        "up, as pack keys are `<profile>/<domain>.zorv.toml` or `<profile>/<domain>.toml` [pack-name]\n"
        "1 error, 2 warnings\n"
    )
    status, out, _ = run("lint", "--format", "json", packs)
    findings = json.loads(out)
    assert status == 1 and [f["rule"] for f in findings] == ["wrong-type", "shadowed-pack", "pack-name"]
    assert all(
        set(f) == {"path", "line", "column", "end_line", "end_column", "severity", "rule", "message", "suggestion"}
        for f in findings
    )

    status, out, _ = run("lint", "--format", "sarif", packs)
    log = json.loads(out)
    schema = json.loads((TESTDATA / "standards" / "sarif-2.1.0" / "sarif-schema-2.1.0.json").read_text())
    jsonschema.Draft4Validator(schema).validate(log)
    driver = log["runs"][0]["tool"]["driver"]
    assert driver["name"] == "zorv"
    assert [rule["id"] for rule in driver["rules"]] == [rule["id"] for rule in pack_lint.rules()]
    assert len(driver["rules"]) == 15
    results = log["runs"][0]["results"]
    assert [
        (r["ruleId"], r["level"], r["locations"][0]["physicalLocation"]["region"]["startLine"]) for r in results
    ] == [("wrong-type", "error", 2), ("shadowed-pack", "warning", 1), ("pack-name", "warning", 1)]


def test_exit_status_follows_the_worst_finding(tmp_path):
    write(tmp_path, {"clean.toml": "[meta]\n", "warned.toml": '[meta]\nstrictness = "minimal"\n'})
    assert run("lint", tmp_path / "clean.toml")[:2] == (0, "0 errors, 0 warnings\n")
    assert run("lint", tmp_path / "warned.toml")[0] == 0
    assert run("lint", "--strict", tmp_path / "warned.toml")[0] == 1
    assert run("lint", "--strict", tmp_path / "clean.toml")[0] == 0
    status, _, err = run("lint", tmp_path / "absent.toml")
    assert status == 2 and "absent.toml: no such file or folder" in err
    (tmp_path / "binary.toml").write_bytes(b"\xff")
    assert run("lint", tmp_path / "binary.toml")[0] == 1
    assert run("lint")[0] == 2
    assert run("lint", "--format", "xml", tmp_path / "clean.toml")[0] == 2


def test_the_pack_schema_describes_every_key_and_checks_types():
    schema = json.loads((ROOT / "schema" / "zorv-pack.schema.json").read_text())
    assert schema["$schema"] == "https://json-schema.org/draft/2020-12/schema"
    validator = jsonschema.Draft202012Validator(schema)
    jsonschema.Draft202012Validator.check_schema(schema)

    def properties(node):
        for name, child in node.get("properties", {}).items():
            yield name, child
            yield from properties(child)
        if isinstance(node.get("additionalProperties"), dict):
            yield from properties(node["additionalProperties"])
        if isinstance(node.get("items"), dict):
            yield "items", node["items"]

    described = list(properties(schema))
    assert len(described) >= 12 and all(child.get("description") for _, child in described)
    for path in sorted((ROOT / "examples" / "packs").rglob("*.toml")):
        validator.validate(json.loads(_native.toml_to_json(path.read_text())))
    wrong = json.loads(_native.toml_to_json('[meta]\n[subject.card]\ncontrols = ["mfa", 7]\n'))
    errors = list(validator.iter_errors(wrong))
    assert [list(error.absolute_path) for error in errors] == [["subject", "card", "controls", 1]]
