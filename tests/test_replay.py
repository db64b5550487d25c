"""Decision logs and their replay: records as the resolver answers them,
replay counts held against a brute-force comparison on random logs, bad
lines, the command's exit status, and memory on a million records."""

import hashlib
import io
import json
import os
import pathlib
import random
import shutil
import subprocess
import sys
import textwrap

import pytest
import zorv
from timing import fastest
from zorv_tools import PackSet, ReplayError, cli, decision_record, replay
from zorv_tools import log_replay as replay_module

CONTROLS = ["mfa", "kyc", "tokenisation", "audit", "fingerprinting", "pci", "\u00e9t\u00e9", "a\u2028b"]
SUBJECTS = ["card", "wallet", "loyalty.points"]


def run(*argv, stdin=""):
    out, err = io.StringIO(), io.StringIO()
    old_err, old_in = sys.stderr, sys.stdin
    sys.stderr, sys.stdin = err, io.StringIO(stdin)
    try:
        status = cli.main([str(arg) for arg in argv], out=out)
    finally:
        sys.stderr, sys.stdin = old_err, old_in
    return status, out.getvalue(), err.getvalue()


def toml_list(controls):
    return "[" + ", ".join(json.dumps(control, ensure_ascii=False) for control in controls) + "]"


def random_pack(rng):
    """A pack, sometimes one that falls back (malformed, out of its window)."""
    if rng.random() < 0.08:
        return "[meta\nbroken"
    lines = ["[meta]"]
    if rng.random() < 0.8:
        lines.append(f'strictness = "{rng.choice(["as_configured", "minimal", "aggressive", "Strict"])}"')
    if rng.random() < 0.2:
        lines.append(f'effective_until = "{rng.choice(["2025-01-01", "2030-01-01"])}"')
    lines += ["[meta.legal_review]", f'status = "{rng.choice(["approved", "re-reviewed"])}"']
    for subject in rng.sample(SUBJECTS, rng.randrange(len(SUBJECTS) + 1)):
        lines += [f'[subject."{subject}"]', "controls = " + toml_list(rng.sample(CONTROLS, rng.randrange(5)))]
    if rng.random() < 0.7:
        lines += ["[legally_required]", "controls = " + toml_list(rng.sample(CONTROLS, rng.randrange(3)))]
    if rng.random() < 0.6:
        lines += ["[prohibited]", "controls = " + toml_list(rng.sample(CONTROLS, rng.randrange(2)))]
    return "\n".join(lines) + "\n"


def random_packs(rng):
    """Packs for profile "retail" and a few domains, under either key form."""
    packs = {}
    for domain in ("payments", "lending", "telemetry"):
        choice = rng.random()
        if choice < 0.15:
            continue  # missing
        suffix = ".zorv.toml" if choice < 0.7 else ".toml"
        packs[f"retail/{domain}{suffix}"] = random_pack(rng)
        if rng.random() < 0.2:  # a .zorv.toml that shadows a .toml
            packs[f"retail/{domain}.zorv.toml"] = random_pack(rng)
    return packs


def random_query(rng):
    query = {
        "domain": rng.choice(["payments", "lending", "telemetry"]),
        "profile": "retail",
        "jurisdiction": "EU",
        "subject": rng.choice(SUBJECTS + ["unknown"]),
        "universe": rng.sample(CONTROLS, rng.randrange(1, len(CONTROLS))),
    }
    if rng.random() < 0.5:
        query["as_of"] = rng.choice(["2024-06-01", "2026-06-01"])
    text = json.dumps(query, ensure_ascii=False)
    return text if rng.random() < 0.5 else json.dumps(query, ensure_ascii=False, indent=1)


def brute_force(packs_json, lines, examples):
    """What replay must report, worked out one record at a time in Python."""
    counts = dict.fromkeys(("records", "unchanged", "changed", "loosened", "tightened", "provenance_only"), 0)
    by_pack, gained, lost, shown = {}, {}, {}, []
    for number, line in enumerate(lines, 1):
        record = json.loads(line)
        query_json = json.dumps(record["query"], ensure_ascii=False)
        after_text = zorv.resolve(packs_json, query_json, record["strictness"])
        before, after = record["decision"], json.loads(after_text)
        stem = f"{record['query']['profile']}/{record['query']['domain']}"
        pack = by_pack.setdefault(stem, {"records": 0, "changed": 0, "loosened": 0, "tightened": 0})
        counts["records"] += 1
        pack["records"] += 1
        if after_text == json.dumps(before, ensure_ascii=False, separators=(",", ":")):
            counts["unchanged"] += 1
            continue
        counts["changed"] += 1
        pack["changed"] += 1
        went, came = set(before["required"]) - set(after["required"]), set(after["required"]) - set(before["required"])
        for name, controls, tally in (("loosened", went, lost), ("tightened", came, gained)):
            if controls:
                counts[name] += 1
                pack[name] += 1
            for control in controls:
                tally[control] = tally.get(control, 0) + 1
        if not went and not came and before["verdict"] == after["verdict"]:
            counts["provenance_only"] += 1
        if len(shown) < examples:
            shown.append(
                {
                    "file": None,
                    "line": number,
                    "query": record["query"],
                    "strictness": record["strictness"],
                    "before": before,
                    "after": after,
                }
            )
    return {
        **counts,
        "by_pack": dict(sorted(by_pack.items())),
        "gained": dict(sorted(gained.items())),
        "lost": dict(sorted(lost.items())),
        "examples": shown,
        "bad": 0,
    }


@pytest.mark.parametrize("seed", range(12))
def test_replay_counts_match_a_brute_force_comparison_on_random_logs(seed, monkeypatch):
    rng = random.Random(seed)
    before = json.dumps(random_packs(rng))
    after = json.dumps(random_packs(rng))  # packs changed in every way: lists, dials, windows, keys, parse
    old_set = PackSet(before)
    dials = [None, None, "minimal", "as_configured", "aggressive", "MINIMAL"]
    lines = [decision_record(old_set, random_query(rng), rng.choice(dials)) for _ in range(150)]
    expected = brute_force(after, lines, examples=7)
    assert replay(PackSet(after), lines, examples=7) == expected
    # Cut into many small blocks, the log gives the same summary, line numbers included.
    monkeypatch.setattr(replay_module, "BLOCK_SIZE", 700)
    assert replay(PackSet(after), "\n".join(lines) + "\n", examples=7) == expected


QUERY = (
    '{"domain": "payments", "profile": "retail",\n "jurisdiction": "EU", "subject": "card", '
    '"universe": ["mfa", "a\\u0062", "x\u2028y"], "note": {"n": 1e400}}'
)
PACKS = {
    "retail/payments.toml": '[meta]\n[subject.card]\ncontrols = ["mfa"]\n',
    "retail/lending.zorv.toml": "not toml [",
}


@pytest.mark.parametrize(
    "query, dial, compact_query, key",
    [
        (
            QUERY,
            None,
            '{"domain":"payments","profile":"retail","jurisdiction":"EU","subject":"card",'
            '"universe":["mfa","a\\u0062","x\u2028y"],"note":{"n":1e400}}',
            "retail/payments.toml",
        ),
        (
            QUERY.replace("payments", "lending"),
            "strict\n\u00e9",
            '{"domain":"lending","profile":"retail","jurisdiction":"EU","subject":"card",'
            '"universe":["mfa","a\\u0062","x\u2028y"],"note":{"n":1e400}}',
            "retail/lending.zorv.toml",
        ),
        (
            '{"universe":[],"subject":"s","jurisdiction":"j","profile":"p","domain":"d"}',
            "minimal",
            '{"universe":[],"subject":"s","jurisdiction":"j","profile":"p","domain":"d"}',
            None,
        ),
    ],
)
def test_a_record_holds_the_query_as_sent_the_dial_the_decision_and_the_pack_hash(query, dial, compact_query, key):
    packs_json = json.dumps(PACKS)
    line = decision_record(PackSet(packs_json), query, dial)
    digest = None if key is None else f'"{hashlib.sha256(PACKS[key].encode()).hexdigest()}"'
    assert line == (
        f'{{"query":{compact_query},"strictness":{"null" if dial is None else json.dumps(dial, ensure_ascii=False)},'
        f'"decision":{zorv.resolve(packs_json, query, dial)},"pack_sha256":{digest or "null"}}}'
    )


def test_resolve_many_log_writes_the_records_of_json_lines_and_arrays_alike(tmp_path):
    packs = tmp_path / "packs.json"
    packs.write_text(json.dumps(PACKS))
    queries = [QUERY.replace("\n", " "), QUERY.replace("payments", "lending").replace("\n", " ")]
    expected = "".join(decision_record(PackSet(json.dumps(PACKS)), query) + "\n" for query in queries)
    lines = tmp_path / "queries.jsonl"
    lines.write_text(queries[0] + "\r\n\n" + queries[1] + "\n")
    array = tmp_path / "queries.json"
    array.write_text("[\n" + ",\n ".join(queries) + "\n]")
    for many in (lines, array):
        assert run("resolve", "--packs-json", packs, "--many", many, "--log") == (0, expected, "")
    lines.write_text(queries[0] + "\n\n" + '{"domain": 5}\n')
    assert run("resolve", "--packs-json", packs, "--many", lines, "--log") == (
        2,
        "",
        f"zorv resolve: {lines}:3:12: query_json is not a valid RegulatoryQuery: "
        "invalid type: integer `5`, expected a string\n",
    )


GOOD = decision_record(PackSet(json.dumps(PACKS)), QUERY)


@pytest.mark.parametrize(
    "line, where, reason",
    [
        ("not json", "2:2", "not a decision record: expected ident"),
        ("[1, 2]", "2:1", "not a decision record: invalid type: sequence, expected struct DecisionLogRecord"),
        ('{"query": {}}', "2:13", "not a decision record: missing field `decision`"),
        (GOOD.replace('"strictness":null', '"strictness":3'), "2:", "not a decision record: invalid type: integer `3`"),
        (GOOD[:-1], "2:", "not a decision record: EOF while parsing an object"),
        (
            '{"decision": {}, "query": {"domain": "d"}}',
            "2:41",
            "query_json is not a valid RegulatoryQuery: missing field `profile`",
        ),
        (
            GOOD.replace('"verdict":"permit"', '"verdict":1'),
            "2:",
            "`decision` is not a valid WireDecision: invalid type",
        ),
        ('{"query": ' + QUERY.replace("\n", "") + ', "decision": "permit"}', "2:", "`decision` is not an object"),
    ],
)
def test_a_line_that_is_not_a_record_stops_the_replay_or_is_counted(line, where, reason):
    log = GOOD + "\n" + line + "\n \t\r\n" + GOOD + "\n"
    with pytest.raises(ReplayError) as raised:
        replay(PackSet(json.dumps(PACKS)), log)
    assert str(raised.value).startswith(where) and reason in str(raised.value)
    summary = replay(PackSet(json.dumps(PACKS)), log, skip_bad=True)
    assert (summary["records"], summary["unchanged"], summary["bad"]) == (2, 2, 1)


def test_lines_that_are_not_utf8_are_bad_lines_of_their_file(tmp_path):
    packs = tmp_path / "packs.json"
    packs.write_text(json.dumps(PACKS))
    log = tmp_path / "decisions.jsonl"
    log.write_bytes(GOOD.encode() + b"\n" + GOOD.encode().replace(b"mfa", b"m\xffa", 1) + b"\n")
    status, out, err = run("replay", "--packs-json", packs, log)
    assert (status, out) == (2, "") and err.startswith(f"zorv replay: {log}:2:") and "invalid unicode" in err
    status, out, _ = run("replay", "--packs-json", packs, "--skip-bad", "--format", "json", log)
    assert status == 0 and json.loads(out)["bad"] == 1


@pytest.mark.parametrize(
    "change, fail_on, status",
    [
        ("", "loosen", 0),
        ("", "any", 0),
        ('status = "x"', "loosen", 0),
        ('status = "x"', "any", 1),
        ('controls = ["mfa", "kyc"]', "loosen", 0),
        ('controls = ["mfa", "kyc"]', "any", 1),
        ("controls = []", "loosen", 1),
        ("controls = []", "any", 1),
    ],
)
def test_fail_on_sets_the_exit_status_from_what_changed(tmp_path, change, fail_on, status):
    pack = (
        '[meta]\nstrictness = "as_configured"\n[meta.legal_review]\nstatus = "ok"\n[subject.card]\ncontrols = ["mfa"]\n'
    )
    query = '{"domain":"payments","profile":"retail","jurisdiction":"EU","subject":"card","universe":["mfa","kyc"]}'
    log = tmp_path / "decisions.jsonl"
    log.write_text(decision_record(PackSet(json.dumps({"retail/payments.zorv.toml": pack})), query) + "\n")
    if change.startswith("status"):
        pack = pack.replace('status = "ok"', change)
    elif change:
        pack = pack.replace('controls = ["mfa"]', change)
    packs = tmp_path / "packs.json"
    packs.write_text(json.dumps({"retail/payments.zorv.toml": pack}))
    for form in ("text", "json", "markdown"):
        result = run(
            "replay", "--packs-json", packs, "--fail-on", fail_on, "--format", form, "-", stdin=log.read_text()
        )
        assert result[0] == status, result


@pytest.mark.skipif(
    bool(os.environ.get("ZORV_EXPECT_SANITIZERS")), reason="the sanitizers hold freed memory in quarantine"
)
def test_memory_stays_flat_over_a_million_records():
    # A million records go through replay in one process; its peak resident
    # size may not grow by more than the log's blocks, whatever the log's length.
    script = textwrap.dedent("""
        import json, resource, sys
        from zorv_tools import PackSet, decision_record, replay
        packs = PackSet(json.dumps({"r/p.zorv.toml": "[meta]\\nstrictness = \\"as_configured\\"\\n[subject.s]\\ncontrols = [\\"a\\"]\\n"}))
        line = decision_record(packs, '{"domain":"p","profile":"r","jurisdiction":"EU","subject":"s",'
                                      '"universe":["a","b","c","d","e","f","g","h","i","j"]}')
        changed = line.replace('"required":["a"]', '"required":["b"]')
        def log(count):
            for number in range(count):
                yield changed if number % 1000 == 0 else line
        count = int(sys.argv[1])
        summary = replay(packs, log(count))
        assert summary["records"] == count and summary["changed"] == count // 1000, summary
        print(resource.getrusage(resource.RUSAGE_SELF).ru_maxrss // 1024)
    """)

    def peak_mb(records):
        done = subprocess.run([sys.executable, "-c", script, str(records)], capture_output=True, text=True, check=True)
        return int(done.stdout)

    small, large = peak_mb(20_000), peak_mb(1_000_000)
    # The million-record log is about 500 MB of text.
    assert large - small < 64, (small, large)


def test_a_line_longer_than_many_blocks_costs_linear_time(tmp_path, monkeypatch):
    # One record whose line spans many reads: the pieces are gathered once,
    # never searched again from the line's start.
    monkeypatch.setattr(replay_module, "BLOCK_SIZE", 4096)
    packs = PackSet(json.dumps(PACKS))

    def seconds(controls):
        query = json.dumps(
            {
                "domain": "payments",
                "profile": "retail",
                "jurisdiction": "EU",
                "subject": "card",
                "universe": [f"urn:ctl:{i:08d}:required" for i in range(controls)],
            }
        )
        log = tmp_path / f"long-{controls}.jsonl"
        log.write_text(decision_record(packs, query) + "\n" + GOOD + "\n")
        summary = replay_module.replay_files(packs, [str(log)])
        assert (summary["records"], summary["unchanged"]) == (2, 2)
        return fastest(lambda: replay_module.replay_files(packs, [str(log)]), runs=3)

    assert seconds(160_000) < 8 * seconds(40_000)


EXAMPLES = pathlib.Path(__file__).resolve().parent.parent / "examples"
README = pathlib.Path(__file__).resolve().parent.parent / "README.md"


def shown_after(command):
    """The lines the README shows after `$ command`, up to the next prompt."""
    lines = README.read_text(encoding="utf-8").splitlines()
    start = next(i for i, line in enumerate(lines) if line.startswith(f"$ {command}"))
    shown = []
    for line in lines[start + 1 :]:
        if line.startswith("$ ") or line.startswith("```"):
            return shown
        shown.append(line)
    return shown


def test_the_shipped_log_replays_unchanged_and_the_readme_example_runs_as_shown(tmp_path, monkeypatch):
    monkeypatch.chdir(EXAMPLES)
    status, out, err = run("replay", "--packs", "packs", "--format", "json", "decisions.jsonl")
    summary = json.loads(out)
    assert (status, err, summary["records"], summary["unchanged"]) == (0, "", 7, 7)

    # The change the README makes with cp and sed.
    packs = tmp_path / "packs-next"
    shutil.copytree(EXAMPLES / "packs", packs)
    pack = packs / "retail" / "payments.zorv.toml"
    pack.write_text(
        pack.read_text(encoding="utf-8")
        .replace(
            'controls = ["mfa", "device_binding", "fraud_screening"]',
            'controls = ["device_binding", "fraud_screening", "pci_logging"]',
        )
        .replace("2026-10-02", "2026-12-01"),
        encoding="utf-8",
    )
    status, out, err = run("replay", "--packs", packs, "--fail-on", "loosen", "--examples", "2", "decisions.jsonl")
    assert (status, err, out.splitlines()) == (1, "", shown_after("zorv replay --packs /tmp/packs-next"))


@pytest.mark.parametrize("seed", range(6))
def test_mangled_lines_are_each_a_record_or_one_bad_line(seed):
    # Truncated, flipped and spliced records: whatever a line holds, it is
    # counted once, as a record or as a bad line, the same alone as in the log.
    rng = random.Random(seed)
    packs = PackSet(json.dumps(PACKS))
    good = GOOD.encode()
    lines = []
    for _ in range(300):
        line = bytearray(good)
        for _ in range(rng.randrange(4)):
            if not line:
                break
            at = rng.randrange(len(line))
            choice = rng.random()
            if choice < 0.3:
                del line[at:]
            elif choice < 0.6:
                line[at] = rng.randrange(256)
            else:
                line[at:at] = rng.choice([b"{", b"]", b'"', b"\\", b" ", b"\xe2\x80\xa8", b"\r", b"null,"])
        lines.append(bytes(line).replace(b"\n", b" ").decode("utf-8", "surrogateescape"))
    summary = replay(packs, lines, skip_bad=True)
    alone = [replay(packs, [line], skip_bad=True) for line in lines]
    assert summary["records"] == sum(one["records"] for one in alone)
    assert summary["bad"] == sum(one["bad"] for one in alone)
    assert summary["records"] + summary["bad"] == sum(bool(line.strip(" \t\r")) for line in lines)
