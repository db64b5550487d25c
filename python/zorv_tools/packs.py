"""Reading a folder of pack files into a ``packs_json`` text."""

import json
import os
from typing import Dict, FrozenSet, List, Tuple

__all__ = ["PackLoadError", "load_packs", "pack_files"]


class PackLoadError(ValueError):
    """A pack folder or file that cannot be read; the message names it."""


def _inside(path: str, root: str) -> bool:
    return path == root or path.startswith(root.rstrip(os.sep) + os.sep)


def pack_files(directory: str) -> List[Tuple[str, str]]:
    """Every regular ``.toml`` file below ``directory``: (key, path) pairs.

    The key is the path relative to ``directory`` with ``/`` separators.
    Symbolic links are followed only while they stay inside the directory
    (a linked folder is read again under its own name, as an alias), and
    never back into a folder above them. Pairs come in ascending byte order
    of the keys.
    """
    if not os.path.isdir(directory):
        raise PackLoadError(f"{directory}: not a folder")
    root = os.path.realpath(directory)
    found: List[Tuple[str, str]] = []
    # Each folder with the real paths above it: a link back to one of them
    # would loop, so it is not followed.
    pending: List[Tuple[str, str, FrozenSet[str]]] = [(root, "", frozenset())]
    while pending:
        real, prefix, above = pending.pop()
        try:
            entries = sorted(os.scandir(real), key=lambda entry: entry.name)
        except OSError as error:
            raise PackLoadError(f"{os.path.join(directory, prefix)}: {error.strerror}") from error
        for entry in entries:
            key = prefix + entry.name
            target = os.path.realpath(entry.path)
            if entry.is_symlink() and not _inside(target, root):
                continue
            if entry.is_dir():
                if target not in above and target != real:
                    pending.append((target, key + "/", above | {real}))
            elif entry.name.endswith(".toml") and entry.is_file():
                found.append((key, os.path.join(directory, *key.split("/"))))
    return sorted(found, key=lambda pair: _key_bytes(pair[0], pair[1]))


def _key_bytes(key: str, path: str) -> bytes:
    try:
        return key.encode("utf-8")
    except UnicodeEncodeError as error:
        raise PackLoadError(f"{path}: the file name is not UTF-8") from error


def read_pack_file(path: str) -> str:
    """The UTF-8 text of one pack file, line ends as written."""
    try:
        with open(path, "rb") as file:
            data = file.read()
    except OSError as error:
        raise PackLoadError(f"{path}: {error.strerror}") from error
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError as error:
        raise PackLoadError(f"{path}: not UTF-8 text (byte {error.start + 1} cannot start or continue "
                            "a character)") from error


def load_packs(directory: str) -> str:
    """A ``packs_json`` text of every ``.toml`` file below ``directory``.

    Each file is keyed by its path relative to ``directory`` with ``/``
    separators (``retail/payments.zorv.toml``) and holds its text; keys are
    in ascending byte order. Raises ``PackLoadError`` (a ``ValueError``)
    naming the file when a file is not UTF-8 or cannot be read. Symbolic
    links that lead outside the directory are not followed.
    """
    packs: Dict[str, str] = {key: read_pack_file(path) for key, path in pack_files(directory)}
    return json.dumps(packs, ensure_ascii=False)
