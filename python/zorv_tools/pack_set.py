"""A pack map read once and kept to answer queries: ``PackSet``."""

import hashlib
import os
from typing import Tuple, Type, TypeVar, Union

from . import _native
from .packs import load_packs

__all__ = ["PackSet"]

_Set = TypeVar("_Set", bound="PackSet")


class PackSet(_native.PackSet):
    """A pack map read once, with every pack in it, answering any number of queries.

    ``PackSet(packs_json)`` reads the map once, and each pack once, the first
    time a query needs it; every answer after that costs reading the query
    and deciding it. ``resolve``,
    ``resolve_with_receipts`` and ``explain`` return exactly the text of
    ``zorv.resolve``, ``zorv.resolve_with_receipts`` and
    ``zorv_tools.explain`` for the same map, byte for byte, and raise the
    same ``ValueError`` messages for unusable query or context JSON; an
    unusable ``packs_json`` raises the ``ValueError`` that ``zorv.resolve``
    gives for it. A pack that is malformed is no error: its queries get the
    fall-back ``zorv.resolve`` gives.

    ``resolve_many(queries_json, strictness_override=None, *, threads=None)``
    answers a JSON array of queries as ``zorv_tools.resolve_many`` does,
    shared out over ``threads`` native threads (default: the usable cores)
    with the interpreter lock released; its text is the same for every
    ``threads``.

    A set is immutable: any number of threads may call any method at once.
    It pickles as its pack map text, so a worker process that unpickles it
    reads the map again and answers the same.
    """

    __slots__ = ()

    @classmethod
    def from_dir(cls: Type[_Set], path: Union[str, "os.PathLike[str]"]) -> _Set:
        """The set of every ``.toml`` file below ``path``: ``PackSet(load_packs(path))``."""
        return cls(load_packs(os.fspath(path)))

    def pack_sha256(self, key: str) -> str:
        """The hex SHA-256 of the UTF-8 text of the pack filed under ``key``.

        Raises ``KeyError`` when the set holds no pack under ``key``.
        """
        return hashlib.sha256(self._pack_utf8(key)).hexdigest()

    def __reduce__(self) -> Tuple[Type["PackSet"], Tuple[str]]:
        return (type(self), (self.packs_json,))

    def __repr__(self) -> str:
        return f"<{type(self).__name__} of {len(self)} packs>"
