"""Random pack maps and random edits of them, for the diff tests.

A pack is modelled as a dict and written as TOML in one of several layouts
(section headers, dotted keys, inline tables, lists shuffled and repeated,
comments), so that one model has many texts that must all answer alike.
"""

import copy
import json
import random
from typing import Any, Dict, List, Optional

CONTROLS = ["a", "b", "c", "MFA", "mfa", ""]
SUBJECTS = ["card", "wallet", "pii.health", ""]
BOUNDS = ["2025-01-01", "2025-01-01T09:00:00Z", "2026-06-30", "2027"]
PACK_DIALS = [None, "aggressive", "as_configured", "minimal", "Minimal"]
STEMS = ["retail/payments", "health/telemetry", "a/b/c"]

Pack = Dict[str, Any]


def random_pack(rng: random.Random) -> Pack:
    pack: Pack = {
        "strictness": rng.choice(PACK_DIALS),
        "effective_from": rng.choice([None, None] + BOUNDS),
        "effective_until": rng.choice([None, None] + BOUNDS),
        "status": rng.choice([None, "approved", "draft"]),
        "reviewed": rng.choice([None, "guidance 2026-09"]),
        "subjects": {name: rng.sample(CONTROLS, rng.randint(0, 3)) for name in rng.sample(SUBJECTS, rng.randint(0, 3))},
        "floor": rng.choice([None, [], rng.sample(CONTROLS, rng.randint(1, 2))]),
        "prohibited": rng.choice([None, [], rng.sample(CONTROLS, rng.randint(1, 2))]),
        "malformed": rng.random() < 0.08,
    }
    return pack


def random_map(rng: random.Random) -> Dict[str, Optional[Pack]]:
    """Pack key to pack model."""
    packs: Dict[str, Optional[Pack]] = {}
    for stem in STEMS:
        for ending in rng.choice([[], [".zorv.toml"], [".toml"], [".zorv.toml", ".toml"]]):
            packs[stem + ending] = random_pack(rng)
    if rng.random() < 0.2:
        packs["orphan.toml"] = random_pack(rng)  # no "/": no query reaches it
    return packs


def _toggle(rng: random.Random, items: List[str]) -> None:
    control = rng.choice(CONTROLS)
    if control in items:
        items.remove(control)
    else:
        items.append(control)


def _edit_pack(rng: random.Random, pack: Pack) -> None:
    kind = rng.choice(
        [
            "subject-list",
            "floor",
            "prohibited",
            "dial",
            "window",
            "review",
            "add-subject",
            "remove-subject",
            "rename-subject",
            "malformed",
        ]
    )
    if kind == "subject-list" and pack["subjects"]:
        _toggle(rng, pack["subjects"][rng.choice(sorted(pack["subjects"]))])
    elif kind in ("floor", "prohibited"):
        if pack[kind] is None or rng.random() < 0.2:
            pack[kind] = None if pack[kind] is not None else []
        else:
            _toggle(rng, pack[kind])
    elif kind == "dial":
        pack["strictness"] = rng.choice(PACK_DIALS)
    elif kind == "window":
        pack[rng.choice(["effective_from", "effective_until"])] = rng.choice([None] + BOUNDS)
    elif kind == "review":
        pack[rng.choice(["status", "reviewed"])] = rng.choice([None, "approved", "revoked"])
    elif kind == "add-subject":
        pack["subjects"].setdefault(rng.choice(SUBJECTS), rng.sample(CONTROLS, 2))
    elif kind in ("remove-subject", "rename-subject") and pack["subjects"]:
        name = rng.choice(sorted(pack["subjects"]))
        controls = pack["subjects"].pop(name)
        if kind == "rename-subject":
            pack["subjects"][rng.choice(SUBJECTS)] = controls
    elif kind == "malformed":
        pack["malformed"] = not pack["malformed"]


def edited(rng: random.Random, packs: Dict[str, Optional[Pack]]) -> Dict[str, Optional[Pack]]:
    """A copy of ``packs`` with one to three random edits."""
    packs = copy.deepcopy(packs)
    for _ in range(rng.randint(1, 3)):
        kind = rng.choice(["pack", "pack", "pack", "add", "remove", "zorv-beside"])
        if kind == "pack" and packs:
            _edit_pack(rng, packs[rng.choice(sorted(packs))])
        elif kind == "add":
            packs[rng.choice(STEMS) + rng.choice([".zorv.toml", ".toml"])] = random_pack(rng)
        elif kind == "remove" and packs:
            del packs[rng.choice(sorted(packs))]
        elif kind == "zorv-beside":
            plain = [key for key in packs if key.endswith(".toml") and not key.endswith(".zorv.toml")]
            if plain:
                packs[rng.choice(plain)[: -len(".toml")] + ".zorv.toml"] = random_pack(rng)
    return packs


def _string(text: str) -> str:
    return json.dumps(text)  # a JSON string is a TOML basic string here


def _list(rng: Optional[random.Random], items: List[str]) -> str:
    items = list(items)
    if rng is not None:
        items = items + rng.sample(items, min(len(items), rng.randint(0, 2)))
        rng.shuffle(items)
    return "[" + ", ".join(_string(item) for item in items) + "]"


def pack_text(pack: Pack, rng: Optional[random.Random] = None) -> str:
    """The pack as TOML; with ``rng``, in a random layout that means the same."""
    if pack["malformed"]:
        return "[meta]\nstrictness = 1\n"
    comment = "# reviewed by the pack owners\n" if rng is not None and rng.random() < 0.5 else ""
    meta = [
        (key, pack[field])
        for key, field in (
            ("strictness", "strictness"),
            ("last_reviewed_against_guidance", "reviewed"),
            ("effective_from", "effective_from"),
            ("effective_until", "effective_until"),
        )
        if pack[field] is not None
    ]
    if rng is not None:
        rng.shuffle(meta)
    dotted = rng is not None and rng.random() < 0.5
    lines = [comment]
    if dotted:
        lines += [f"meta.{key} = {_string(value)}" for key, value in meta]
        lines.append(
            "meta.legal_review = {}"
            if pack["status"] is None
            else f"meta.legal_review.status = {_string(pack['status'])}"
        )
        for name, controls in pack["subjects"].items():
            lines.append(f"subject.{_string(name)} = {{ controls = {_list(rng, controls)} }}")
        for table in ("floor", "prohibited"):
            if pack[table] is not None:
                key = "legally_required" if table == "floor" else "prohibited"
                lines.append(f"{key}.controls = {_list(rng, pack[table])}")
    else:
        lines.append("[meta]")
        lines += [f"{key} = {_string(value)}" for key, value in meta]
        if pack["status"] is not None:
            lines += ["[meta.legal_review]", f"status = {_string(pack['status'])}"]
        subjects = list(pack["subjects"].items())
        if rng is not None:
            rng.shuffle(subjects)
        for name, controls in subjects:
            lines += [f"[subject.{_string(name)}]", f"controls = {_list(rng, controls)}"]
        for table in ("floor", "prohibited"):
            if pack[table] is not None:
                lines.append("[legally_required]" if table == "floor" else "[prohibited]")
                lines.append(f"controls = {_list(rng, pack[table])}")
    return "\n".join(lines) + "\n"


def packs_json(packs: Dict[str, Optional[Pack]], rng: Optional[random.Random] = None) -> str:
    keys = sorted(packs)
    if rng is not None:
        rng.shuffle(keys)
    return json.dumps({key: pack_text(packs[key], rng) for key in keys})


def reached(packs: Dict[str, Optional[Pack]], stem: str) -> Optional[Pack]:
    """The pack the resolver answers ``stem`` from, or None."""
    for ending in (".zorv.toml", ".toml"):
        if stem + ending in packs:
            return packs[stem + ending]
    return None


def listed_subjects(packs: Dict[str, Optional[Pack]], stem: str) -> List[str]:
    pack = reached(packs, stem)
    return [] if pack is None or pack["malformed"] else list(pack["subjects"])
