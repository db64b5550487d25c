"""Type stub for the `zorv` extension module."""

from typing import List, Optional

__all__: List[str]
__version__: str
KWDX_NS: str
NOT_LEGAL_ADVICE: str

def resolve(packs_json: str, query_json: str, strictness_override: Optional[str] = None) -> str:
    """Resolve required controls; returns the decision as a JSON string.

    A missing or malformed pack is not an error: it resolves fail-closed to
    the caller's full universe. ValueError means the caller's JSON was
    unusable."""

def resolve_with_receipts(
    packs_json: str, query_json: str, ctx_json: str, strictness_override: Optional[str] = None
) -> str:
    """Resolve and serialise both receipts (ISO/IEC TS 27560 + W3C DPV JSON-LD and
    Kantara CR v1.1 shim); returns {"decision", "receipt_dpv27560",
    "receipt_kantara_cr_v1_1"} as a JSON string."""
