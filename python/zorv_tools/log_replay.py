"""Replay: the decisions of a decision log decided again under other packs.

``replay(packset, log_lines)`` decides each record's query again, with its
own dial, and compares the answer with the decision it recorded. The log is
read block by block and each block is decided natively on every core, so
memory stays flat however long the log is.
"""

import json
import os
import queue
import sys
import threading
from collections import Counter
from contextlib import closing
from typing import IO, Any, BinaryIO, Dict, Generator, Iterable, Iterator, List, Optional, Tuple, Union

from . import _native
from .pack_set import PackSet

__all__ = ["ReplayError", "replay"]

# Bytes of log handed to the native side at a time: large enough that the
# threads stay busy, small enough that memory does not grow with the log.
BLOCK_SIZE = 4 << 20

COUNTS = ("records", "unchanged", "changed", "loosened", "tightened", "provenance_only")
PACK_COUNTS = ("records", "changed", "loosened", "tightened")


class ReplayError(ValueError):
    """A log line that is not a decision record: ``FILE:LINE:COLUMN: reason``
    (``LINE:COLUMN: reason`` when the log has no file name)."""


def _usable_cores() -> int:
    try:
        return len(os.sched_getaffinity(0))
    except AttributeError:
        return os.cpu_count() or 1


class _Summary:
    """The sum of block summaries, in log order."""

    def __init__(self, packset: PackSet, examples: int, skip_bad: bool) -> None:
        if examples < 0:
            raise ValueError("examples must be at least 0")
        self.packset = packset
        self.examples_wanted = examples
        self.skip_bad = skip_bad
        self.threads = _usable_cores()
        self.counts = dict.fromkeys(COUNTS, 0)
        self.bad = 0
        self.by_pack: Dict[str, List[int]] = {}
        self.gained: Counter[str] = Counter()
        self.lost: Counter[str] = Counter()
        self.examples: List[Dict[str, Any]] = []

    def add_block(self, block: bytes, first_line: int, file: Optional[str]) -> None:
        wanted = self.examples_wanted - len(self.examples)
        block_summary = json.loads(_native.replay_lines(self.packset, block, first_line, wanted, self.threads))
        bad = block_summary["first_bad"]
        if bad is not None and not self.skip_bad:
            where = f"{bad['line']}:{bad['column']}"
            raise ReplayError(f"{file}:{where}: {bad['reason']}" if file is not None else f"{where}: {bad['reason']}")
        for name in COUNTS:
            self.counts[name] += block_summary[name]
        self.bad += block_summary["bad"]
        for stem, counts in block_summary["by_pack"].items():
            into = self.by_pack.setdefault(stem, [0, 0, 0, 0])
            for i, count in enumerate(counts):
                into[i] += count
        self.gained.update(block_summary["gained"])
        self.lost.update(block_summary["lost"])
        for example in block_summary["examples"]:
            self.examples.append(
                {
                    "file": file,
                    "line": example["line"],
                    "query": example["query"],
                    "strictness": example["strictness"],
                    "before": example["before"],
                    "after": example["after"],
                }
            )

    def result(self) -> Dict[str, Any]:
        result: Dict[str, Any] = dict(self.counts)
        result["by_pack"] = {stem: dict(zip(PACK_COUNTS, self.by_pack[stem])) for stem in sorted(self.by_pack)}
        result["gained"] = {control: self.gained[control] for control in sorted(self.gained)}
        result["lost"] = {control: self.lost[control] for control in sorted(self.lost)}
        result["examples"] = self.examples
        result["bad"] = self.bad
        return result


def _text_blocks(text: str) -> Iterator[Tuple[bytes, int]]:
    """A log text in blocks of whole lines, each with its first line's number."""
    line = 1
    at = 0
    while at < len(text):
        end = text.find("\n", at + BLOCK_SIZE)
        end = len(text) if end < 0 else end + 1
        part = text[at:end]
        # A lone surrogate cannot be UTF-8; passed through, it makes its line bad.
        yield part.encode("utf-8", "surrogatepass"), line
        line += part.count("\n")
        at = end


def _line_blocks(lines: Iterable[str]) -> Iterator[Tuple[bytes, int]]:
    """Lines (each with or without its line feed) gathered into blocks."""
    parts: List[str] = []
    size = 0
    line = first = 1
    for item in lines:
        if item.endswith("\n"):
            item = item[:-1]
        parts.append(item)
        size += len(item) + 1
        line += item.count("\n") + 1
        if size >= BLOCK_SIZE:
            yield "\n".join(parts).encode("utf-8", "surrogatepass"), first
            parts, size, first = [], 0, line
    if parts:
        yield "\n".join(parts).encode("utf-8", "surrogatepass"), first


def _stream_blocks(stream: BinaryIO) -> Iterator[Tuple[bytes, int]]:
    """A binary stream in blocks of whole lines; a line longer than a block
    is gathered whole, in pieces, never searched again from its start."""
    line = 1
    pending: List[bytes] = []
    while True:
        data = stream.read(BLOCK_SIZE)
        if not data:
            break
        cut = data.rfind(b"\n")
        if cut < 0:
            pending.append(data)
            continue
        block = b"".join(pending) + data[: cut + 1]
        pending = [data[cut + 1 :]]
        yield block, line
        line += block.count(b"\n")
    rest = b"".join(pending)
    if rest:
        yield rest, line


class _Failure:
    def __init__(self, error: BaseException) -> None:
        self.error = error


_END = object()


def _read_ahead(blocks: Iterator[Tuple[bytes, int]]) -> Generator[Tuple[bytes, int], None, None]:
    """``blocks``, each read on a thread of its own while the one before is
    decided (deciding releases the interpreter lock). One block waits at
    most, so memory stays at two blocks; closing the iterator stops the
    reader."""
    ready: "queue.Queue[Any]" = queue.Queue(maxsize=1)
    stop = threading.Event()

    def hand_over(item: Any) -> bool:
        while not stop.is_set():
            try:
                ready.put(item, timeout=0.05)
                return True
            except queue.Full:
                continue
        return False

    def read() -> None:
        try:
            for block in blocks:
                if not hand_over(block):
                    return
        except BaseException as error:  # handed to the consumer, which raises it
            hand_over(_Failure(error))
            return
        hand_over(_END)

    reader = threading.Thread(target=read, name="zorv-replay-reader", daemon=True)
    reader.start()
    try:
        while True:
            item = ready.get()
            if item is _END:
                return
            if isinstance(item, _Failure):
                raise item.error
            yield item
    finally:
        stop.set()
        reader.join()


def replay(
    packset: PackSet, log_lines: Union[Iterable[str], str], *, examples: int = 20, skip_bad: bool = False
) -> Dict[str, Any]:
    """Decides every record of a decision log again under ``packset``.

    ``log_lines`` is the log's text, or its lines (line feeds at their ends
    are taken off; blank lines are skipped). Returns the summary:
    ``records``, ``unchanged``, ``changed`` (the decision text differs),
    ``loosened`` (a control recorded as required no longer is),
    ``tightened`` (a control is newly required), ``provenance_only``,
    ``by_pack`` (per ``profile/domain``: ``records``, ``changed``,
    ``loosened``, ``tightened``), ``gained`` and ``lost`` (records per
    control), ``examples`` (the first ``examples`` changed records, each
    with ``file`` (None here), ``line``, ``query``, ``strictness``,
    ``before`` and ``after``) and ``bad``. A line that is not a record
    raises ReplayError ("LINE:COLUMN: reason"); with ``skip_bad`` it is
    counted under ``bad`` instead.
    """
    summary = _Summary(packset, examples, skip_bad)
    blocks = _text_blocks(log_lines) if isinstance(log_lines, str) else _line_blocks(log_lines)
    for block, first_line in blocks:
        summary.add_block(block, first_line, None)
    return summary.result()


def replay_files(
    packset: PackSet, paths: List[str], *, examples: int = 20, skip_bad: bool = False, stdin: Optional[IO[Any]] = None
) -> Dict[str, Any]:
    """``replay`` over log files (``-`` for standard input), in order; the
    examples and bad lines name their file."""
    summary = _Summary(packset, examples, skip_bad)
    for path in paths:
        if path == "-":
            source = stdin if stdin is not None else sys.stdin
            binary = getattr(source, "buffer", None)
            if binary is None:
                for block, first_line in _text_blocks(source.read()):
                    summary.add_block(block, first_line, path)
                continue
            with closing(_read_ahead(_stream_blocks(binary))) as blocks:
                for block, first_line in blocks:
                    summary.add_block(block, first_line, path)
            continue
        try:
            with open(path, "rb") as file, closing(_read_ahead(_stream_blocks(file))) as blocks:
                for block, first_line in blocks:
                    summary.add_block(block, first_line, path)
        except OSError as error:
            raise ReplayError(f"{path}: {error.strerror}") from error
    return summary.result()
