"""Pack coverage for `zorv test`: the entries of the packs' control lists
that the cases' decisions used, held against the explanations case by
case, and the command's report and threshold."""

import json
import random

import pytest
import zorv_tools
from test_replay import random_packs, random_query, run
from zorv_tools.cases import Case
from zorv_tools.coverage import coverage

PACK = """[meta]
strictness = "as_configured"
[subject.card]
controls = ["mfa", "kyc", "mfa"]
[subject."loyalty.points"]
controls = ["consent"]
[legally_required]
controls = ["mfa"]
[prohibited]
controls = ["tracking"]
"""
PACKS = {
    "retail/payments.zorv.toml": PACK,
    "retail/payments.toml": PACK,  # shadowed by the .zorv.toml: no query reads it
    "retail/lending.zorv.toml": "not toml [",
    "health/telemetry.toml": '[meta]\n[subject.vitals]\ncontrols = ["audit"]\n',
    "README.toml": PACK,  # no "/": the name of no query's pack
}
ENTRIES = [
    ("subject.card", "mfa", 4, 13),
    ("subject.card", "kyc", 4, 20),
    ("subject.card", "mfa", 4, 27),
    ("subject.loyalty.points", "consent", 6, 13),
    ("legally_required", "mfa", 8, 13),
    ("prohibited", "tracking", 10, 13),
]


def case(subject, universe, strictness=None, domain="payments"):
    query = {"domain": domain, "profile": "retail", "jurisdiction": "EU", "subject": subject, "universe": universe}
    return Case("cases.toml", 1, 1, subject, json.dumps(query), strictness, {})


@pytest.mark.parametrize(
    "cases, covered",
    [
        ([], []),
        ([case("card", ["mfa", "kyc"])], [0, 1]),
        ([case("card", ["kyc", "tracking"], "aggressive")], [5]),
        ([case("card", ["mfa", "kyc"], "minimal")], [4]),
        ([case("loyalty.points", ["consent", "mfa"]), case("card", ["mfa"], "minimal")], [3, 4]),
        ([case("wallet", ["mfa", "kyc"])], []),  # a subject the pack does not list
        ([case("card", ["mfa"], domain="lending")], []),  # a malformed pack: the fall-back
        (
            [
                case("card", ["mfa", "kyc", "tracking"]),
                case("card", ["kyc"], "minimal"),
                case("card", ["tracking"], "aggressive"),
                case("loyalty.points", ["consent"]),
            ],
            [0, 1, 3, 5],
        ),
    ],
)
def test_an_entry_is_covered_when_a_decision_used_it(cases, covered):
    report = coverage(json.dumps(PACKS), cases)
    entries = [
        {"list": name, "control": control, "line": line, "column": column, "covered": index in covered}
        for index, (name, control, line, column) in enumerate(ENTRIES)
    ]
    assert report == {
        "packs": [
            {
                "key": "health/telemetry.toml",
                "covered": 0,
                "total": 1,
                "entries": [{"list": "subject.vitals", "control": "audit", "line": 3, "column": 13, "covered": False}],
            },
            {"key": "retail/lending.zorv.toml", "covered": 0, "total": 0, "entries": []},
            {"key": "retail/payments.zorv.toml", "covered": len(covered), "total": 6, "entries": entries},
        ],
        "covered": len(covered),
        "total": 7,
        "percent": round(100 * len(covered) / 7 + 1e-9, 2),
    }


REASON_LISTS = {"legal-floor": "legally_required", "prohibited": "prohibited"}


@pytest.mark.parametrize("seed", range(10))
def test_coverage_agrees_with_each_cases_explanation(seed):
    rng = random.Random(seed)
    packs_json = json.dumps(random_packs(rng))
    dials = [None, "minimal", "as_configured", "aggressive"]
    cases = [Case("c.toml", 1, 1, str(i), random_query(rng), rng.choice(dials), {}) for i in range(25)]
    union = set()
    for one in cases:
        explained = json.loads(zorv_tools.explain(packs_json, one.query_json, one.strictness))
        query = json.loads(one.query_json)
        expected = set()
        for control in explained["controls"]:
            if control["reason"] == "subject-list":
                expected.add(
                    (
                        explained["pack"]["source"],
                        "subject." + query["subject"],
                        control["control"],
                        control["line"],
                        control["column"],
                    )
                )
            elif control["reason"] in REASON_LISTS:
                expected.add(
                    (
                        explained["pack"]["source"],
                        REASON_LISTS[control["reason"]],
                        control["control"],
                        control["line"],
                        control["column"],
                    )
                )
        report = coverage(packs_json, [one])
        got = {
            (pack["key"], entry["list"], entry["control"], entry["line"], entry["column"])
            for pack in report["packs"]
            for entry in pack["entries"]
            if entry["covered"]
        }
        assert got == expected
        union |= got
    report = coverage(packs_json, cases)
    assert {
        (pack["key"], entry["list"], entry["control"], entry["line"], entry["column"])
        for pack in report["packs"]
        for entry in pack["entries"]
        if entry["covered"]
    } == union


@pytest.mark.parametrize(
    "threshold, status, last",
    [
        (None, 0, "coverage: 1/7 entries (14.29%)"),
        ("14.28", 0, "coverage: 1/7 entries (14.29%)"),
        ("14.29", 1, "coverage 14.29% is below the threshold of 14.29%"),  # 14.2857... < 14.29
        ("100", 1, "coverage 14.29% is below the threshold of 100%"),
    ],
)
def test_the_report_follows_the_results_and_the_threshold_fails_the_run(tmp_path, threshold, status, last):
    (tmp_path / "packs" / "retail").mkdir(parents=True)
    (tmp_path / "packs" / "health").mkdir()
    for key, text in PACKS.items():
        (tmp_path / "packs" / key).write_text(text)
    cases = tmp_path / "cases.toml"
    cases.write_text(
        '[[case]]\nname = "floor"\nstrictness = "minimal"\n'
        'query = { domain = "payments", profile = "retail", jurisdiction = "EU", subject = "card", '
        'universe = ["mfa"] }\nexpect = { required = ["mfa"] }\n'
    )
    report = tmp_path / "coverage.json"
    extra = [] if threshold is None else ["--threshold", threshold]
    got, out, err = run("test", "--packs", tmp_path / "packs", cases, "--coverage", "--coverage-json", report, *extra)
    lines = out.splitlines()
    assert (got, err, lines[-1]) == (status, "", last)
    packs = tmp_path / "packs"
    assert lines[2:6] == [
        "health/telemetry.toml: 0/1 entries (0.00%)",
        f"{packs}/health/telemetry.toml:3:13: audit in subject.vitals is not exercised by any case",
        "retail/lending.zorv.toml: 0/0 entries (100.00%)",
        "retail/payments.zorv.toml: 1/6 entries (16.67%)",
    ]
    assert f"{packs}/retail/payments.zorv.toml:10:13: tracking in prohibited is not exercised by any case" in lines
    assert json.loads(report.read_text())["covered"] == 1
