"""The resolver as a Python team would write it without zorv.

Plain Python over a JSON and a TOML parser. With the standard library's
parsers (the module-level `resolve` and `resolve_with_receipts`) it is the
do-it-yourself baseline; `Resolver(orjson.loads, rtoml.loads)` is the same
logic on the fastest native parsers. On valid input both return exactly the
text zorv returns, which the benchmark checks on every input it times.

Invalid caller JSON raises ValueError with zorv's message prefix, but the
detail after it is the parser's own: only valid inputs are benchmarked.
"""

import json
import sys

if sys.version_info >= (3, 11):
    import tomllib
else:  # pragma: no cover - exercised on 3.9 and 3.10 only
    import tomli as tomllib

DISCLAIMER = (
    "NOT LEGAL ADVICE. This receipt records a control decision and its provenance; "
    "it is not a statement of law or a compliance claim. 'aggressive' != 'compliant'."
)
KWDX_NS = "https://kwdx.zorv.dev/ns#"
DPV_NS = "https://w3id.org/dpv#"
NOTICE_PREFIX = "KWDX control-prescription receipt \u2014 records REQUIRED controls, NOT obtained consent. "
RECEIPT_SCHEMA = "kwdx-receipt/0.1+iso27560"
UNSPECIFIED_POLICY = "urn:kwdx:policy:unspecified"

PACKS_ERROR = "packs_json is not an object of path->toml strings: "
QUERY_ERROR = "query_json is not a valid RegulatoryQuery: "
CTX_ERROR = "ctx_json is not a valid ReceiptContext: "

# json.dumps with ensure_ascii=False escapes exactly what zorv escapes: the
# quote, the backslash, \b \t \n \f \r as short escapes and every other
# character below U+0020 as a lowercase \u00xx; DEL and non-ASCII stay raw.
_COMPACT = {"ensure_ascii": False, "separators": (",", ":")}

_QUERY_STRINGS = ("domain", "profile", "jurisdiction", "subject")
_CTX_STRINGS = (
    "record_id",
    "issued_at",
    "language",
    "pii_principal_id",
    "pii_controller",
    "domain",
    "subject",
    "attribution_source",
)
_CTX_LISTS = ("operations", "jurisdictions", "spi_cat")
_CTX_FLAGS = ("gpc_signal", "ieee7012_no_recording", "sensitive")
_CTX_OPTIONAL_STRINGS = ("policy_url", "pack_sha256")
_U64_MAX = 2**64 - 1


class _Malformed(Exception):
    """The pack cannot be read; the decision falls back."""


def _is_string_list(value):
    return isinstance(value, list) and all(isinstance(item, str) for item in value)


def _byte_sorted(keys):
    # For text that is valid Unicode, code point order is UTF-8 byte order,
    # so Python's own string order is the byte order zorv uses.
    return sorted(keys)


def _optional_string(record, key):
    value = record.get(key)
    if value is not None and not isinstance(value, str):
        raise _Malformed(key)
    return value


def _control_set(record):
    if not isinstance(record, dict):
        raise _Malformed("control list")
    controls = record.get("controls", [])
    if not _is_string_list(controls):
        raise _Malformed("controls")
    return set(controls)


def _read_pack(document):
    meta = document.get("meta")
    if not isinstance(meta, dict):
        raise _Malformed("meta")
    pack = {
        key: _optional_string(meta, key)
        for key in ("strictness", "last_reviewed_against_guidance", "effective_from", "effective_until")
    }
    review = meta.get("legal_review")
    if review is not None and not isinstance(review, dict):
        raise _Malformed("legal_review")
    pack["legal_review_status"] = None if review is None else _optional_string(review, "status")
    subjects = document.get("subject", {})
    if not isinstance(subjects, dict):
        raise _Malformed("subject")
    pack["subject"] = {name: _control_set(entry) for name, entry in subjects.items()}
    for key in ("legally_required", "prohibited"):
        pack[key] = _control_set(document[key]) if key in document else None
    return pack


def _decision(required, strictness, source, profile, review=None, guidance=None, fell_back=False):
    return {
        "required": required,
        "strictness": strictness,
        "source": source,
        "profile": profile,
        "legal_review_status": review,
        "last_reviewed_against_guidance": guidance,
        "fell_back": fell_back,
    }


def _fall_back(query, marker):
    return _decision(_byte_sorted(set(query["universe"])), "aggressive", marker, query["profile"], fell_back=True)


def _outside(as_of, pack):
    low, high = pack["effective_from"], pack["effective_until"]
    return (low is not None and as_of < low) or (high is not None and as_of > high)


def decide_read_pack(pack, source, override, query):
    """The decision over a pack already read (None: it could not be)."""
    if pack is None:
        return _fall_back(query, f"<malformed:{source}>")
    if override is not None:
        strictness = override
    elif pack["strictness"] is not None:
        strictness = pack["strictness"]
    else:
        strictness = "aggressive"
    as_of = query.get("as_of")
    if as_of is not None and _outside(as_of, pack):
        return _fall_back(query, f"<outside-effective-envelope:{source}>")
    floor = pack["legally_required"]
    if strictness == "minimal" and not floor:
        return _fall_back(query, f"<minimal-missing-floor:{source}>")

    universe = set(query["universe"])
    if strictness == "as_configured" and query["subject"] in pack["subject"]:
        candidates = pack["subject"][query["subject"]] & universe
    elif strictness == "minimal":
        candidates = floor & universe
    else:
        candidates = universe
    if pack["prohibited"] is not None:
        candidates = candidates - pack["prohibited"]
    return _decision(
        _byte_sorted(candidates),
        strictness,
        source,
        query["profile"],
        pack["legal_review_status"],
        pack["last_reviewed_against_guidance"],
    )


class Resolver:
    """The resolution, parametrised over the JSON and TOML `loads` it parses with."""

    def __init__(self, json_loads=json.loads, toml_loads=tomllib.loads):
        self._json_loads = json_loads
        self._toml_loads = toml_loads

    def resolve(self, packs_json, query_json, strictness_override=None):
        decision = self._decide(packs_json, query_json, strictness_override)
        return json.dumps(_wire_decision(decision), **_COMPACT)

    def resolve_with_receipts(self, packs_json, query_json, ctx_json, strictness_override=None):
        decision = self._decide(packs_json, query_json, strictness_override)
        ctx = self._read_context(ctx_json)
        combined = {
            "decision": _wire_decision(decision),
            "receipt_dpv27560": _dpv_27560(decision, ctx),
            "receipt_kantara_cr_v1_1": _kantara_cr_v1_1(decision, ctx),
        }
        return json.dumps(combined, sort_keys=True, **_COMPACT)

    def _parse(self, text, prefix):
        try:
            return self._json_loads(text)
        except ValueError as fault:
            raise ValueError(prefix + str(fault)) from None

    def _decide(self, packs_json, query_json, override):
        packs = self._parse(packs_json, PACKS_ERROR)
        if not isinstance(packs, dict) or not all(isinstance(v, str) for v in packs.values()):
            raise ValueError(PACKS_ERROR + "expected a map of strings")
        query = self._parse(query_json, QUERY_ERROR)
        _check_query(query)
        primary = f"{query['profile']}/{query['domain']}.zorv.toml"
        for source in (primary, f"{query['profile']}/{query['domain']}.toml"):
            if source in packs:
                return self._decide_from_pack(packs[source], source, override, query)
        return _fall_back(query, f"<missing:{primary}>")

    def _decide_from_pack(self, text, source, override, query):
        return decide_read_pack(self.read_pack(text), source, override, query)

    def read_pack(self, text):
        """The pack in `text`, or None when it cannot be read (the malformed fall-back)."""
        try:
            return _read_pack(self._toml_loads(text))
        except Exception:  # any parser's failure, or the wrong shape: fail closed
            return None

    def _read_context(self, ctx_json):
        ctx = self._parse(ctx_json, CTX_ERROR)
        if not isinstance(ctx, dict):
            raise ValueError(CTX_ERROR + "expected struct WireReceiptContext")
        for key in _CTX_STRINGS:
            if not isinstance(ctx.get(key), str):
                raise ValueError(CTX_ERROR + f"missing or invalid field `{key}`")
        stamp = ctx.get("issued_at_unix")
        if type(stamp) is not int or not 0 <= stamp <= _U64_MAX:
            raise ValueError(CTX_ERROR + "missing or invalid field `issued_at_unix`")
        read = {key: ctx[key] for key in _CTX_STRINGS}
        read["issued_at_unix"] = stamp
        for key in _CTX_LISTS:
            read[key] = ctx.get(key, [])
            if not _is_string_list(read[key]):
                raise ValueError(CTX_ERROR + f"invalid field `{key}`")
        for key in _CTX_FLAGS:
            read[key] = ctx.get(key, False)
            if not isinstance(read[key], bool):
                raise ValueError(CTX_ERROR + f"invalid field `{key}`")
        for key in _CTX_OPTIONAL_STRINGS:
            read[key] = _optional_string_field(ctx, key)
        disclosure = ctx.get("ai_disclosure")
        if disclosure is not None and not (
            isinstance(disclosure, dict)
            and isinstance(disclosure.get("disclosed_at"), str)
            and isinstance(disclosure.get("method"), str)
        ):
            raise ValueError(CTX_ERROR + "invalid field `ai_disclosure`")
        read["ai_disclosure"] = disclosure
        return read


def _optional_string_field(ctx, key):
    value = ctx.get(key)
    if value is not None and not isinstance(value, str):
        raise ValueError(CTX_ERROR + f"invalid field `{key}`")
    return value


def _check_query(query):
    if not isinstance(query, dict):
        raise ValueError(QUERY_ERROR + "expected struct WireQuery")
    for key in _QUERY_STRINGS:
        if not isinstance(query.get(key), str):
            raise ValueError(QUERY_ERROR + f"missing or invalid field `{key}`")
    if not _is_string_list(query.get("universe")):
        raise ValueError(QUERY_ERROR + "missing or invalid field `universe`")
    as_of = query.get("as_of")
    if as_of is not None and not isinstance(as_of, str):
        raise ValueError(QUERY_ERROR + "invalid field `as_of`")


def _wire_decision(decision):
    return {
        "verdict": "permit",
        "required": decision["required"],
        "provenance": {
            "profile": decision["profile"],
            "strictness": decision["strictness"],
            "source": decision["source"],
            "legal_review_status": decision["legal_review_status"],
            "last_reviewed_against_guidance": decision["last_reviewed_against_guidance"],
            "fell_back": decision["fell_back"],
        },
        "disclaimer": DISCLAIMER,
    }


def _dpv_27560(decision, ctx):
    events = [{"event_state": "permit", "event_time": ctx["issued_at"], "event_type": "kwdx:ControlDecision"}]
    provenance = {
        "advisory_only": True,
        "fell_back": decision["fell_back"],
        "legal_review_status": decision["legal_review_status"],
        "pack_source": decision["source"],
        "profile": decision["profile"],
        "provenance_verified": False,
    }
    receipt = {
        "@context": {
            "@vocab": KWDX_NS,
            "dpv": DPV_NS,
            "event_type": {"@id": "kwdx:event_type", "@type": "@id"},
            "id": "@id",
            "kwdx": KWDX_NS,
            "operations": {"@id": "kwdx:operations", "@type": "@id"},
        },
        "@type": "kwdx:ControlDecisionReceipt",
        "record": {
            "issued_at": ctx["issued_at"],
            "language": ctx["language"],
            "record_id": ctx["record_id"],
            "schema_version": RECEIPT_SCHEMA,
        },
        "pii_principal": {"@type": "dpv:DataSubject", "id": ctx["pii_principal_id"]},
        "pii_controller": {"@type": "dpv:DataController", "id": ctx["pii_controller"]},
        "processing": {
            "@type": "kwdx:RegulatedActivity",
            "domain": ctx["domain"],
            "operations": ctx["operations"],
            "subject": ctx["subject"],
        },
        "jurisdiction": {"attribution_source": ctx["attribution_source"], "dpv:hasJurisdiction": ctx["jurisdictions"]},
        "decision": {
            "escalation": {"gpc_signal": ctx["gpc_signal"], "ieee7012_no_recording": ctx["ieee7012_no_recording"]},
            "posture": decision["strictness"],
            "required_controls": decision["required"],
            "verdict": "permit",
        },
        "provenance": provenance,
        "event": events,
        "disclaimer": DISCLAIMER,
    }
    if ctx["pack_sha256"] is not None:
        provenance["pack_sha256"] = ctx["pack_sha256"]
    if decision["last_reviewed_against_guidance"] is not None:
        provenance["last_reviewed_against_guidance"] = decision["last_reviewed_against_guidance"]
    disclosure = ctx["ai_disclosure"]
    if disclosure is not None:
        events.append(
            {
                "event_state": disclosure["method"],
                "event_time": disclosure["disclosed_at"],
                "event_type": "kwdx:AiDisclosure",
            }
        )
        receipt["ai_disclosure"] = {"disclosed_at": disclosure["disclosed_at"], "method": disclosure["method"]}
    return receipt


def _kantara_cr_v1_1(decision, ctx):
    kwdx = {
        "advisory_only": True,
        "disclaimer": DISCLAIMER,
        "fell_back": decision["fell_back"],
        "gpc_signal": ctx["gpc_signal"],
        "legal_review_status": decision["legal_review_status"],
        "pack_source": decision["source"],
        "posture": decision["strictness"],
        "provenance_verified": False,
        "required_controls": decision["required"],
    }
    if ctx["pack_sha256"] is not None:
        kwdx["pack_sha256"] = ctx["pack_sha256"]
    if ctx["ai_disclosure"] is not None:
        kwdx["ai_disclosure"] = {
            "disclosed_at": ctx["ai_disclosure"]["disclosed_at"],
            "method": ctx["ai_disclosure"]["method"],
        }
    policy_url = ctx["policy_url"]
    return {
        "collectionMethod": "kwdx_resolver",
        "consentReceiptID": ctx["record_id"],
        "consentTimestamp": ctx["issued_at_unix"],
        "jurisdiction": " ".join(ctx["jurisdictions"]),
        "kwdx": kwdx,
        "language": ctx["language"],
        "notice": NOTICE_PREFIX + DISCLAIMER,
        "piiControllers": [{"piiController": ctx["pii_controller"]}],
        "piiPrincipalId": ctx["pii_principal_id"],
        "policyUrl": UNSPECIFIED_POLICY if policy_url is None else policy_url,
        "sensitive": ctx["sensitive"],
        "services": [
            {
                "purposes": [
                    {
                        "piiCategory": ctx["operations"],
                        "primaryPurpose": True,
                        "purpose": ctx["subject"],
                        "purposeCategory": [ctx["domain"]],
                        "termination": "per_pack_effective_until",
                    }
                ],
                "service": ctx["domain"],
            }
        ],
        "spiCat": ctx["spi_cat"],
        "version": "KI-CR-v1.1.0",
    }


_STDLIB = Resolver()


def resolve(packs_json, query_json, strictness_override=None):
    """Decision text for `query_json` over `packs_json`, as zorv.resolve gives it."""
    return _STDLIB.resolve(packs_json, query_json, strictness_override)


def resolve_with_receipts(packs_json, query_json, ctx_json, strictness_override=None):
    """Decision and both receipts, as zorv.resolve_with_receipts gives them."""
    return _STDLIB.resolve_with_receipts(packs_json, query_json, ctx_json, strictness_override)
