"""The zorv command and zorv_tools under hostile and careless input: line
rules, links, deep and binary input, closed pipes, control characters in
reports and unreadable packs. Each failure is one line and exit status 2."""

import json
import os
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

import call_paths
import pytest
import zorv
import zorv_tools
from test_tools import EXAMPLES, run
from timing import fastest

QUERY = call_paths.QUERY_FIELDS


def query(**fields):
    return json.dumps({**QUERY, **fields}, ensure_ascii=False)


def command(*argv, stdin=b"", cwd=None):
    """Runs ``python -m zorv_tools`` as its own process: (status, stdout, stderr)."""
    done = subprocess.run(
        [sys.executable, "-m", "zorv_tools", *map(str, argv)], input=stdin, capture_output=True, cwd=cwd, timeout=300
    )
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")


# Lines of a JSON Lines file and what each must be decided as: separators
# other than the line feed stay inside the query they are written in.
QUERY_LINE_ROWS = [
    ("a control with U+2028", query(universe=["a\u2028b", "a", "b"]) + "\n"),
    ("U+2029 and U+0085 in the subject", query(subject="card\u2029\u0085") + "\n"),
    ("CRLF line ends and blank lines", query() + "\r\n\r\n \t\r\n" + query(subject="x") + "\r\n"),
    ("no final line end", query(as_of="2030-01-01")),
]


@pytest.mark.parametrize("text", [row[1] for row in QUERY_LINE_ROWS], ids=[row[0] for row in QUERY_LINE_ROWS])
def test_json_lines_are_decided_line_by_line_as_written(tmp_path, text):
    lines = [line.rstrip("\r") for line in text.split("\n") if line.strip(" \t\r")]
    expected = [zorv.resolve(call_paths.PACKS, line) for line in lines]
    many = tmp_path / "queries.jsonl"
    many.write_bytes(text.encode("utf-8"))
    packs = tmp_path / "packs.json"
    packs.write_text(call_paths.PACKS)
    assert run("resolve", "--packs-json", packs, "--many", many) == (0, "".join(d + "\n" for d in expected), "")
    assert zorv_tools.resolve_many(call_paths.PACKS, text) == "[" + ",".join(expected) + "]"


BAD_LINES = [
    (
        "two queries on one line",
        query() + " " + query() + "\n{\n",
        f"1:{len(query()) + 2}: a line of JSON Lines holds one query; more follows it",
    ),
    (
        "a bad third line",
        query() + "\n" + query() + '\n{"domain": 1}\n',
        "3:12: query_json is not a valid RegulatoryQuery: invalid type: integer `1`, expected a string at line 3 "
        "column 12",
    ),
    ("a line that is only U+2028", query() + "\n\u2028\n", None),
]


@pytest.mark.parametrize("text, message", [row[1:] for row in BAD_LINES], ids=[row[0] for row in BAD_LINES])
def test_a_bad_query_line_is_blamed_at_its_place_in_the_file(tmp_path, text, message):
    many = tmp_path / "queries.jsonl"
    many.write_text(text, encoding="utf-8")
    packs = tmp_path / "packs.json"
    packs.write_text(call_paths.PACKS)
    status, out, err = run("resolve", "--packs-json", packs, "--many", many)
    assert (status, out) == (2, "")
    if message is None:  # the resolver's own words, at line 2
        assert err.startswith(f"zorv resolve: {many}:2:") and err.count("\n") == 1
    else:
        assert err == f"zorv resolve: {many}:{message}\n"


def test_ignore_comments_count_lines_by_line_feeds_only():
    pasted = "[meta]\n# pasted\u2028# zorv-lint: ignore[wrong-type]\nstrictness = 5\n"
    assert [(f.line, f.rule) for f in zorv_tools.lint(pasted)] == [(3, "wrong-type")]
    crlf = "[meta]\r\nstrictness = 5 # zorv-lint: ignore[wrong-type]\r\nx = 1 # zorv-lint: ignore[unknown-key]\r\n"
    assert zorv_tools.lint(crlf) == []


@pytest.mark.parametrize(
    "comment, expected",
    [
        (
            "# zorv-lint: ignore[wrong-typ]",
            [
                (
                    2,
                    36,
                    "unknown-rule",
                    "`wrong-typ` in an ignore comment is not a rule: it silences nothing",
                    "did you mean `wrong-type`?",
                ),
                (2, 14, "wrong-type", None, None),
            ],
        ),
        (
            "# zorv-lint: ignore[wrong-type, nonsense]",
            [(2, 48, "unknown-rule", "`nonsense` in an ignore comment is not a rule: it silences nothing", None)],
        ),
        ("# zorv-lint: ignore[wrong-type, unknown-rule, nonsense]", []),
    ],
)
def test_an_unknown_rule_in_an_ignore_comment_is_a_warning(comment, expected):
    findings = zorv_tools.lint(f"[meta]\nstrictness = 5 {comment}\n")
    got = [(f.line, f.column, f.rule, f.message if f.rule == "unknown-rule" else None, f.suggestion) for f in findings]
    assert sorted(got, key=lambda row: row[2]) == sorted(expected, key=lambda row: row[2])


def assert_linear(make, call, size):
    """Four times the input takes under eight times the time."""
    small, large = make(size), make(4 * size)
    once, four_times = fastest(lambda: call(small)), fastest(lambda: call(large))
    assert four_times < 8 * once, (once, four_times)


def test_a_long_line_of_would_be_ignore_comments_is_read_in_linear_time():
    def pack(size):
        return '[meta]\nstrictness = "Minimal" ' + "# zorv-lint: ignore[" * size + "\n"

    assert_linear(pack, zorv_tools.lint, 10_000)


def test_links_inside_the_pack_folder_do_not_multiply_the_packs(tmp_path):
    # Each level holds two links to the next: followed, 12 levels give 2^12 paths.
    levels = 12
    for level in range(levels):
        folder = tmp_path / "packs" / "retail" / f"l{level}"
        folder.mkdir(parents=True)
        (folder / "payments.toml").write_text("[meta]\n")
        if level + 1 < levels:
            os.symlink(f"../l{level + 1}", folder / "a")
            os.symlink(f"../l{level + 1}", folder / "b")
    keys = list(json.loads(zorv_tools.load_packs(tmp_path / "packs")))
    assert keys == sorted(f"retail/l{level}/payments.toml" for level in range(levels))
    assert [f.path for f in zorv_tools.lint_dir(tmp_path / "packs")] == []


def deep_case_file(depth):
    universe = "[" * depth + '"x"' + "]" * depth
    return (
        f'[[case]]\nname = "deep"\nquery = {{ domain = "d", profile = "p", jurisdiction = "EU", subject = "s", '
        f"universe = {universe} }}\nexpect = {{ fell_back = true }}\n"
    )


def test_every_failure_is_one_line_and_status_2(tmp_path):
    (tmp_path / "deep.toml").write_text(deep_case_file(490))
    (tmp_path / "deeper.toml").write_text(deep_case_file(100_000))
    (tmp_path / "deep.json").write_text("[" * 100_000 + "]" * 100_000)
    (tmp_path / "report").mkdir()
    cases, packs = EXAMPLES / "cases.toml", EXAMPLES / "packs"
    rows = [
        (
            ["test", "--packs", packs, cases, "--junit", tmp_path / "absent" / "r.xml"],
            b"",
            f"zorv test: {tmp_path}/absent/r.xml: cannot write the JUnit report: No such file or directory",
        ),
        (
            ["test", "--packs", packs, cases, "--junit", tmp_path / "report"],
            b"",
            f"zorv test: {tmp_path}/report: cannot write the JUnit report: Is a directory",
        ),
        # Too deep for json on some Pythons, a query of the wrong type on others.
        (["test", "--packs", packs, tmp_path / "deep.toml"], b"", f"zorv test: {tmp_path}/deep.toml"),
        (
            ["test", "--packs", packs, tmp_path / "deeper.toml"],
            b"",
            f"zorv test: {tmp_path}/deeper.toml: values are nested too deeply for a case file",
        ),
        (
            [
                "resolve",
                "--packs",
                packs,
                EXAMPLES / "query.json",
                "--receipts",
                tmp_path / "deep.json",
                "--fill-pack-sha256",
            ],
            b"",
            f"zorv resolve: {tmp_path}/deep.json:1:",
        ),
        (
            ["resolve", "--packs", packs, "-"],
            b'{"domain": "\xff"}',
            "zorv resolve: standard input: not UTF-8 text (byte 13 cannot start or continue a character)",
        ),
        (
            ["explain", "--packs", packs, "-"],
            b"\xc3",
            "zorv explain: standard input: not UTF-8 text (byte 1 cannot start or continue a character)",
        ),
        ([], b"", "zorv: the following arguments are required: COMMAND (see zorv --help)"),
        (["lint", "--format", "xml", packs], b"", "zorv lint: argument --format: invalid choice: 'xml'"),
        (["resolve", "--packs", tmp_path / "absent", "-"], b"", f"zorv resolve: {tmp_path}/absent: not a folder"),
    ]
    for argv, stdin, message in rows:
        status, _, err = command(*argv, stdin=stdin)
        assert status == 2 and err.startswith(message) and err.count("\n") == 1, (argv, err)


def test_a_reader_that_stops_early_gets_no_traceback(tmp_path):
    many = tmp_path / "many.jsonl"
    many.write_text((query() + "\n") * 20_000)
    done = subprocess.run(
        f"'{sys.executable}' -m zorv_tools resolve --packs '{EXAMPLES / 'packs'}' --many "
        f"'{many}' | head -1; exit ${{PIPESTATUS[0]}}",
        shell=True,
        executable="/bin/bash",
        capture_output=True,
        text=True,
        timeout=300,
    )
    assert done.stdout.count("\n") == 1
    assert (done.returncode, done.stderr) == (
        2,
        "zorv resolve: standard output was closed before everything was written\n",
    )


def test_the_junit_report_is_xml_whatever_the_case_names(tmp_path):
    names = ["card \u0001", "tab\there", "\ufffe and \U0001f600", "<&>\"'"]
    cases = tmp_path / "cases.toml"
    cases.write_text(
        "".join(
            f'[[case]]\nname = {json.dumps(name, ensure_ascii=False)}\nquery = {{ domain = "x", profile = "y", jurisdiction = "EU", '
            'subject = "s", universe = ["a"] }\nexpect = { fell_back = false }\n'
            for name in names
        )
    )
    status, _, _ = run("test", "--packs", EXAMPLES / "packs", cases, "--junit", tmp_path / "r.xml")
    assert status == 1
    suite = ElementTree.parse(tmp_path / "r.xml").getroot()
    assert [case.get("name") for case in suite.iter("testcase")] == [
        "card \\u0001",
        "tab\there",
        "\\ufffe and \U0001f600",
        "<&>\"'",
    ]


def test_an_unreadable_pack_spoils_only_the_queries_for_it(tmp_path):
    packs = tmp_path / "packs"
    (packs / "retail").mkdir(parents=True)
    (packs / "retail" / "payments.zorv.toml").write_text(
        (EXAMPLES / "packs" / "retail" / "payments.zorv.toml").read_text()
    )
    (packs / "retail" / "cards.toml").write_bytes(b'[meta]\nstrictness = "minimal"\n# caf\xe9\n')
    (packs / "retail" / "loans.toml").write_text('[meta]\nstrictness = "Minimal"\n')
    good = tmp_path / "good.json"
    good.write_text((EXAMPLES / "query.json").read_text())
    bad = tmp_path / "bad.json"
    bad.write_text(query(domain="cards"))
    warning = (
        f"zorv resolve: warning: {packs}/retail/cards.toml: not UTF-8 text (byte 36 cannot start or "
        "continue a character): queries for `retail/cards.toml` fall back as for a malformed pack\n"
    )

    status, out, err = run("resolve", "--packs", packs, good, "--compact")
    expected = zorv.resolve(
        json.dumps({"retail/payments.zorv.toml": (packs / "retail" / "payments.zorv.toml").read_text()}),
        good.read_text(),
    )
    assert (status, out, err) == (0, expected + "\n", warning)

    status, out, err = run("explain", "--packs", packs, bad, "--format", "json", "--quiet")
    explained = json.loads(out)
    assert (status, err) == (0, "")
    assert explained["decision"]["provenance"]["source"] == "<malformed:retail/cards.toml>"
    assert (explained["fall_back"]["line"], explained["fall_back"]["column"]) == (3, 6)

    status, out, _ = run("lint", packs)
    assert status == 1
    assert out.startswith(
        f"{packs}/retail/cards.toml:3:6: error: not UTF-8 text (byte 36 cannot start or continue "
        "a character): the pack is not TOML 1.0, so the resolver reads it as malformed "
        "[toml-syntax]\n"
    )
    assert f"{packs}/retail/loans.toml:2:14: warning: strictness `Minimal`" in out
