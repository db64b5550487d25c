"""The files generated from the resolver's own tables are as committed:
after a change to the pack vocabulary or the lint rules,
`scripts/generate_docs` rewrites them."""

import importlib.util

import pytest
from conftest import REPO

spec = importlib.util.spec_from_file_location("generate_docs", REPO / "scripts" / "generate_docs.py")
generate_docs = importlib.util.module_from_spec(spec)
spec.loader.exec_module(generate_docs)


@pytest.mark.parametrize("path, text", generate_docs.generated(REPO), ids=lambda value: str(value)[:40])
def test_committed_file_is_what_the_tables_generate(path, text):
    assert (REPO / path).read_text(encoding="utf-8") == text, f"run scripts/generate_docs to rewrite {path}"


def test_a_changed_row_shows_in_both_files():
    rows = [
        {
            "path": "meta",
            "kind": "table",
            "required": True,
            "absent": "none: required",
            "meaning": "pack metadata",
            "detail": "Required.",
            "examples": [],
            "element": "",
        },
        {
            "path": "meta.dial",
            "kind": "string",
            "required": False,
            "absent": "no dial",
            "meaning": "the dial",
            "detail": "The dial.",
            "examples": ["minimal"],
            "element": "",
        },
    ]
    assert generate_docs.key_table_lines(rows)[2:] == [
        "| `meta` | table | none: required | pack metadata |",
        "| `meta.dial` | string | no dial | the dial |",
    ]
    schema = generate_docs.schema_text(rows)
    assert '"required": [\n    "meta"\n  ]' in schema
    assert (
        '"dial": {\n          "type": "string",\n          "description": "The dial.",\n          "examples": [\n            "minimal"\n          ]'
        in schema
    )


def test_every_rule_row_carries_the_anchor_its_help_links_to():
    rules = [{"id": "wrong-type", "severity": "error", "finds": "a key of the wrong type", "anchor": "lint-wrong-type"}]
    assert generate_docs.rule_table_lines(rules)[2:] == [
        '| <a id="lint-wrong-type"></a>`wrong-type` | error | a key of the wrong type |'
    ]


def test_the_version_is_written_once():
    import re

    import zorv

    version = re.search(r'^version = "([^"]+)"$', (REPO / "pyproject.toml").read_text(encoding="utf-8"), re.M)[1]
    readme = (REPO / "README.md").read_text(encoding="utf-8")
    assert zorv.__version__ == version
    assert set(re.findall(r"zorv-(\d+\.\d+\.\d+)", readme)) == {version}
