"""``zorv diff``: what a pack change does to the answers, exactly.

For every pack a query can reach, every subject class, every dial and every
``as_of``, the answers of two versions of a pack map are compared as
functions of the caller's universe; each difference comes with a query that
shows it.
"""

import argparse
import json
import sys
from typing import IO, Any, Callable

from . import _native
from .diff_report import format_markdown, format_text
from .pack_versions import read_version
from .packs import PackLoadError

__all__ = ["add_diff_command", "diff"]


def diff(old_packs_json: str, new_packs_json: str) -> str:
    """The differences between the answers of two ``packs_json`` texts.

    Returns a JSON object ``{"changes": [...], "summary": {...}}``: one
    change per pack stem, subject class, dial and pair of differing answers,
    with the ``as_of`` ranges where it holds, the answers ``before`` and
    ``after``, the controls ``added`` and ``removed``, whether it
    ``loosens``, and a ``witness`` query that ``zorv.resolve`` answers
    differently under the two. Raises ``ValueError`` when either text is
    not a pack map.
    """
    return _native.diff(old_packs_json, new_packs_json)


def _run(args: argparse.Namespace, out: IO[str], _warn: Callable[[str], None]) -> int:
    try:
        old_packs_json = read_version(args.old)
        new_packs_json = read_version(args.new)
    except PackLoadError as error:
        sys.stderr.write(f"zorv diff: {error}\n")
        return 2
    text = diff(old_packs_json, new_packs_json)
    result: Any = json.loads(text)
    if args.format == "json":
        out.write(text + "\n")
    elif args.format == "markdown":
        out.write(format_markdown(result))
    else:
        out.write(format_text(result))
    summary = result["summary"]
    failing = summary["loosening"] if args.fail_on == "loosen" else summary["changes"] if args.fail_on else 0
    return 1 if failing else 0


def add_diff_command(commands: Any) -> None:
    """Adds ``diff`` to the ``zorv`` command's subparsers."""
    parser = commands.add_parser(
        "diff",
        help="say what a pack change does to the answers",
        description="Compare what two versions of a pack map answer, for every query. OLD and NEW are each a "
        "pack folder, a packs_json file, or REV:FOLDER (the folder at a git revision of the repository here, "
        "FOLDER from the repository's root). Exit status 1 when --fail-on matches, 2 when an input cannot "
        "be read.",
    )
    parser.add_argument("old", metavar="OLD", help="the version before the change")
    parser.add_argument("new", metavar="NEW", help="the version after the change")
    parser.add_argument(
        "--format",
        choices=["text", "json", "markdown"],
        default="text",
        help="one paragraph per change (default), the JSON object, or a Markdown table",
    )
    parser.add_argument(
        "--fail-on",
        choices=["loosen", "any"],
        help="exit with 1 when some change loosens (loosen) or when there is any change (any)",
    )
    parser.set_defaults(run=_run)
