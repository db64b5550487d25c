"""Every way a call into zorv can end, as a table shared by the leak, thread
and memcheck runs: each success path of both functions and each kind of
failure (unusable JSON of every argument, wrong types, lone surrogates,
binding errors of each kind).

A path is (name, function name, args, kwargs, expected exception type or
None). `call` makes one call and checks that it ended the expected way."""

import json

import zorv

with open("/proc/self/maps") as maps:
    # Run against the build with AddressSanitizer, whose quarantine and shadow
    # memory change every size measured.
    SANITIZED = "libasan" in maps.read()

PACK = """
[meta]
strictness = "as_configured"
last_reviewed_against_guidance = "guidance 2026-09"
effective_from = "2026-01-01"
effective_until = "2027-12-31"
[meta.legal_review]
status = "approved"
[subject.card]
controls = ["mfa", "tokenisation", "fingerprinting"]
[legally_required]
controls = ["mfa"]
[prohibited]
controls = ["fingerprinting"]
"""
# A pack big enough that keeping any copy of it per call would show at once.
BIG_PACK = PACK + "".join(f'[subject.s{i}]\ncontrols = ["c{i}", "mfa"]\n' for i in range(400))
NO_FLOOR_PACK = '[meta]\nstrictness = "minimal"\n[subject.card]\ncontrols = ["mfa"]\n'

PACKS = json.dumps({"retail/payments.zorv.toml": PACK, "other/payments.toml": BIG_PACK})
QUERY_FIELDS = {
    "domain": "payments",
    "profile": "retail",
    "jurisdiction": "EU",
    "subject": "card",
    "universe": ["tokenisation", "mfa", "audit", "fingerprinting"],
    "as_of": "2026-06-01",
}
QUERY = json.dumps(QUERY_FIELDS)
CONTEXT_FIELDS = {
    "record_id": "r-1",
    "issued_at": "2026-06-01T00:00:00Z",
    "issued_at_unix": 1780272000,
    "language": "en",
    "pii_principal_id": "p-1",
    "pii_controller": "Example Ltd",
    "policy_url": "https://example.test/policy",
    "domain": "payments",
    "subject": "card",
    "operations": ["collect"],
    "jurisdictions": ["EU"],
    "attribution_source": "checkout",
    "gpc_signal": True,
    "ai_disclosure": {"disclosed_at": "2026-06-01", "method": "banner"},
    "pack_sha256": "00ff",
}
CONTEXT = json.dumps(CONTEXT_FIELDS)


def query(**changes):
    return json.dumps({**QUERY_FIELDS, **changes})


def context(**changes):
    return json.dumps({**CONTEXT_FIELDS, **changes})


R, RR = "resolve", "resolve_with_receipts"
PATHS = [
    # Decisions, one per way a decision is reached.
    ("pack decision", R, (PACKS, QUERY), {}, None),
    ("dial given", R, (PACKS, QUERY, "minimal"), {}, None),
    ("unrecognised dial", R, (PACKS, QUERY, "strict\u00e9"), {}, None),
    ("keyword arguments", R, (), {"packs_json": PACKS, "query_json": QUERY, "strictness_override": None}, None),
    ("big pack", R, (PACKS, query(profile="other")), {}, None),
    ("missing pack", R, ("{}", QUERY), {}, None),
    ("malformed pack", R, (json.dumps({"retail/payments.zorv.toml": "[meta"}), QUERY), {}, None),
    ("outside envelope", R, (PACKS, query(as_of="2030-01-01")), {}, None),
    ("no floor under minimal", R, (json.dumps({"retail/payments.toml": NO_FLOOR_PACK}), QUERY), {}, None),
    ("receipts", RR, (PACKS, QUERY, CONTEXT), {}, None),
    ("receipts with dial", RR, (PACKS, QUERY, CONTEXT, "aggressive"), {}, None),
    ("receipts of a fall-back", RR, ("{}", QUERY, context(ai_disclosure=None, policy_url=None)), {}, None),
    # Unusable JSON, each argument.
    ("packs not JSON", R, ("{", QUERY), {}, ValueError),
    ("packs not a map", R, ("[]", QUERY), {}, ValueError),
    ("pack not a string", R, ('{"a/b.toml": 1}', QUERY), {}, ValueError),
    ("query not JSON", R, (PACKS, "nope"), {}, ValueError),
    ("query field missing", R, (PACKS, "{}"), {}, ValueError),
    ("query field twice", R, (PACKS, QUERY[:-1] + ', "domain": "x"}'), {}, ValueError),
    ("query universe of numbers", R, (PACKS, query(universe=[1, 2])), {}, ValueError),
    ("query too deep", R, (PACKS, '{"note": ' + "[" * 200), {}, ValueError),
    ("query trailing text", R, (PACKS, QUERY + " x"), {}, ValueError),
    ("query bad escape", R, (PACKS, '{"domain": "\\ud800"}'), {}, ValueError),
    ("context not JSON", RR, (PACKS, QUERY, "{"), {}, ValueError),
    ("context field missing", RR, (PACKS, QUERY, "{}"), {}, ValueError),
    ("context negative timestamp", RR, (PACKS, QUERY, context(issued_at_unix=-1)), {}, ValueError),
    ("context float timestamp", RR, (PACKS, QUERY, context(issued_at_unix=1.5)), {}, ValueError),
    ("disclosure missing method", RR, (PACKS, QUERY, context(ai_disclosure={"disclosed_at": "x"})), {}, ValueError),
    # Arguments of the wrong type.
    ("bytes packs", R, (b"{}", QUERY), {}, TypeError),
    ("None query", R, (PACKS, None), {}, TypeError),
    ("int dial", R, (PACKS, QUERY, 1), {}, TypeError),
    ("dict context", RR, (PACKS, QUERY, {"record_id": "r"}), {}, TypeError),
    # Lone surrogates, each argument.
    ("surrogate packs", R, ("\ud800", QUERY), {}, UnicodeEncodeError),
    ("surrogate query", R, (PACKS, "\udfff"), {}, UnicodeEncodeError),
    ("surrogate dial", R, (PACKS, QUERY, "min\ud800imal"), {}, UnicodeEncodeError),
    ("surrogate context", RR, (PACKS, QUERY, "{\ud800}"), {}, UnicodeEncodeError),
    # Binding, each kind of error.
    ("missing argument", R, (PACKS,), {}, TypeError),
    ("missing arguments", RR, (), {}, TypeError),
    ("too many arguments", R, (PACKS, QUERY, None, 1), {}, TypeError),
    ("unexpected keyword", R, (PACKS, QUERY), {"dial": "minimal"}, TypeError),
    ("argument twice", RR, (PACKS, QUERY, CONTEXT), {"ctx_json": CONTEXT}, TypeError),
]


def call(path):
    """Makes the call of `path`; returns its text, or the exception's message
    when it raised the expected type. Any other outcome raises."""
    name, function, args, kwargs, expected = path
    try:
        result = getattr(zorv, function)(*args, **kwargs)
    except Exception as raised:
        if expected is None or type(raised) is not expected:
            raise AssertionError(f"{name}: unexpected {type(raised).__name__}: {raised}") from raised
        return str(raised)
    if expected is not None:
        raise AssertionError(f"{name}: returned instead of raising {expected.__name__}")
    return result
