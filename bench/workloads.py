"""Seeded inputs shaped like a real organisation's: many packs, one asked for.

Every pack is a few KB of TOML as a compliance team keeps it: comments, a
validity window, a legal-review record, about ten subjects of fifteen controls,
a floor and a prohibited list. Control identifiers mix families, upper case and
some non-ASCII text, and review texts carry quotes, tabs and accents, so byte
order and string escaping are exercised on every input.
"""

import json
import random
from dataclasses import dataclass
from typing import Optional

SEED = 20261208

FAMILIES = [
    "iam",
    "crypto",
    "logging",
    "privacy",
    "network",
    "vendor",
    "backup",
    "incident",
    "payments",
    "hr",
    "AppSec",
    "SOC",
]
TOPICS = [
    "mfa",
    "key_rotation",
    "retention",
    "access_review",
    "encryption_at_rest",
    "tls",
    "dpia",
    "consent_record",
    "data_minimisation",
    "segmentation",
    "pen_test",
    "breach_notice",
    "pseudonymisation",
    "least_privilege",
    "tokenisation",
    "contrôle_accès",
    "löschkonzept",
    "監査ログ",
    "Ωmega_check",
    "audit_trail",
]
PROFILES = [
    "retail",
    "wholesale",
    "health",
    "insurance",
    "banking",
    "telecom",
    "energy",
    "public-sector",
    "education",
    "logistics",
]
DOMAINS = [
    "payments",
    "telemetry",
    "marketing",
    "hiring",
    "claims",
    "lending",
    "support",
    "analytics",
    "identity",
    "billing",
]
SUBJECTS = [
    "card",
    "wallet",
    "loyalty.points",
    "vitals",
    "claims_history",
    "geo_location",
    "device_id",
    "voice",
    "biometrics",
    "credit_score",
    "employee_record",
    "email",
    "cookie_id",
    "purchase_history",
]
REVIEWERS = [
    "approved by counsel",
    "geprüft — Rechtsabteilung",
    "validé par le DPO",
    'signed off "with conditions"',
    "approved\tpending audit",
]
GUIDANCE = [
    "EDPB Guidelines 02/2023",
    'ICO guidance on "legitimate interests"',
    "PCI DSS v4.0 §8.4",
    "CNIL référentiel 2024",
    "HIPAA \\ HITECH memo",
]


@dataclass
class Workload:
    """One input of the benchmark and what zorv is expected to answer for it."""

    group: str
    name: str
    packs_json: str
    query_json: str
    override: Optional[str]
    pack_text: Optional[str]  # the pack the query resolves against, when there is one
    n_packs: int
    n_universe: int
    receipts: bool = False
    ctx_json: Optional[str] = None
    expect_source: str = ""  # prefix of provenance.source zorv must report

    @property
    def packs_mb(self):
        return len(self.packs_json.encode()) / 1e6


def universe(n, seed=SEED):
    """`n` distinct control identifiers, realistic and byte-order diverse."""
    rng = random.Random(seed * 31 + n)
    return [f"{rng.choice(FAMILIES)}.{rng.choice(TOPICS)}-{i:06d}" for i in range(n)]


def _quoted_list(controls):
    return ",\n  ".join(json.dumps(c, ensure_ascii=False) for c in controls)


def pack_text(rng, profile, domain, pool, dial="as_configured", floor=True, bare_date=False):
    """One pack as a compliance team keeps it, controls drawn from `pool`."""
    pick = lambda k: rng.sample(pool, min(k, len(pool)))  # noqa: E731
    from_line = "effective_from = 2025-01-01" if bare_date else 'effective_from = "2025-01-01"'
    lines = [
        f"# Controls the {profile} profile requires for {domain}.",
        "# Owned by the compliance office; every change needs counsel's sign-off.",
        "[meta]",
        f'strictness = "{dial}"',
        f"last_reviewed_against_guidance = {json.dumps(rng.choice(GUIDANCE), ensure_ascii=False)}",
        from_line,
        'effective_until = "2027-12-31"',
        "",
        "[meta.legal_review]",
        f"status = {json.dumps(rng.choice(REVIEWERS) + ' 2026-0' + str(rng.randint(1, 9)), ensure_ascii=False)}",
        "reviewer = 'legal-ops@example.org'",
        "",
    ]
    for subject in rng.sample(SUBJECTS, 10):
        name = f'"{subject}"' if "." in subject else subject
        lines += [
            f"# {subject}: reviewed with the product owner, ticket CMP-{rng.randint(100, 9999)}",
            f"[subject.{name}]",
            f"controls = [\n  {_quoted_list(pick(15))},\n]",
            "",
        ]
    if floor:
        lines += [
            "# The legal floor: never waived, whatever the dial.",
            "[legally_required]",
            f"controls = [{_quoted_list(pick(4))}]",
            "",
        ]
    lines += ["[prohibited]", f"controls = [{_quoted_list(pick(3))}]", ""]
    return "\n".join(lines)


class PackLibrary:
    """The organisation's packs, generated once; maps of any size take a prefix."""

    def __init__(self, size, seed=SEED):
        rng = random.Random(seed)
        pool = universe(4000, seed + 1)
        self.packs = []
        for k in range(size):
            # Every profile carries a business-unit number, so no library pack
            # is ever the one a workload asks for.
            profile = f"{PROFILES[k % len(PROFILES)]}-{k // 100:03d}"
            domain = DOMAINS[(k // len(PROFILES)) % len(DOMAINS)]
            suffix = ".toml" if rng.random() < 0.1 else ".zorv.toml"
            self.packs.append((f"{profile}/{domain}{suffix}", pack_text(rng, profile, domain, pool)))

    def pack_map(self, n_packs, target_key, target_text, rng, ensure_ascii=False):
        """`n_packs` packs as packs_json, the target (when given) at a random place."""
        if target_text is None:
            return json.dumps(dict(self.packs[:n_packs]), ensure_ascii=ensure_ascii)
        entries = self.packs[: n_packs - 1]
        entries.insert(rng.randrange(len(entries) + 1), (target_key, target_text))
        return json.dumps(dict(entries), ensure_ascii=ensure_ascii)


def query(profile, domain, subject, controls, rng, as_of="2026-06-30", ensure_ascii=False):
    listed = controls + rng.sample(controls, len(controls) // 20)  # callers repeat some
    rng.shuffle(listed)
    return json.dumps(
        {
            "domain": domain,
            "profile": profile,
            "jurisdiction": "EU",
            "subject": subject,
            "universe": listed,
            "as_of": as_of,
            "request_id": "req-7f3a",
        },
        ensure_ascii=ensure_ascii,
    )


def receipt_context(full=True):
    ctx = {
        "record_id": "rcpt-2026-12-08-0001",
        "issued_at": "2026-12-08T20:00:00Z",
        "issued_at_unix": 1796241600,
        "language": "en",
        "pii_principal_id": "customer-4711",
        "pii_controller": "Example Retail Ltd — Zweigniederlassung",
        "domain": "payments",
        "subject": "card",
        "attribution_source": "checkout-service",
    }
    if full:
        ctx.update(
            {
                "policy_url": "https://retail.example/privacy",
                "operations": ["collect", "store", "collect"],
                "jurisdictions": ["EU", "DE"],
                "gpc_signal": True,
                "sensitive": True,
                "spi_cat": ["financial"],
                "pack_sha256": "9f2c" * 16,
                "ai_disclosure": {"disclosed_at": "2026-12-08T19:59:00Z", "method": "banner\u0007v2"},
            }
        )
    return json.dumps(ctx, ensure_ascii=False)


class Builder:
    """Makes workloads over one pack library, each from its own seeded stream."""

    TARGET = ("retail", "payments")

    def __init__(self, library):
        self.library = library

    def make(
        self,
        group,
        name,
        n_packs=10,
        n_universe=1000,
        override=None,
        dial="as_configured",
        floor=True,
        bare_date=False,
        broken=False,
        missing=False,
        as_of="2026-06-30",
        receipts=False,
        full_context=True,
        expect_source="retail/payments.zorv.toml",
        ensure_ascii=False,
    ):
        rng = random.Random(f"{SEED}/{group}/{name}")
        controls = universe(n_universe)
        pool = rng.sample(controls, min(len(controls), 120)) + universe(40, SEED + 2)
        profile, domain = self.TARGET
        key = f"{profile}/{domain}.zorv.toml"
        text = pack_text(rng, profile, domain, pool, dial, floor, bare_date)
        if broken:
            text = text.replace("[prohibited]", "[prohibited\ncontrols = [")
        subject = _first_subject(text)
        used = None if missing else text
        return Workload(
            group=group,
            name=name,
            packs_json=self.library.pack_map(n_packs, key, used, rng, ensure_ascii),
            query_json=query(profile, domain, subject, controls, rng, as_of, ensure_ascii),
            override=override,
            pack_text=used,
            n_packs=n_packs,
            n_universe=n_universe,
            receipts=receipts,
            ctx_json=receipt_context(full_context) if receipts else None,
            expect_source=expect_source,
        )


def _first_subject(text):
    header = next(line for line in text.splitlines() if line.startswith("[subject."))
    return header[len("[subject.") : -1].strip('"')


def grid(library):
    """The benchmark's inputs: size sweeps, then dials, fall-backs and receipts."""
    b = Builder(library)
    out = []
    for n in (1, 10, 100, 1000, 10000):
        out.append(b.make("packs", f"{n:,} pack{'s' if n > 1 else ''}", n_packs=n))
    for n in (10, 1000, 100000):
        out.append(b.make("universe", f"{n:,} controls, pack dial", n_universe=n))
        out.append(b.make("universe", f"{n:,} controls, aggressive", n_universe=n, override="aggressive"))
        out.append(b.make("universe", f"{n:,} controls, receipts", n_universe=n, override="aggressive", receipts=True))
    for override in (None, "aggressive", "as_configured", "minimal"):
        out.append(b.make("dial", f"override {override or 'none'}", override=override, dial="aggressive"))
    fall_backs = [
        ("missing pack", {"missing": True}, "<missing:"),
        ("malformed: syntax", {"broken": True}, "<malformed:"),
        ("malformed: bare date", {"bare_date": True}, "<malformed:"),
        ("outside window", {"as_of": "2028-01-15"}, "<outside-effective-envelope:"),
        ("minimal, no floor", {"override": "minimal", "floor": False}, "<minimal-missing-floor:"),
    ]
    for name, options, marker in fall_backs:
        out.append(b.make("fall-back", name, expect_source=marker, **options))
    # Texts as json.dumps writes them by default: every non-ASCII character
    # of the packs and of the universe escaped as \uXXXX.
    out.append(b.make("escaped", "1 pack, json.dumps defaults", n_packs=1, ensure_ascii=True))
    out.append(b.make("escaped", "10 packs, json.dumps defaults", ensure_ascii=True))
    out.append(b.make("escaped", "10 packs, aggressive, json.dumps defaults", override="aggressive", ensure_ascii=True))
    out.append(b.make("receipts", "full context", receipts=True))
    out.append(b.make("receipts", "required members only", receipts=True, full_context=False))
    out.append(b.make("receipts", "fall-back", receipts=True, missing=True, expect_source="<missing:"))
    return out


SMALL_PACK = """
[meta]
strictness = "as_configured"
[meta.legal_review]
status = "approved"
[subject.card]
controls = ["iam.mfa", "payments.tokenisation", "logging.audit_trail"]
[prohibited]
controls = ["privacy.fingerprinting"]
"""


def small_calls():
    """The smallest useful calls, one pack and ten controls: a decision, a
    fall-back (minimal without a floor) and receipts, for the memory check."""
    rng = random.Random(f"{SEED}/small")
    packs = json.dumps({"retail/payments.zorv.toml": SMALL_PACK})
    controls = universe(10)
    q = query("retail", "payments", "card", controls, rng)

    def make(name, **kw):
        return Workload("small", name, packs, q, pack_text=SMALL_PACK, n_packs=1, n_universe=10, **kw)

    key = "retail/payments.zorv.toml"
    return (
        make("decision", override=None, expect_source=key),
        make("fall-back", override="minimal", expect_source="<minimal-missing-floor:"),
        make("receipts", override=None, receipts=True, ctx_json=receipt_context(), expect_source=key),
    )
