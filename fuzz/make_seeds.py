#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into OUT/<target>/.

The seeds are built from the example packs, query and receipt context, from
JSONTestSuite (each text as each JSON argument) and from toml-test (each
document as a pack, on its own and behind a `meta` table so that its shape
decides). They are generated rather than committed: a couple of thousand
files per target, cheap to make again. Usage: make_seeds.py OUT TESTDATA
"""

import hashlib
import json
import pathlib
import sys

REPO = pathlib.Path(__file__).resolve().parent.parent
SEP = b"\xff"
PACK_KEY = "retail/payments.zorv.toml"
DIALS = [None, "aggressive", "as_configured", "minimal", "strict"]
CONTEXT_UNIX = [
    "0",
    "-0",
    "9007199254740992",
    "9223372036854775808",
    "18446744073709551615",
    "18446744073709551616",
    "-1",
    "1.5",
    "1e3",
    '"1"',
]


def examples():
    packs = {
        f"{path.parent.name}/{path.name}": path.read_text()
        for path in sorted((REPO / "examples" / "packs").glob("*/*.toml"))
    }
    query = (REPO / "examples" / "query.json").read_text()
    context = (REPO / "examples" / "receipt_context.json").read_text()
    return json.dumps(packs), query, context


def toml_documents(testdata):
    root = testdata / "toml-test" / "tests"
    listed = (root / "files-toml-1.0.0").read_text().split()
    return [(root / name).read_bytes() for name in listed if name.endswith(".toml")]


def json_texts(testdata):
    return [path.read_bytes() for path in sorted((testdata / "JSONTestSuite" / "test_parsing").glob("*.json"))]


def joined(*parts):
    return SEP.join(part if isinstance(part, bytes) else part.encode() for part in parts if part is not None)


def with_meta(document):
    bom = b"\xef\xbb\xbf"
    if document.startswith(bom):
        return bom + b"meta = {}\n" + document[len(bom) :]
    return b"meta = {}\n" + document


def as_pack_map(document):
    try:
        return json.dumps({PACK_KEY: document.decode()}, ensure_ascii=False)
    except UnicodeDecodeError:
        return None


def write(directory, seeds):
    directory.mkdir(parents=True, exist_ok=True)
    for seed in seeds:
        (directory / hashlib.sha1(seed).hexdigest()).write_bytes(seed)


def main(out, testdata):
    packs, query, context = examples()
    documents = toml_documents(testdata)
    texts = json_texts(testdata)
    card_query = json.dumps(
        {
            "domain": "payments",
            "profile": "retail",
            "jurisdiction": "EU",
            "subject": "card",
            "universe": ["mfa", "tokenisation", "pci_logging", "audit", "fingerprint_tracking"],
        }
    )
    pack_maps = [m for d in documents for m in (as_pack_map(d), as_pack_map(with_meta(d))) if m]

    resolve = [joined(packs, query, dial) for dial in DIALS]
    resolve += [joined(text, query) for text in texts] + [joined(packs, text) for text in texts]
    resolve += [joined(pack_map, card_query) for pack_map in pack_maps]
    write(out / "resolve_json_fuzzer", resolve)

    receipts = [joined(packs, query, context, dial) for dial in DIALS]
    receipts += [joined(packs, query, context.replace("1796241600", unix)) for unix in CONTEXT_UNIX]
    receipts += [joined(text, query, context) for text in texts] + [joined(packs, text, context) for text in texts]
    receipts += [joined(packs, query, text) for text in texts]
    receipts += [joined(pack_map, card_query, context) for pack_map in pack_maps[::4]]
    write(out / "resolve_with_receipts_json_fuzzer", receipts)

    controls = [b"mfa", b"tokenisation", b"pci_logging", b"fraud_screening", b"fingerprint_tracking", b"audit"]
    pack_seeds = []
    for path in sorted((REPO / "examples" / "packs").glob("*/*.toml")):
        for flags, dial, as_of in [
            (0, b"", b""),
            (1, b"minimal", b""),
            (3, b"as_configured", b"2026-12-08"),
            (2, b"", b"2030-01-01"),
            (1, b"bogus", b""),
        ]:
            pack_seeds.append(bytes([flags]) + SEP.join([path.read_bytes(), b"card", dial, as_of, *controls]))
    for document in documents:
        for text in (document, with_meta(document)):
            pack_seeds.append(b"\x00" + SEP.join([text, b"card", b"", b"", *controls]))
    write(out / "pack_decision_fuzzer", pack_seeds)


if __name__ == "__main__":
    main(pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]))
