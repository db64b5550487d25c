"""zorv_tools.PackSet: a pack map read once answers exactly as the stateless
calls do, after a pickle round trip too, from many threads at once, and on
any number of native threads; hostile maps and queries cost linear time."""

import hashlib
import json
import os
import pickle
import subprocess
import sys
import threading

import pytest
import zorv
import zorv_tools
from call_paths import PATHS, QUERY, QUERY_FIELDS
from timing import fastest
from zorv_tools import PackSet


def outcome(function, *args):
    """The text a call returns, or the type and message of the ValueError it raises."""
    try:
        return function(*args)
    except ValueError as error:
        return type(error), str(error)


# Every call path whose failure, if any, is a ValueError: the set must give
# the same text or the same message. (Type errors name the set's own
# parameters, so their wording is its own.)
VALUE_PATHS = [
    path
    for path in PATHS
    if path[4] in (None, ValueError, UnicodeEncodeError)
    and not path[3]
    and all(isinstance(arg, str) for arg in path[2])
]


def prepared(packs_json):
    """The set for `packs_json`, or the ValueError outcome building it gives."""
    try:
        return PackSet(packs_json)
    except ValueError as error:
        return type(error), str(error)


@pytest.mark.parametrize("path", VALUE_PATHS, ids=[path[0] for path in VALUE_PATHS])
def test_the_set_answers_every_call_path_as_the_calls_do(path):
    _, function, args, _, _ = path
    packs_json, rest = args[0], args[1:]
    expected = outcome(getattr(zorv, function), *args)
    packs = prepared(packs_json)
    if isinstance(packs, tuple):  # an unusable map: the set refuses it with the call's message
        assert packs == expected
        return
    for answering in (packs, pickle.loads(pickle.dumps(packs))):
        assert outcome(getattr(answering, function), *rest) == expected
        if function == "resolve":
            assert outcome(answering.explain, *rest) == outcome(zorv_tools.explain, *args)


def random_inputs(seed):
    """A map of a few packs, some malformed, and queries over every dial."""
    import random

    rng = random.Random(seed)
    controls = [f"c{i}" for i in range(12)] + ["Ω", 'a"b', "ÿ"]
    packs = {}
    for profile in ("p", "q", "r"):
        for domain in ("d", "e"):
            pick = lambda k: rng.sample(controls, k)  # noqa: E731
            text = (
                f"[meta]\nstrictness = {json.dumps(rng.choice(['aggressive', 'as_configured', 'minimal', 'odd']))}\n"
                f'effective_from = "2026-0{rng.randint(1, 6)}"\n'
                f"[subject.s]\ncontrols = {json.dumps(pick(5))}\n"
                + (f"[legally_required]\ncontrols = {json.dumps(pick(2))}\n" if rng.random() < 0.7 else "")
                + f"[prohibited]\ncontrols = {json.dumps(pick(2))}\n"
            )
            if rng.random() < 0.2:
                text = text.replace("[subject.s]", "[subject.s")
            suffix = rng.choice([".zorv.toml", ".toml"])
            packs[f"{profile}/{domain}{suffix}"] = text
    queries = [
        json.dumps(
            {
                "domain": rng.choice("def"),
                "profile": rng.choice("pqr"),
                "jurisdiction": "EU",
                "subject": rng.choice(["s", "t"]),
                "universe": rng.sample(controls, rng.randint(0, 15)),
                "as_of": rng.choice([None, "2026-03", "2026-09"]),
            },
            ensure_ascii=rng.random() < 0.5,
        )
        for _ in range(40)
    ]
    return json.dumps(packs, ensure_ascii=rng.random() < 0.5), queries


@pytest.mark.parametrize("seed", range(20))
def test_random_maps_and_queries_answer_as_the_calls_do(seed):
    packs_json, queries = random_inputs(seed)
    packs = PackSet(packs_json)
    restored = pickle.loads(pickle.dumps(packs))
    for dial in (None, "aggressive", "as_configured", "minimal", "", "Minimal"):
        for query_json in queries:
            expected = zorv.resolve(packs_json, query_json, dial)
            assert packs.resolve(query_json, dial) == expected
            assert restored.resolve(query_json, dial) == expected
        batch = "[" + ",".join(queries) + "]"
        one_thread = packs.resolve_many(batch, dial, threads=1)
        assert one_thread == zorv_tools.resolve_many(packs_json, batch, dial)
        assert one_thread == "[" + ",".join(zorv.resolve(packs_json, q, dial) for q in queries) + "]"
        for threads in (2, 3, 16, None):
            assert packs.resolve_many(batch, dial, threads=threads) == one_thread


@pytest.mark.parametrize(
    "batch, index",
    [
        ("[" + ",".join([QUERY] * 50) + ", {}]", 50),
        ("[" + QUERY + ", 7, " + ",".join([QUERY] * 50) + "]", 1),
        ("[" + ",".join([QUERY] * 30 + ['{"domain": 1}'] + [QUERY] * 30 + ["[]"]) + "]", 30),
        ("[" + ",".join([QUERY] * 30) + "]]", None),
    ],
)
def test_a_batch_reports_the_first_unusable_query_on_any_number_of_threads(batch, index):
    packs_json = PATHS[0][2][0]
    expected = outcome(zorv_tools.resolve_many, packs_json, batch)
    prefix = (
        f"queries_json[{index}] is not a valid RegulatoryQuery: "
        if index is not None
        else "queries_json is not a valid sequence of RegulatoryQuery: "
    )
    assert expected[1].startswith(prefix)
    packs = PackSet(packs_json)
    for threads in (1, 2, 7):
        assert outcome(lambda: packs.resolve_many(batch, threads=threads)) == expected


def _wide_batch(count, extra=()):
    """A batch of `count` queries with text that is not ASCII (so its UTF-8
    form is made on the call), one of them noting ", {" pairs that look like
    the start of a query, then `extra` elements."""
    fields = dict(QUERY_FIELDS, universe=QUERY_FIELDS["universe"] + ["contrôle-é"] * 20)
    noted = dict(fields, note=", {" * 40_000 + "été")
    queries = [json.dumps(fields, ensure_ascii=False)] * count
    queries[count // 3] = json.dumps(noted, ensure_ascii=False)
    return "[" + ",\n ".join(queries + list(extra)) + "]"


class _LyingStr(str):
    def isascii(self):
        return True


@pytest.mark.parametrize(
    "name, batch",
    [
        ("usable", _wide_batch(2000)),
        ("unusable query late", _wide_batch(2000, ['{"domain": 1}'])),
        ("lone surrogate late", _wide_batch(2000, ['"\ud800"'])),
        ("frame left open", _wide_batch(2000)[:-1]),
        ("a str that says it is ASCII", _LyingStr(_wide_batch(2000))),
    ],
)
def test_a_long_batch_encoded_in_pieces_answers_as_the_whole_text(name, batch):
    """Long batches the interpreter has to encode are encoded a piece at a
    time while threads decide: the answer or error is the one-thread one."""
    assert len(batch) > 1_000_000
    packs = PackSet(PATHS[0][2][0])

    def result(threads):
        try:
            return packs.resolve_many(str(batch) if threads == 1 else batch, threads=threads)
        except (ValueError, UnicodeEncodeError) as error:
            return type(error), str(error)

    expected = result(1)
    for threads in (2, 3):
        assert result(threads) == expected


@pytest.mark.parametrize(
    "threads, error",
    [(0, ValueError), (-3, ValueError), (True, TypeError), (2.0, TypeError), (2**80, OverflowError), (10**6, None)],
)
def test_thread_counts_are_checked_and_large_ones_capped(threads, error):
    packs = PackSet("{}")
    batch = "[" + ",".join([QUERY] * 3) + "]"
    if error is None:
        assert packs.resolve_many(batch, threads=threads) == zorv_tools.resolve_many("{}", batch)
    else:
        with pytest.raises(error):
            packs.resolve_many(batch, threads=threads)


def test_keys_length_hashes_and_map_text():
    text = '[meta]\nstrictness = "minimal"\n# ö\n'
    # A repeated key, and a key written with an escape.
    packs_json = '{"b/x.toml": "old", "a/\\u00e9.toml": ' + json.dumps(text) + ', "b/x.toml": "[meta]"}'
    packs = PackSet(packs_json)
    assert packs.keys() == ["a/\u00e9.toml", "b/x.toml"]
    assert len(packs) == 2
    assert packs.pack_sha256("a/\u00e9.toml") == hashlib.sha256(text.encode()).hexdigest()
    assert packs.pack_sha256("b/x.toml") == hashlib.sha256(b"[meta]").hexdigest()  # the last of a repeated key
    assert packs.packs_json is packs_json
    with pytest.raises(KeyError):
        packs.pack_sha256("a/missing.toml")
    assert pickle.loads(pickle.dumps(packs)).packs_json == packs_json
    assert type(packs).__reduce__(packs) == (PackSet, (packs_json,))


def test_a_set_cannot_be_changed():
    packs = PackSet(PATHS[0][2][0])
    before = packs.resolve(QUERY)
    packs.__init__("{}")
    with pytest.raises(AttributeError):
        packs.packs_json = "{}"
    with pytest.raises(AttributeError):
        packs.extra = 1
    assert packs.resolve(QUERY) == before


def test_from_dir_reads_a_folder_as_load_packs_does(tmp_path):
    (tmp_path / "retail").mkdir()
    (tmp_path / "retail" / "payments.zorv.toml").write_text('[meta]\nstrictness = "minimal"\n', encoding="utf-8")
    for path in (tmp_path, str(tmp_path)):
        packs = PackSet.from_dir(path)
        assert type(packs) is PackSet
        assert packs.packs_json == zorv_tools.load_packs(str(tmp_path))
        assert packs.keys() == ["retail/payments.zorv.toml"]


def test_threads_share_one_set():
    packs_json, queries = random_inputs(99)
    packs = PackSet(packs_json)
    expected = [zorv.resolve(packs_json, q) for q in queries]
    batch = "[" + ",".join(queries) + "]"
    failures, start = [], threading.Barrier(6)

    def worker(thread):
        try:
            start.wait()
            for _ in range(30):
                if thread % 2:
                    assert [packs.resolve(q) for q in queries] == expected
                else:
                    assert packs.resolve_many(batch, threads=3) == "[" + ",".join(expected) + "]"
        except BaseException as failure:  # reported by the main thread
            failures.append(failure)

    workers = [threading.Thread(target=worker, args=(thread,)) for thread in range(6)]
    for thread in workers:
        thread.start()
    for thread in workers:
        thread.join()
    assert failures == []


def colliding_controls(n):
    """Identifiers alike in length and in their first and last eight bytes."""
    return [f"urn:ctl:{i:08d}:required" for i in range(n)]


def colliding_call(n):
    controls = colliding_controls(n)
    pack = '[meta]\nstrictness = "as_configured"\n[subject.s]\ncontrols = ' + json.dumps(controls) + "\n"
    packs_json = json.dumps({"p/d.zorv.toml": pack})
    query_json = json.dumps(
        {"domain": "d", "profile": "p", "jurisdiction": "EU", "subject": "s", "universe": controls[::-1]}
    )
    return packs_json, query_json


def test_controls_alike_at_both_ends_cost_the_set_linear_time():
    # (zorv.resolve over such lists is timed in the C++ growth tests.)
    calls = {}
    for n in (1_000, 4_000):
        packs_json, query_json = colliding_call(n)
        calls[n] = lambda s=PackSet(packs_json), q=query_json: s.resolve(q)
        assert len(json.loads(calls[n]())["required"]) == n
    assert fastest(calls[4_000]) < 8 * fastest(calls[1_000])


def batch_over_many_packs(n, distinct):
    """`n` packs, and `n` queries: each for a pack of its own, or all for one."""
    packs_json = json.dumps({f"p{i}/d.zorv.toml": "[meta]" for i in range(n)})
    queries = (
        "["
        + ",".join(
            json.dumps(
                {
                    "domain": "d",
                    "profile": f"p{i if distinct else 0}",
                    "jurisdiction": "EU",
                    "subject": "s",
                    "universe": ["c"],
                }
            )
            for i in range(n)
        )
        + "]"
    )
    return packs_json, queries


@pytest.mark.parametrize("resolver", ["zorv_tools.resolve_many", "PackSet.resolve_many"])
def test_a_batch_finds_each_pack_without_scanning_the_map(resolver):
    # Scanning the map for each distinct key makes a batch of 8,000 queries
    # for 8,000 packs ten times slower or more than one for a single pack.
    times = {}
    for distinct in (True, False):
        packs_json, queries = batch_over_many_packs(8_000, distinct)
        if resolver == "zorv_tools.resolve_many":
            call = lambda p=packs_json, q=queries: zorv_tools.resolve_many(p, q)  # noqa: E731
        else:
            call = lambda s=PackSet(packs_json), q=queries: s.resolve_many(q, threads=1)  # noqa: E731
        assert call().count('"fell_back":false') == 8_000
        times[distinct] = fastest(call)
    assert times[True] < 5 * times[False]


def test_keys_alike_but_for_their_ends_build_a_set_in_linear_time():
    def build(n):
        packs_json = json.dumps({f"{'p' * 200}{i:08d}/d.toml": "[meta]" for i in range(n)})
        return lambda: PackSet(packs_json)

    assert fastest(build(4_000)) < 8 * fastest(build(1_000))


def batch_of_long_answers(n):
    """One pack whose review note makes every answer some 2 KB longer than
    its query, and `n` queries for it."""
    pack = '[meta]\nlast_reviewed_against_guidance = "' + "g" * 2_000 + '"\n[subject.s]\ncontrols = ["c"]\n'
    packs_json = json.dumps({"p/d.zorv.toml": pack})
    query = json.dumps({"domain": "d", "profile": "p", "jurisdiction": "EU", "subject": "s", "universe": ["c"]})
    return packs_json, "[" + ",".join([query] * n) + "]"


# Times a batch of 1,000 and one of 4,000 long answers, in a fresh
# interpreter (see below), and prints the two times.
_LONG_ANSWERS_TIMES = """
import sys
import zorv_tools
from test_pack_set import batch_of_long_answers
from timing import fastest
from zorv_tools import PackSet

times = []
for n in (1_000, 4_000):
    packs_json, queries = batch_of_long_answers(n)
    if sys.argv[1] == "zorv_tools.resolve_many":
        call = lambda p=packs_json, q=queries: zorv_tools.resolve_many(p, q)
    else:
        call = lambda s=PackSet(packs_json), q=queries: s.resolve_many(q, threads=1)
    assert call().count('"fell_back":false') == n
    times.append(fastest(call))
print(*times)
"""


@pytest.mark.parametrize("resolver", ["zorv_tools.resolve_many", "PackSet.resolve_many"])
def test_a_batch_of_answers_longer_than_their_queries_is_written_in_linear_time(resolver):
    # The batch's text outgrows what was set aside for it with every answer;
    # growing it by exactly what each answer asks for copies the whole text
    # again per answer (as a C++ library whose reserve() is exact would).
    # Timed in a fresh interpreter whose C library keeps the blocks it frees
    # (no block of these sizes mapped apart and handed back): otherwise
    # whether a block of 4 or 16 MB comes back as new, zeroed pages at every
    # call depends on what earlier tests freed, which made a linear writer
    # cost 10-16x for 4x the answers in some runs.
    tunables = "glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=1073741824"
    env = dict(os.environ, GLIBC_TUNABLES=tunables, PYTHONPATH=os.pathsep.join(sys.path))
    done = subprocess.run(
        [sys.executable, "-c", _LONG_ANSWERS_TIMES, resolver],
        env=env,
        cwd=os.path.dirname(__file__),
        capture_output=True,
        text=True,
        timeout=300,
    )
    assert done.returncode == 0, done.stderr
    one, four = (float(t) for t in done.stdout.split())
    assert four < 8 * one
