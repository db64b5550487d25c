"""Mistakes in a query or its packs that change the answer without an
error: the resolver must answer them as it does, so the command warns.

Each check takes what the command already has (the query text, the
explanation of its decision, the pack keys) and returns warning texts; none
changes a decision.
"""

import json
from typing import Any, Dict, Iterable, List, Optional, Tuple

from .names import nearest

__all__ = [
    "DIALS",
    "QUERY_KEYS",
    "decision_warnings",
    "many_query_key_warnings",
    "override_warnings",
    "query_object",
    "unrecognised_dial",
]

# A query with thousands of stray keys gets this many warnings and a count.
MOST_KEY_WARNINGS = 5
QUERY_KEYS = ("domain", "profile", "jurisdiction", "subject", "universe", "as_of")
DIALS = ("aggressive", "as_configured", "minimal")


def query_object(query_json: str) -> Dict[str, Any]:
    """The query as a dict; empty when the text is no JSON object (the
    resolver reports that in its own words)."""
    try:
        query = json.loads(query_json)
    except (ValueError, RecursionError):
        return {}
    return query if isinstance(query, dict) else {}


def many_query_key_warnings(queries: Iterable[Tuple[str, Dict[str, Any]]]) -> List[str]:
    """A warning for each key of a query that the query format does not
    define (the resolver skips it), with the defined key it is closest to,
    led by the query's place (``"queries.jsonl:3: "``): the first few of
    all the queries', then how many more there are."""
    warnings: List[str] = []
    more = 0
    for place, query in queries:
        for key in query:
            if key in QUERY_KEYS:
                continue
            if len(warnings) == MOST_KEY_WARNINGS:
                more += 1
                continue
            close = nearest(key, QUERY_KEYS)
            warnings.append(
                f"{place}the query key `{key}` is not one the resolver reads: it is ignored"
                + (f" (did you mean `{close}`?)" if close else "")
            )
    if more:
        warnings.append(f"{more} more query keys the resolver does not read")
    return warnings


def override_warnings(strictness: Optional[str]) -> List[str]:
    """A warning when the caller's dial is none of the three."""
    if strictness is None or strictness in DIALS:
        return []
    close = nearest(strictness, DIALS)
    return [_dial_warning(strictness, "the override", close)]


def _dial_warning(dial: str, given: str, close: Optional[str]) -> str:
    return (
        f"the dial `{dial}` from {given} is none of {', '.join(DIALS)}: it resolves like aggressive, "
        "requiring the whole universe" + (f" (did you mean `{close}`?)" if close else "")
    )


def unrecognised_dial(explained: Dict[str, Any]) -> bool:
    """Whether the decision's dial is text other than the three dials."""
    return explained["fall_back"] is None and explained["strictness"]["effective"] not in DIALS


def decision_warnings(explained: Dict[str, Any], subject: Any, pack_keys: Iterable[str]) -> List[str]:
    """Warnings about how a decision came about: a dial that is not one of
    the three, a subject the pack does not list under ``as_configured``, a
    pack that is not there."""
    warnings = []
    strictness = explained["strictness"]
    source = explained["pack"]["source"]
    if unrecognised_dial(explained):
        dial = strictness["effective"]
        given = "the override" if strictness["from"] == "override" else f"`{source}`"
        warnings.append(_dial_warning(dial, given, nearest(dial, DIALS)))
    if (
        strictness["effective"] == "as_configured"
        and explained["fall_back"] is None
        and any(entry["reason"] == "universe" for entry in explained["controls"])
    ):
        warnings.append(
            f"`{source}` does not list the subject {json.dumps(subject, ensure_ascii=False)}: "
            "as_configured then requires the whole universe"
        )
    fall_back = explained["fall_back"]
    if fall_back is not None and fall_back["kind"] == "missing":
        tried = explained["pack"]["tried"]
        keys = list(pack_keys)
        near = sorted({found for found in (nearest(key, keys, 3) for key in tried) if found is not None})
        have = f"the nearest there is `{near[0]}`" if near else f"there are {len(keys)} other pack(s)"
        warnings.append(
            f"no pack under {' or '.join(f'`{key}`' for key in tried)}; {have}: the decision "
            "requires the whole universe"
        )
    return warnings
