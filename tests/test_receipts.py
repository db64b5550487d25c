"""Both receipts of resolve_with_receipts, read by real clients of their formats.

The DPV receipt is expanded by a JSON-LD processor (pyld) and its DPV terms are
looked up in the published vocabulary; the Kantara receipt is validated
against the published Kantara CR v1.1 JSON Schema; the combined text is
compared with RFC 8785 canonical JSON. Inputs are small inline packs, queries
and contexts.
"""

import copy
import functools
import json
from pathlib import Path

import jsonschema
import pytest
import rfc8785
import zorv
from pyld import jsonld

TESTDATA = Path(__file__).resolve().parents[1] / "testdata" / "standards"
DPV_VOCABULARY = TESTDATA / "w3c-dpv" / "dpv.jsonld"
KANTARA_SCHEMA = TESTDATA / "kantara-cr-v1.1" / "kantara-consent-receipt-v1_1-schema.json"

DPV_NS = "https://w3id.org/dpv#"
RDFS_CLASS = "http://www.w3.org/2000/01/rdf-schema#Class"
RDF_PROPERTY = "http://www.w3.org/1999/02/22-rdf-syntax-ns#Property"

PACK_KEY = "retail/payments.zorv.toml"
PACK = """
[meta]
strictness = "as_configured"
last_reviewed_against_guidance = "EDPB-2024-07"
[meta.legal_review]
status = "approved"

[subject.card]
controls = ["tokenisation", "mfa", "not_in_universe"]

[legally_required]
controls = ["mfa"]

[prohibited]
controls = ["sms_otp"]
"""
PACKS = json.dumps({PACK_KEY: PACK})
UNIVERSE = ["tokenisation", "sms_otp", "mfa", "audit_log", "mfa"]
QUERY = json.dumps(
    {"domain": "payments", "profile": "retail", "jurisdiction": "EU", "subject": "card", "universe": UNIVERSE}
)

# Every character class the writer treats differently, and non-BMP text.
AWKWARD = '\u0000\u0001\u001f\b\t\n\f\r"\\/\u007f é—\u2028😀'
AWKWARD_QUERY = json.dumps(
    {
        "domain": "payments",
        "profile": "retail",
        "jurisdiction": "EU",
        "subject": "card",
        "universe": ["mfa", "ctl" + AWKWARD],
    }
)

MINIMAL_CTX = {
    "record_id": "rcpt-0001",
    "issued_at": "2025-01-01T00:00:00Z",
    "issued_at_unix": 1735689600,
    "language": "en",
    "pii_principal_id": "user-42",
    "pii_controller": "acme-bank",
    "domain": "payments",
    "subject": "card",
    "attribution_source": "pack",
}
FULL_CTX = dict(
    MINIMAL_CTX,
    policy_url="https://acme.example/policy",
    operations=["read", "store", "read"],
    jurisdictions=["EU", "DE", "EU"],
    gpc_signal=True,
    ieee7012_no_recording=True,
    sensitive=True,
    spi_cat=["health", "biometric", "health"],
    ai_disclosure={"disclosed_at": "2025-01-01T00:00:05Z", "method": "banner"},
    pack_sha256="9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08",
)


def with_awkward_text(value):
    if isinstance(value, str):
        return value + AWKWARD
    if isinstance(value, list):
        return [with_awkward_text(item) for item in value]
    if isinstance(value, dict):
        return {key: with_awkward_text(item) for key, item in value.items()}
    return value


AWKWARD_CTX = with_awkward_text(FULL_CTX)


def ctx(base, **changes):
    return json.dumps(dict(base, **changes))


ALL_CONTROLS = ["audit_log", "mfa", "sms_otp", "tokenisation"]

# name, packs, query, ctx, override, then the decision every receipt must
# report: posture, required controls, fell_back, pack source.
SCENARIOS = [
    (
        "pack-minimal-ctx",
        PACKS,
        QUERY,
        json.dumps(MINIMAL_CTX),
        None,
        "as_configured",
        ["mfa", "tokenisation"],
        False,
        PACK_KEY,
    ),
    (
        "pack-full-ctx",
        PACKS,
        QUERY,
        json.dumps(FULL_CTX),
        None,
        "as_configured",
        ["mfa", "tokenisation"],
        False,
        PACK_KEY,
    ),
    (
        "missing-pack",
        "{}",
        QUERY,
        json.dumps(FULL_CTX),
        "minimal",
        "aggressive",
        ALL_CONTROLS,
        True,
        "<missing:retail/payments.zorv.toml>",
    ),
    (
        "malformed-pack",
        json.dumps({PACK_KEY: "[meta"}),
        QUERY,
        json.dumps(MINIMAL_CTX),
        None,
        "aggressive",
        ALL_CONTROLS,
        True,
        "<malformed:retail/payments.zorv.toml>",
    ),
    (
        "unrecognised-dial",
        PACKS,
        QUERY,
        json.dumps(FULL_CTX),
        "strict",
        "strict",
        ["audit_log", "mfa", "tokenisation"],
        False,
        PACK_KEY,
    ),
    (
        "empty-dial",
        PACKS,
        QUERY,
        json.dumps(MINIMAL_CTX),
        "",
        "",
        ["audit_log", "mfa", "tokenisation"],
        False,
        PACK_KEY,
    ),
    ("minimal-dial", PACKS, QUERY, json.dumps(FULL_CTX), "minimal", "minimal", ["mfa"], False, PACK_KEY),
    (
        "awkward-strings",
        PACKS,
        AWKWARD_QUERY,
        json.dumps(AWKWARD_CTX),
        "aggressive",
        "aggressive",
        ["ctl" + AWKWARD, "mfa"],
        False,
        PACK_KEY,
    ),
    (
        "timestamp-zero",
        PACKS,
        QUERY,
        ctx(MINIMAL_CTX, issued_at_unix=0),
        None,
        "as_configured",
        ["mfa", "tokenisation"],
        False,
        PACK_KEY,
    ),
    (
        "timestamp-2^53-1",
        PACKS,
        QUERY,
        ctx(FULL_CTX, issued_at_unix=2**53 - 1),
        None,
        "as_configured",
        ["mfa", "tokenisation"],
        False,
        PACK_KEY,
    ),
]
SCENARIO_IDS = [row[0] for row in SCENARIOS]


def combined_text(packs, query, context, override):
    return zorv.resolve_with_receipts(packs, query, context, override)


def receipts(packs, query, context, override):
    result = json.loads(combined_text(packs, query, context, override))
    return result["decision"], result["receipt_dpv27560"], result["receipt_kantara_cr_v1_1"]


def inputs(row):
    return row[1:5]


@pytest.fixture(params=SCENARIOS, ids=SCENARIO_IDS)
def scenario(request):
    return request.param


# --- the receipts carry the decision and the context ------------------------


def test_receipts_report_the_decision_and_copy_the_context(scenario):
    _, packs, query, context_json, override, posture, required, fell_back, source = scenario
    decision, dpv, kantara = receipts(packs, query, context_json, override)
    context = json.loads(context_json)
    kwdx = kantara["kwdx"]

    assert decision["provenance"]["strictness"] == dpv["decision"]["posture"] == kwdx["posture"] == posture
    assert decision["required"] == dpv["decision"]["required_controls"] == kwdx["required_controls"] == required
    assert decision["provenance"]["fell_back"] == dpv["provenance"]["fell_back"] == kwdx["fell_back"] == fell_back
    assert decision["provenance"]["source"] == dpv["provenance"]["pack_source"] == kwdx["pack_source"] == source
    assert dpv["decision"]["verdict"] == decision["verdict"] == "permit"
    assert not [node for node in walk(kantara) if isinstance(node, dict) and "verdict" in node]

    assert dpv["record"]["record_id"] == kantara["consentReceiptID"] == context["record_id"]
    assert dpv["record"]["issued_at"] == dpv["event"][0]["event_time"] == context["issued_at"]
    assert kantara["consentTimestamp"] == context["issued_at_unix"]
    assert dpv["pii_controller"]["id"] == kantara["piiControllers"][0]["piiController"] == context["pii_controller"]
    assert dpv["pii_principal"]["id"] == kantara["piiPrincipalId"] == context["pii_principal_id"]
    operations = context.get("operations", [])
    jurisdictions = context.get("jurisdictions", [])
    assert dpv["processing"]["operations"] == kantara["services"][0]["purposes"][0]["piiCategory"] == operations
    assert dpv["jurisdiction"]["dpv:hasJurisdiction"] == jurisdictions
    assert kantara["jurisdiction"] == " ".join(jurisdictions)
    assert kantara["policyUrl"] == context.get("policy_url", "urn:kwdx:policy:unspecified")
    assert kantara["spiCat"] == context.get("spi_cat", [])
    assert ("ai_disclosure" in dpv) == ("ai_disclosure" in kwdx) == ("ai_disclosure" in context)
    assert ("pack_sha256" in dpv["provenance"]) == ("pack_sha256" in kwdx) == ("pack_sha256" in context)


def test_combined_result_holds_the_receipts_as_objects_in_key_order():
    text = combined_text(PACKS, QUERY, json.dumps(FULL_CTX), None)
    members = json.loads(text, object_pairs_hook=lambda pairs: pairs)
    assert [key for key, _ in members] == ["decision", "receipt_dpv27560", "receipt_kantara_cr_v1_1"]
    assert all(isinstance(value, list) for _, value in members)  # objects, not strings holding JSON


# --- DPV receipt as JSON-LD ---------------------------------------------------


def refuse_remote_documents(url, options=None):
    raise AssertionError("the receipt's context is inline; nothing may be fetched: " + url)


def expand(document):
    return jsonld.expand(document, {"documentLoader": refuse_remote_documents})


def expanded_key(key):
    """What a key of the receipt means under its own @context."""
    if key == "id":
        return "@id"
    if key.startswith("@"):
        return key
    prefix, _, term = key.partition(":")
    if term:
        return {"dpv": DPV_NS, "kwdx": zorv.KWDX_NS}[prefix] + term
    return zorv.KWDX_NS + key


def compact_key_paths(node, path=()):
    # JSON-LD reads a null value as "no value", so a null member is meant to
    # vanish on expansion and is not looked for.
    if isinstance(node, dict):
        for key, value in node.items():
            if key == "@context" or value is None:
                continue
            member = path + (expanded_key(key),)
            yield member
            yield from compact_key_paths(value, member)
    elif isinstance(node, list):
        for item in node:
            yield from compact_key_paths(item, path)


def expanded_key_paths(node, path=()):
    if isinstance(node, dict):
        for key, value in node.items():
            if key == "@value":
                continue
            member = path + (key,)
            yield member
            yield from expanded_key_paths(value, member)
    elif isinstance(node, list):
        for item in node:
            yield from expanded_key_paths(item, path)


def walk(node):
    """Every object, array and scalar in the document; the @context, which
    only says how to read the rest, is left out."""
    yield node
    if isinstance(node, dict):
        children = [value for key, value in node.items() if key != "@context"]
    else:
        children = node if isinstance(node, list) else []
    for child in children:
        yield from walk(child)


def test_dpv_expansion_drops_no_member(scenario):
    _, dpv, _ = receipts(*inputs(scenario))
    expanded = expand(dpv)

    assert len(expanded) == 1
    missing = set(compact_key_paths(dpv)) - set(expanded_key_paths(expanded))
    assert not missing, sorted(missing)
    identifiers = [node["@id"] for node in walk(expanded) if isinstance(node, dict) and "@id" in node]
    assert all(isinstance(identifier, str) for identifier in identifiers), identifiers


def prefixed_terms(document):
    """Every `prefix:term` the receipt itself uses: keys, @type values and the
    values of the IRI-valued term event_type."""
    for node in walk(document):
        if not isinstance(node, dict):
            continue
        for key, value in node.items():
            if ":" in key:
                yield key
            if key in ("@type", "event_type"):
                yield value


def expanded_iris(expanded):
    for node in walk(expanded):
        if isinstance(node, dict):
            for key, value in node.items():
                if not key.startswith("@"):
                    yield key
                elif key == "@type":
                    yield from value
                elif key == "@id":
                    yield value


def test_dpv_prefixes_expand_into_their_namespaces(scenario):
    _, dpv, _ = receipts(*inputs(scenario))
    expanded = expand(dpv)
    iris = set(expanded_iris(expanded))
    namespaces = {"dpv": DPV_NS, "kwdx": zorv.KWDX_NS}

    assert zorv.KWDX_NS.startswith("https://") and zorv.KWDX_NS.endswith("/ns#")
    terms = set(prefixed_terms(dpv))
    assert {"dpv:DataController", "dpv:DataSubject", "dpv:hasJurisdiction", "kwdx:ControlDecisionReceipt"} <= terms
    for term in terms:
        prefix, _, name = term.partition(":")
        assert namespaces[prefix] + name in iris, term
    assert not [iri for iri in iris if iri.startswith(("dpv:", "kwdx:"))]
    properties = set(expanded_properties(expanded))
    assert all(iri.startswith((DPV_NS, zorv.KWDX_NS)) for iri in properties), properties


def expanded_properties(expanded):
    return {path[-1] for path in expanded_key_paths(expanded) if not path[-1].startswith("@")}


@functools.lru_cache(maxsize=None)
def dpv_vocabulary():
    with open(DPV_VOCABULARY, encoding="utf-8") as f:
        return {node["@id"]: set(node.get("@type", [])) for node in json.load(f)}


def test_dpv_terms_exist_in_the_published_vocabulary():
    _, dpv, _ = receipts(PACKS, QUERY, json.dumps(FULL_CTX), None)
    expanded = expand(dpv)
    vocabulary = dpv_vocabulary()

    classes = {iri for node in walk(expanded) if isinstance(node, dict) for iri in node.get("@type", [])}
    properties = expanded_properties(expanded)
    dpv_classes = {iri for iri in classes if iri.startswith(DPV_NS)}
    dpv_properties = {iri for iri in properties if iri.startswith(DPV_NS)}

    assert dpv_classes == {DPV_NS + "DataController", DPV_NS + "DataSubject"}
    assert dpv_properties == {DPV_NS + "hasJurisdiction"}
    for iri in dpv_classes:
        assert RDFS_CLASS in vocabulary.get(iri, set()), iri
    for iri in dpv_properties:
        assert RDF_PROPERTY in vocabulary.get(iri, set()), iri


# --- Kantara receipt against the published schema ---------------------------

PII_CONTROLLER = ("properties", "piiControllers", "items")
PURPOSE = ("properties", "services", "items", "properties", "purposes", "items")

# Members the schema requires that the shim leaves out on purpose: it records
# required controls, not a consent, and knows nothing of the controller's
# contact details, the consent type or disclosure to third parties.
RELAXED_REQUIREMENTS = {
    PII_CONTROLLER: {"contact", "address", "email", "phone"},
    PURPOSE: {"consentType", "thirdPartyDisclosure"},
}


def load_schema():
    with open(KANTARA_SCHEMA, encoding="utf-8") as f:
        lines = [line for line in f if not line.lstrip().startswith("//")]
    return json.loads("".join(lines))


def schema_node(schema, path):
    for key in path:
        schema = schema[key]
    return schema


@functools.lru_cache(maxsize=None)
def relaxed_validator():
    schema = load_schema()
    for path, names in RELAXED_REQUIREMENTS.items():
        node = schema_node(schema, path)
        node["required"] = [name for name in node["required"] if name not in names]
    # Both branches of the purpose's oneOf require thirdPartyDisclosure too
    # (they tie it to thirdPartyName). Keep the tie for a purpose that has
    # the member; lift only the demand that it be there.
    purpose = schema_node(schema, PURPOSE)
    purpose["anyOf"] = [{"not": {"required": ["thirdPartyDisclosure"]}}, {"oneOf": purpose.pop("oneOf")}]
    jsonschema.Draft4Validator.check_schema(schema)
    return jsonschema.Draft4Validator(schema)


def violations(validator, instance):
    return ["/".join(map(str, error.absolute_path)) + ": " + error.message for error in validator.iter_errors(instance)]


def test_kantara_receipt_is_valid_under_the_relaxed_schema(scenario):
    _, _, kantara = receipts(*inputs(scenario))
    assert violations(relaxed_validator(), kantara) == []


def test_relaxed_requirements_are_exactly_what_the_receipt_lacks():
    _, _, kantara = receipts(PACKS, QUERY, json.dumps(FULL_CTX), None)
    missing = {path: set() for path in RELAXED_REQUIREMENTS}
    for error in jsonschema.Draft4Validator(load_schema()).iter_errors(kantara):
        location = tuple(error.absolute_schema_path)[:-1]
        if error.validator == "required":
            missing[location] |= set(error.validator_value) - set(error.instance)
        else:
            assert (location, error.validator) == (PURPOSE, "oneOf"), error.message
    assert missing == RELAXED_REQUIREMENTS


def rename(path, old, new):
    def change(receipt):
        node = schema_node(receipt, path)
        node[new] = node.pop(old)

    return change


def put(path, key, value):
    def change(receipt):
        schema_node(receipt, path)[key] = value

    return change


FIRST_PURPOSE = ("services", 0, "purposes", 0)

BROKEN_RECEIPTS = [
    ("consentReceiptID misspelt", rename((), "consentReceiptID", "consentReceiptId")),
    ("spiCat misspelt", rename((), "spiCat", "spiCategory")),
    ("piiController misspelt", rename(("piiControllers", 0), "piiController", "piiControler")),
    ("service misspelt", rename(("services", 0), "service", "serivce")),
    ("purposeCategory misspelt", rename(FIRST_PURPOSE, "purposeCategory", "purposeCategories")),
    ("consentTimestamp as a string", put((), "consentTimestamp", "1735689600")),
    ("consentTimestamp negative", put((), "consentTimestamp", -1)),
    ("sensitive as a string", put((), "sensitive", "false")),
    ("spiCat as a string", put((), "spiCat", "health")),
    ("piiControllers as an object", put((), "piiControllers", {"piiController": "acme-bank"})),
    ("piiCategory holding a number", put(FIRST_PURPOSE, "piiCategory", [1])),
    ("primaryPurpose as a string", put(FIRST_PURPOSE, "primaryPurpose", "true")),
    ("relaxed consentType still typed", put(FIRST_PURPOSE, "consentType", 5)),
    ("third-party disclosure without a name", put(FIRST_PURPOSE, "thirdPartyDisclosure", True)),
]


@pytest.mark.parametrize("change", [row[1] for row in BROKEN_RECEIPTS], ids=[row[0] for row in BROKEN_RECEIPTS])
def test_relaxed_schema_still_catches_misspelt_and_mistyped_members(change):
    _, _, kantara = receipts(PACKS, QUERY, json.dumps(FULL_CTX), None)
    broken = copy.deepcopy(kantara)
    change(broken)
    assert violations(relaxed_validator(), broken)


# --- canonical form -----------------------------------------------------------


def test_combined_text_is_canonical_json(scenario):
    text = combined_text(*inputs(scenario))
    # The combined object is canonical exactly when each member's text is,
    # so this covers both receipts as they stand in the text.
    assert rfc8785.dumps(json.loads(text)).decode("utf-8") == text


# RFC 8785 writes numbers as IEEE doubles; past 2^53 - 1 the canonical form
# is undefined (the library refuses), so these are only checked for exact
# digits, without the canonical comparison.
@pytest.mark.parametrize("timestamp", [2**53, 2**53 + 1, 2**64 - 1])
def test_timestamps_beyond_double_precision_are_written_exactly(timestamp):
    text = combined_text(PACKS, QUERY, ctx(MINIMAL_CTX, issued_at_unix=timestamp), None)
    assert '"consentTimestamp":%d,' % timestamp in text
    assert json.loads(text)["receipt_kantara_cr_v1_1"]["consentTimestamp"] == timestamp
