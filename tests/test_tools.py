"""The companion package: pack folders, the zorv command, explanations held
to decisions, batch resolution and the pack test runner."""

import hashlib
import io
import json
import os
import pathlib
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

import call_paths
import pytest
import zorv
import zorv_tools
from zorv_tools import cli

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent / "examples"


def run(*argv, stdin=None, monkeypatch=None):
    """Runs the command in-process: (status, stdout, stderr)."""
    out, err = io.StringIO(), io.StringIO()
    old_err, old_in = sys.stderr, sys.stdin
    sys.stderr, sys.stdin = err, io.StringIO(stdin or "")
    try:
        status = cli.main([str(arg) for arg in argv], out=out)
    except SystemExit as exit:  # argparse's usage errors
        status = exit.code
    finally:
        sys.stderr, sys.stdin = old_err, old_in
    return status, out.getvalue(), err.getvalue()


def test_load_packs_keys_files_by_their_path_and_stays_inside(tmp_path):
    packs = tmp_path / "packs"
    (packs / "retail").mkdir(parents=True)
    (packs / "Zeta").mkdir()
    (packs / "retail" / "payments.zorv.toml").write_bytes(b"[meta]\r\n# \xc3\xa9\r\n")
    (packs / "retail" / "notes.txt").write_text("not a pack")
    (packs / "Zeta" / "a.toml").write_text("[meta]")
    (packs / "\u00e9.toml").write_text("[meta]")
    outside = tmp_path / "outside"
    outside.mkdir()
    (outside / "secret.toml").write_text("[meta]")
    os.symlink(outside, packs / "away")
    os.symlink(outside / "secret.toml", packs / "secret.toml")
    os.symlink(packs / "retail", packs / "alias")
    loaded = json.loads(zorv_tools.load_packs(str(packs)))
    # Links are not followed: the linked folder is read once, under its own name.
    assert list(loaded) == ["Zeta/a.toml", "retail/payments.zorv.toml", "\u00e9.toml"]
    assert loaded["retail/payments.zorv.toml"] == "[meta]\r\n# \u00e9\r\n"

    (packs / "retail" / "bad.toml").write_bytes(b"[meta]\n\xff")
    with pytest.raises(zorv_tools.PackLoadError, match=r"/bad\.toml: not UTF-8 text"):
        zorv_tools.load_packs(str(packs))


def test_resolve_prints_the_decision_as_resolve_gives_it():
    packs_json = zorv_tools.load_packs(str(EXAMPLES / "packs"))
    query = (EXAMPLES / "query.json").read_text()
    context = (EXAMPLES / "receipt_context.json").read_text()
    decision = zorv.resolve(packs_json, query, "minimal")
    common = ["resolve", "--packs", EXAMPLES / "packs"]
    assert run(*common, "-", "--strictness", "minimal", "--compact", stdin=query) == (0, decision + "\n", "")
    assert (
        run(*common, EXAMPLES / "query.json", "--strictness", "minimal")[1]
        == json.dumps(json.loads(decision), indent=2, ensure_ascii=False) + "\n"
    )

    digest = hashlib.sha256(json.loads(packs_json)["retail/payments.zorv.toml"].encode()).hexdigest()
    status, out, _ = run(
        *common,
        EXAMPLES / "query.json",
        "--receipts",
        EXAMPLES / "receipt_context.json",
        "--fill-pack-sha256",
        "--compact",
    )
    assert status == 0
    filled = json.dumps({**json.loads(context), "pack_sha256": digest})
    assert out == zorv.resolve_with_receipts(packs_json, query, filled) + "\n"

    with pytest.raises(ValueError) as raised:
        zorv.resolve(packs_json, '{"domain": 1}')
    assert run(*common, "-", stdin='{"domain": 1}') == (
        2,
        "",
        "zorv resolve: standard input:1:12: " + str(raised.value) + "\n",
    )
    assert run(*common)[0] == 2
    assert run("resolve", "--packs", "x", "--packs-json", "y", "q")[0] == 2


@pytest.mark.parametrize("form", ["array", "lines"])
def test_resolve_many_answers_like_one_call_per_query(tmp_path, form):
    queries = [
        call_paths.query(subject=subject, profile=profile)
        for subject in ("card", "wallet", "\u00e9")
        for profile in ("retail", "other", "none")
    ]
    expected = [zorv.resolve(call_paths.PACKS, q, "minimal") for q in queries]
    assert (
        zorv_tools.resolve_many(call_paths.PACKS, "[" + ",".join(queries) + "]", "minimal")
        == "[" + ",".join(expected) + "]"
    )
    packs_file, many = tmp_path / "packs.json", tmp_path / "queries"
    packs_file.write_text(call_paths.PACKS)
    many.write_text("[" + ",\n".join(queries) + "]" if form == "array" else "\n\n".join(queries) + "\n")
    status, out, _ = run("resolve", "--packs-json", packs_file, "--many", many, "--strictness", "minimal")
    assert (status, out) == (0, "".join(d + "\n" for d in expected))

    many.write_text(queries[0] + "\n" + '{"domain": 1}' + "\n" if form == "lines" else "[" + queries[0] + ",{}]")
    status, _, err = run("resolve", "--packs-json", packs_file, "--many", many)
    assert status == 2
    column = len(queries[0]) + 4
    assert err == (
        f"zorv resolve: {many}:2:12: query_json is not a valid RegulatoryQuery: invalid type: "
        "integer `1`, expected a string at line 2 column 12\n"
        if form == "lines"
        else f"zorv resolve: {many}:1:{column}: queries_json[1] is not a valid RegulatoryQuery: missing "
        f"field `domain` at line 1 column {column}\n"
    )


def test_explanations_agree_with_every_decision_of_the_call_paths():
    inputs = [
        (args[0], args[1], args[2] if len(args) > 2 and function == "resolve" else None)
        for _, function, args, _, error in call_paths.PATHS
        if error is None and args
    ]
    inputs.append((zorv_tools.load_packs(str(EXAMPLES / "packs")), (EXAMPLES / "query.json").read_text(), None))
    for packs_json, query, dial in inputs:
        for override in (dial, "minimal", "as_configured", "aggressive"):
            explained = json.loads(zorv_tools.explain(packs_json, query, override))
            decision = json.loads(zorv.resolve(packs_json, query, override))
            assert explained["decision"] == decision
            assert [c["control"] for c in explained["controls"] if c["required"]] == decision["required"]
            assert (explained["fall_back"] is None) == (not decision["provenance"]["fell_back"])


def test_explain_prints_json_or_a_table():
    common = ["explain", "--packs", EXAMPLES / "packs", EXAMPLES / "query.json"]
    status, out, _ = run(*common, "--format", "json")
    assert status == 0
    assert json.loads(out) == json.loads(
        zorv_tools.explain(zorv_tools.load_packs(str(EXAMPLES / "packs")), (EXAMPLES / "query.json").read_text())
    )
    status, out, _ = run(*common, "--format", "text")
    lines = out.splitlines()
    assert lines[0] == "source:     retail/payments.zorv.toml"
    assert lines[2] == "strictness: as_configured (from pack)"
    assert any(line.split()[:3] == ["mfa", "yes", "subject-list"] for line in lines)
    assert run(*common[:-1], "missing.json")[0] == 2


CASES = """
[[case]]
name = "card needs mfa"
query = { domain = "payments", profile = "retail", jurisdiction = "EU", subject = "card", universe = ["mfa", "tokenisation", "fingerprinting"] }
expect = { includes = ["mfa"], excludes = ["fingerprinting"], fell_back = false, source = "retail/payments.zorv.toml" }

[[case]]
name = "wrong on purpose"
strictness = "minimal"
query = { domain = "payments", profile = "retail", jurisdiction = "EU", subject = "card", universe = ["mfa", "audit"] }
expect = { required = ["audit"], fell_back = true, source = "elsewhere" }
"""


def test_pack_tests_report_each_case_and_write_junit(tmp_path):
    packs_file, cases, junit = tmp_path / "packs.json", tmp_path / "cases.toml", tmp_path / "junit.xml"
    packs_file.write_text(call_paths.PACKS)
    cases.write_text(CASES)
    status, out, _ = run("test", "--packs-json", packs_file, cases, "--junit", junit)
    assert status == 1
    assert out == (
        'PASS card needs mfa\nFAIL wrong on purpose\n  missing: "audit"\n  unexpected: "mfa"\n'
        "  source: expected 'elsewhere', got 'retail/payments.zorv.toml'\n"
        "  fell_back: expected true, got false\n1 passed, 1 failed\n"
    )
    suite = ElementTree.parse(junit).getroot().find("testsuite")
    assert (suite.get("tests"), suite.get("failures")) == ("2", "1")
    assert [case.find("failure") is None for case in suite.iter("testcase")] == [True, False]

    cases.write_text(CASES.split('[[case]]\nname = "wrong')[0])
    assert run("test", "--packs-json", packs_file, cases)[:2] == (0, "PASS card needs mfa\n1 passed, 0 failed\n")


@pytest.mark.parametrize(
    "text, message",
    [
        ("[[case]]\nname = \n", "2:8: expected a value"),
        ("[[case]]\nname = 1\nquery = {}\nexpect = {}\n", "2:8: `name` must be a string"),
        ('[[case]]\nname = "n"\nexpect = {}\n', "1:1: case 1 has no `query`"),
        ('[[case]]\nname = "n"\nquery = {}\nexpect = { include = [] }\n', "4:12: unknown key `include` in `expect`"),
        ('[[case]]\nname = "n"\nquery = {}\nexpect = { required = [1] }\n', "4:24: each of `expect.required`"),
        (
            '[[case]]\nname = "n"\nquery = { domain = 1 }\nexpect = {}\n',
            "1:1: case 'n': query_json is not a valid RegulatoryQuery: invalid type: integer `1`",
        ),
        ("title = 'no cases'\n", "1:1: no [[case]] tables"),
    ],
)
def test_unusable_case_files_name_file_line_and_column(tmp_path, text, message):
    cases = tmp_path / "cases.toml"
    cases.write_text(text)
    status, out, err = run("test", "--packs", EXAMPLES / "packs", cases)
    assert (status, out) == (2, "")
    assert err.startswith(f"zorv test: {cases}:{message}")


def test_every_command_has_help_and_runs_as_a_module():
    for command in ([], ["resolve"], ["explain"], ["test"]):
        result = subprocess.run(
            [sys.executable, "-m", "zorv_tools", *command, "--help"], capture_output=True, text=True, check=False
        )
        assert result.returncode == 0 and result.stdout.startswith("usage: zorv")
    script = pathlib.Path(sys.executable).with_name("zorv")
    result = subprocess.run(
        [str(script), "resolve", "--packs", str(EXAMPLES / "packs"), "--compact", str(EXAMPLES / "query.json")],
        capture_output=True,
        text=True,
        check=False,
    )
    assert result.returncode == 0 and json.loads(result.stdout)["verdict"] == "permit"


def test_the_package_is_typed():
    pytest.importorskip("mypy")
    package = pathlib.Path(zorv_tools.__file__).parent
    assert (package / "py.typed").is_file()
    result = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--no-incremental", "-p", "zorv_tools"],
        capture_output=True,
        text=True,
        check=False,
        cwd=package.parent.parent,
    )
    assert result.returncode == 0, result.stdout
