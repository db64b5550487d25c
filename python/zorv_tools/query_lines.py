"""Files of many queries: a JSON array, or JSON Lines (one query a line).

JSON Lines are split on line feeds only (a carriage return before one
belongs to the break): JSON strings may hold U+2028, U+2029 and U+0085 raw,
so no other character ends a line. Each line is decided as written, and a
fault is reported at its line and column in the file.
"""

import json
import re
from typing import Any, Dict, List, Optional, Protocol, Tuple, Union

import zorv

from . import _native

__all__ = ["QueryFileError", "decision_texts", "query_lines", "query_objects", "resolve_query_file"]

# The whitespace JSON allows around a value; str.strip would take more.
JSON_SPACE = " \t\n\r"
_AT_LINE = re.compile(r" at line (\d+) column (\d+)$")


class QueryFileError(ValueError):
    """A query of a file the resolver cannot use: ``LINE:COLUMN: message``,
    the position in the file."""


def is_json_array(text: str) -> bool:
    """Whether a many-query text is a JSON array rather than JSON Lines."""
    return text.lstrip(JSON_SPACE).startswith("[")


def query_lines(text: str) -> List[Tuple[int, str]]:
    """The non-blank lines of a JSON Lines text with their line numbers,
    each checked to hold one JSON value at most; raises QueryFileError for
    a line with more after its value."""
    decoder = json.JSONDecoder()
    lines: List[Tuple[int, str]] = []
    for number, line in enumerate(text.split("\n"), 1):
        if line.endswith("\r"):
            line = line[:-1]
        start = len(line) - len(line.lstrip(JSON_SPACE))
        if start == len(line):
            continue
        try:
            _, end = decoder.raw_decode(line, start)
        except (ValueError, RecursionError):
            end = None  # the resolver describes the fault when it is decided
        if end is not None and line[end:].strip(JSON_SPACE):
            extra = end + len(line[end:]) - len(line[end:].lstrip(JSON_SPACE))
            raise QueryFileError(f"{number}:{extra + 1}: a line of JSON Lines holds one query; more follows it")
        lines.append((number, line))
    return lines


class Resolver(Protocol):
    """What answers a many-query file: a ``PackSet``, or a pack map text
    read for each call (``_MapText``)."""

    def resolve(self, query_json: str, strictness_override: Optional[str] = None) -> str: ...

    def resolve_many(self, queries_json: str, strictness_override: Optional[str] = None) -> str: ...


class _MapText:
    """A ``packs_json`` text answering as ``zorv.resolve`` and
    ``zorv_tools.resolve_many`` do: only the packs a query asks for are read."""

    def __init__(self, packs_json: str) -> None:
        self.packs_json = packs_json

    def resolve(self, query_json: str, strictness_override: Optional[str] = None) -> str:
        return zorv.resolve(self.packs_json, query_json, strictness_override)

    def resolve_many(self, queries_json: str, strictness_override: Optional[str] = None) -> str:
        return _native.resolve_many(self.packs_json, queries_json, strictness_override)


def _line_fault(packs: Resolver, number: int, line: str, strictness: Optional[str]) -> Optional[QueryFileError]:
    """The resolver's fault for one line, at its place in the file."""
    try:
        packs.resolve(line, strictness)
    except ValueError as error:
        message = str(error)
        where = _AT_LINE.search(message)
        if where is None or where.group(1) != "1":
            return QueryFileError(f"{number}:1: {message}")
        column = where.group(2)
        return QueryFileError(f"{number}:{column}: {message[: where.start()]} at line {number} column {column}")
    return None


def resolve_query_file(packs: Union[str, Resolver], text: str, strictness: Optional[str] = None) -> List[str]:
    """The compact decision of each query of a many-query text, in order,
    against a pack set or a ``packs_json`` text. Raises ValueError for an
    unusable pack map (the resolver's message) and QueryFileError for an
    unusable query."""
    if isinstance(packs, str):
        packs = _MapText(packs)
    if is_json_array(text):
        try:
            return decision_texts(packs.resolve_many(text, strictness))
        except ValueError as error:
            where = _AT_LINE.search(str(error))
            if where is None or not str(error).startswith("queries_json"):
                raise
            raise QueryFileError(f"{where.group(1)}:{where.group(2)}: {error}") from error
    lines = query_lines(text)
    try:
        # Each line is one JSON value, so joining them by commas keeps
        # the n-th element the n-th query as written.
        joined = packs.resolve_many("[" + ",".join(line for _, line in lines) + "]", strictness)
    except ValueError as error:
        found = re.match(r"queries_json\[(\d+)\]", str(error))
        if found is None:
            raise
        number, line = lines[int(found.group(1))]
        fault = _line_fault(packs, number, line, strictness)
        raise (fault or QueryFileError(f"{number}:1: {error}")) from error
    decisions = decision_texts(joined)
    if len(decisions) != len(lines):
        raise AssertionError("one decision per query line")
    return decisions


def decision_texts(joined: str) -> List[str]:
    """Splits resolve_many's "[d1,d2,...]" into the decision texts as written."""
    decoder = json.JSONDecoder()
    texts: List[str] = []
    at = 1
    while joined[at] != "]":
        _, end = decoder.raw_decode(joined, at)
        texts.append(joined[at:end])
        at = end + 1 if joined[end] == "," else end
    return texts


def query_objects(text: str) -> List[Tuple[str, Dict[str, Any]]]:
    """The queries of a many-query text the resolver has answered, as
    Python reads them, each with its place to follow the file's name:
    ``":LINE"`` for JSON Lines, ``"[INDEX]"`` for an array. Entries that are
    not objects are left out."""
    try:
        if is_json_array(text):
            found = [(f"[{index}]", value) for index, value in enumerate(json.loads(text))]
        else:
            found = [(f":{number}", json.loads(line)) for number, line in query_lines(text)]
    except (ValueError, RecursionError):
        return []
    return [(place, value) for place, value in found if isinstance(value, dict)]
