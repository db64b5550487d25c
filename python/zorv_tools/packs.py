"""Reading a folder of pack files into a ``packs_json`` text."""

import json
import os
import re
from dataclasses import dataclass
from typing import Dict, List, Optional, Tuple, Union

__all__ = ["PackLoadError", "UnreadablePack", "load_packs", "pack_files", "read_packs"]

PathLike = Union[str, "os.PathLike[str]"]
_ESCAPED_BYTE = re.compile("[\udc80-\udcff]")


class PackLoadError(ValueError):
    """A pack folder or file that cannot be read; the message names it."""


@dataclass(frozen=True)
class UnreadablePack:
    """A pack file that could not be read as UTF-8 text. ``line`` and
    ``column`` (from 1, in characters) point at the first byte that is not
    UTF-8, or are 1 and 1 when the file could not be opened."""

    key: str
    path: str
    message: str
    line: int
    column: int


def pack_files(directory: PathLike) -> List[Tuple[str, str]]:
    """Every regular ``.toml`` file below ``directory``: (key, path) pairs.

    The key is the path relative to ``directory`` with ``/`` separators.
    Symbolic links below the directory are not followed: a link inside it
    leads to a file or folder read under its own path already, so each file
    is read once, under its own name, and a link leading outside is never
    read. Pairs come in ascending byte order of the keys.
    """
    directory = os.fspath(directory)
    if not os.path.isdir(directory):
        raise PackLoadError(f"{directory}: not a folder")
    found: List[Tuple[str, str]] = []
    pending: List[Tuple[str, str]] = [(os.path.realpath(directory), "")]
    while pending:
        real, prefix = pending.pop()
        try:
            with os.scandir(real) as listing:
                entries = list(listing)
        except OSError as error:
            raise PackLoadError(f"{os.path.join(directory, prefix)}: {error.strerror}") from error
        for entry in entries:
            if entry.is_symlink():
                continue
            key = prefix + entry.name
            if entry.is_dir(follow_symlinks=False):
                pending.append((entry.path, key + "/"))
            elif entry.name.endswith(".toml") and entry.is_file(follow_symlinks=False):
                found.append((key, os.path.join(directory, *key.split("/"))))
    return sorted(found, key=lambda pair: _key_bytes(pair[0], pair[1]))


def _key_bytes(key: str, path: str) -> bytes:
    try:
        return key.encode("utf-8")
    except UnicodeEncodeError as error:
        raise PackLoadError(f"{path}: the file name is not UTF-8") from error


def _not_utf8(path: str, error: UnicodeDecodeError) -> PackLoadError:
    return PackLoadError(f"{path}: not UTF-8 text (byte {error.start + 1} cannot start or continue a character)")


def _position(text: str) -> Tuple[int, int]:
    """Line and column just past ``text``, lines counted by line feeds."""
    line = text.count("\n") + 1
    return line, len(text) - (text.rfind("\n") + 1) + 1


def read_pack_bytes(key: str, path: str) -> Tuple[str, Optional[UnreadablePack]]:
    """The text of one pack file and, when it is not readable UTF-8, what is
    wrong with it. An unreadable file's text stands in as a text that is not
    TOML: every byte that is not UTF-8 becomes a NUL character (which TOML
    allows nowhere), so the resolver reads the pack as malformed and its
    fault points at the first such byte."""
    try:
        with open(path, "rb") as file:
            data = file.read()
    except OSError as error:
        return "\0", UnreadablePack(key, path, f"{path}: {error.strerror}", 1, 1)
    try:
        return data.decode("utf-8"), None
    except UnicodeDecodeError as error:
        line, column = _position(data[: error.start].decode("utf-8"))
        # Each byte that is not UTF-8 decodes to one lone surrogate, which
        # no UTF-8 text holds, so only those become NUL.
        text = _ESCAPED_BYTE.sub("\0", data.decode("utf-8", errors="surrogateescape"))
        return text, UnreadablePack(key, path, str(_not_utf8(path, error)), line, column)


def read_pack_file(path: str) -> str:
    """The UTF-8 text of one pack file, line ends as written; raises
    ``PackLoadError`` when it cannot be read or is not UTF-8."""
    text, problem = read_pack_bytes(path, path)
    if problem is not None:
        raise PackLoadError(problem.message)
    return text


def read_packs(directory: PathLike) -> Tuple[Dict[str, str], List[UnreadablePack]]:
    """The pack texts below ``directory`` keyed as ``load_packs`` keys them,
    and the files among them that could not be read. An unreadable file is
    kept under its key with a text the resolver reads as malformed, so a
    query for it falls back and every other query is answered as usual.
    Raises ``PackLoadError`` only when the folder itself cannot be walked."""
    packs: Dict[str, str] = {}
    unreadable: List[UnreadablePack] = []
    for key, path in pack_files(directory):
        packs[key], problem = read_pack_bytes(key, path)
        if problem is not None:
            unreadable.append(problem)
    return packs, unreadable


def load_packs(directory: PathLike) -> str:
    """A ``packs_json`` text of every ``.toml`` file below ``directory``.

    ``directory`` is a ``str`` or an ``os.PathLike``. Each file is keyed by
    its path relative to ``directory`` with ``/`` separators
    (``retail/payments.zorv.toml``) and holds its text; keys are in
    ascending byte order. Raises ``PackLoadError`` (a ``ValueError``) naming
    the file when a file is not UTF-8 or cannot be read. Symbolic links are
    not followed, so each file is read once, under its own path.
    """
    packs: Dict[str, str] = {key: read_pack_file(path) for key, path in pack_files(directory)}
    return json.dumps(packs, ensure_ascii=False)
