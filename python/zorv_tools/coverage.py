"""Pack coverage: which entries of the packs the test cases exercise.

The entries of a pack are the elements of its control lists (each
subject's ``controls``, ``legally_required.controls`` and
``prohibited.controls``), each at its line and column. An entry is covered
when a case decided with that pack required or removed its control because
of it: when the case's explanation gives the control the reason
``subject-list``, ``legal-floor`` or ``prohibited`` at the entry's position.
A case counts whether it passed or failed.
"""

import json
from decimal import ROUND_HALF_UP, Decimal
from fractions import Fraction
from typing import Any, Dict, Iterable, List, Optional, Set, Tuple, Union

from . import _native
from .cases import Case
from .pack_set import PackSet

__all__ = ["coverage", "format_text", "pack_entries", "read_keys"]

# The reasons an explanation gives for a control that an entry decided.
ENTRY_REASONS = frozenset({"subject-list", "legal-floor", "prohibited"})
TOML_SUFFIX = ".toml"
PACK_SUFFIX = ".zorv.toml"


def read_keys(keys: Iterable[str]) -> List[str]:
    """The keys some query reads, ascending: "<profile>/<domain>.zorv.toml",
    or "<profile>/<domain>.toml" when the first is not there."""
    present = set(keys)
    read = []
    for key in sorted(present):
        if not key.endswith(TOML_SUFFIX):
            continue
        stem = key[: -len(TOML_SUFFIX)]
        # A "/" is what parts a profile from a domain; a key without one
        # is the name of no query's pack.
        if "/" not in stem:
            continue
        if key.endswith(PACK_SUFFIX) or stem + PACK_SUFFIX not in present:
            read.append(key)
    return read


def pack_entries(text: str) -> List[Dict[str, Any]]:
    """The entries of one pack in text order; none when it is not TOML."""
    try:
        root = json.loads(_native.toml_to_json(text, positions=True))
    except ValueError:
        return []
    entries: List[Dict[str, Any]] = []

    def add(list_name: str, node: Any) -> None:
        if not isinstance(node, dict) or not isinstance(node.get("value"), dict):
            return
        controls = node["value"].get("controls")
        if controls is None or not isinstance(controls["value"], list):
            return
        for element in controls["value"]:
            if isinstance(element["value"], str):
                line, column = element["at"]
                entries.append(
                    {"list": list_name, "control": element["value"], "line": line, "column": column, "covered": False}
                )

    document = root["value"]
    subjects = document.get("subject")
    if subjects is not None and isinstance(subjects["value"], dict):
        for name, node in subjects["value"].items():
            add("subject." + name, node)
    add("legally_required", document.get("legally_required"))
    add("prohibited", document.get("prohibited"))
    entries.sort(key=lambda entry: (entry["line"], entry["column"]))
    return entries


def _covered_positions(packset: PackSet, cases: Iterable[Case]) -> Dict[str, Set[Tuple[int, int]]]:
    """Per pack key, the positions of the entries some case's decision used."""
    positions: Dict[str, Set[Tuple[int, int]]] = {}
    for case in cases:
        explained = json.loads(packset.explain(case.query_json, case.strictness))
        source = explained["pack"]["source"]
        if source is None:
            continue
        used = positions.setdefault(source, set())
        for control in explained["controls"]:
            if control["reason"] in ENTRY_REASONS and control["line"] is not None:
                used.add((control["line"], control["column"]))
    return positions


def _rounded(percent: Fraction) -> float:
    exact = Decimal(percent.numerator) / Decimal(percent.denominator)
    return float(exact.quantize(Decimal("0.01"), rounding=ROUND_HALF_UP))


def percent_of(covered: int, total: int) -> Fraction:
    """The exact percentage; 100 when there is nothing to cover."""
    return Fraction(100) if total == 0 else Fraction(100 * covered, total)


def coverage(pack_map: Union[str, PackSet], cases: Iterable[Case]) -> Dict[str, Any]:
    """The coverage report as the JSON object ``zorv test --coverage-json``
    writes, for a pack set or a ``packs_json`` text."""
    packset = pack_map if isinstance(pack_map, PackSet) else PackSet(pack_map)
    texts = json.loads(packset.packs_json)
    positions = _covered_positions(packset, cases)
    packs = []
    for key in read_keys(texts):
        entries = pack_entries(texts[key])
        used = positions.get(key, set())
        for entry in entries:
            entry["covered"] = (entry["line"], entry["column"]) in used
        packs.append(
            {
                "key": key,
                "covered": sum(entry["covered"] for entry in entries),
                "total": len(entries),
                "entries": entries,
            }
        )
    covered = sum(pack["covered"] for pack in packs)
    total = sum(pack["total"] for pack in packs)
    return {"packs": packs, "covered": covered, "total": total, "percent": _rounded(percent_of(covered, total))}


def format_text(report: Dict[str, Any], folder: Optional[str] = None) -> str:
    """Per pack ``KEY: C/T entries (P%)``, then each entry no case exercises
    as ``PATH:LINE:COLUMN: ...``; PATH is the key, inside ``folder`` when
    the packs were read from one."""
    lines = []
    for pack in report["packs"]:
        percent = _rounded(percent_of(pack["covered"], pack["total"]))
        lines.append(f"{pack['key']}: {pack['covered']}/{pack['total']} entries ({percent:.2f}%)")
        path = pack["key"] if folder is None else f"{folder.rstrip('/')}/{pack['key']}"
        for entry in pack["entries"]:
            if not entry["covered"]:
                lines.append(
                    f"{path}:{entry['line']}:{entry['column']}: {entry['control']} in {entry['list']} "
                    "is not exercised by any case"
                )
    lines.append(f"coverage: {report['covered']}/{report['total']} entries ({report['percent']:.2f}%)")
    return "\n".join(lines) + "\n"


def threshold_percent(text: str) -> Fraction:
    """A ``--threshold`` value: a percentage from 0 to 100, read exactly."""
    try:
        value = Fraction(text)
    except (ValueError, ZeroDivisionError):
        raise ValueError(f"not a percentage: {text!r}") from None
    if not 0 <= value <= 100:
        raise ValueError(f"not a percentage from 0 to 100: {text!r}")
    return value


def report_coverage(
    packs: Union[str, PackSet],
    cases: List[Case],
    out: Any,
    json_path: Optional[str],
    threshold: Optional[Fraction],
    folder: Optional[str],
) -> int:
    """Prints the coverage after a test run and writes ``json_path``;
    returns 1 when the coverage is below ``threshold``, else 0."""
    report = coverage(packs, cases)
    out.write(format_text(report, folder))
    if json_path is not None:
        with open(json_path, "w", encoding="utf-8") as file:
            file.write(json.dumps(report, ensure_ascii=False, indent=2) + "\n")
    if threshold is not None and percent_of(report["covered"], report["total"]) < threshold:
        out.write(f"coverage {report['percent']:.2f}% is below the threshold of {float(threshold):g}%\n")
        return 1
    return 0
