"""The readable forms of a ``zorv diff`` result: text and Markdown.

Entries that differ only in their subject class are shown once, with every
subject they hold for, since a change to the prohibited list or to a window
is the same for every subject.
"""

from typing import Any, Dict, List, Optional, Tuple

__all__ = ["format_markdown", "format_text"]

Change = Dict[str, Any]


def _subject_name(subject: Optional[str]) -> str:
    return "any other subject" if subject is None else subject


def _group(changes: List[Change]) -> List[Tuple[Change, List[Optional[str]]]]:
    """Changes that differ only by subject, merged, in the order of their
    first entry; each with the subjects it holds for."""
    groups: Dict[str, Tuple[Change, List[Optional[str]]]] = {}
    for change in changes:
        shared = {name: value for name, value in change.items() if name not in ("subject", "witness")}
        key = repr(sorted(shared.items(), key=lambda item: item[0]))
        if key not in groups:
            groups[key] = (change, [])
        groups[key][1].append(change["subject"])
    return list(groups.values())


def _subjects(subjects: List[Optional[str]]) -> str:
    names = [_subject_name(subject) for subject in subjects]
    if len(names) == 1:
        return "subject " + names[0] if subjects[0] is not None else names[0]
    return "subjects " + ", ".join(names[:-1]) + " and " + names[-1]


def _dial(strictness: Optional[str]) -> str:
    return "pack's own dial" if strictness is None else f"dial {strictness}"


def _range(entry: Dict[str, Any]) -> str:
    low, high = entry["from"], entry["until"]
    if low is not None and low == high:
        return f"exactly {low}"
    words = []
    if low is not None:
        words.append(("from " if entry["from_inclusive"] else "after ") + low)
    if high is not None:
        words.append(("through " if entry["until_inclusive"] else "before ") + high)
    return " ".join(words) if words else "any date"


def _as_of(as_of: Optional[Dict[str, Any]]) -> str:
    if as_of is None:
        return "every query"
    parts = ["queries without a date"] if as_of["without_date"] else []
    if as_of["ranges"]:
        parts.append("queries dated " + ", ".join(_range(entry) for entry in as_of["ranges"]))
    return " and ".join(parts)


def _keys(required: Dict[str, List[str]]) -> Tuple[bool, str]:
    if "all_except" in required:
        excepted = required["all_except"]
        return True, "every control" + (" except " + ", ".join(excepted) if excepted else "")
    return False, ", ".join(required["controls"])


def _effects(change: Change) -> List[str]:
    """What the change does, in words, each a clause."""
    before, after = change["before"], change["after"]
    clauses = []
    if after["fell_back"] and not before["fell_back"]:
        clauses.append(f"now falls back ({after['source']})")
    elif before["fell_back"] and not after["fell_back"]:
        clauses.append(f"no longer falls back (answered from {after['source']})")
    elif before["source"] != after["source"]:
        clauses.append(f"now answered from {after['source']} instead of {before['source']}")
    for name, word in (("added", "now also requires "), ("removed", "no longer requires ")):
        whole, keys = _keys(change[name])
        if whole or keys:
            clauses.append(word + keys + (" [loosens]" if name == "removed" else ""))
    for field in ("strictness", "legal_review_status", "last_reviewed_against_guidance"):
        if not before["fell_back"] and not after["fell_back"] and before[field] != after[field]:
            clauses.append(f"{field} {_shown(before[field])} -> {_shown(after[field])}")
    return clauses or ["answers differently"]


def _shown(value: Optional[str]) -> str:
    return "(none)" if value is None else repr(value)


def _summary(result: Dict[str, Any]) -> str:
    summary = result["summary"]
    return (
        f"{summary['changes']} change(s), {summary['loosening']} loosening, in {summary['changed_stems']} "
        f"of {summary['stems']} pack(s)"
    )


def format_text(result: Dict[str, Any]) -> str:
    """One paragraph per change, then the summary line."""
    paragraphs = []
    for change, subjects in _group(result["changes"]):
        head = f"{change['pack']}, {_subjects(subjects)}, {_dial(change['strictness'])}"
        effects = "; ".join(_effects(change))
        scope = "" if change["as_of"] is None else f" (for {_as_of(change['as_of'])})"
        paragraphs.append(f"{head}: {effects}{scope}\n")
    paragraphs.append(_summary(result) + "\n")
    return "\n".join(paragraphs)


def _cell(text: str) -> str:
    return text.replace("\\", "\\\\").replace("|", "\\|").replace("\n", " ")


def format_markdown(result: Dict[str, Any]) -> str:
    """A table for a pull-request comment, loosening changes first."""
    groups = _group(result["changes"])
    groups.sort(key=lambda group: not group[0]["loosens"])
    lines = ["### zorv diff", "", _summary(result), ""]
    if groups:
        lines += ["| | pack | subjects | dial | when | change |", "|---|---|---|---|---|---|"]
        for change, subjects in groups:
            mark = "⚠️ **loosens**" if change["loosens"] else ""
            names = ", ".join(_subject_name(subject) for subject in subjects)
            cells = [
                mark,
                change["pack"],
                names,
                _dial(change["strictness"]),
                _as_of(change["as_of"]),
                "; ".join(_effects(change)),
            ]
            lines.append("| " + " | ".join(_cell(cell) for cell in cells) + " |")
    return "\n".join(lines) + "\n"
