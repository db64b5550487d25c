"""Generates the files that restate the resolver's own tables: the JSON Schema
of the pack format and the README's pack key table, both from the pack
vocabulary the resolver reads through, and the README's lint rule table from
the lint rule registry.

    python scripts/generate_docs.py          # rewrites the files
    python scripts/generate_docs.py --check  # exits 1 when a file differs

Needs zorv_tools installed (its native half holds the tables); the tests run
the check, and scripts/generate_docs builds the wheel and rewrites.
"""

import argparse
import json
import sys
from pathlib import Path
from typing import Any, Dict, List, Tuple

from zorv_tools import _native

REPO = Path(__file__).resolve().parent.parent
SCHEMA = Path("schema/zorv-pack.schema.json")
README = Path("README.md")

SCHEMA_TITLE = "zorv policy pack"
SCHEMA_DESCRIPTION = (
    "A zorv policy pack: which controls one profile and domain require per subject. Keys outside this "
    "vocabulary are ignored by the resolver (so they are allowed here, but flagged by `zorv lint`); a "
    "vocabulary key of the wrong type makes the whole pack malformed."
)
KEY_TABLE_HEADER = "| key | TOML type | default when absent | meaning |"
RULE_TABLE_HEADER = "| rule | severity | finds |"


def _schema_node(row: Dict[str, Any], rows: List[Dict[str, Any]]) -> Dict[str, Any]:
    children = [child for child in rows if child["path"].rpartition(".")[0] == row["path"]]
    kind = row["kind"]
    if kind == "string":
        node: Dict[str, Any] = {"type": "string", "description": row["detail"]}
        if row["examples"]:
            node["examples"] = row["examples"]
        return node
    if kind == "array of strings":
        return {
            "type": "array",
            "items": {"type": "string", "description": row["element"]},
            "description": row["detail"],
        }
    node = {"type": "object", "description": row["detail"]}
    if kind == "table of tables":
        (entry,) = children
        node["additionalProperties"] = _schema_node(entry, rows)
    else:
        node.update(_object_members(children, rows))
    return node


def _object_members(children: List[Dict[str, Any]], rows: List[Dict[str, Any]]) -> Dict[str, Any]:
    members: Dict[str, Any] = {}
    required = [child["path"].rpartition(".")[2] for child in children if child["required"]]
    if required:
        members["required"] = required
    members["properties"] = {child["path"].rpartition(".")[2]: _schema_node(child, rows) for child in children}
    return members


def schema_text(rows: List[Dict[str, Any]]) -> str:
    document: Dict[str, Any] = {
        "$schema": "https://json-schema.org/draft/2020-12/schema",
        "title": SCHEMA_TITLE,
        "description": SCHEMA_DESCRIPTION,
        "type": "object",
    }
    document.update(_object_members([row for row in rows if "." not in row["path"]], rows))
    return json.dumps(document, indent=2) + "\n"


def key_table_lines(rows: List[Dict[str, Any]]) -> List[str]:
    lines = [KEY_TABLE_HEADER, "|---|---|---|---|"]
    for row in rows:
        if row["meaning"]:
            lines.append(f"| `{row['path']}` | {row['kind']} | {row['absent']} | {row['meaning']} |")
    return lines


def rule_table_lines(rules: List[Dict[str, Any]]) -> List[str]:
    """The README's rule table; each row carries its rule's anchor, which
    SARIF logs link to."""
    lines = [RULE_TABLE_HEADER, "|---|---|---|"]
    for rule in rules:
        lines.append(f'| <a id="{rule["anchor"]}"></a>`{rule["id"]}` | {rule["severity"]} | {rule["finds"]} |')
    return lines


def replace_table(text: str, header: str, lines: List[str]) -> str:
    """`text` with the Markdown table that starts at `header` replaced."""
    all_lines = text.split("\n")
    start = all_lines.index(header)
    end = start
    while end < len(all_lines) and all_lines[end].startswith("|"):
        end += 1
    return "\n".join(all_lines[:start] + lines + all_lines[end:])


def generated(repo: Path) -> List[Tuple[Path, str]]:
    """Each generated file with the text it should have."""
    vocabulary = json.loads(_native.pack_vocabulary())
    readme = (repo / README).read_text(encoding="utf-8")
    readme = replace_table(readme, KEY_TABLE_HEADER, key_table_lines(vocabulary))
    readme = replace_table(readme, RULE_TABLE_HEADER, rule_table_lines(json.loads(_native.lint_rules())))
    return [(SCHEMA, schema_text(vocabulary)), (README, readme)]


def stale(repo: Path) -> List[Path]:
    """The generated files whose committed text differs from what they should be."""
    return [path for path, text in generated(repo) if (repo / path).read_text(encoding="utf-8") != text]


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("--check", action="store_true", help="only say which files differ")
    args = parser.parse_args()
    if args.check:
        differing = stale(REPO)
        for path in differing:
            print(f"{path} differs from what the resolver's tables generate", file=sys.stderr)
        return 1 if differing else 0
    for path, text in generated(REPO):
        (REPO / path).write_text(text, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
