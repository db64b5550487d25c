"""Tools over the ``zorv`` resolver for people who write and ship packs.

``load_packs`` reads a folder of pack files into a ``packs_json`` text,
``explain`` says why a query got its answer, control by control, and
``resolve_many`` answers many queries against one pack map in one call, and
``lint`` and ``lint_dir`` find the mistakes in packs that silently change
answers, and ``diff`` says exactly what a change to the packs does to the
answers. ``PackSet`` reads a pack map once and answers queries against it,
for services that answer many. ``decision_record`` makes a decision log line
and ``replay`` decides a log's records again under changed packs. The
``zorv`` command (also ``python -m zorv_tools``) puts these and a pack test
runner on the command line.
"""

import typing as _typing

from . import _native
from .decision_log import decision_record
from .log_replay import ReplayError, replay
from .pack_diff import diff
from .pack_lint import Finding, findings_to_json, lint, lint_dir
from .pack_set import PackSet
from .packs import PackLoadError, load_packs
from .query_lines import is_json_array as _is_json_array
from .query_lines import resolve_query_file as _resolve_query_file

__all__ = [
    "Finding",
    "PackLoadError",
    "PackSet",
    "ReplayError",
    "decision_record",
    "diff",
    "explain",
    "findings_to_json",
    "lint",
    "lint_dir",
    "load_packs",
    "replay",
    "resolve_many",
]


def explain(packs_json: str, query_json: str, strictness_override: _typing.Optional[str] = None) -> str:
    """Explain the decision ``zorv.resolve`` gives for the same arguments.

    Returns a JSON object with the members ``decision`` (the decision itself),
    ``pack`` (``source``: the key used or null; ``tried``: the keys looked up),
    ``strictness`` (``effective`` and ``from``: "override", "pack", "default"
    or "fall-back"), ``fall_back`` (null, or its ``kind``, ``detail``,
    ``line`` and ``column``) and ``controls``: one entry per control of the
    universe in ascending byte order, with ``required``, ``reason`` and the
    ``line`` and ``column`` where the pack lists it. Raises ``ValueError``
    with the message ``zorv.resolve`` gives for unusable JSON.
    """
    return _native.explain(packs_json, query_json, strictness_override)


def resolve_many(packs_json: str, queries_json: str, strictness_override: _typing.Optional[str] = None) -> str:
    """Resolve many queries against one pack map: ``queries_json`` is a JSON
    array of queries, or JSON Lines (one query a line, lines ended by line
    feeds only).

    Returns ``[``, the texts ``zorv.resolve`` gives for each query in order
    joined by ``,``, then ``]``. The map is read once and each pack in it at
    most once. Raises ``ValueError``: for the pack map with the message of
    ``zorv.resolve``; for a query of an array as "queries_json[<index>] is
    not a valid RegulatoryQuery: ..." with the line and column in
    ``queries_json``; for a line of JSON Lines as "LINE:COLUMN: " and the
    resolver's message for that line.
    """
    if _is_json_array(queries_json):
        return _native.resolve_many(packs_json, queries_json, strictness_override)
    return "[" + ",".join(_resolve_query_file(packs_json, queries_json, strictness_override)) + "]"
