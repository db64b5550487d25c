"""Random pack maps and query rows for the Arrow kernel and the engines.

The map holds a pack for every kind of answer: usable packs under both key
forms, a pack shadowed by its ``.zorv.toml``, TOML that does not parse, a
pack of the wrong shape, packs out of their window and one without a legal
floor; the rows ask for those and for packs that are missing, under every
dial (recognised or not, per row or for the call).
"""

import hashlib
import json
import random
from typing import Dict, List, Optional

CONTROLS = ["mfa", "tokenisation", "audit", "fingerprinting", "Consent", "ünïcode", 'a"quote', "tab\tkey"]
DIALS = [None, "aggressive", "as_configured", "minimal", "Minimal", ""]

_FULL = """
[meta]
strictness = "{dial}"
effective_from = "2026-01-01"
effective_until = "2026-12-31"
last_reviewed_against_guidance = "guidance 2026-09"
[meta.legal_review]
status = "approved"
[subject.card]
controls = {card}
[subject.empty]
[legally_required]
controls = {floor}
[prohibited]
controls = ["fingerprinting"]
"""

PACKS: Dict[str, str] = {
    "retail/payments.zorv.toml": _FULL.format(dial="as_configured", card='["mfa", "tokenisation"]', floor='["mfa"]'),
    "retail/payments.toml": "[meta]\n",  # shadowed by the .zorv.toml above
    "retail/identity.toml": _FULL.format(dial="minimal", card='["audit", "Consent"]', floor='["audit"]'),
    "health/payments.zorv.toml": "[meta\nbroken",
    "health/identity.zorv.toml": "[meta]\nstrictness = 5\n",
    "health/records.zorv.toml": '[meta]\nstrictness = "minimal"\n',  # no legal floor
    "gov/payments.zorv.toml": _FULL.format(dial="weird", card='["ünïcode"]', floor="[]"),
}
PROFILES = ["retail", "health", "gov", "nobody"]
DOMAINS = ["payments", "identity", "records"]
SUBJECTS = ["card", "empty", "unlisted"]
DATES = [None, "2025-06-01", "2026-06-01", "2027-01-01"]


def packs_json() -> str:
    return json.dumps(PACKS)


def random_rows(count: int, seed: int, with_dial: bool = True) -> List[dict]:
    rng = random.Random(seed)
    rows = []
    for _ in range(count):
        row = {
            "domain": rng.choice(DOMAINS),
            "profile": rng.choice(PROFILES),
            "jurisdiction": rng.choice(["EU", "US", ""]),
            "subject": rng.choice(SUBJECTS),
            "universe": rng.sample(CONTROLS, rng.randint(0, len(CONTROLS))) + rng.choice([[], ["mfa"]]),
            "as_of": rng.choice(DATES),
        }
        if with_dial:
            row["strictness"] = rng.choice(DIALS)
        rows.append(row)
    return rows


def query_json(row: dict) -> str:
    return json.dumps({key: row[key] for key in ("domain", "profile", "jurisdiction", "subject", "universe", "as_of")})


def expected_sha256(row: dict) -> Optional[str]:
    """The hash of the text filed under the first lookup key the map holds."""
    for suffix in (".zorv.toml", ".toml"):
        text = PACKS.get(f"{row['profile']}/{row['domain']}{suffix}")
        if text is not None:
            return hashlib.sha256(text.encode("utf-8")).hexdigest()
    return None


def expected_row(packset, row: dict, strictness_override: Optional[str] = None) -> dict:
    """The whole output row the kernel owes ``row``, from ``PackSet.resolve``."""
    dial = row.get("strictness")
    text = packset.resolve(query_json(row), dial if dial is not None else strictness_override)
    decision = json.loads(text)
    return {
        "decision": text,
        "required": decision["required"],
        "source": decision["provenance"]["source"],
        "strictness": decision["provenance"]["strictness"],
        "fell_back": decision["provenance"]["fell_back"],
        "pack_sha256": expected_sha256(row),
    }


# The packs of arrow_cases.PACKS after a change of every kind: controls
# added and removed, a dial changed, a pack broken, one removed, one mended.
CHANGED_PACKS: Dict[str, str] = dict(PACKS)
CHANGED_PACKS["retail/payments.zorv.toml"] = _FULL.format(
    dial="as_configured", card='["tokenisation", "audit"]', floor='["mfa"]'
)
CHANGED_PACKS["retail/identity.toml"] = _FULL.format(dial="aggressive", card='["audit"]', floor='["audit"]')
CHANGED_PACKS["gov/payments.zorv.toml"] = "[meta\n"
CHANGED_PACKS["health/payments.zorv.toml"] = _FULL.format(dial="minimal", card="[]", floor='["Consent"]')
del CHANGED_PACKS["health/identity.zorv.toml"]
CHANGED_PACKS["health/records.zorv.toml"] = PACKS["health/records.zorv.toml"].replace("minimal", "as_configured")


def changed_packs_json() -> str:
    return json.dumps(CHANGED_PACKS)
