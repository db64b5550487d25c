"""Differential test of zorv's TOML reader against Python's tomllib.

Generates random TOML documents that use every form of TOML 1.0 (tables,
arrays of tables, dotted keys, inline tables, every string, integer, float and
date-time form, comments, CRLF line ends), some of them damaged by a random
edit, and feeds them to the decoder program in its --batch mode. For every
document both readers must agree on whether it is TOML, and on the decoded
values when it is. Exits 1 and prints the first disagreements otherwise.

    toml_differential.py DECODER [--documents N] [--seed S]

Two known differences are allowed, where tomllib departs from TOML 1.0:
TOML's grammar admits a leap second (":60"), which tomllib refuses since
Python's datetime cannot hold it; and TOML requires an error for an integer
beyond 64 bits, which tomllib reads as a Python int.
"""

import argparse
import datetime
import json
import math
import random
import re
import subprocess
import sys

import tomllib

BARE = "abcdefghijklmnopqrstuvwxyzABCXYZ0123456789_-"


class Generator:
    def __init__(self, rng):
        self.rng = rng

    def choice(self, *options):
        return self.rng.choice(options)

    def bare_key(self):
        return "".join(self.rng.choice(BARE) for _ in range(self.rng.randint(1, 6)))

    def simple_key(self):
        kind = self.rng.randrange(6)
        if kind == 0:
            return '"' + self.basic_content(False) + '"'
        if kind == 1:
            return "'" + self.literal_content(False) + "'"
        return self.rng.choice(["a", "b", "c", "meta", "subject", "controls"]) if kind == 2 else self.bare_key()

    def key(self):
        parts = [self.simple_key() for _ in range(self.rng.choice([1, 1, 1, 2, 3]))]
        return self.choice(".", " . ", ". ").join(parts)

    def basic_content(self, multiline):
        pieces = []
        for _ in range(self.rng.randint(0, 6)):
            kind = self.rng.randrange(9)
            if kind == 0:
                pieces.append(self.choice("\\n", "\\t", "\\\\", '\\"', "\\b", "\\f", "\\r"))
            elif kind == 1:
                pieces.append("\\u%04x" % self.rng.choice([0x41, 0xE9, 0x20AC, 0xD7FF, 0xE000, 0xFFFD]))
            elif kind == 2:
                pieces.append("\\U%08X" % self.rng.choice([0x1F600, 0x10FFFF, 0x41]))
            elif kind == 3:
                pieces.append(self.choice("é", "€", "監", "\U0001f512", "\t"))
            elif kind == 4 and multiline:
                pieces.append(self.choice("\n", "\r\n", '"', '""', "\\\n   ", "\\  \r\n\n  "))
            else:
                pieces.append(self.bare_key() + self.choice(" ", "#", "[", "{", "'", ""))
        return "".join(pieces)

    def literal_content(self, multiline):
        pieces = []
        for _ in range(self.rng.randint(0, 5)):
            kind = self.rng.randrange(5)
            if kind == 0:
                pieces.append(self.choice("\\", "\\n", '"', "é", "\t"))
            elif kind == 1 and multiline:
                pieces.append(self.choice("\n", "\r\n", "'", "''"))
            else:
                pieces.append(self.bare_key() + self.choice(" ", "#", "]", ""))
        return "".join(pieces)

    def string(self):
        kind = self.rng.randrange(4)
        if kind == 0:
            return '"' + self.basic_content(False) + '"'
        if kind == 1:
            return "'" + self.literal_content(False) + "'"
        if kind == 2:
            return '"""' + self.choice("", "\n", "\r\n") + self.basic_content(True) + '"""'
        return "'''" + self.choice("", "\n") + self.literal_content(True) + "'''"

    def digits(self, alphabet="0123456789", n=None):
        n = n or self.rng.randint(1, 5)
        text = self.rng.choice(alphabet.lstrip("0") or alphabet) + "".join(
            self.rng.choice(alphabet) for _ in range(n - 1)
        )
        if len(text) > 2 and self.rng.random() < 0.3:
            at = self.rng.randint(1, len(text) - 1)
            text = text[:at] + "_" + text[at:]
        return text

    def integer(self):
        kind = self.rng.randrange(6)
        if kind == 0:
            return self.choice("0x", "0x") + self.digits("0123456789abcdefABCDEF")
        if kind == 1:
            return "0o" + self.digits("01234567")
        if kind == 2:
            return "0b" + self.digits("01")
        if kind == 3:
            return self.choice("0", "+0", "-0", "9223372036854775807", "-9223372036854775808")
        return self.choice("", "+", "-") + self.digits()

    def float(self):
        kind = self.rng.randrange(5)
        if kind == 0:
            return self.choice("", "+", "-") + self.choice("inf", "nan")
        whole = self.choice("0", self.digits())
        text = self.choice("", "+", "-") + whole
        if kind in (1, 2):
            text += "." + self.digits(n=self.rng.randint(1, 30))
        if kind in (2, 3, 4):
            text += self.choice("e", "E") + self.choice("", "+", "-") + self.digits(n=self.rng.randint(1, 3))
        return text

    def date(self):
        year = self.rng.randint(1, 9999)
        month = self.rng.randint(1, 12)
        day = self.rng.randint(1, 31 if self.rng.random() < 0.2 else 28)
        return "%04d-%02d-%02d" % (year, month, day)

    def time(self):
        text = "%02d:%02d:%02d" % (self.rng.randint(0, 23), self.rng.randint(0, 59), self.rng.randint(0, 59))
        if self.rng.random() < 0.4:
            text += "." + "".join(self.rng.choice("0123456789") for _ in range(self.rng.randint(1, 12)))
        return text

    def date_time(self):
        kind = self.rng.randrange(4)
        if kind == 0:
            return self.date()
        if kind == 1:
            return self.time()
        text = self.date() + self.choice("T", "t", " ") + self.time()
        if kind == 3:
            text += self.choice("Z", "z", "+05:30", "-00:00", "+23:59")
        return text

    def value(self, depth=0):
        kind = self.rng.randrange(9 if depth < 3 else 6)
        if kind == 0:
            return self.string()
        if kind == 1:
            return self.integer()
        if kind == 2:
            return self.float()
        if kind == 3:
            return self.choice("true", "false")
        if kind in (4, 5):
            return self.date_time() if kind == 4 else self.string()
        if kind in (6, 7):
            separator = self.choice(", ", ",", " ,\n  ", ", # note\n")
            items = [self.value(depth + 1) for _ in range(self.rng.randint(0, 4))]
            return "[" + self.choice("", "\n ") + separator.join(items) + self.choice("", ",", "\n") + "]"
        pairs = [self.key() + " = " + self.value(depth + 1) for _ in range(self.rng.randint(0, 3))]
        return "{" + self.choice("", " ") + ", ".join(pairs) + self.choice("", " ") + "}"

    def document(self):
        lines = []
        newline = "\r\n" if self.rng.random() < 0.2 else "\n"
        for _ in range(self.rng.randint(1, 12)):
            kind = self.rng.randrange(10)
            if kind == 0:
                lines.append("# " + self.literal_content(False))
            elif kind == 1:
                lines.append("")
            elif kind == 2:
                lines.append("[" + self.key() + "]" + self.choice("", "  # table"))
            elif kind == 3:
                lines.append("[[" + self.key() + "]]")
            else:
                lines.append(
                    self.choice("", "  ")
                    + self.key()
                    + self.choice(" = ", "=", " =\t")
                    + self.value()
                    + self.choice("", " # comment")
                )
        text = newline.join(lines) + self.choice("", newline)
        if self.rng.random() < 0.3:
            text = self.damaged(text)
        return text.encode("utf-8", "surrogatepass")

    def damaged(self, text):
        if not text:
            return text
        at = self.rng.randrange(len(text))
        kind = self.rng.randrange(3)
        if kind == 0:
            return text[:at] + text[at + 1 :]
        insert = self.rng.choice(
            [
                '"',
                "'",
                "[",
                "]",
                "{",
                "}",
                "=",
                ",",
                ".",
                "\\",
                "#",
                "\n",
                " ",
                "\r",
                "\x00",
                "\x7f",
                "_",
                "0",
                "e",
                ":",
                "-",
                "T",
            ]
        )
        if kind == 1:
            return text[:at] + insert + text[at:]
        return text[:at] + insert + text[at + 1 :]


def tagged(value):
    """tomllib's value in the decoder's tagged JSON, with comparable leaves."""
    if isinstance(value, dict):
        return {key: tagged(item) for key, item in value.items()}
    if isinstance(value, list):
        return [tagged(item) for item in value]
    if isinstance(value, bool):
        return ("bool", value)
    if isinstance(value, int):
        if not -(2**63) <= value < 2**63:
            raise OverflowError(value)
        return ("integer", value)
    if isinstance(value, float):
        return ("float", "nan" if math.isnan(value) else value)
    if isinstance(value, str):
        return ("string", value)
    if isinstance(value, datetime.datetime):
        if value.tzinfo is None:
            return ("datetime-local", value.isoformat())
        return ("datetime", value.replace(tzinfo=None).isoformat(), value.utcoffset())
    if isinstance(value, datetime.date):
        return ("date-local", value.isoformat())
    return ("time-local", value.isoformat())


DATE_TIME = re.compile(r"^(\d{4}-\d\d-\d\d)?T?(\d\d:\d\d:\d\d)?(?:\.(\d+))?(Z|[+-]\d\d:\d\d)?$")


def comparable(node):
    """Our tagged JSON with the same comparable leaves."""
    if isinstance(node, list):
        return [comparable(item) for item in node]
    if set(node) != {"type", "value"} or not isinstance(node["value"], str):
        return {key: comparable(item) for key, item in node.items()}
    kind, text = node["type"], node["value"]
    if kind == "bool":
        return (kind, text == "true")
    if kind == "integer":
        return (kind, int(text))
    if kind == "float":
        number = float(text)
        return (kind, "nan" if math.isnan(number) else number)
    if kind == "string":
        return (kind, text)
    date, time, fraction, offset = DATE_TIME.match(text).groups()
    # Python keeps microseconds: further digits are cut, and none are shown
    # when they are all zero.
    micro = (fraction or "")[:6].ljust(6, "0")
    clock = time + ("." + micro if micro != "000000" else "") if time else None
    if kind == "date-local":
        return (kind, date)
    if kind == "time-local":
        return (kind, clock)
    stamp = date + "T" + clock
    if kind == "datetime-local":
        return (kind, stamp)
    delta = datetime.timedelta(0)
    if offset not in ("Z",):
        sign = -1 if offset[0] == "-" else 1
        delta = sign * datetime.timedelta(hours=int(offset[1:3]), minutes=int(offset[4:6]))
    return (kind, stamp, delta)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("decoder")
    parser.add_argument("--documents", type=int, default=20000)
    parser.add_argument("--seed", type=int, default=20261209)
    args = parser.parse_args()

    generator = Generator(random.Random(args.seed))
    documents = [generator.document() for _ in range(args.documents)]
    batch = b"".join(b"%d\n%s" % (len(data), data) for data in documents)
    run = subprocess.run([args.decoder, "--batch"], input=batch, capture_output=True, check=True)
    answers = run.stdout.decode("utf-8").split("\n")[: len(documents)]

    disagreements = []
    accepted = 0
    for data, answer in zip(documents, answers):
        try:
            expected = tagged(tomllib.loads(data.decode("utf-8")))
        except (UnicodeDecodeError, tomllib.TOMLDecodeError, ValueError, OverflowError):
            expected = None
        ours_ok = answer.startswith("ok ")
        if expected is None and ours_ok and re.search(rb":60(?![0-9])", data):
            continue  # a leap second: TOML allows it, tomllib does not
        if expected is None and not ours_ok:
            continue
        got = comparable(json.loads(answer[3:])) if ours_ok else None
        if got != expected:
            disagreements.append((data, answer, expected))
        accepted += ours_ok
    print(
        f"toml_differential: {len(documents)} documents, {accepted} TOML, "
        f"{len(documents) - accepted} refused, {len(disagreements)} disagreements with tomllib"
    )
    for data, answer, expected in disagreements[:10]:
        print(f"  document {data!r}\n    zorv:    {answer[:300]}\n    tomllib: {str(expected)[:300]}")
    return 1 if disagreements else 0


if __name__ == "__main__":
    sys.exit(main())
