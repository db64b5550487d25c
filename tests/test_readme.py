"""The README's recipes run as shown: each console session and Python
example in a fresh copy of the checkout, against the installed zorv."""

import os
import pathlib
import subprocess
import sys
import tarfile

import pytest
import readme_recipes

ROOT = pathlib.Path(__file__).resolve().parent.parent


def fresh_checkout(into):
    """The tracked files as they are now, edits included, without anything
    built or generated beside them."""
    if not (ROOT / ".git").exists():
        pytest.skip("not a git checkout")
    stash = subprocess.run(["git", "-C", ROOT, "stash", "create"], capture_output=True, text=True, check=True)
    commit = stash.stdout.strip() or "HEAD"
    archive = into / "checkout.tar"
    subprocess.run(["git", "-C", ROOT, "archive", "-o", archive, commit], check=True)
    with tarfile.open(archive) as tar:
        # Our own archive; the data filter, where this Python has it, only
        # keeps later versions from warning.
        options = {"filter": "data"} if hasattr(tarfile, "data_filter") else {}
        tar.extractall(into / "zorv", **options)
    return into / "zorv"


def test_every_readme_recipe_prints_what_the_readme_shows(tmp_path, monkeypatch):
    checkout = fresh_checkout(tmp_path)
    # The zorv command of the interpreter under test.
    monkeypatch.setenv("PATH", os.path.dirname(sys.executable) + os.pathsep + os.environ["PATH"])
    problems = readme_recipes.check((checkout / "README.md").read_text(encoding="utf-8"), str(checkout))
    assert problems == [], "".join(problems)


@pytest.mark.parametrize(
    "shown, printed, fits",
    [
        (["a"], ["a"], True),
        (["a"], ["a", "b"], False),
        (["a"], ["b"], False),
        (["{...}"], ['{"x": 1}'], True),
        (["a...z"], ["a", "z"], False),
        (["a", "...", "z"], ["a", "z"], True),
        (["a", "...", "z"], ["a", "b", "c", "z"], True),
        (["a", "...", "z"], ["a", "b", "c"], False),
        (["x(1)"], ["x11"], False),
        ([], [], True),
    ],
)
def test_shown_output_stands_for_what_it_elides_only(shown, printed, fits):
    assert readme_recipes.matches(shown, printed) == fits
