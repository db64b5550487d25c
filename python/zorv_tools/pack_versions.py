"""Reading one version of a pack map for ``zorv diff``.

A version is named the way a reviewer names it: a pack folder (read as
``--packs`` reads it), a ``packs_json`` file, or ``REV:FOLDER``, the folder
as it was at a git revision of the repository of the current directory.
"""

import json
import os
import subprocess
from typing import Dict, List, Optional, Tuple

from .packs import PackLoadError, load_packs, read_pack_file

__all__ = ["read_version"]

# Blob modes of files; links (120000) and submodules (160000) are not packs.
_FILE_MODES = ("100644", "100755")


def read_version(version: str, cwd: Optional[str] = None) -> str:
    """The ``packs_json`` text of the pack version ``version`` names.

    An existing folder or file is read as such; otherwise ``version`` must be
    ``REV:FOLDER``. Raises ``PackLoadError`` naming ``version`` when it cannot
    be read.
    """
    where = cwd if cwd is not None else os.getcwd()
    path = os.path.join(where, version)
    if os.path.isdir(path):
        return load_packs(path)
    if os.path.isfile(path):
        return read_pack_file(path)
    revision, colon, folder = version.partition(":")
    if not colon or not revision:
        raise PackLoadError(f"{version}: no such folder or file, and not REV:FOLDER")
    return _read_git_folder(revision, folder, where, version)


def _git_folder_path(folder: str, version: str) -> str:
    """FOLDER as a path from the repository's root, refused when it could
    name anything else (an absolute path, "." or ".." parts)."""
    parts = [part for part in folder.split("/") if part != ""]
    if folder.startswith("/") or any(part in (".", "..") for part in parts):
        raise PackLoadError(f"{version}: FOLDER must be a path from the repository's root, without '.' or '..' parts")
    return "/".join(parts)


def _git(args: List[str], cwd: str, version: str, data: Optional[bytes] = None) -> bytes:
    try:
        done = subprocess.run(["git", *args], cwd=cwd, input=data, capture_output=True, check=False)
    except OSError as error:
        raise PackLoadError(f"{version}: cannot run git: {error.strerror}") from error
    if done.returncode != 0:
        message = done.stderr.decode("utf-8", "replace").strip().splitlines()
        raise PackLoadError(f"{version}: {message[-1] if message else 'git failed'}")
    return done.stdout


def _read_git_folder(revision: str, folder: str, cwd: str, version: str) -> str:
    if revision.startswith("-"):
        raise PackLoadError(f"{version}: a revision cannot start with '-'")
    path = _git_folder_path(folder, version)
    root = _git(["rev-parse", "--show-toplevel"], cwd, version).decode("utf-8", "surrogateescape").rstrip("\n")
    try:
        commit = (
            _git(["rev-parse", "--verify", "--quiet", "--end-of-options", revision + "^{commit}"], root, version)
            .decode("ascii")
            .strip()
        )
    except PackLoadError as error:
        raise PackLoadError(f"{version}: no revision {revision!r} in the repository at {root}") from error
    tree = commit + (":" + path if path else "^{tree}")
    kind = _git(["cat-file", "-t", tree], root, version).decode("ascii").strip()
    if kind != "tree":
        raise PackLoadError(f"{version}: not a folder at that revision")
    listing = _git(["ls-tree", "-r", "-z", "--full-tree", tree], root, version)
    blobs: List[Tuple[str, str]] = []
    for entry in listing.split(b"\0"):
        if not entry:
            continue
        info, _, name = entry.partition(b"\t")
        mode, kind, object_id = info.decode("ascii").split(" ")
        if mode not in _FILE_MODES or not name.endswith(b".toml"):
            continue
        try:
            key = name.decode("utf-8")
        except UnicodeDecodeError as error:
            raise PackLoadError(f"{version}: a file name is not UTF-8") from error
        blobs.append((key, object_id))
    blobs.sort(key=lambda blob: blob[0].encode("utf-8"))
    texts = _read_blobs([object_id for _, object_id in blobs], root, version)
    packs: Dict[str, str] = {}
    for (key, _), data in zip(blobs, texts):
        try:
            packs[key] = data.decode("utf-8")
        except UnicodeDecodeError as error:
            raise PackLoadError(
                f"{version}/{key}: not UTF-8 text (byte {error.start + 1} cannot start or continue a character)"
            ) from error
    return json.dumps(packs, ensure_ascii=False)


def _read_blobs(object_ids: List[str], root: str, version: str) -> List[bytes]:
    """The contents of the blobs, in order, from one ``git cat-file``."""
    if not object_ids:
        return []
    output = _git(["cat-file", "--batch"], root, version, ("\n".join(object_ids) + "\n").encode("ascii"))
    contents: List[bytes] = []
    at = 0
    for _ in object_ids:
        header_end = output.index(b"\n", at)
        size = int(output[at:header_end].split(b" ")[2])
        contents.append(output[header_end + 1 : header_end + 1 + size])
        at = header_end + 1 + size + 1
    return contents
