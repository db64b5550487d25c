"""zorv_tools.diff held to zorv.resolve on random pack edits: every witness
answers differently, every query that answers differently is covered by
exactly the change whose answers it gets, and layout never makes a change."""

import json
import random
from typing import Any, Dict, List, Optional

import pack_edits
import pytest
import zorv
import zorv_tools

QUERY_DIALS = [None, "aggressive", "as_configured", "minimal", "AGGRESSIVE", ""]
AS_OFS = [
    None,
    "",
    "2024-12-31",
    "2025-01-01",
    "2025-01-01T00:00:00Z",
    "2025-01-01T09:00:00Z",
    "2025-06-01",
    "2026-06-30",
    "2026-12-31",
    "2027",
    "2027-01-01",
    "2030",
]
SEEDS = range(120)


def _bytes(text: str) -> bytes:
    return text.encode("utf-8")


def _in_range(as_of: str, entry: Dict[str, Any]) -> bool:
    value = _bytes(as_of)
    if entry["from"] is not None:
        low = _bytes(entry["from"])
        if value < low or (value == low and not entry["from_inclusive"]):
            return False
    if entry["until"] is not None:
        high = _bytes(entry["until"])
        if value > high or (value == high and not entry["until_inclusive"]):
            return False
    return True


def _covers(change: Dict[str, Any], as_of: Optional[str]) -> bool:
    window = change["as_of"]
    if window is None:
        return True
    if as_of is None:
        return window["without_date"]
    return any(_in_range(as_of, entry) for entry in window["ranges"])


def _applied(rule: Dict[str, List[str]], universe: List[str]) -> List[str]:
    if "controls" in rule:
        return sorted({key for key in universe if key in rule["controls"]}, key=_bytes)
    return sorted({key for key in universe if key not in rule["all_except"]}, key=_bytes)


def _expected_decision(answer: Dict[str, Any], universe: List[str], dial: Optional[str]) -> Dict[str, Any]:
    """What resolve gives for ``universe`` under ``answer``. An unrecognised
    dial answers like aggressive but echoes its own text."""
    strictness = answer["strictness"]
    if dial not in (None, "aggressive", "as_configured", "minimal") and not answer["fell_back"]:
        strictness = dial
    return {
        "required": _applied(answer["required"], universe),
        "source": answer["source"],
        "strictness": strictness,
        "fell_back": answer["fell_back"],
        "legal_review_status": answer["legal_review_status"],
        "last_reviewed_against_guidance": answer["last_reviewed_against_guidance"],
    }


def _decision(packs_json: str, query: Dict[str, Any], dial: Optional[str]) -> Dict[str, Any]:
    decided = json.loads(zorv.resolve(packs_json, json.dumps(query), dial))
    provenance = decided["provenance"]
    return {
        "required": decided["required"],
        "source": provenance["source"],
        "strictness": provenance["strictness"],
        "fell_back": provenance["fell_back"],
        "legal_review_status": provenance["legal_review_status"],
        "last_reviewed_against_guidance": provenance["last_reviewed_against_guidance"],
    }


def _dial_class(dial: Optional[str]) -> Optional[str]:
    if dial is None or dial in ("aggressive", "as_configured", "minimal"):
        return dial
    return "aggressive"


def _check_change_algebra(change: Dict[str, Any], universe: List[str]) -> None:
    before = set(_applied(change["before"]["required"], universe))
    after = set(_applied(change["after"]["required"], universe))
    assert set(_applied(change["added"], universe)) == after - before
    assert set(_applied(change["removed"], universe)) == before - after
    assert change["loosens"] == ("all_except" in change["removed"] or bool(change["removed"]["controls"]))


@pytest.mark.parametrize("seed", SEEDS)
def test_diff_answers_exactly_like_resolve(seed):
    rng = random.Random(seed)
    old = pack_edits.random_map(rng)
    new = pack_edits.edited(rng, old)
    old_json, new_json = pack_edits.packs_json(old), pack_edits.packs_json(new)
    result = json.loads(zorv_tools.diff(old_json, new_json))

    for change in result["changes"]:
        witness = change["witness"]
        query, dial = witness["query"], witness["strictness"]
        assert query["profile"] + "/" + query["domain"] == change["pack"]
        got_old, got_new = _decision(old_json, query, dial), _decision(new_json, query, dial)
        assert got_old != got_new
        assert got_old == _expected_decision(change["before"], query["universe"], dial)
        assert got_new == _expected_decision(change["after"], query["universe"], dial)

    universe_pool = pack_edits.CONTROLS + ["unnamed"]
    for _ in range(150):
        stem = rng.choice(pack_edits.STEMS + ["retail/absent"])
        profile, domain = stem.split("/", 1)
        subject = rng.choice(pack_edits.SUBJECTS + ["someone else"])
        universe = rng.sample(universe_pool, rng.randint(0, len(universe_pool)))
        as_of, dial = rng.choice(AS_OFS), rng.choice(QUERY_DIALS)
        query = {"domain": domain, "profile": profile, "jurisdiction": "EU", "subject": subject, "universe": universe}
        if as_of is not None:
            query["as_of"] = as_of
        listed = set(pack_edits.listed_subjects(old, stem)) | set(pack_edits.listed_subjects(new, stem))
        subject_class = subject if subject in listed else None
        covering = [
            change
            for change in result["changes"]
            if change["pack"] == stem
            and change["subject"] == subject_class
            and change["strictness"] == _dial_class(dial)
            and _covers(change, as_of)
        ]
        assert len(covering) <= 1
        got_old, got_new = _decision(old_json, query, dial), _decision(new_json, query, dial)
        if not covering:
            assert got_old == got_new, (query, dial)
            continue
        change = covering[0]
        assert got_old == _expected_decision(change["before"], universe, dial)
        assert got_new == _expected_decision(change["after"], universe, dial)
        _check_change_algebra(change, universe)

    summary = result["summary"]
    assert summary["changes"] == len(result["changes"])
    assert summary["loosening"] == sum(change["loosens"] for change in result["changes"])
    assert summary["changed_stems"] == len({change["pack"] for change in result["changes"]})


@pytest.mark.parametrize("seed", SEEDS)
def test_layout_alone_changes_nothing(seed):
    rng = random.Random(seed)
    packs = pack_edits.random_map(rng)
    plain = pack_edits.packs_json(packs)
    for other in (plain, pack_edits.packs_json(packs, rng)):
        result = json.loads(zorv_tools.diff(plain, other))
        assert result["changes"] == []
        assert result["summary"]["changed_stems"] == 0


def _change_order(change: Dict[str, Any]):
    window = change["as_of"]
    first = None if window is None or not window["ranges"] else window["ranges"][0]
    return (
        _bytes(change["pack"]),
        change["subject"] is None,
        _bytes(change["subject"] or ""),
        change["strictness"] is not None,
        _bytes(change["strictness"] or ""),
        window is not None,
        window is not None and not window["without_date"],
        first is not None and first["from"] is not None,
        _bytes(first["from"] or "") if first else b"",
        first is not None and not first["from_inclusive"],
    )


@pytest.mark.parametrize("seed", SEEDS[:20])
def test_changes_come_sorted_and_the_same_every_time(seed):
    rng = random.Random(seed)
    old = pack_edits.random_map(rng)
    new = pack_edits.edited(rng, old)
    text = zorv_tools.diff(pack_edits.packs_json(old), pack_edits.packs_json(new))
    changes = json.loads(text)["changes"]
    assert [_change_order(change) for change in changes] == sorted(_change_order(change) for change in changes)
    assert zorv_tools.diff(pack_edits.packs_json(old, rng), pack_edits.packs_json(new, rng)) == text
