"""Writes utf8_vectors.txt: byte strings with Python's own verdict on them.

Each line is "<0|1> <hex>": 1 when bytes.decode("utf-8") accepts the bytes.
The strings are well-formed UTF-8 of random code points around the 32-byte
block edges, with random damage (a byte changed, cut short, a continuation
byte inserted or dropped), the classic boundary sequences, and every file of
the JSONTestSuite corpus. Seeded, so the file is made again byte for byte:

    python3 resolver/tests/text/make_utf8_vectors.py > resolver/tests/text/utf8_vectors.txt
"""

import random
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parents[3]


def verdict(data):
    try:
        data.decode("utf-8")
        return 1
    except UnicodeDecodeError:
        return 0


def random_code_point(rng):
    band = rng.randrange(5)
    if band == 0:
        return rng.randrange(0x80)
    if band == 1:
        return rng.randrange(0x80, 0x800)
    if band == 2:
        while True:
            c = rng.randrange(0x800, 0x10000)
            if not 0xD800 <= c <= 0xDFFF:
                return c
    if band == 3:
        return rng.randrange(0x10000, 0x110000)
    return rng.choice([0x7F, 0x80, 0x7FF, 0x800, 0xD7FF, 0xE000, 0xFFFF, 0x10000, 0x10FFFF])


def damaged(rng, data):
    data = bytearray(data)
    for _ in range(rng.randrange(1, 3)):
        kind = rng.randrange(4)
        if kind == 0 and data:
            data[rng.randrange(len(data))] = rng.randrange(256)
        elif kind == 1 and data:
            del data[rng.randrange(len(data)) :]
        elif kind == 2:
            data.insert(rng.randrange(len(data) + 1), rng.randrange(0x80, 0xC0))
        elif data:
            del data[rng.randrange(len(data))]
    return bytes(data)


def vectors():
    rng = random.Random(20261209)
    edges = [
        b"\xc0\x80",
        b"\xc1\xbf",
        b"\xc2\x80",
        b"\xe0\x9f\xbf",
        b"\xe0\xa0\x80",
        b"\xed\x9f\xbf",
        b"\xed\xa0\x80",
        b"\xed\xbf\xbf",
        b"\xee\x80\x80",
        b"\xf0\x8f\xbf\xbf",
        b"\xf0\x90\x80\x80",
        b"\xf4\x8f\xbf\xbf",
        b"\xf4\x90\x80\x80",
        b"\xf5\x80\x80\x80",
        b"\xff",
        b"\xfe",
        b"\x80",
        b"\xbf",
    ]
    for edge in edges:
        for pad in (0, 1, 28, 29, 30, 31, 32, 33, 61, 62, 63):
            yield b"a" * pad + edge
            yield b"a" * pad + edge + b"b" * 5
            yield b"a" * pad + edge[:-1]
    for _ in range(6000):
        text = "".join(chr(random_code_point(rng)) for _ in range(rng.randrange(0, 48)))
        data = text.encode("utf-8")
        yield data if rng.randrange(3) == 0 else damaged(rng, data)
    for path in sorted((REPO / "testdata" / "JSONTestSuite" / "test_parsing").glob("*.json")):
        if path.stat().st_size <= 4096:
            yield path.read_bytes()


def main():
    out = sys.stdout
    for data in vectors():
        out.write("%d %s\n" % (verdict(data), data.hex()))


if __name__ == "__main__":
    main()
