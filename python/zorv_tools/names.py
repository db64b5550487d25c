"""Close names: the "did you mean" of every message that meets a typo."""

from typing import Iterable, Optional, Tuple

__all__ = ["LONGEST_NAME", "edit_distance", "nearest"]

# Longer words get no suggestion: nobody mistypes a name that long, and
# comparing it with every candidate would cost more than it tells.
LONGEST_NAME = 256


def edit_distance(a: str, b: str, limit: int) -> int:
    """The Levenshtein distance of ``a`` and ``b`` when it is at most
    ``limit``, else ``limit + 1``. Only the band of cells within ``limit``
    of the diagonal is computed, so the time is linear in the length."""
    if abs(len(a) - len(b)) > limit:
        return limit + 1
    over = limit + 1
    previous = {j: j for j in range(min(len(b), limit) + 1)}
    for i in range(1, len(a) + 1):
        current = {}
        for j in range(max(0, i - limit), min(len(b), i + limit) + 1):
            if j == 0:
                current[j] = i
                continue
            current[j] = min(
                previous.get(j, over) + 1,
                current.get(j - 1, over) + 1,
                previous.get(j - 1, over) + (a[i - 1] != b[j - 1]),
            )
        if min(current.values()) > limit:
            return over
        previous = current
    return min(previous.get(len(b), over), over)


def nearest(word: str, candidates: Iterable[str], limit: int = 2) -> Optional[str]:
    """The candidate closest to ``word``: equal ignoring case, or within
    ``limit`` edits; the smallest such in byte order on a tie. None when
    no candidate is that close, ``word`` is itself a candidate, or it is
    longer than ``LONGEST_NAME``."""
    if len(word) > LONGEST_NAME:
        return None
    best: Optional[Tuple[int, str]] = None
    for candidate in candidates:
        if candidate == word:
            return None
        distance = 0 if candidate.lower() == word.lower() else edit_distance(word, candidate, limit)
        if distance <= limit and (best is None or (distance, candidate) < best):
            best = (distance, candidate)
    return None if best is None else best[1]
