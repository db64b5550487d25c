"""Decision logs: one JSON object per line for each decision served.

A line reads ``{"query": ..., "strictness": ..., "decision": ...,
"pack_sha256": ...}``, compact, keys in that order: the query as the caller
sent it (members in the caller's order, only the whitespace between tokens
taken out), the dial override or null, the decision text ``zorv.resolve``
returned, and the hex SHA-256 of the text of the pack key the lookup found
(also when that pack is malformed or out of its window), or null when no
key was found. A decision is a pure function of the query, the dial and the
pack text, so the line is all a replay needs.
"""

import json
import re
from typing import Dict, Iterator, Optional

from .pack_set import PackSet

__all__ = ["DecisionLogError", "decision_record", "many_records"]

# A string literal (kept as written) or a run of whitespace between tokens
# (dropped: the empty group 1 replaces it).
_TOKEN_SPACE = re.compile(r'("(?:[^"\\]|\\.)*")|[ \t\n\r]+', re.DOTALL)


class DecisionLogError(ValueError):
    """Input that cannot be logged; the message starts ``FILE:LINE:COLUMN: ``."""


def compact(json_text: str) -> str:
    """A valid JSON text without the whitespace outside its strings."""
    if not any(space in json_text for space in " \t\n\r"):
        return json_text
    return _TOKEN_SPACE.sub(r"\1", json_text)


class _Recorder:
    """Makes log lines for one set, hashing each pack once."""

    def __init__(self, packset: PackSet) -> None:
        self.packset = packset
        self.digests: Dict[str, str] = {}  # only keys the set has: as many as its packs

    def digest(self, key: str) -> Optional[str]:
        digest = self.digests.get(key)
        if digest is None:
            try:
                digest = self.digests[key] = self.packset.pack_sha256(key)
            except KeyError:
                return None
        return digest

    def looked_up_digest(self, query_json: str) -> Optional[str]:
        """The hash of the pack key the resolver reads for a query it accepted."""
        query = json.loads(query_json)
        # The positional form lists domain and profile first.
        domain, profile = (query[0], query[1]) if isinstance(query, list) else (query["domain"], query["profile"])
        for key in (f"{profile}/{domain}.zorv.toml", f"{profile}/{domain}.toml"):
            digest = self.digest(key)
            if digest is not None:
                return digest
        return None

    def record(self, query_json: str, strictness_override: Optional[str]) -> str:
        decision = self.packset.resolve(query_json, strictness_override)
        digest = self.looked_up_digest(query_json)
        strictness = "null" if strictness_override is None else json.dumps(strictness_override, ensure_ascii=False)
        sha = "null" if digest is None else f'"{digest}"'
        return f'{{"query":{compact(query_json)},"strictness":{strictness},"decision":{decision},"pack_sha256":{sha}}}'


def decision_record(packset: PackSet, query_json: str, strictness_override: Optional[str] = None) -> str:
    """The decision log line for one query, without its line feed.

    The decision is ``packset.resolve(query_json, strictness_override)``;
    an unusable query raises the ``ValueError`` ``zorv.resolve`` gives.
    """
    return _Recorder(packset).record(query_json, strictness_override)


def many_records(packset: PackSet, text: str, path: str, strictness_override: Optional[str] = None) -> Iterator[str]:
    """The log line of each query of a ``--many`` file, in order: the
    elements of a JSON array, or the lines of JSON Lines (split on line
    feeds only, blank lines skipped). A query the resolver refuses raises
    DecisionLogError naming ``path``, the line and the column."""
    recorder = _Recorder(packset)
    if text.lstrip().startswith("["):
        # The whole array first, so that a fault is reported where it is.
        packset.resolve_many(text, strictness_override)
        decoder = json.JSONDecoder()
        at = _skip_space(text, text.index("[") + 1)
        while text[at] != "]":
            _, end = decoder.raw_decode(text, at)
            yield recorder.record(text[at:end], strictness_override)
            at = _skip_space(text, end)
            if text[at] == ",":
                at = _skip_space(text, at + 1)
        return
    for number, line in enumerate(text.split("\n"), 1):
        if not line.strip(" \t\r"):
            continue
        try:
            yield recorder.record(line, strictness_override)
        except ValueError as error:
            message, _, where = str(error).rpartition(" at line ")
            column = where.partition(" column ")[2]
            raise DecisionLogError(
                f"{path}:{number}:{column}: {message}" if message else f"{path}:{number}: {error}"
            ) from error


def _skip_space(text: str, at: int) -> int:
    while text[at] in " \t\n\r":
        at += 1
    return at
