"""The ``zorv`` command: resolve, explain, test and lint packs from the shell.

Every command reads packs from ``--packs DIR`` (a folder laid out by pack
key, default ``./packs``) or ``--packs-json FILE`` (a ``packs_json`` text).
Exit status: 0 on success (a fall-back is a decision like any other), 1 when
pack tests fail or lint finds a mistake that weakens an answer, 2 for usage
errors and unusable input, always with one line on standard error.
"""

import argparse
import json
import os
import re
import sys
from importlib import metadata
from typing import IO, Any, Callable, Dict, NoReturn, Optional, Sequence

from .cases import CaseFileError, read_case_file, run_case_files
from .coverage import report_coverage, threshold_percent
from .decision_log import DecisionLogError, many_records
from .pack_diff import add_diff_command
from .pack_lint import format_json, format_sarif, format_text, lint_paths, weakens_answers
from .pack_set import PackSet
from .packs import PackLoadError, read_packs
from .query_checks import decision_warnings, many_query_key_warnings, override_warnings, query_object, unrecognised_dial
from .query_lines import QueryFileError, query_objects, resolve_query_file
from .replay_command import add_replay_command

__all__ = ["main"]

Warn = Callable[[str], None]


class UsageError(Exception):
    """Input the command cannot use; the message is printed as is."""


def _read_input(path: str) -> str:
    """The UTF-8 text of a file, or of standard input for ``-``."""
    name = "standard input" if path == "-" else path
    try:
        if path == "-":
            # The bytes, so that text that is not UTF-8 is reported like a file's.
            stream = getattr(sys.stdin, "buffer", None)
            if stream is None:
                return sys.stdin.read()
            data: bytes = stream.read()
        else:
            with open(path, "rb") as file:
                data = file.read()
        return data.decode("utf-8")
    except OSError as error:
        raise UsageError(f"{name}: {error.strerror}") from error
    except UnicodeDecodeError as error:
        raise UsageError(
            f"{name}: not UTF-8 text (byte {error.start + 1} cannot start or continue a character)"
        ) from error


def _pack_map(args: argparse.Namespace, warn: Warn) -> str:
    """The ``packs_json`` text the command resolves against. A pack file
    that cannot be read is a warning, and the resolver reads it as
    malformed, so only the queries for it fall back."""
    if args.packs_json is not None:
        return _read_input(args.packs_json)
    try:
        packs, unreadable = read_packs(args.packs)
    except PackLoadError as error:
        raise UsageError(str(error)) from error
    for problem in unreadable:
        warn(f"{problem.message}: queries for `{problem.key}` fall back as for a malformed pack")
    return json.dumps(packs, ensure_ascii=False)


def _resolver_fault(error: ValueError, args: argparse.Namespace) -> UsageError:
    """The resolver's message for unusable JSON, led by the file it is
    about and the position it gives: ``FILE:LINE:COLUMN: message``."""
    message = str(error)
    files = {
        "packs_json": getattr(args, "packs_json", None),
        "query_json": getattr(args, "query", None),
        "ctx_json": getattr(args, "receipts", None),
    }
    name = files.get(message.split(" ", 1)[0])
    if name is None:
        return UsageError(message)
    where = re.search(r" at line (\d+) column (\d+)$", message)
    shown = "standard input" if name == "-" else name
    return UsageError(f"{shown}:{where.group(1)}:{where.group(2)}: {message}" if where else f"{shown}: {message}")


def _add_packs_options(parser: argparse.ArgumentParser) -> None:
    source = parser.add_mutually_exclusive_group()
    source.add_argument(
        "--packs",
        metavar="DIR",
        default="packs",
        help="folder of pack files, keyed by their path in it (default: ./packs)",
    )
    source.add_argument("--packs-json", metavar="FILE", help="a packs_json file instead of a folder")


def _add_quiet_option(parser: argparse.ArgumentParser) -> None:
    parser.add_argument(
        "--quiet", "-q", action="store_true", help="print no warnings about mistakes that change the answer"
    )


def _print_json(text: str, compact: bool, out: IO[str]) -> None:
    if compact:
        out.write(text + "\n")
    else:
        out.write(json.dumps(json.loads(text), indent=2, ensure_ascii=False) + "\n")


def _pack_set(args: argparse.Namespace, warn: Warn) -> PackSet:
    """The command's packs, read once: every query of the command is
    answered from this set. An unusable map raises the resolver's
    ValueError, blamed on the --packs-json file."""
    return PackSet(_pack_map(args, warn))


def _decision(packs: PackSet, query_json: str, strictness: Optional[str], ctx_json: Optional[str]) -> str:
    """The resolver's text for one query, with receipts when there is a context."""
    if ctx_json is None:
        return packs.resolve(query_json, strictness)
    return packs.resolve_with_receipts(query_json, ctx_json, strictness)


def _explained(packs: PackSet, query_json: str, strictness: Optional[str]) -> Dict[str, Any]:
    explained: Dict[str, Any] = json.loads(packs.explain(query_json, strictness))
    return explained


def _pack_sha256(packs: PackSet, explained: Dict[str, Any]) -> Optional[str]:
    """The SHA-256 of the pack a decision used, or None when none was found."""
    source = explained["pack"]["source"]
    return None if source is None else packs.pack_sha256(source)


def _with_pack_sha256(ctx_json: str, digest: Optional[str]) -> str:
    if digest is None:
        return ctx_json
    try:
        ctx = json.loads(ctx_json)
    except (ValueError, RecursionError):
        return ctx_json  # the resolver reports the fault in its own words
    if not isinstance(ctx, dict):
        return ctx_json
    ctx["pack_sha256"] = digest
    return json.dumps(ctx, ensure_ascii=False)


def _warn_about_query(
    packs: PackSet, query_json: str, args: argparse.Namespace, warn: Warn, explained: Optional[Dict[str, Any]] = None
) -> None:
    """Warns about what in a single query changes its answer unseen."""
    if args.quiet:
        return
    query = query_object(query_json)
    shown = "standard input" if args.query == "-" else args.query
    for warning in many_query_key_warnings([(f"{shown}: ", query)]):
        warn(warning)
    if explained is None:
        explained = _explained(packs, query_json, args.strictness)
    fall_back = explained["fall_back"]
    keys = packs.keys() if fall_back is not None and fall_back["kind"] == "missing" else []
    for warning in decision_warnings(explained, query.get("subject"), keys):
        warn(warning)


def _resolve(args: argparse.Namespace, out: IO[str], warn: Warn) -> int:
    packs = _pack_set(args, warn)
    if args.many is not None:
        if args.query is not None or args.receipts is not None:
            raise UsageError("--many takes no QUERY and no --receipts")
        text = _read_input(args.many)
        shown = "standard input" if args.many == "-" else args.many
        if args.log:
            try:
                # Every query is decided before any line is written, as without --log.
                records = list(many_records(packs, text, args.many, args.strictness))
            except DecisionLogError as error:
                raise UsageError(str(error)) from error
            out.writelines(record + "\n" for record in records)
            return 0
        try:
            decisions = resolve_query_file(packs, text, args.strictness)
        except QueryFileError as error:
            raise UsageError(f"{shown}:{error}") from error
        for decision in decisions:
            out.write(decision + "\n")
        if not args.quiet:
            placed = [(f"{shown}{place}: ", query) for place, query in query_objects(text)]
            for warning in override_warnings(args.strictness) + many_query_key_warnings(placed):
                warn(warning)
        return 0
    if args.log:
        raise UsageError("--log needs --many")
    if args.query is None:
        raise UsageError("a QUERY file (or - for standard input) is needed")
    if args.receipts is None and args.fill_pack_sha256:
        raise UsageError("--fill-pack-sha256 needs --receipts")
    query_json = _read_input(args.query)
    ctx_json = None if args.receipts is None else _read_input(args.receipts)
    explained = None
    if ctx_json is not None and args.fill_pack_sha256:
        explained = _explained(packs, query_json, args.strictness)
        ctx_json = _with_pack_sha256(ctx_json, _pack_sha256(packs, explained))
    _print_json(_decision(packs, query_json, args.strictness, ctx_json), args.compact, out)
    _warn_about_query(packs, query_json, args, warn, explained)
    return 0


def _position(entry: Dict[str, Any]) -> str:
    return f"{entry['line']}:{entry['column']}" if entry.get("line") is not None else ""


def explanation_table(explained: Dict[str, Any]) -> str:
    """The explanation as the text ``zorv explain`` prints on a terminal."""
    decision = explained["decision"]
    provenance = decision["provenance"]
    strictness = f"{explained['strictness']['effective']} (from {explained['strictness']['from']})"
    if unrecognised_dial(explained):
        strictness += ": not a dial, resolves like aggressive"
    lines = [
        f"source:     {provenance['source']}",
        f"looked up:  {', '.join(explained['pack']['tried'])}",
        f"strictness: {strictness}",
    ]
    fall_back = explained["fall_back"]
    if fall_back is not None:
        where = _position(fall_back)
        lines.append(f"fell back:  {fall_back['kind']}: {fall_back['detail']}" + (f" (at {where})" if where else ""))
    lines.append(f"required:   {len(decision['required'])} of {len(explained['controls'])} controls")
    lines.append("")
    rows = [("control", "required", "reason", "pack line:column")]
    for entry in explained["controls"]:
        rows.append((entry["control"], "yes" if entry["required"] else "no", entry["reason"], _position(entry)))
    widths = [max(len(row[i]) for row in rows) for i in range(3)]
    for row in rows:
        lines.append("  ".join(cell.ljust(widths[i]) if i < 3 else cell for i, cell in enumerate(row)).rstrip())
    return "\n".join(lines) + "\n"


def _explain(args: argparse.Namespace, out: IO[str], warn: Warn) -> int:
    packs = _pack_set(args, warn)
    query_json = _read_input(args.query)
    text = packs.explain(query_json, args.strictness)
    form = args.format or ("text" if out.isatty() else "json")
    if form == "json":
        _print_json(text, False, out)
    else:
        out.write(explanation_table(json.loads(text)))
    _warn_about_query(packs, query_json, args, warn, json.loads(text))
    return 0


def _test(args: argparse.Namespace, out: IO[str], warn: Warn) -> int:
    packs = _pack_set(args, warn)  # an unusable map is blamed on the --packs-json file, not on a case
    try:
        status = run_case_files(packs, args.cases, out, args.junit)
        if args.coverage or args.coverage_json is not None or args.threshold is not None:
            cases = [case for path in args.cases for case in read_case_file(path)]
            folder = args.packs if args.packs_json is None else None
            status = max(status, report_coverage(packs, cases, out, args.coverage_json, args.threshold, folder))
        return status
    except CaseFileError as error:
        raise UsageError(str(error)) from error
    except OSError as error:
        raise UsageError(f"{error.filename}: {error.strerror}") from error


def _lint(args: argparse.Namespace, out: IO[str], warn: Warn) -> int:
    try:
        findings = lint_paths(args.paths)
    except PackLoadError as error:
        raise UsageError(str(error)) from error
    out.write({"text": format_text, "json": format_json, "sarif": format_sarif}[args.format](findings))
    if args.strict:
        return 1 if findings else 0
    return 1 if any(weakens_answers(finding) for finding in findings) else 0


def _version() -> str:
    try:
        return metadata.version("zorv")
    except metadata.PackageNotFoundError:
        return "(not installed)"


class _Parser(argparse.ArgumentParser):
    """An argument parser whose usage errors are one line, like every other
    failure of the command (``--help`` still shows the usage)."""

    def error(self, message: str) -> NoReturn:
        self.exit(2, f"{self.prog}: {message} (see {self.prog} --help)\n")


def _threshold(text: str) -> Any:
    try:
        return threshold_percent(text)
    except ValueError as error:
        raise argparse.ArgumentTypeError(str(error)) from None


def build_parser() -> argparse.ArgumentParser:
    """The argument parser of the ``zorv`` command."""
    parser = _Parser(prog="zorv", description="Resolve, explain and test zorv policy packs.")
    parser.add_argument("--version", action="version", version=f"zorv {_version()}")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND")
    commands.required = True

    resolve = commands.add_parser(
        "resolve", help="print the decision for a query", description="Print the decision zorv.resolve gives for QUERY."
    )
    _add_packs_options(resolve)
    resolve.add_argument("query", nargs="?", metavar="QUERY", help="query JSON file, or - for standard input")
    resolve.add_argument("--strictness", metavar="DIAL", help="override the packs' own dial")
    resolve.add_argument("--receipts", metavar="CTX", help="receipt context JSON file: print the result with receipts")
    resolve.add_argument(
        "--fill-pack-sha256",
        action="store_true",
        help="with --receipts, set the context's pack_sha256 to the SHA-256 of the pack used",
    )
    resolve.add_argument("--compact", action="store_true", help="print the resolver's text exactly, on one line")
    resolve.add_argument(
        "--many", metavar="QUERIES", help="a JSON array of queries, or JSON Lines: print one compact decision per line"
    )
    _add_quiet_option(resolve)
    resolve.add_argument(
        "--log",
        action="store_true",
        help="with --many, print decision log records (query, dial, decision, pack hash) instead",
    )
    resolve.set_defaults(run=_resolve)

    explain = commands.add_parser(
        "explain",
        help="say why each control is required or not",
        description="Explain the decision for QUERY, control by control.",
    )
    _add_packs_options(explain)
    explain.add_argument("query", metavar="QUERY", help="query JSON file, or - for standard input")
    explain.add_argument("--strictness", metavar="DIAL", help="override the packs' own dial")
    explain.add_argument(
        "--format",
        choices=["text", "json"],
        help="a readable table (default on a terminal) or the JSON object (default otherwise)",
    )
    _add_quiet_option(explain)
    explain.set_defaults(run=_explain)

    test = commands.add_parser(
        "test", help="run pack test cases", description="Run the [[case]] tables of each CASES file against the packs."
    )
    _add_packs_options(test)
    test.add_argument("cases", nargs="+", metavar="CASES", help="TOML case files")
    test.add_argument("--junit", metavar="FILE", help="also write a JUnit XML report to FILE")
    _add_quiet_option(test)
    test.add_argument(
        "--coverage",
        action="store_true",
        help="after the results, say which entries of the packs' control lists no case exercises",
    )
    test.add_argument("--coverage-json", metavar="FILE", help="write the coverage report to FILE as JSON")
    test.add_argument(
        "--threshold", metavar="PCT", type=_threshold, help="exit 1 when the coverage is below PCT percent"
    )
    test.set_defaults(run=_test)

    lint = commands.add_parser(
        "lint",
        help="find pack mistakes that silently change answers",
        description="Check pack files, or folders read as --packs reads them. Exit status "
        "1 when an error or a warning that makes an answer require less is found (or any "
        "warning, with --strict).",
    )
    lint.add_argument("paths", nargs="+", metavar="PATH", help="a pack file or a folder of packs")
    lint.add_argument(
        "--format",
        choices=["text", "json", "sarif"],
        default="text",
        help="one line per finding (default), a JSON array, or a SARIF 2.1.0 log",
    )
    lint.add_argument("--strict", action="store_true", help="fail on every warning")
    lint.set_defaults(run=_lint)

    add_diff_command(commands)
    add_replay_command(commands, _add_packs_options, _pack_map)
    return parser


def _run(args: argparse.Namespace, out: IO[str]) -> int:
    quiet = getattr(args, "quiet", False)

    def warn(message: str) -> None:
        if not quiet:
            sys.stderr.write(f"zorv {args.command}: warning: {message}\n")

    try:
        return int(args.run(args, out, warn))
    except ValueError as error:
        raise _resolver_fault(error, args) from error


def main(argv: Optional[Sequence[str]] = None, out: Optional[IO[str]] = None) -> int:
    """Runs the command line; returns the exit status. Every failure is one
    line on standard error and the status 2."""
    parser = build_parser()
    args = parser.parse_args(argv)
    stream = out if out is not None else sys.stdout
    try:
        return _run(args, stream)
    except UsageError as error:
        message = str(error)
    except BrokenPipeError:
        # The reader stopped early (`| head`): later writes must not fail again at exit.
        if out is None:
            os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        message = "standard output was closed before everything was written"
    except RecursionError:
        message = "the input is nested too deeply to be read"
    except OSError as error:
        message = f"{error.filename + ': ' if error.filename else ''}{error.strerror or error}"
    sys.stderr.write(f"zorv {args.command}: {message}\n")
    return 2
