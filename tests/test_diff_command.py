"""`zorv diff` on the command line: its inputs (folders, packs_json files,
git revisions, and careless or hostile ones), its forms and its exit status."""

import json
import pathlib
import shutil
import subprocess

import pytest
import zorv_tools
from test_tools import run
from timing import fastest
from zorv_tools.diff_report import format_text

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent / "examples" / "packs"

PACK = """[meta]
strictness = "as_configured"
[subject.card]
controls = ["mfa", "tokenisation"]
[prohibited]
controls = ["fingerprinting"]
"""
LOOSER = PACK.replace('"mfa", "tokenisation"', '"mfa"')
TIGHTER = PACK.replace('"mfa", "tokenisation"', '"mfa", "tokenisation", "audit"')
REFORMATTED = "# same pack\n" + PACK.replace('"mfa", "tokenisation"', '"tokenisation", "mfa", "mfa"')


def _folder(root: pathlib.Path, name: str, text: str) -> pathlib.Path:
    folder = root / name
    (folder / "retail").mkdir(parents=True)
    (folder / "retail" / "payments.zorv.toml").write_text(text, encoding="utf-8")
    return folder


@pytest.mark.parametrize(
    "new_text, fail_on, status, summary",
    [
        (PACK, None, 0, "0 change(s), 0 loosening, in 0 of 1 pack(s)"),
        (REFORMATTED, "any", 0, "0 change(s), 0 loosening, in 0 of 1 pack(s)"),
        (LOOSER, None, 0, "2 change(s), 2 loosening, in 1 of 1 pack(s)"),
        (LOOSER, "loosen", 1, "2 change(s), 2 loosening, in 1 of 1 pack(s)"),
        (TIGHTER, "loosen", 0, "2 change(s), 0 loosening, in 1 of 1 pack(s)"),
        (TIGHTER, "any", 1, "2 change(s), 0 loosening, in 1 of 1 pack(s)"),
    ],
)
def test_exit_status_follows_fail_on(tmp_path, new_text, fail_on, status, summary):
    old, new = _folder(tmp_path, "old", PACK), _folder(tmp_path, "new", new_text)
    argv = ["diff", old, new] + (["--fail-on", fail_on] if fail_on else [])
    got_status, out, err = run(*argv)
    assert (got_status, out.splitlines()[-1], err) == (status, summary, "")


def test_the_three_forms_say_the_same(tmp_path):
    old, new = _folder(tmp_path, "old", PACK), _folder(tmp_path, "new", LOOSER)
    expected = zorv_tools.diff(zorv_tools.load_packs(str(old)), zorv_tools.load_packs(str(new)))
    assert run("diff", "--format", "json", old, new) == (0, expected + "\n", "")
    assert run("diff", old, new)[1] == format_text(json.loads(expected))
    markdown = run("diff", "--format", "markdown", old, new)[1].splitlines()
    assert markdown[:3] == ["### zorv diff", "", "2 change(s), 2 loosening, in 1 of 1 pack(s)"]
    assert [line.split(" | ")[1:4] for line in markdown[6:]] == [
        ["retail/payments", "card", "pack's own dial"],
        ["retail/payments", "card", "dial as_configured"],
    ]


@pytest.mark.parametrize(
    "change, paragraph",
    [
        (
            {
                "pack": "retail/payments",
                "subject": "card",
                "strictness": None,
                "as_of": None,
                "before": {
                    "required": {"controls": ["a", "t"]},
                    "source": "retail/payments.zorv.toml",
                    "strictness": "as_configured",
                    "fell_back": False,
                    "legal_review_status": None,
                    "last_reviewed_against_guidance": None,
                },
                "after": {
                    "required": {"controls": ["a", "f"]},
                    "source": "retail/payments.zorv.toml",
                    "strictness": "as_configured",
                    "fell_back": False,
                    "legal_review_status": None,
                    "last_reviewed_against_guidance": None,
                },
                "added": {"controls": ["f"]},
                "removed": {"controls": ["t"]},
                "loosens": True,
            },
            "retail/payments, subject card, pack's own dial: now also requires f; no longer requires t [loosens]",
        ),
        (
            {
                "pack": "retail/payments",
                "subject": None,
                "strictness": "minimal",
                "as_of": {
                    "without_date": False,
                    "ranges": [{"from": "2031-01-01", "from_inclusive": True, "until": None, "until_inclusive": False}],
                },
                "before": {
                    "required": {"controls": ["mfa"]},
                    "source": "retail/payments.zorv.toml",
                    "strictness": "minimal",
                    "fell_back": False,
                    "legal_review_status": "approved",
                    "last_reviewed_against_guidance": None,
                },
                "after": {
                    "required": {"all_except": []},
                    "source": "<outside-effective-envelope:retail/payments.zorv.toml>",
                    "strictness": "aggressive",
                    "fell_back": True,
                    "legal_review_status": None,
                    "last_reviewed_against_guidance": None,
                },
                "added": {"all_except": ["mfa"]},
                "removed": {"controls": []},
                "loosens": False,
            },
            "retail/payments, any other subject, dial minimal: now falls back "
            "(<outside-effective-envelope:retail/payments.zorv.toml>); now also requires every control except mfa "
            "(for queries dated from 2031-01-01)",
        ),
    ],
)
def test_text_says_each_change_in_words(change, paragraph):
    result = {
        "changes": [change],
        "summary": {"stems": 1, "changed_stems": 1, "changes": 1, "loosening": int(change["loosens"])},
    }
    assert format_text(result).split("\n\n")[0] == paragraph


def _git(repo: pathlib.Path, *args: str) -> None:
    subprocess.run(
        ["git", "-c", "user.name=t", "-c", "user.email=t@example.com", *args], cwd=repo, check=True, capture_output=True
    )


@pytest.fixture
def repo(tmp_path, monkeypatch):
    """A git repository holding the example packs under packs/, committed,
    and the current directory inside it."""
    shutil.copytree(EXAMPLES, tmp_path / "packs")
    (tmp_path / "notes.txt").write_bytes(b"\xff\xfe not a pack\n")
    _git(tmp_path, "init", "-q", "-b", "main")
    _git(tmp_path, "add", ".")
    _git(tmp_path, "commit", "-q", "-m", "packs")
    (tmp_path / "sub").mkdir()
    monkeypatch.chdir(tmp_path / "sub")
    return tmp_path


def test_a_git_revision_reads_as_its_folder(repo):
    payments = repo / "packs" / "retail" / "payments.zorv.toml"
    payments.write_text(payments.read_text(encoding="utf-8").replace('"fraud_screening", ', ""), encoding="utf-8")
    status, out, err = run("diff", "--fail-on", "loosen", "main:packs", repo / "packs")
    assert (status, err) == (1, "")
    assert out.splitlines()[-1].endswith("in 1 of 2 pack(s)")
    assert run("diff", "--fail-on", "any", "main:packs", "main:packs/") == (
        0,
        "0 change(s), 0 loosening, in 0 of 2 pack(s)\n",
        "",
    )


@pytest.mark.parametrize(
    "old, message",
    [
        ("nosuchrev:packs", "zorv diff: nosuchrev:packs: no revision 'nosuchrev' in the repository"),
        ("main:../packs", "zorv diff: main:../packs: FOLDER must be a path from the repository's root"),
        ("main:/packs", "zorv diff: main:/packs: FOLDER must be a path from the repository's root"),
        ("--output=x:packs", "zorv diff: --output=x:packs: a revision cannot start with '-'"),
        ("main:nowhere", "zorv diff: main:nowhere:"),
        ("main:notes.txt", "zorv diff: main:notes.txt: not a folder at that revision"),
        ("no-such-thing", "zorv diff: no-such-thing: no such folder or file, and not REV:FOLDER"),
    ],
)
def test_unreadable_versions_are_usage_errors(repo, old, message):
    status, out, err = run("diff", "--", old, "main:packs")
    assert (status, out) == (2, "")
    assert err.startswith(message)


def test_files_that_are_not_utf8_are_named(repo):
    (repo / "packs" / "retail" / "bad.toml").write_bytes(b'[meta]\nstrictness = "\xff"\n')
    _git(repo, "add", ".")
    _git(repo, "commit", "-q", "-m", "bad")
    for old in ("main:packs", str(repo / "packs")):
        status, out, err = run("diff", old, str(repo / "packs"))
        assert (status, out) == (2, "")
        assert "bad.toml: not UTF-8 text" in err
    (repo / "packs.json").write_bytes(b"\xff")
    assert run("diff", "../packs.json", "main:notes.txt")[0] == 2


def test_a_packs_json_file_that_is_not_a_pack_map_is_a_usage_error(tmp_path):
    (tmp_path / "old.json").write_text('{"retail/payments.toml": 1}', encoding="utf-8")
    (tmp_path / "new.json").write_text("{}", encoding="utf-8")
    status, out, err = run("diff", tmp_path / "old.json", tmp_path / "new.json")
    assert (status, out) == (2, "")
    assert err.startswith("zorv diff: old_packs_json is not an object of path->toml strings: ")


def _many_packs(count: int, loosen: bool) -> str:
    return json.dumps({f"profile/domain_{number}.zorv.toml": LOOSER if loosen else PACK for number in range(count)})


def _wide_pack(count: int, loosen: bool) -> str:
    """One pack of ``count`` subjects and ``count`` prohibited controls, in
    which one subject's list changes."""
    lines = [
        "[meta]",
        'strictness = "as_configured"',
        "[prohibited]",
        "controls = [" + ", ".join(f'"banned_{n}"' for n in range(count)) + "]",
    ]
    for n in range(count):
        controls = '"mfa"' if (n == 0 and loosen) else '"mfa", "audit"'
        lines += [f"[subject.s{n}]", f"controls = [{controls}]"]
    return json.dumps({"retail/payments.zorv.toml": "\n".join(lines)})


@pytest.mark.parametrize("packs, count", [(_many_packs, 1000), (_wide_pack, 2000)])
def test_time_grows_in_step_with_the_input(packs, count):
    def seconds(size: int) -> float:
        old, new = packs(size, False), packs(size, True)
        return fastest(lambda: zorv_tools.diff(old, new), runs=3)

    # Linear growth gives about 4x; a cost per subject and prohibited control, 16x.
    assert seconds(4 * count) < 10 * seconds(count)
