"""``zorv lint``: the pack mistakes that silently change answers.

Errors make the resolver read a pack as malformed (or, for an empty window,
fall back for every dated query), so every query for it gets the whole
universe. Warnings leave a pack readable but probably not meaning what it
says. A finding is silenced by a comment ``# zorv-lint: ignore[rule]``
(several rules comma-separated) at the end of its line.
"""

import json
import os
import re
import urllib.parse
from dataclasses import asdict, dataclass
from typing import Any, Dict, List, Optional, Sequence

from . import _native
from .packs import PackLoadError, pack_files, read_pack_file

__all__ = ["Finding", "format_json", "format_sarif", "format_text", "lint", "lint_paths", "rules"]

IGNORE = re.compile(r"#\s*zorv-lint:\s*ignore\[([^\]]*)\]\s*$")


@dataclass(frozen=True)
class Finding:
    """One finding. Lines and columns count from 1, columns in characters;
    ``end_line`` and ``end_column`` are just past the range."""

    path: str
    line: int
    column: int
    end_line: int
    end_column: int
    severity: str  # "error" or "warning"
    rule: str
    message: str
    suggestion: Optional[str]

    def as_dict(self) -> Dict[str, Any]:
        return asdict(self)


def rules() -> List[Dict[str, str]]:
    """Every rule: its ``id``, ``severity`` and a short ``description``."""
    listed: List[Dict[str, str]] = json.loads(_native.lint_rules())
    return listed


def _ignored(lines: List[str], finding: Finding) -> bool:
    if finding.line > len(lines):
        return False
    found = IGNORE.search(lines[finding.line - 1])
    return found is not None and finding.rule in {rule.strip() for rule in found.group(1).split(",")}


def lint(pack_text: str, path: str = "<pack>") -> List[Finding]:
    """The findings for one pack text, in text order; ``path`` names it in them."""
    lines = pack_text.splitlines()
    findings = [Finding(path=path, **entry) for entry in json.loads(_native.lint(pack_text))]
    return [finding for finding in findings if not _ignored(lines, finding)]


def _file_finding(path: str, rule: str, message: str) -> Finding:
    return Finding(path, 1, 1, 1, 2, "warning", rule, message, None)


def _folder_findings(directory: str) -> List[Finding]:
    findings: List[Finding] = []
    files = pack_files(directory)
    keys = {key for key, _ in files}
    for key, path in files:
        if "/" not in key:
            findings.append(_file_finding(
                path, "pack-name", f"`{key}` is not inside a profile folder: no query looks it up, as pack keys "
                "are `<profile>/<domain>.zorv.toml` or `<profile>/<domain>.toml`"))
        elif key.endswith(".toml") and not key.endswith(".zorv.toml") and key[:-5] + ".zorv.toml" in keys:
            findings.append(_file_finding(
                path, "shadowed-pack", f"`{key}` is never read: `{key[:-5]}.zorv.toml` is looked up first"))
        text = read_pack_file(path)
        findings += lint(text, path)
    return findings


def lint_paths(paths: Sequence[str]) -> List[Finding]:
    """The findings for pack files and folders (read as ``--packs`` reads
    them), sorted by path, line and column. Raises PackLoadError."""
    findings: List[Finding] = []
    for path in paths:
        if os.path.isdir(path):
            findings += _folder_findings(path)
        elif os.path.isfile(path):
            findings += lint(read_pack_file(path), path)
        else:
            raise PackLoadError(f"{path}: no such file or folder")
    return sorted(findings, key=lambda f: (f.path, f.line, f.column))


def _summary(findings: Sequence[Finding]) -> str:
    errors = sum(f.severity == "error" for f in findings)
    warnings = len(findings) - errors
    return f"{errors} error{'s' * (errors != 1)}, {warnings} warning{'s' * (warnings != 1)}"


def format_text(findings: Sequence[Finding]) -> str:
    """One line per finding, ``path:line:column: severity: message [rule]``,
    then a summary line."""
    lines = [f"{f.path}:{f.line}:{f.column}: {f.severity}: {f.message} [{f.rule}]" for f in findings]
    return "\n".join(lines + [_summary(findings)]) + "\n"


def format_json(findings: Sequence[Finding]) -> str:
    """A JSON array of the findings as objects."""
    return json.dumps([f.as_dict() for f in findings], ensure_ascii=False, indent=2) + "\n"


def _uri(path: str) -> str:
    return urllib.parse.quote(path.replace(os.sep, "/"))


def format_sarif(findings: Sequence[Finding]) -> str:
    """One SARIF 2.1.0 log with one run: every rule in ``tool.driver.rules``,
    every finding a result with its physical location and region."""
    listed = rules()
    index = {rule["id"]: i for i, rule in enumerate(listed)}
    driver = {
        "name": "zorv",
        "rules": [{"id": rule["id"], "shortDescription": {"text": rule["description"]},
                   "defaultConfiguration": {"level": rule["severity"]}} for rule in listed],
    }
    results = []
    for f in findings:
        text = f.message + (f" ({f.suggestion})" if f.suggestion else "")
        results.append({
            "ruleId": f.rule, "ruleIndex": index[f.rule], "level": f.severity, "message": {"text": text},
            "locations": [{"physicalLocation": {
                "artifactLocation": {"uri": _uri(f.path)},
                "region": {"startLine": f.line, "startColumn": f.column,
                           "endLine": f.end_line, "endColumn": f.end_column}}}],
        })
    log = {"$schema": "https://json.schemastore.org/sarif-2.1.0.json", "version": "2.1.0",
           "runs": [{"tool": {"driver": driver}, "results": results}]}
    return json.dumps(log, ensure_ascii=False, indent=2) + "\n"
