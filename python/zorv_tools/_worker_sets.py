"""Pack sets kept per process, for the engines' worker processes.

An engine ships the pack map's text to its workers (in a function's
closure, or as one piece of data per worker); each worker process reads it
into a ``PackSet`` the first time a batch needs it and keeps that set for
every later batch, keyed by the text's SHA-256, so a set is read once per
process however many batches or partitions the process is given.
"""

import hashlib
import os
import threading
from typing import Dict, Tuple, Union

from .pack_set import PackSet
from .packs import load_packs

__all__ = ["packs_text", "worker_set"]

# A worker keeps at most this many sets: a long-lived worker that is given
# one pack version after another does not keep every version.
_KEPT = 4

_sets: Dict[str, PackSet] = {}
_lock = threading.Lock()

Packs = Union[str, "os.PathLike[str]", PackSet]


def packs_text(packs: Packs) -> Tuple[str, str]:
    """The pack map text of ``packs`` and its hex SHA-256.

    ``packs`` is a ``PackSet``, a ``packs_json`` text (a JSON object) or a
    folder of packs. The text is read into a set here once, so an unusable
    map raises its ``ValueError`` before any engine starts work.
    """
    if isinstance(packs, PackSet):
        text = packs.packs_json
    elif isinstance(packs, str) and packs.lstrip().startswith("{"):
        text = packs
        PackSet(text)
    else:
        text = load_packs(os.fspath(packs))
    return text, hashlib.sha256(text.encode("utf-8")).hexdigest()


def worker_set(text: str, sha256: str) -> PackSet:
    """The set of the map ``text`` (whose SHA-256 is ``sha256``), read once per process."""
    with _lock:
        found = _sets.get(sha256)
        if found is not None:
            return found
    made = PackSet(text)
    with _lock:
        if sha256 not in _sets:
            while len(_sets) >= _KEPT:
                del _sets[next(iter(_sets))]
            _sets[sha256] = made
        return _sets[sha256]
