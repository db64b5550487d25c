"""The pack sets an engine's worker process keeps between batches."""

import hashlib

import pytest
from zorv_tools import PackSet
from zorv_tools._worker_sets import packs_text, worker_set


def _map(n):
    return '{"p/d.zorv.toml": "[meta]\\n# %d"}' % n


def test_a_process_reads_each_map_once_and_keeps_a_few():
    texts = [(_map(n), hashlib.sha256(_map(n).encode()).hexdigest()) for n in range(6)]
    first = worker_set(*texts[0])
    assert worker_set(*texts[0]) is first
    assert worker_set(*texts[1]) is not first
    for text in texts[2:]:
        worker_set(*text)
    # The oldest were let go; a later batch of the same map reads it again.
    again = worker_set(*texts[0])
    assert again is not first and again.packs_json == texts[0][0]


@pytest.mark.parametrize(
    "packs, text",
    [
        (PackSet(_map(1)), _map(1)),
        (_map(2), _map(2)),
        ("  " + _map(3), "  " + _map(3)),
    ],
)
def test_packs_are_a_set_a_text_or_a_folder(packs, text):
    assert packs_text(packs) == (text, hashlib.sha256(text.encode()).hexdigest())


def test_an_unusable_map_fails_before_any_engine_starts(tmp_path):
    with pytest.raises(ValueError, match="^packs_json is not an object of path->toml strings: "):
        packs_text('{"a": 1}')
    (tmp_path / "p").mkdir()
    (tmp_path / "p" / "d.zorv.toml").write_text("[meta]\n")
    assert packs_text(tmp_path)[0] == packs_text(str(tmp_path))[0]
