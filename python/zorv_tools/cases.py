"""Pack tests: TOML case files of queries and the answers they must get.

A case file holds ``[[case]]`` tables::

    [[case]]
    name = "card payments need MFA"
    strictness = "as_configured"          # optional
    query = { domain = "payments", profile = "retail", jurisdiction = "EU",
              subject = "card", universe = ["mfa", "tokenisation"] }
    expect = { includes = ["mfa"], fell_back = false }

``expect`` may hold ``required`` (the exact set), ``includes``, ``excludes``,
``fell_back`` and ``source``. Case files are read with the resolver's own
TOML reader.
"""

import json
import re
import xml.etree.ElementTree as ElementTree
from dataclasses import dataclass, field
from typing import IO, Any, Dict, List, Optional

from . import _native
from .names import nearest
from .pack_set import PackSet

__all__ = ["Case", "CaseFileError", "CaseResult", "read_case_file", "run_case", "run_case_files"]

CASE_KEYS = ("name", "query", "expect", "strictness")
EXPECT_KEYS = ("required", "includes", "excludes", "fell_back", "source")
KIND_NAMES = {str: "string", bool: "boolean", dict: "table", list: "array"}


class CaseFileError(ValueError):
    """A case file that cannot be used; the message gives file, line and column."""


@dataclass
class Case:
    """One ``[[case]]`` table."""

    path: str
    line: int
    column: int
    name: str
    query_json: str
    strictness: Optional[str]
    expect: Dict[str, Any]


@dataclass
class CaseResult:
    """A case run: passed when ``differences`` is empty."""

    case: Case
    differences: List[str] = field(default_factory=list)

    @property
    def passed(self) -> bool:
        return not self.differences


Located = Dict[str, Any]  # {"at": [line, column], "value": ...}


def _plain(node: Located) -> Any:
    """A located value with every position taken out."""
    value = node["value"]
    if isinstance(value, dict):
        return {key: _plain(child) for key, child in value.items()}
    if isinstance(value, list):
        return [_plain(child) for child in value]
    return value


class _Reader:
    def __init__(self, path: str) -> None:
        self.path = path

    def fail(self, node: Located, message: str, at_key: bool = False) -> CaseFileError:
        line, column = node["key_at"] if at_key and "key_at" in node else node["at"]
        return CaseFileError(f"{self.path}:{line}:{column}: {message}")

    def typed(self, node: Located, kind: type, what: str) -> Any:
        value = node["value"]
        # bool is an int in Python, but never the other way round here.
        if isinstance(value, kind) and (kind is bool or not isinstance(value, bool)):
            return value
        raise self.fail(node, f"{what} must be a {KIND_NAMES[kind]}")

    def strings(self, node: Located, what: str) -> List[str]:
        return [self.typed(element, str, f"each of {what}") for element in self.typed(node, list, what)]

    def case(self, node: Located, index: int) -> Case:
        table = self.typed(node, dict, f"case {index + 1}")
        unknown = sorted(set(table) - set(CASE_KEYS))
        for key in ("name", "query", "expect"):
            if key not in table:
                # A misspelt key is the likelier cause: name the closest, or
                # else the first unknown key there is.
                typo = next((other for other in unknown if nearest(other, [key]) == key), None)
                if typo is not None:
                    raise self.fail(
                        table[typo],
                        f"case {index + 1} has no `{key}`: unknown key `{typo}` (did you mean `{key}`?)",
                        at_key=True,
                    )
                if unknown:
                    raise self.fail(
                        table[unknown[0]], f"case {index + 1} has no `{key}`: unknown key `{unknown[0]}`", at_key=True
                    )
                raise self.fail(node, f"case {index + 1} has no `{key}`")
        if unknown:
            close = nearest(unknown[0], CASE_KEYS)
            raise self.fail(
                table[unknown[0]],
                f"unknown key `{unknown[0]}` in case {index + 1}" + (f" (did you mean `{close}`?)" if close else ""),
                at_key=True,
            )
        name = self.typed(table["name"], str, "`name`")
        self.typed(table["query"], dict, "`query`")
        strictness = self.typed(table["strictness"], str, "`strictness`") if "strictness" in table else None
        expect_table = self.typed(table["expect"], dict, "`expect`")
        expect: Dict[str, Any] = {}
        for key, child in expect_table.items():
            if key in ("required", "includes", "excludes"):
                expect[key] = self.strings(child, f"`expect.{key}`")
            elif key == "fell_back":
                expect[key] = self.typed(child, bool, "`expect.fell_back`")
            elif key == "source":
                expect[key] = self.typed(child, str, "`expect.source`")
            else:
                raise self.fail(
                    child, f"unknown key `{key}` in `expect` (expected one of {', '.join(EXPECT_KEYS)})", at_key=True
                )
        line, column = node["at"]
        query_json = json.dumps(_plain(table["query"]), ensure_ascii=False)
        return Case(self.path, line, column, name, query_json, strictness, expect)


def read_case_file(path: str) -> List[Case]:
    """The cases of one file, in order; raises CaseFileError."""
    try:
        with open(path, encoding="utf-8") as file:
            text = file.read()
    except OSError as error:
        raise CaseFileError(f"{path}: {error.strerror}") from error
    except UnicodeDecodeError as error:
        raise CaseFileError(f"{path}: not UTF-8 text") from error
    try:
        root = json.loads(_native.toml_to_json(text, positions=True))
    except RecursionError as error:
        # Valid TOML, but deeper than any case needs and than json reads.
        raise CaseFileError(f"{path}: values are nested too deeply for a case file") from error
    except ValueError as error:
        # "<description> at line L column C"
        description, _, where = str(error).rpartition(" at line ")
        line, _, column = where.partition(" column ")
        raise CaseFileError(f"{path}:{line}:{column}: {description}") from error
    reader = _Reader(path)
    if "case" not in root["value"]:
        raise reader.fail(root, "no [[case]] tables")
    cases = reader.typed(root["value"]["case"], list, "`case`")
    return [reader.case(node, index) for index, node in enumerate(cases)]


def _listed(controls: List[str]) -> str:
    return ", ".join(json.dumps(control, ensure_ascii=False) for control in controls)


def run_case(packs: PackSet, case: Case) -> CaseResult:
    """Resolves the case's query and compares the decision with ``expect``."""
    try:
        decision = json.loads(packs.resolve(case.query_json, case.strictness))
    except ValueError as error:
        raise CaseFileError(f"{case.path}:{case.line}:{case.column}: case {case.name!r}: {error}") from error
    required = decision["required"]
    got = set(required)
    expect = case.expect
    result = CaseResult(case)
    missing: List[str] = []
    unexpected: List[str] = []
    if "required" in expect:
        missing += [c for c in sorted(set(expect["required"])) if c not in got]
        unexpected += [c for c in required if c not in set(expect["required"])]
    if "includes" in expect:
        missing += [c for c in sorted(set(expect["includes"])) if c not in got and c not in missing]
    if "excludes" in expect:
        unexpected += [c for c in sorted(set(expect["excludes"])) if c in got and c not in unexpected]
    if missing:
        result.differences.append(f"missing: {_listed(missing)}")
    if unexpected:
        result.differences.append(f"unexpected: {_listed(sorted(unexpected))}")
    provenance = decision["provenance"]
    if "source" in expect and provenance["source"] != expect["source"]:
        result.differences.append(f"source: expected {expect['source']!r}, got {provenance['source']!r}")
    if "fell_back" in expect and provenance["fell_back"] != expect["fell_back"]:
        result.differences.append(
            f"fell_back: expected {str(expect['fell_back']).lower()}, got {str(provenance['fell_back']).lower()}"
        )
    return result


# What XML 1.0 cannot hold, whether written raw or as a reference.
_NOT_XML = re.compile("[^\t\n\r\x20-\ud7ff\ue000-\ufffd\U00010000-\U0010ffff]")


def _xml_text(text: str) -> str:
    """``text`` with each character XML 1.0 cannot hold written as ``\\uXXXX``."""
    return _NOT_XML.sub(lambda found: f"\\u{ord(found.group()):04x}", text)


def junit_report(results: List[CaseResult]) -> bytes:
    """A JUnit XML report of the results, one testcase per case. Characters
    XML cannot hold (most control characters) appear as ``\\uXXXX``."""
    failures = sum(not result.passed for result in results)
    suites = ElementTree.Element("testsuites", tests=str(len(results)), failures=str(failures))
    suite = ElementTree.SubElement(
        suites, "testsuite", name="zorv", tests=str(len(results)), failures=str(failures), errors="0"
    )
    for result in results:
        case = ElementTree.SubElement(
            suite, "testcase", name=_xml_text(result.case.name), classname=_xml_text(result.case.path)
        )
        if not result.passed:
            failure = ElementTree.SubElement(case, "failure", message=_xml_text(result.differences[0]))
            failure.text = _xml_text("\n".join(result.differences))
    report: bytes = ElementTree.tostring(suites, encoding="utf-8", xml_declaration=True)
    return report


def run_case_files(packs: PackSet, paths: List[str], out: IO[str], junit: Optional[str] = None) -> int:
    """Runs every case of every file, prints the results, and returns the
    exit status: 0 when all pass, 1 when any fails. Raises CaseFileError
    before running anything when a file is unusable."""
    cases = [case for path in paths for case in read_case_file(path)]
    results = [run_case(packs, case) for case in cases]
    for result in results:
        out.write(("PASS " if result.passed else "FAIL ") + result.case.name + "\n")
        for difference in result.differences:
            out.write("  " + difference + "\n")
    failed = sum(not result.passed for result in results)
    out.write(f"{len(results) - failed} passed, {failed} failed\n")
    if junit is not None:
        try:
            with open(junit, "wb") as file:
                file.write(junit_report(results))
        except OSError as error:
            raise CaseFileError(f"{junit}: cannot write the JUnit report: {error.strerror}") from error
    return 1 if failed else 0
