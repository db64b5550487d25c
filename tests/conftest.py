import json
import pathlib

import pytest

REPO = pathlib.Path(__file__).resolve().parent.parent
TESTDATA = REPO / "testdata"

PACK = """
[meta]
strictness = "as_configured"
last_reviewed_against_guidance = "guidance 2026-09"
[meta.legal_review]
status = "approved"
[subject.card]
controls = ["mfa", "tokenisation", "fingerprinting"]
[legally_required]
controls = ["mfa"]
[prohibited]
controls = ["fingerprinting"]
"""

QUERY = {
    "domain": "payments",
    "profile": "retail",
    "jurisdiction": "EU",
    "subject": "card",
    "universe": ["tokenisation", "mfa", "audit", "fingerprinting", "mfa"],
}


@pytest.fixture
def packs_json():
    return json.dumps({"retail/payments.zorv.toml": PACK})


@pytest.fixture
def query_json():
    return json.dumps(QUERY)
