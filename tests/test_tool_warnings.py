"""Mistakes that change an answer without an error are visible: warnings on
standard error from resolve and explain, lint's exit status, named
misspellings, the SARIF log's rule help and the version."""

import json
import types
from importlib import metadata

import jsonschema
import pytest
import zorv
import zorv_tools
from test_lint import TESTDATA, write
from test_tools import EXAMPLES, run
from zorv_tools import cli, pack_lint

PACKS = EXAMPLES / "packs"
QUERY = json.loads((EXAMPLES / "query.json").read_text())
DIAL_WARNING = (
    "the dial `Minimal` from {} is none of aggressive, as_configured, minimal: it resolves like "
    "aggressive, requiring the whole universe (did you mean `minimal`?)"
)

# (query fields changed, dial, the warnings after "zorv resolve: warning: ").
WARNING_ROWS = [
    ({}, None, []),
    (
        {"asof": "2026-12-08", "as_of": None},
        None,
        ["{query}: the query key `asof` is not one the resolver reads: it is ignored (did you mean `as_of`?)"],
    ),
    (
        {"Subject": "x", "notes": "y"},
        None,
        [
            "{query}: the query key `Subject` is not one the resolver reads: it is ignored (did you mean `subject`?)",
            "{query}: the query key `notes` is not one the resolver reads: it is ignored",
        ],
    ),
    (
        {f"k{i}": i for i in range(1000)},
        None,
        [f"{{query}}: the query key `k{i}` is not one the resolver reads: it is ignored" for i in range(5)]
        + ["995 more query keys the resolver does not read"],
    ),
    (
        {"subject": "cards"},
        None,
        [
            '`retail/payments.zorv.toml` does not list the subject "cards": as_configured then requires the whole '
            "universe"
        ],
    ),
    ({"subject": "cards"}, "minimal", []),
    ({}, "Minimal", [DIAL_WARNING.format("the override")]),
    (
        {"domain": "payment"},
        None,
        [
            "no pack under `retail/payment.zorv.toml` or `retail/payment.toml`; the nearest there is "
            "`retail/payments.zorv.toml`: the decision requires the whole universe"
        ],
    ),
    (
        {"domain": "lending", "profile": "wholesale"},
        None,
        [
            "no pack under `wholesale/lending.zorv.toml` or `wholesale/lending.toml`; there are 2 other pack(s): the "
            "decision requires the whole universe"
        ],
    ),
]


@pytest.mark.parametrize("changes, dial, warnings", WARNING_ROWS)
def test_resolve_and_explain_warn_about_what_changes_the_answer(tmp_path, changes, dial, warnings):
    fields = {key: value for key, value in {**QUERY, **changes}.items() if value is not None}
    query = tmp_path / "query.json"
    query.write_text(json.dumps(fields))
    dial_args = ["--strictness", dial] if dial else []
    expected = zorv.resolve(zorv_tools.load_packs(PACKS), query.read_text(), dial) + "\n"
    for name in ("resolve", "explain"):
        status, out, err = run(
            name, "--packs", PACKS, query, "--compact" if name == "resolve" else "--format=json", *dial_args
        )
        assert status == 0
        assert err == "".join(f"zorv {name}: warning: {warning.format(query=query)}\n" for warning in warnings)
        if name == "resolve":
            assert out == expected
        assert run(name, "--packs", PACKS, query, "--quiet", *dial_args)[2] == ""


def test_many_queries_get_the_warnings_about_their_keys_and_the_dial(tmp_path):
    lines = [dict(QUERY, asof="2026-12-08"), QUERY] + [dict(QUERY, **{f"k{i}": i}) for i in range(6)]
    many = tmp_path / "queries.jsonl"
    many.write_text("\n".join(json.dumps(line) for line in lines))
    status, out, err = run("resolve", "--packs", PACKS, "--many", many, "--strictness", "Minimal")
    assert (status, out.count("\n")) == (0, len(lines))
    assert err.splitlines() == [
        f"zorv resolve: warning: {DIAL_WARNING.format('the override')}",
        f"zorv resolve: warning: {many}:1: the query key `asof` is not one the resolver reads: it is ignored (did "
        "you mean `as_of`?)",
    ] + [
        f"zorv resolve: warning: {many}:{3 + i}: the query key `k{i}` is not one the resolver reads: it is ignored"
        for i in range(4)
    ] + ["zorv resolve: warning: 2 more query keys the resolver does not read"]
    many.write_text(json.dumps(lines[:2]))
    assert (
        run("resolve", "--packs", PACKS, "--many", many)[2]
        == f"zorv resolve: warning: {many}[0]: the query key `asof` is not one the resolver reads: it is ignored "
        "(did you mean `as_of`?)\n"
    )
    assert run("resolve", "--packs", PACKS, "--many", many, "--quiet")[2] == ""


def test_the_explain_table_says_an_unrecognised_dial_resolves_like_aggressive(tmp_path):
    pack = tmp_path / "packs" / "retail" / "payments.toml"
    pack.parent.mkdir(parents=True)
    pack.write_text('[meta]\nstrictness = "Minimal"\n')
    status, out, err = run("explain", "--packs", tmp_path / "packs", EXAMPLES / "query.json", "--format", "text")
    assert status == 0
    assert out.splitlines()[2] == "strictness: Minimal (from pack): not a dial, resolves like aggressive"
    assert err == f"zorv explain: warning: {DIAL_WARNING.format('`retail/payments.toml`')}\n"


def test_faults_name_the_file_line_and_column(tmp_path):
    bad = tmp_path / "bad.json"
    bad.write_text('{\n  "retail/x.toml": 1}')
    query = tmp_path / "query.json"
    query.write_text('{"domain": "payments",\n "profile": 7}')
    ctx = tmp_path / "ctx.json"
    ctx.write_text("{}")
    rows = [
        (["resolve", "--packs-json", bad, EXAMPLES / "query.json"], f"{bad}:2:"),
        (["resolve", "--packs", PACKS, query], f"{query}:2:"),
        (["explain", "--packs", PACKS, query], f"{query}:2:"),
        (["resolve", "--packs", PACKS, EXAMPLES / "query.json", "--receipts", ctx], f"{ctx}:1:"),
        (["test", "--packs-json", bad, EXAMPLES / "cases.toml"], f"{bad}:2:"),
    ]
    for argv, place in rows:
        status, _, err = run(*argv)
        assert status == 2 and err.startswith(f"zorv {argv[0]}: {place}") and err.count("\n") == 1, err
        assert "cases.toml" not in err


@pytest.mark.parametrize(
    "case, message",
    [
        (
            'nmae = "x"\nquery = {}\nexpect = {}',
            "{path}:2:1: case 1 has no `name`: unknown key `nmae` (did you mean `name`?)",
        ),
        (
            'name = "x"\nquery = {}\nexpcet = {}',
            "{path}:4:1: case 1 has no `expect`: unknown key `expcet` (did you mean `expect`?)",
        ),
        ('name = "x"\nquery = {}', "{path}:1:1: case 1 has no `expect`"),
        ('title = "x"\nquery = {}\nexpect = {}', "{path}:2:1: case 1 has no `name`: unknown key `title`"),
        (
            'name = "x"\nquery = {}\nexpect = {}\nstrictnes = "minimal"',
            "{path}:5:1: unknown key `strictnes` in case 1 (did you mean `strictness`?)",
        ),
    ],
)
def test_a_case_table_names_the_key_it_does_have(tmp_path, case, message):
    path = tmp_path / "cases.toml"
    path.write_text(f"[[case]]\n{case}\n")
    assert run("test", "--packs", PACKS, path) == (2, "", f"zorv test: {message.format(path=path)}\n")


TYPO_PACK = (
    (EXAMPLES / "packs" / "retail" / "payments.zorv.toml")
    .read_text()
    .replace('controls = ["mfa", "tokenisation"', 'control = ["mfa", "tokenisation"')
)

# (pack, exit status without --strict): warnings that make an answer require
# less fail the run; others do not.
EXIT_ROWS = [
    (TYPO_PACK, 1),
    ('[meta]\n[subject.card]\ncontrols = ["a"]\n[subject.card.x]\n', 1),
    ('[meta]\n[legally_required]\ncontrols = ["a"]\nnotes = 1\n', 1),
    ("[meta]\n[legally_required]\n", 1),
    ('[meta]\n[subject.card]\ncontrols = ["a"]\n[prohibited]\ncontrols = ["a"]\n', 1),
    ('[meta]\nreviewer = "x"\n', 0),
    ('[meta]\n[prohibited]\ncontrol = ["a"]\n', 0),
    ('[meta]\nstrictness = "Minimal"\n', 0),
    ('[meta]\n[subject.card]\ncontrols = ["a", "a"]\n', 0),
]


@pytest.mark.parametrize("pack, status", EXIT_ROWS)
def test_lint_fails_on_warnings_that_make_an_answer_require_less(tmp_path, pack, status):
    write(tmp_path, {"packs/retail/payments.zorv.toml": pack})
    assert run("lint", tmp_path / "packs")[0] == status
    assert run("lint", "--strict", tmp_path / "packs")[0] == 1


def test_the_readme_typo_example_fails_and_shows_its_suggestion(tmp_path):
    write(tmp_path, {"packs/retail/payments.zorv.toml": TYPO_PACK})
    status, out, _ = run("lint", tmp_path / "packs")
    assert status == 1
    assert out.splitlines()[1] == (
        f"{tmp_path}/packs/retail/payments.zorv.toml:12:1: warning: unknown key "
        "`subject.card.control` in `subject.card`: the resolver ignores it (did you mean "
        "`controls`?) [unknown-key]"
    )


def test_sarif_counts_code_points_and_documents_every_rule(tmp_path):
    write(tmp_path, {"packs/retail/payments.zorv.toml": '[meta]\nstrictness = "\u00e9\U0001f600" # x\n'})
    log = json.loads(run("lint", "--format", "sarif", tmp_path / "packs")[1])
    schema = json.loads((TESTDATA / "standards" / "sarif-2.1.0" / "sarif-schema-2.1.0.json").read_text())
    jsonschema.Draft4Validator(schema).validate(log)
    run_log = log["runs"][0]
    assert run_log["columnKind"] == "unicodeCodePoints"
    assert run_log["results"][0]["locations"][0]["physicalLocation"]["region"]["endColumn"] == 18
    rules = run_log["tool"]["driver"]["rules"]
    assert [rule["id"] for rule in rules] == [rule["id"] for rule in pack_lint.rules()]
    readme = (EXAMPLES.parent / "README.md").read_text()
    for rule in rules:
        page, _, anchor = rule["helpUri"].partition("#")
        assert rule["help"]["text"] and page and f'<a id="{anchor}"></a>' in readme


def test_findings_convert_to_json_and_folders_lint_from_python(tmp_path):
    write(tmp_path, {"packs/stray.toml": "[meta]\n"})
    findings = zorv_tools.lint_dir(tmp_path / "packs")
    assert json.loads(zorv_tools.findings_to_json(findings)) == [finding.as_dict() for finding in findings]
    assert [finding.rule for finding in findings] == ["pack-name"]
    with pytest.raises(TypeError):
        zorv_tools.lint(None)
    # Beside its submodules, the package holds what it exports and nothing else.
    assert [
        name
        for name, value in vars(zorv_tools).items()
        if not name.startswith("_") and not isinstance(value, types.ModuleType) and name not in zorv_tools.__all__
    ] == []


def test_the_command_tells_its_version(capsys):
    with pytest.raises(SystemExit) as exited:
        cli.main(["--version"])
    assert (exited.value.code, capsys.readouterr().out) == (0, f"zorv {metadata.version('zorv')}\n")
