"""Tools over the ``zorv`` resolver for people who write and ship packs.

``load_packs`` reads a folder of pack files into a ``packs_json`` text,
``explain`` says why a query got its answer, control by control, and
``resolve_many`` answers many queries against one pack map in one call, and
``lint`` finds the mistakes in a pack that silently change answers.
``PackSet`` reads a pack map once and answers queries against it, for
services that answer many. ``decision_record`` makes a decision log line
and ``replay`` decides a log's records again under changed packs. The
``zorv`` command (also ``python -m zorv_tools``) puts these and a pack test
runner on the command line.
"""

from typing import Optional

from . import _native
from .decision_log import decision_record
from .pack_lint import Finding, lint
from .pack_set import PackSet
from .packs import PackLoadError, load_packs
from .log_replay import ReplayError, replay

__all__ = [
    "Finding", "PackLoadError", "PackSet", "ReplayError", "decision_record", "explain", "lint", "load_packs", "replay",
    "resolve_many",
]


def explain(packs_json: str, query_json: str, strictness_override: Optional[str] = None) -> str:
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


def resolve_many(packs_json: str, queries_json: str, strictness_override: Optional[str] = None) -> str:
    """Resolve a JSON array of queries against one pack map.

    Returns ``[``, the texts ``zorv.resolve`` gives for each query in order
    joined by ``,``, then ``]``. The map is read once and each pack in it at
    most once. Raises ``ValueError``: for the pack map with the message of
    ``zorv.resolve``; for a query as "queries_json[<index>] is not a valid
    RegulatoryQuery: ..." with the line and column in ``queries_json``.
    """
    return _native.resolve_many(packs_json, queries_json, strictness_override)
