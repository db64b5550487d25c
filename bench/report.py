"""Tables of the measured medians, their ratios and how they scale.

Everything printed is derived from the medians of this run; nothing is
carried over from elsewhere. The same Markdown goes to the terminal and,
with --markdown, to a file that can be committed with the machine it ran on.
"""

import math
import os
import platform
import subprocess
from dataclasses import dataclass
from typing import Optional

IMPLS = ("zorv", "py_stdlib", "py_native", "floor")
HEADERS = {
    "zorv": "zorv (a)",
    "py_stdlib": "Python json+tomllib (b)",
    "py_native": "Python orjson+rtoml (c)",
    "floor": "parse only (d)",
}


@dataclass
class Row:
    workload: object  # workloads.Workload
    api: str  # "resolve" or "resolve_with_receipts"
    times: dict  # impl name -> timing.Timing; "zorv_resolve" too on receipt rows

    def median(self, impl) -> Optional[float]:
        timing = self.times.get(impl)
        return None if timing is None else timing.median_ns


def fmt_time(ns):
    if ns is None:
        return "–"
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns:.0f} ns"


def fmt_size(megabytes):
    return f"{megabytes:.3g} MB" if megabytes >= 1 else f"{megabytes * 1000:.3g} kB"


def fmt_ratio(numerator, denominator):
    if numerator is None or denominator is None or denominator == 0:
        return "–"
    ratio = numerator / denominator
    return f"{ratio:.3g}×" if ratio < 100 else f"{ratio:.0f}×"


def table(headers, rows):
    """A Markdown table padded so it also reads well in a terminal."""
    widths = [max(len(str(cell)) for cell in column) for column in zip(headers, *rows)]
    line = lambda cells: "| " + " | ".join(str(c).ljust(w) for c, w in zip(cells, widths)) + " |"  # noqa: E731
    rule = "|" + "|".join("-" * (w + 2) for w in widths) + "|"
    return "\n".join([line(headers), rule] + [line(r) for r in rows])


def medians_table(rows):
    headers = [
        "group",
        "workload",
        "call",
        "packs",
        "packs_json",
        "universe",
        *HEADERS.values(),
        "b/a",
        "c/a",
        "a/d",
        "receipts/resolve",
        "a per MB packs_json",
        "a per 1k controls",
    ]
    body = []
    for row in rows:
        w, a = row.workload, row.median("zorv")
        body.append(
            [
                w.group,
                w.name,
                "receipts" if row.api == "resolve_with_receipts" else "resolve",
                f"{w.n_packs:,}",
                fmt_size(w.packs_mb),
                f"{w.n_universe:,}",
                *(fmt_time(row.median(impl)) for impl in IMPLS),
                fmt_ratio(row.median("py_stdlib"), a),
                fmt_ratio(row.median("py_native"), a),
                fmt_ratio(a, row.median("floor")),
                fmt_ratio(a, row.median("zorv_resolve")) if row.api == "resolve_with_receipts" else "–",
                fmt_time(a / w.packs_mb) if w.group == "packs" else "–",
                fmt_time(a / (w.n_universe / 1000)) if w.group == "universe" else "–",
            ]
        )
    return table(headers, body)


def scaling_table(rows, group, size_of, label):
    """Time factor between consecutive sizes of one sweep, also per tenfold size."""
    by_series = {}
    for row in rows:
        if row.workload.group == group:
            series = row.workload.name.split(", ", 1)[1] if ", " in row.workload.name else ""
            by_series.setdefault(series, []).append(row)
    headers = ["sweep", "from", "to"] + [f"{HEADERS[i]} ×" for i in IMPLS] + ["zorv (a) per 10× size"]
    body = []
    for series, members in by_series.items():
        members.sort(key=lambda r: size_of(r.workload))
        for small, large in zip(members, members[1:]):
            step = size_of(large.workload) / size_of(small.workload)
            factors = [_factor(large.median(i), small.median(i)) for i in IMPLS]
            per_tenfold = factors[0] ** (1 / math.log10(step)) if factors[0] else None
            body.append(
                [
                    f"{label}{', ' + series if series else ''}",
                    f"{size_of(small.workload):,}",
                    f"{size_of(large.workload):,}",
                    *(_fmt_factor(f) for f in factors),
                    _fmt_factor(per_tenfold),
                ]
            )
    return table(headers, body)


def _factor(large, small):
    return None if large is None or small is None or small == 0 else large / small


def _fmt_factor(value):
    return "–" if value is None else f"×{value:.3g}"


def memory_section(report):
    mib = 1024 * 1024
    return table(
        ["calls (after a warm-up of)", "RSS before", "RSS after", "growth", "growth per call", "time"],
        [
            [
                f"{report.calls:,} ({report.warmup_calls:,})",
                f"{report.rss_before / mib:.1f} MiB",
                f"{report.rss_after / mib:.1f} MiB",
                f"{(report.rss_after - report.rss_before) / mib:+.2f} MiB",
                f"{report.growth_per_call:+.2f} B",
                f"{report.seconds:.1f} s",
            ]
        ],
    )


def _command_output(*argv):
    try:
        return subprocess.run(argv, capture_output=True, text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return ""


def machine():
    """What the numbers were measured on, as lines of Markdown."""
    model = next(
        (
            line.split(":", 1)[1].strip()
            for line in _command_output("lscpu").splitlines()
            if line.startswith("Model name:")
        ),
        platform.processor() or "unknown",
    )
    load = ", ".join(f"{x:.2f}" for x in os.getloadavg()) if hasattr(os, "getloadavg") else "unknown"
    return [
        f"- CPU: {model}, {os.cpu_count()} logical cores",
        f"- Python: {platform.python_implementation()} {platform.python_version()} on {platform.platform()}",
        f"- Load average at start: {load}",
        f"- Date (start): {_command_output('date') or 'unknown'}",
    ]


def document(title, machine_lines, settings_line, versions, rows, memory, inputs_checked):
    """The whole report as Markdown text."""
    parts = [
        f"# {title}",
        "",
        *machine_lines,
        f"- Versions: {versions}",
        f"- Mode: {settings_line}",
        "",
        "## Median time per call",
        "",
        "(a) zorv; (b) the same resolution in plain Python on json + tomllib (tomli before "
        "Python 3.11), output by json.dumps; (c) that same "
        "Python code on orjson + rtoml; (d) only parsing the inputs with orjson + rtoml "
        "(packs_json, query_json, the one pack used, and ctx_json for receipts), which any "
        "implementation has to do. Ratios above 1× in b/a and c/a mean zorv is faster. "
        '"receipts/resolve" is zorv\'s resolve_with_receipts over its resolve on the same inputs. '
        "Every call is given new str objects, as a request with new text would be, so no "
        "implementation reuses a UTF-8 form that CPython cached for another.",
        "",
        medians_table(rows),
        "",
        "## Scaling",
        "",
        'Median time at one size over the next, for each implementation; "per 10× size" '
        "normalises steps larger than tenfold.",
        "",
        scaling_table(rows, "packs", lambda w: w.n_packs, "packs in packs_json"),
        "",
        scaling_table(rows, "universe", lambda w: w.n_universe, "controls in universe"),
        "",
        "## Memory over many calls",
        "",
        "Small calls (one pack, ten controls) taking turns: a decision, a fall-back, "
        f"receipts and a rejected query that raises ValueError. RSS from {memory.rss_source}.",
        "",
        memory_section(memory),
        "",
        f"The outputs of (b) and (c) were compared with zorv's on all {inputs_checked} "
        "inputs of this run before any timing: byte-identical.",
        "",
    ]
    return "\n".join(parts)
