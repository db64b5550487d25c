"""Pack diff: two versions of 1,000 packs of 15 subjects x 15 controls, every
pack of the new version laid out anew (keys reordered, lists shuffled and
repeated, comments) and one pack in ten really changed. Times one
zorv_tools.diff call of the two versions beside the same call on two layouts
of the unchanged version (which only reads and compares packs) and beside
one zorv_tools.resolve_many over a query per pack and version (reading
every pack once), medians side by side in one run. Checks first that the
diff finds a change in exactly the changed packs.

Usage: diff.py [--quick] [--markdown FILE]   (appends a table to FILE)
"""

import json
import random
import statistics
import sys
import time

import zorv_tools

PACKS = 1000
SUBJECTS = 15
CONTROLS = 15


def fresh(text):
    return (text + " ")[:-1]


def pack_model(rng, number):
    pool = [f"control_{number % 50}_{i}" for i in range(40)]
    return {
        "strictness": rng.choice(["aggressive", "as_configured", "minimal"]),
        "from": "2026-01-01",
        "until": rng.choice(["2027-12-31", "2028-06-30"]),
        "subjects": {f"subject_{s}": rng.sample(pool, CONTROLS) for s in range(SUBJECTS)},
        "floor": rng.sample(pool, 3),
        "prohibited": rng.sample(pool, 2),
    }


def changed(rng, pack):
    pack = json.loads(json.dumps(pack))
    subject = rng.choice(sorted(pack["subjects"]))
    pack["subjects"][subject] = pack["subjects"][subject][1:] + ["control_new"]
    pack["until"] = "2029-12-31"
    return pack


def text(pack, rng=None):
    def items(values):
        values = list(values)
        if rng is not None:
            values += values[:2]
            rng.shuffle(values)
        return "[" + ", ".join(json.dumps(v) for v in values) + "]"

    meta = [
        f'strictness = "{pack["strictness"]}"',
        f'effective_from = "{pack["from"]}"',
        f'effective_until = "{pack["until"]}"',
    ]
    subjects = list(pack["subjects"].items())
    if rng is not None:
        rng.shuffle(meta)
        rng.shuffle(subjects)
    lines = ["# laid out anew"] if rng is not None else []
    lines += ["[meta]"] + meta
    for name, controls in subjects:
        lines += [f"[subject.{name}]", f"controls = {items(controls)}"]
    lines += [
        "[legally_required]",
        f"controls = {items(pack['floor'])}",
        "[prohibited]",
        f"controls = {items(pack['prohibited'])}",
    ]
    return "\n".join(lines) + "\n"


def versions(rng):
    old, new, same = {}, {}, {}
    changed_stems = set()
    for number in range(PACKS):
        stem = f"profile_{number % 10}/domain_{number}"
        pack = pack_model(rng, number)
        old[stem + ".zorv.toml"] = text(pack)
        same[stem + ".zorv.toml"] = text(pack, rng)
        if number % 10 == 3:
            changed_stems.add(stem)
            pack = changed(rng, pack)
        new[stem + ".zorv.toml"] = text(pack, rng)
    return json.dumps(old), json.dumps(new), json.dumps(same), changed_stems


def queries(stems):
    return json.dumps(
        [
            {
                "domain": stem.split("/")[1],
                "profile": stem.split("/")[0],
                "jurisdiction": "EU",
                "subject": "subject_1",
                "universe": ["control_1_1"],
            }
            for stem in stems
        ]
    )


def median_time(call, runs):
    samples = []
    for _ in range(runs):
        start = time.perf_counter()
        call()
        samples.append(time.perf_counter() - start)
    return statistics.median(samples)


def main(argv):
    runs = 3 if "--quick" in argv else 11
    old, new, same, changed_stems = versions(random.Random(19))
    result = json.loads(zorv_tools.diff(old, new))
    found = {change["pack"] for change in result["changes"]}
    if found != changed_stems or json.loads(zorv_tools.diff(old, same))["changes"]:
        sys.exit("diff.py: the diff does not find exactly the changed packs")
    all_queries = queries(sorted(key[: -len(".zorv.toml")] for key in json.loads(old)))

    timings = {"diff": [], "layout only": [], "resolve_many, both versions": []}
    calls = {
        "diff": lambda: zorv_tools.diff(fresh(old), fresh(new)),
        "layout only": lambda: zorv_tools.diff(fresh(old), fresh(same)),
        "resolve_many, both versions": lambda: (
            zorv_tools.resolve_many(fresh(old), fresh(all_queries)),
            zorv_tools.resolve_many(fresh(new), fresh(all_queries)),
        ),
    }
    for _ in range(runs):  # the calls take turns, so drift lands on all alike
        for name, call in calls.items():
            timings[name].append(median_time(call, 1))
    medians = {name: statistics.median(samples) for name, samples in timings.items()}
    size = (len(old) + len(new)) / 1e6
    print(
        f"{PACKS:,} packs of {SUBJECTS} subjects x {CONTROLS} controls, {size:.1f} MB of packs_json for both "
        f"versions, {result['summary']['changes']:,} changes in {len(found)} packs; medians of {runs} runs:"
    )
    for name, seconds in medians.items():
        print(f"  {name:28} {seconds * 1e3:8.1f} ms   diff takes {medians['diff'] / seconds:5.2f}x")
    if "--markdown" in argv:
        with open(argv[argv.index("--markdown") + 1], "a", encoding="utf-8") as out:
            out.write(
                f"\n## Pack diff\n\nTwo versions of {PACKS:,} packs of {SUBJECTS} subjects x {CONTROLS} "
                f"controls ({size:.1f} MB of packs_json), every pack laid out anew and one in ten changed "
                f"({result['summary']['changes']:,} changes); medians of {runs} runs side by side.\n\n"
                "| call | median | diff / call |\n|---|---|---|\n"
            )
            for name, seconds in medians.items():
                out.write(f"| {name} | {seconds * 1e3:.1f} ms | {medians['diff'] / seconds:.2f}x |\n")


if __name__ == "__main__":
    main(sys.argv[1:])
