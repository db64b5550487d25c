"""The ``zorv`` command: resolve, explain, test and lint packs from the shell.

Every command reads packs from ``--packs DIR`` (a folder laid out by pack
key, default ``./packs``) or ``--packs-json FILE`` (a ``packs_json`` text).
Exit status: 0 on success (a fall-back is a decision like any other), 1 when
pack tests fail or lint finds an error, 2 for usage errors and unusable input.
"""

import argparse
import hashlib
import json
import re
import sys
from typing import IO, Any, Dict, List, Optional, Sequence

import zorv

from . import _native
from .cases import CaseFileError, read_case_file, run_case_files
from .coverage import report_coverage, threshold_percent
from .decision_log import DecisionLogError, many_records
from .pack_lint import format_json, format_sarif, format_text, lint_paths
from .pack_set import PackSet
from .packs import PackLoadError, load_packs
from .replay_command import add_replay_command

__all__ = ["main"]


class UsageError(Exception):
    """Input the command cannot use; the message is printed as is."""


def _read_input(path: str) -> str:
    if path == "-":
        return sys.stdin.read()
    try:
        with open(path, encoding="utf-8") as file:
            return file.read()
    except OSError as error:
        raise UsageError(f"{path}: {error.strerror}") from error
    except UnicodeDecodeError as error:
        raise UsageError(f"{path}: not UTF-8 text") from error


def _packs_json(args: argparse.Namespace) -> str:
    if args.packs_json is not None:
        return _read_input(args.packs_json)
    try:
        return load_packs(args.packs)
    except PackLoadError as error:
        raise UsageError(str(error)) from error


def _add_packs_options(parser: argparse.ArgumentParser) -> None:
    source = parser.add_mutually_exclusive_group()
    source.add_argument("--packs", metavar="DIR", default="packs",
                        help="folder of pack files, keyed by their path in it (default: ./packs)")
    source.add_argument("--packs-json", metavar="FILE", help="a packs_json file instead of a folder")


def _print_json(text: str, compact: bool, out: IO[str]) -> None:
    if compact:
        out.write(text + "\n")
    else:
        out.write(json.dumps(json.loads(text), indent=2, ensure_ascii=False) + "\n")


def _pack_sha256(packs_json: str, query_json: str, strictness: Optional[str]) -> Optional[str]:
    """The SHA-256 of the pack a decision used, or None when none was found.
    Unusable JSON raises the ValueError ``zorv.resolve`` would."""
    explained = json.loads(_native.explain(packs_json, query_json, strictness))
    source = explained["pack"]["source"]
    if source is None:
        return None
    text = json.loads(packs_json)
    # The last of repeated keys is the one the resolver reads, as json.loads keeps it.
    return hashlib.sha256(text[source].encode("utf-8")).hexdigest()


def _with_pack_sha256(ctx_json: str, digest: Optional[str]) -> str:
    if digest is None:
        return ctx_json
    try:
        ctx = json.loads(ctx_json)
    except ValueError:
        return ctx_json  # the resolver reports the fault in its own words
    if not isinstance(ctx, dict):
        return ctx_json
    ctx["pack_sha256"] = digest
    return json.dumps(ctx, ensure_ascii=False)


def _resolve_many_file(packs_json: str, path: str, strictness: Optional[str]) -> List[str]:
    """The decisions for a --many file: a JSON array of queries, or JSON Lines."""
    text = _read_input(path)
    if text.lstrip().startswith("["):
        return _decision_texts(_native.resolve_many(packs_json, text, strictness))
    lines = [(number, line) for number, line in enumerate(text.splitlines(), 1) if line.strip()]
    try:
        joined = _native.resolve_many(packs_json, "[" + ",".join(line for _, line in lines) + "]", strictness)
    except ValueError as error:
        found = re.match(r"queries_json\[(\d+)\]", str(error))
        if found is None:
            raise
        number, line = lines[int(found.group(1))]
        try:
            zorv.resolve(packs_json, line, strictness)
        except ValueError as line_error:
            raise UsageError(f"{path}: line {number}: {line_error}") from error
        raise
    return _decision_texts(joined)


def _decision_texts(joined: str) -> List[str]:
    """Splits resolve_many's "[d1,d2,...]" into the decision texts as written."""
    decoder = json.JSONDecoder()
    texts: List[str] = []
    at = 1
    while joined[at] != "]":
        _, end = decoder.raw_decode(joined, at)
        texts.append(joined[at:end])
        at = end + 1 if joined[end] == "," else end
    return texts


def _resolve(args: argparse.Namespace, out: IO[str]) -> int:
    packs_json = _packs_json(args)
    if args.many is not None:
        if args.query is not None or args.receipts is not None:
            raise UsageError("--many takes no QUERY and no --receipts")
        if args.log:
            try:
                # Every query is decided before any line is written, as without --log.
                records = list(many_records(PackSet(packs_json), _read_input(args.many), args.many, args.strictness))
            except DecisionLogError as error:
                raise UsageError(str(error)) from error
            out.writelines(record + "\n" for record in records)
            return 0
        for decision in _resolve_many_file(packs_json, args.many, args.strictness):
            out.write(decision + "\n")
        return 0
    if args.log:
        raise UsageError("--log needs --many")
    if args.query is None:
        raise UsageError("a QUERY file (or - for standard input) is needed")
    query_json = _read_input(args.query)
    if args.receipts is None:
        if args.fill_pack_sha256:
            raise UsageError("--fill-pack-sha256 needs --receipts")
        _print_json(zorv.resolve(packs_json, query_json, args.strictness), args.compact, out)
        return 0
    ctx_json = _read_input(args.receipts)
    if args.fill_pack_sha256:
        ctx_json = _with_pack_sha256(ctx_json, _pack_sha256(packs_json, query_json, args.strictness))
    _print_json(zorv.resolve_with_receipts(packs_json, query_json, ctx_json, args.strictness), args.compact, out)
    return 0


def _position(entry: Dict[str, Any]) -> str:
    return f"{entry['line']}:{entry['column']}" if entry.get("line") is not None else ""


def explanation_table(explained: Dict[str, Any]) -> str:
    """The explanation as the text ``zorv explain`` prints on a terminal."""
    decision = explained["decision"]
    provenance = decision["provenance"]
    lines = [
        f"source:     {provenance['source']}",
        f"looked up:  {', '.join(explained['pack']['tried'])}",
        f"strictness: {explained['strictness']['effective']} (from {explained['strictness']['from']})",
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


def _explain(args: argparse.Namespace, out: IO[str]) -> int:
    packs_json = _packs_json(args)
    text = _native.explain(packs_json, _read_input(args.query), args.strictness)
    form = args.format or ("text" if out.isatty() else "json")
    if form == "json":
        _print_json(text, False, out)
    else:
        out.write(explanation_table(json.loads(text)))
    return 0


def _test(args: argparse.Namespace, out: IO[str]) -> int:
    packs_json = _packs_json(args)
    try:
        status = run_case_files(packs_json, args.cases, out, args.junit)
        if args.coverage or args.coverage_json is not None or args.threshold is not None:
            cases = [case for path in args.cases for case in read_case_file(path)]
            folder = args.packs if args.packs_json is None else None
            status = max(status, report_coverage(packs_json, cases, out, args.coverage_json, args.threshold, folder))
        return status
    except CaseFileError as error:
        raise UsageError(str(error)) from error
    except OSError as error:
        raise UsageError(f"{error.filename}: {error.strerror}") from error


def _lint(args: argparse.Namespace, out: IO[str]) -> int:
    try:
        findings = lint_paths(args.paths)
    except PackLoadError as error:
        raise UsageError(str(error)) from error
    out.write({"text": format_text, "json": format_json, "sarif": format_sarif}[args.format](findings))
    failing = {"error", "warning"} if args.strict else {"error"}
    return 1 if any(finding.severity in failing for finding in findings) else 0


def _threshold(text: str) -> Any:
    try:
        return threshold_percent(text)
    except ValueError as error:
        raise argparse.ArgumentTypeError(str(error)) from None


def build_parser() -> argparse.ArgumentParser:
    """The argument parser of the ``zorv`` command."""
    parser = argparse.ArgumentParser(prog="zorv", description="Resolve, explain and test zorv policy packs.")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND")
    commands.required = True

    resolve = commands.add_parser("resolve", help="print the decision for a query",
                                  description="Print the decision zorv.resolve gives for QUERY.")
    _add_packs_options(resolve)
    resolve.add_argument("query", nargs="?", metavar="QUERY", help="query JSON file, or - for standard input")
    resolve.add_argument("--strictness", metavar="DIAL", help="override the packs' own dial")
    resolve.add_argument("--receipts", metavar="CTX", help="receipt context JSON file: print the result with receipts")
    resolve.add_argument("--fill-pack-sha256", action="store_true",
                         help="with --receipts, set the context's pack_sha256 to the SHA-256 of the pack used")
    resolve.add_argument("--compact", action="store_true", help="print the resolver's text exactly, on one line")
    resolve.add_argument("--many", metavar="QUERIES",
                         help="a JSON array of queries, or JSON Lines: print one compact decision per line")
    resolve.add_argument("--log", action="store_true",
                         help="with --many, print decision log records (query, dial, decision, pack hash) instead")
    resolve.set_defaults(run=_resolve)

    explain = commands.add_parser("explain", help="say why each control is required or not",
                                  description="Explain the decision for QUERY, control by control.")
    _add_packs_options(explain)
    explain.add_argument("query", metavar="QUERY", help="query JSON file, or - for standard input")
    explain.add_argument("--strictness", metavar="DIAL", help="override the packs' own dial")
    explain.add_argument("--format", choices=["text", "json"],
                         help="a readable table (default on a terminal) or the JSON object")
    explain.set_defaults(run=_explain)

    test = commands.add_parser("test", help="run pack test cases",
                               description="Run the [[case]] tables of each CASES file against the packs.")
    _add_packs_options(test)
    test.add_argument("cases", nargs="+", metavar="CASES", help="TOML case files")
    test.add_argument("--junit", metavar="FILE", help="also write a JUnit XML report to FILE")
    test.add_argument("--coverage", action="store_true",
                      help="after the results, say which entries of the packs' control lists no case exercises")
    test.add_argument("--coverage-json", metavar="FILE", help="write the coverage report to FILE as JSON")
    test.add_argument("--threshold", metavar="PCT", type=_threshold,
                      help="exit 1 when the coverage is below PCT percent")
    test.set_defaults(run=_test)

    lint = commands.add_parser("lint", help="find pack mistakes that silently change answers",
                               description="Check pack files, or folders read as --packs reads them. Exit status "
                               "1 when an error is found (or a warning, with --strict).")
    lint.add_argument("paths", nargs="+", metavar="PATH", help="a pack file or a folder of packs")
    lint.add_argument("--format", choices=["text", "json", "sarif"], default="text",
                      help="one line per finding (default), a JSON array, or a SARIF 2.1.0 log")
    lint.add_argument("--strict", action="store_true", help="fail on warnings too")
    lint.set_defaults(run=_lint)

    add_replay_command(commands, _add_packs_options, _packs_json)
    return parser


def main(argv: Optional[Sequence[str]] = None, out: Optional[IO[str]] = None) -> int:
    """Runs the command line; returns the exit status."""
    parser = build_parser()
    args = parser.parse_args(argv)
    try:
        return int(args.run(args, out if out is not None else sys.stdout))
    except UsageError as error:
        sys.stderr.write(f"zorv {args.command}: {error}\n")
        return 2
    except ValueError as error:
        # The resolver's own message, as zorv.resolve raises it.
        sys.stderr.write(f"{error}\n")
        return 2
