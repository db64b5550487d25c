"""``zorv replay``: a decision log decided again under the packs, and what changed."""

import argparse
import json
import sys
from typing import IO, Any, Callable, Dict

from .log_replay import ReplayError, replay_files
from .pack_set import PackSet

__all__ = ["add_replay_command", "format_markdown", "format_text"]


def _changes(example: Dict[str, Any]) -> str:
    before = set(example["before"].get("required", []))
    after = set(example["after"]["required"])
    parts = []
    if before - after:
        parts.append("no longer required: " + ", ".join(sorted(before - after)))
    if after - before:
        parts.append("newly required: " + ", ".join(sorted(after - before)))
    if example["before"].get("verdict") != example["after"]["verdict"]:
        parts.append(f"verdict {example['before'].get('verdict')} -> {example['after']['verdict']}")
    provenance = example["before"].get("provenance")
    old = provenance if isinstance(provenance, dict) else {}
    for name, value in example["after"]["provenance"].items():
        if old.get(name) != value:
            parts.append(
                f"{name} {json.dumps(old.get(name), ensure_ascii=False)} -> {json.dumps(value, ensure_ascii=False)}"
            )
    return "; ".join(parts)


def _where(example: Dict[str, Any]) -> str:
    return f"{example['file']}:{example['line']}" if example["file"] is not None else str(example["line"])


def _stem(example: Dict[str, Any]) -> str:
    query = example["query"]
    if isinstance(query, list):
        return f"{query[1]}/{query[0]} {query[3]}"
    return f"{query['profile']}/{query['domain']} {query['subject']}"


def format_text(summary: Dict[str, Any]) -> str:
    """The summary as lines of text."""
    lines = [
        f"{summary['records']} records: {summary['unchanged']} unchanged, {summary['changed']} changed "
        f"({summary['loosened']} loosened, {summary['tightened']} tightened, "
        f"{summary['provenance_only']} provenance only), {summary['bad']} bad lines skipped",
    ]
    for stem, counts in summary["by_pack"].items():
        lines.append(
            f"  {stem}: {counts['records']} records, {counts['changed']} changed, "
            f"{counts['loosened']} loosened, {counts['tightened']} tightened"
        )
    for name in ("lost", "gained"):
        if summary[name]:
            counted = ", ".join(f"{control} ({count})" for control, count in summary[name].items())
            lines.append(f"{name}: {counted}")
    if summary["examples"]:
        lines.append("examples:")
        for example in summary["examples"]:
            lines.append(f"  {_where(example)}: {_stem(example)}: {_changes(example)}")
    return "\n".join(lines) + "\n"


def _cell(text: str) -> str:
    return text.replace("\\", "\\\\").replace("|", "\\|").replace("\n", " ")


def format_markdown(summary: Dict[str, Any]) -> str:
    """The summary as a Markdown report, for a pull request comment."""
    lines = [
        "## Replay of recorded decisions",
        "",
        "| records | unchanged | changed | loosened | tightened | provenance only | bad |",
        "|---:|---:|---:|---:|---:|---:|---:|",
        "| "
        + " | ".join(
            str(summary[name])
            for name in ("records", "unchanged", "changed", "loosened", "tightened", "provenance_only", "bad")
        )
        + " |",
    ]
    if summary["by_pack"]:
        lines += ["", "| pack | records | changed | loosened | tightened |", "|---|---:|---:|---:|---:|"]
        for stem, counts in summary["by_pack"].items():
            lines.append(
                f"| {_cell(stem)} | {counts['records']} | {counts['changed']} | "
                f"{counts['loosened']} | {counts['tightened']} |"
            )
    if summary["lost"] or summary["gained"]:
        lines += ["", "| control | lost | gained |", "|---|---:|---:|"]
        for control in sorted(set(summary["lost"]) | set(summary["gained"])):
            lines.append(
                f"| {_cell(control)} | {summary['lost'].get(control, 0)} | {summary['gained'].get(control, 0)} |"
            )
    if summary["examples"]:
        lines += ["", "### Examples", ""]
        for example in summary["examples"]:
            lines.append(f"- `{_cell(_where(example))}` {_cell(_stem(example))}: {_cell(_changes(example))}")
    return "\n".join(lines) + "\n"


def _run(packs_json_of: Callable[[argparse.Namespace], str], args: argparse.Namespace, out: IO[str]) -> int:
    try:
        packset = PackSet(packs_json_of(args))
        summary = replay_files(packset, args.logs, examples=args.examples, skip_bad=args.skip_bad)
    except ReplayError as error:
        sys.stderr.write(f"zorv replay: {error}\n")
        return 2
    if args.format == "json":
        out.write(json.dumps(summary, ensure_ascii=False, indent=2) + "\n")
    elif args.format == "markdown":
        out.write(format_markdown(summary))
    else:
        out.write(format_text(summary))
    if args.fail_on == "loosen":
        return 1 if summary["loosened"] > 0 else 0
    if args.fail_on == "any":
        return 1 if summary["changed"] > 0 else 0
    return 0


def _count(text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a whole number: {text!r}") from None
    if value < 0:
        raise argparse.ArgumentTypeError(f"must be at least 0: {text!r}")
    return value


def add_replay_command(
    commands: Any,
    add_packs_options: Callable[[argparse.ArgumentParser], None],
    packs_json_of: Callable[[argparse.Namespace, Callable[[str], None]], str],
) -> None:
    """Adds ``replay`` to the command's subparsers."""
    parser = commands.add_parser(
        "replay",
        help="decide logged queries again and report what changed",
        description="Decide every record of the decision logs (JSON Lines, as `zorv resolve --many --log` writes "
        "them) again under the packs, and compare each with the decision it recorded.",
    )
    add_packs_options(parser)
    parser.add_argument("logs", nargs="+", metavar="LOG", help="decision log file, or - for standard input")
    parser.add_argument(
        "--format",
        choices=["text", "json", "markdown"],
        default="text",
        help="a summary in text (default), the JSON summary, or a Markdown report",
    )
    parser.add_argument(
        "--fail-on",
        choices=["loosen", "any"],
        help="exit 1 when a record was loosened (loosen) or changed at all (any)",
    )
    parser.add_argument(
        "--examples", type=_count, default=20, metavar="N", help="show the first N changed records (default 20)"
    )
    parser.add_argument(
        "--skip-bad", action="store_true", help="count lines that are not records instead of stopping at the first"
    )
    parser.set_defaults(run=lambda args, out, warn: _run(lambda parsed: packs_json_of(parsed, warn), args, out))
