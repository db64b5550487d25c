"""``zorv lint``: the pack mistakes that silently change answers.

Errors make the resolver read a pack as malformed (or, for an empty window,
fall back for every dated query), so every query for it gets the whole
universe. Warnings leave a pack readable but probably not meaning what it
says. A finding is silenced by a comment ``# zorv-lint: ignore[rule]``
(several rules comma-separated) at the end of its line. Lines are counted
as the TOML reader counts them: a line feed ends a line, and a carriage
return before it belongs to the break.
"""

import json
import os
import urllib.parse
from dataclasses import asdict, dataclass
from importlib import metadata
from typing import Any, Dict, Iterable, List, Optional, Sequence, Set, Tuple

from . import _native
from .names import nearest
from .packs import PackLoadError, PathLike, UnreadablePack, pack_files, read_pack_bytes

__all__ = [
    "Finding",
    "findings_to_json",
    "format_json",
    "format_sarif",
    "format_text",
    "lint",
    "lint_dir",
    "lint_paths",
    "rules",
]

# Warnings that make an answer require less than the pack says: they fail a
# run like errors do.
WEAKENING_RULES = frozenset({"missing-controls", "unknown-key", "nested-subject-table", "prohibited-overlap"})
# `unknown-key` weakens an answer only inside a subject entry or the floor
# (a lost `controls`); elsewhere a misspelt key leaves the answer as large
# or larger.
_WEAKENING_UNKNOWN_KEYS = ("unknown key `subject.", "unknown key `legally_required.")

# Rules the companion package finds itself, beside the resolver's registry.
_PACKAGE_RULES = [
    {
        "id": "unknown-rule",
        "severity": "warning",
        "description": "An ignore comment naming a rule that does not exist: it silences nothing.",
        "doc": "Ignore comments name rules exactly; a name that is no rule (a misspelling, a rule of another tool) "
        "silences nothing, so the finding it was meant for still shows. Use the suggested rule name.",
        "anchor": "lint-unknown-rule",
    },
]


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
        """The finding as a dict of its fields, ready for ``json.dumps``."""
        return asdict(self)


def rules() -> List[Dict[str, str]]:
    """Every rule: its ``id``, ``severity``, a short ``description``, its
    documentation paragraph ``doc`` and the ``anchor`` of its README entry."""
    listed: List[Dict[str, str]] = json.loads(_native.lint_rules())
    known = {rule["id"] for rule in listed}
    return listed + [rule for rule in _PACKAGE_RULES if rule["id"] not in known]


def _ignore_comment(line: str) -> Optional[List[Tuple[str, int]]]:
    """The rule names of a ``# zorv-lint: ignore[...]`` comment ending
    ``line``, each with the index where it starts; None when there is none.
    Read from the end of the line, so each line is looked at once."""
    body = line.rstrip()
    if not body.endswith("]"):
        return None
    opening = body.rfind("[")
    if opening < 0:
        return None
    before = body[:opening]
    if not before.endswith("ignore"):
        return None
    before = before[: -len("ignore")].rstrip()
    if not before.endswith("zorv-lint:"):
        return None
    if not before[: -len("zorv-lint:")].rstrip().endswith("#"):
        return None
    names: List[Tuple[str, int]] = []
    at = opening + 1
    for part in body[opening + 1 : -1].split(","):
        name = part.strip()
        if name:
            names.append((name, at + part.index(name)))
        at += len(part) + 1
    return names


class _IgnoreComments:
    """The ignore comments of one pack text, read once per line."""

    def __init__(self, pack_text: str) -> None:
        self.names: Dict[int, Set[str]] = {}
        self.unknown: List[Tuple[int, int, str]] = []
        known = {rule["id"] for rule in rules()}
        for number, line in enumerate(pack_text.split("\n"), 1):
            if "zorv-lint:" not in line:
                continue
            found = _ignore_comment(line)
            if found is None:
                continue
            self.names[number] = {name for name, _ in found}
            self.unknown += [(number, start + 1, name) for name, start in found if name not in known]

    def silences(self, finding: Finding) -> bool:
        return finding.rule in self.names.get(finding.line, ())


def _unknown_rule_finding(path: str, line: int, column: int, name: str, known: Iterable[str]) -> Finding:
    close = nearest(name, known)
    return Finding(
        path,
        line,
        column,
        line,
        column + len(name),
        "warning",
        "unknown-rule",
        f"`{name}` in an ignore comment is not a rule: it silences nothing",
        f"did you mean `{close}`?" if close else None,
    )


def lint(pack_text: str, path: str = "<pack>") -> List[Finding]:
    """The findings for one pack text, in text order; ``path`` names it in them.
    Raises ``TypeError`` when ``pack_text`` is not a ``str``."""
    if not isinstance(pack_text, str):
        raise TypeError(f"lint() argument 'pack_text' must be str, not {type(pack_text).__name__}")
    comments = _IgnoreComments(pack_text)
    findings = [Finding(path=path, **entry) for entry in json.loads(_native.lint(pack_text))]
    known = [rule["id"] for rule in rules()]
    findings += [_unknown_rule_finding(path, line, column, name, known) for line, column, name in comments.unknown]
    findings.sort(key=lambda f: (f.line, f.column))
    return [finding for finding in findings if not comments.silences(finding)]


def _file_finding(path: str, rule: str, message: str) -> Finding:
    return Finding(path, 1, 1, 1, 1, "warning", rule, message, None)


def _unreadable_finding(problem: UnreadablePack) -> Finding:
    detail = (
        problem.message[len(problem.path) + 2 :] if problem.message.startswith(problem.path + ": ") else problem.message
    )
    return Finding(
        problem.path,
        problem.line,
        problem.column,
        problem.line,
        problem.column,
        "error",
        "toml-syntax",
        f"{detail}: the pack is not TOML 1.0, so the resolver reads it as malformed",
        None,
    )


def _lint_file(key: str, path: str) -> List[Finding]:
    """The findings of one pack file; a file that cannot be read is one
    error finding, as the resolver reads it as malformed."""
    text, problem = read_pack_bytes(key, path)
    if problem is not None:
        return [_unreadable_finding(problem)]
    return lint(text, path)


def lint_dir(directory: PathLike) -> List[Finding]:
    """The findings for a folder of packs read as ``load_packs`` reads it:
    each pack's own, and the folder's (``pack-name``: a file no query looks
    up; ``shadowed-pack``: a ``.toml`` file hidden by its ``.zorv.toml``
    twin). A file that cannot be read is an error finding and the others
    are still checked. Sorted by path, line and column; raises
    ``PackLoadError`` when the folder cannot be walked."""
    findings: List[Finding] = []
    files = pack_files(directory)
    keys = {key for key, _ in files}
    for key, path in files:
        if "/" not in key:
            findings.append(
                _file_finding(
                    path,
                    "pack-name",
                    f"`{key}` is not inside a profile folder: no query looks it up, as pack keys "
                    "are `<profile>/<domain>.zorv.toml` or `<profile>/<domain>.toml`",
                )
            )
        elif key.endswith(".toml") and not key.endswith(".zorv.toml") and key[:-5] + ".zorv.toml" in keys:
            findings.append(
                _file_finding(
                    path, "shadowed-pack", f"`{key}` is never read: `{key[:-5]}.zorv.toml` is looked up first"
                )
            )
        findings += _lint_file(key, path)
    return sorted(findings, key=lambda f: (f.path, f.line, f.column))


def lint_paths(paths: Sequence[PathLike]) -> List[Finding]:
    """The findings for pack files and folders (read as ``--packs`` reads
    them), sorted by path, line and column. Raises PackLoadError for a path
    that is neither."""
    findings: List[Finding] = []
    for given in paths:
        path = os.fspath(given)
        if os.path.isdir(path):
            findings += lint_dir(path)
        elif os.path.isfile(path):
            findings += _lint_file(path, path)
        else:
            raise PackLoadError(f"{path}: no such file or folder")
    return sorted(findings, key=lambda f: (f.path, f.line, f.column))


def weakens_answers(finding: Finding) -> bool:
    """Whether a finding makes some answer require less than the pack says:
    every error, and the warnings that drop controls from a list."""
    if finding.severity == "error":
        return True
    if finding.rule == "unknown-key":
        return finding.message.startswith(_WEAKENING_UNKNOWN_KEYS)
    return finding.rule in WEAKENING_RULES


def _summary(findings: Sequence[Finding]) -> str:
    errors = sum(f.severity == "error" for f in findings)
    warnings = len(findings) - errors
    return f"{errors} error{'s' * (errors != 1)}, {warnings} warning{'s' * (warnings != 1)}"


def format_text(findings: Sequence[Finding]) -> str:
    """One line per finding, ``path:line:column: severity: message [rule]``
    and the suggestion, if any, after `` (``; then a summary line."""
    lines = [
        f"{f.path}:{f.line}:{f.column}: {f.severity}: {f.message}"
        + (f" ({f.suggestion})" if f.suggestion else "")
        + f" [{f.rule}]"
        for f in findings
    ]
    return "\n".join(lines + [_summary(findings)]) + "\n"


def findings_to_json(findings: Iterable[Finding]) -> str:
    """A JSON array of the findings, each as ``Finding.as_dict`` gives it."""
    return json.dumps([f.as_dict() for f in findings], ensure_ascii=False, indent=2) + "\n"


format_json = findings_to_json


def _uri(path: str) -> str:
    return urllib.parse.quote(path.replace(os.sep, "/"))


def _help_uri() -> str:
    """The page that documents the rules: the installed distribution's
    ``Documentation`` address (its README), else the README beside it."""
    try:
        for entry in metadata.metadata("zorv").get_all("Project-URL") or []:
            label, _, address = str(entry).partition(",")
            if label.strip().lower() == "documentation":
                # The page itself: each rule's anchor is put after it.
                return address.strip().partition("#")[0]
    except metadata.PackageNotFoundError:  # an in-tree run
        pass
    return "README.md"


def format_sarif(findings: Sequence[Finding]) -> str:
    """One SARIF 2.1.0 log with one run: every rule in ``tool.driver.rules``
    with its help, every finding a result with its physical location and
    region, columns counted in Unicode code points."""
    listed = rules()
    index = {rule["id"]: i for i, rule in enumerate(listed)}
    readme = _help_uri()
    driver = {
        "name": "zorv",
        "rules": [
            {
                "id": rule["id"],
                "shortDescription": {"text": rule["description"]},
                "help": {"text": rule["doc"]},
                "helpUri": f"{readme}#{rule['anchor']}",
                "defaultConfiguration": {"level": rule["severity"]},
            }
            for rule in listed
        ],
    }
    results = []
    for f in findings:
        text = f.message + (f" ({f.suggestion})" if f.suggestion else "")
        results.append(
            {
                "ruleId": f.rule,
                "ruleIndex": index[f.rule],
                "level": f.severity,
                "message": {"text": text},
                "locations": [
                    {
                        "physicalLocation": {
                            "artifactLocation": {"uri": _uri(f.path)},
                            "region": {
                                "startLine": f.line,
                                "startColumn": f.column,
                                "endLine": f.end_line,
                                "endColumn": f.end_column,
                            },
                        }
                    }
                ],
            }
        )
    log = {
        "$schema": "https://json.schemastore.org/sarif-2.1.0.json",
        "version": "2.1.0",
        "runs": [{"tool": {"driver": driver}, "columnKind": "unicodeCodePoints", "results": results}],
    }
    return json.dumps(log, ensure_ascii=False, indent=2) + "\n"
