"""Resolve the bundled example packs against the example query.

Usage: resolve_example.py [--receipts] [STRICTNESS]

Reads every *.toml under examples/packs into a pack map keyed by its path
("retail/payments.zorv.toml"), resolves examples/query.json and prints the
decision; with --receipts, also both receipts of it from
examples/receipt_context.json.
"""

import json
import pathlib
import sys

import zorv

HERE = pathlib.Path(__file__).resolve().parent


def main(argv):
    with_receipts = "--receipts" in argv
    dials = [arg for arg in argv if arg != "--receipts"]
    strictness = dials[0] if dials else None

    packs_dir = HERE / "packs"
    packs = {
        path.relative_to(packs_dir).as_posix(): path.read_text(encoding="utf-8")
        for path in sorted(packs_dir.rglob("*.toml"))
    }
    query = (HERE / "query.json").read_text(encoding="utf-8")

    if with_receipts:
        context = (HERE / "receipt_context.json").read_text(encoding="utf-8")
        text = zorv.resolve_with_receipts(json.dumps(packs), query, context, strictness)
    else:
        text = zorv.resolve(json.dumps(packs), query, strictness)
    print(json.dumps(json.loads(text), indent=2, ensure_ascii=False))


if __name__ == "__main__":
    main(sys.argv[1:])
