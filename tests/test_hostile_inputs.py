"""Hostile inputs: each gets a clear result (a decision or a ValueError with
the argument's prefix), never a crash, and huge ones cost memory in
proportion to their size. Memory is measured in a fresh interpreter, as the
peak resident size during the one call."""

import json
import subprocess
import sys
import textwrap

import pytest
import zorv
from call_paths import CONTEXT, CONTEXT_FIELDS, PACKS, QUERY, SANITIZED, context, query

MB = 1024 * 1024
PACKS_PREFIX = "packs_json is not an object of path->toml strings: "
QUERY_PREFIX = "query_json is not a valid RegulatoryQuery: "
CTX_PREFIX = "ctx_json is not a valid ReceiptContext: "
DEEP = 100_000


def decide(packs, query_text=QUERY, dial=None):
    return json.loads(zorv.resolve(packs, query_text, dial))


def one_pack(text, key="retail/payments.zorv.toml"):
    return json.dumps({key: text})


# Runs `setup` (which defines `call()`, `summarize(text)` and `input_size`),
# then the call alone with the resident high-water mark reset, and prints the
# summary of what it returned and how far resident memory rose meanwhile.
MEASURE = """
import gc, json, resource, zorv
{setup}
gc.collect()
def resident(field):
    with open("/proc/self/status") as status:
        line = next(line for line in status if line.startswith(field + ":"))
    return int(line.split()[1]) * 1024
try:
    with open("/proc/self/clear_refs", "w") as clear_refs:
        clear_refs.write("5")
    start = resident("VmRSS")
except OSError:
    start = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
text = call()
rise = resident("VmHWM") - start
print(json.dumps({{"summary": summarize(text), "rise": rise, "input": input_size}}))
"""


def measured(setup):
    script = MEASURE.format(setup=textwrap.dedent(setup))
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=600)
    assert done.returncode == 0, done.stderr[-2000:]
    return json.loads(done.stdout)


def assert_rise_within(result, allowance):
    if not SANITIZED:
        assert result["rise"] <= allowance, f"the call took {result['rise'] / MB:.0f} MB"


def test_a_100_mb_pack_map_is_read_once():
    result = measured("""
        pack = '[meta]\\nstrictness = "as_configured"\\n[subject.card]\\ncontrols = ["mfa"]\\n#' + "x" * 10_000 + "\\n"
        packs = json.dumps({f"p{i}/payments.zorv.toml": pack for i in range(10_000)}
                           | {"retail/payments.zorv.toml": pack})
        query = json.dumps({"domain": "payments", "profile": "retail", "jurisdiction": "EU",
                            "subject": "card", "universe": ["mfa", "audit"]})
        input_size = len(packs)
        def call():
            return zorv.resolve(packs, query)
        def summarize(text):
            decision = json.loads(text)
            return [decision["required"], decision["provenance"]["source"]]
    """)
    assert result["input"] > 100_000_000
    assert result["summary"] == [["mfa"], "retail/payments.zorv.toml"]
    # At most one UTF-8 copy of the text, and little else: the packs the
    # query does not name are never decoded.
    assert_rise_within(result, 1.2 * result["input"] + 32 * MB)


def test_a_100_mb_pack_is_decoded_and_parsed_within_a_few_copies():
    result = measured("""
        pack = '[meta]\\nstrictness = "as_configured"\\n[subject.card]\\ncontrols = ["mfa"]\\n#' + "x" * 100_000_000 + "\\n"
        packs = json.dumps({"retail/payments.zorv.toml": pack})
        query = json.dumps({"domain": "payments", "profile": "retail", "jurisdiction": "EU",
                            "subject": "card", "universe": ["mfa", "audit"]})
        input_size = len(packs)
        def call():
            return zorv.resolve(packs, query)
        def summarize(text):
            decision = json.loads(text)
            return [decision["required"], decision["provenance"]["fell_back"]]
    """)
    assert result["summary"] == [["mfa"], False]
    assert_rise_within(result, 2.5 * result["input"] + 32 * MB)


@pytest.mark.parametrize("function", ["resolve", "resolve_with_receipts"])
def test_a_million_control_universe_falls_back_whole(function):
    result = measured(f"""
        universe = [f"control-{{i:07d}}" for i in range(1_000_000, 0, -1)]
        query = json.dumps({{"domain": "payments", "profile": "retail", "jurisdiction": "EU",
                            "subject": "card", "universe": universe}})
        context = {CONTEXT!r}
        input_size = len(query)
        del universe
        def call():
            return zorv.{function}("{{}}", query, *([context] if "{function}" != "resolve" else []))
        def summarize(text):
            decision = json.loads(text)
            decision = decision.get("decision", decision)
            required = decision["required"]
            return [len(required), required[0], required[-1], decision["provenance"]["fell_back"], len(text)]
    """)
    count, first, last, fell_back, text_size = result["summary"]
    assert (count, first, last, fell_back) == (1_000_000, "control-0000001", "control-1000000", True)
    # resolve: the universe read, its set, the text and its str; the receipts
    # list the controls three times more, as generic values before writing.
    assert_rise_within(result, (10 if function == "resolve" else 32) * result["input"] + 32 * MB)


def nested(opening, closing, inner="1"):
    return opening * DEEP + inner + closing * DEEP


DEEP_ARRAY = nested("[", "]")
DEEP_OBJECT = nested('{"a":', "}")
PLACE = "@place@"


def in_place(text, value):
    """`text` with the string PLACE replaced by the raw JSON `value`."""
    return text.replace(json.dumps(PLACE), value)


@pytest.mark.parametrize(
    "packs, query_text, ctx, message",
    [
        (DEEP_ARRAY, QUERY, CONTEXT, PACKS_PREFIX + "invalid type: sequence, expected a map at line 1 column 0"),
        (DEEP_OBJECT, QUERY, CONTEXT, PACKS_PREFIX + "invalid type: map, expected a string at line 1 column 5"),
        (
            PACKS,
            DEEP_ARRAY,
            CONTEXT,
            QUERY_PREFIX + "invalid type: sequence, expected struct WireQuery at line 1 column 0",
        ),
        (PACKS, DEEP_OBJECT, CONTEXT, QUERY_PREFIX + "recursion limit exceeded at line 1 column 641"),
        (PACKS, '{"note":' + DEEP_ARRAY + "}", CONTEXT, QUERY_PREFIX + "recursion limit exceeded at line 1 column 136"),
        (
            PACKS,
            in_place(query(universe=PLACE), DEEP_ARRAY),
            CONTEXT,
            QUERY_PREFIX + "invalid type: sequence, expected a string at line 1 column 98",
        ),
        (
            PACKS,
            QUERY,
            DEEP_ARRAY,
            CTX_PREFIX + "invalid type: sequence, expected struct WireReceiptContext at line 1 column 0",
        ),
        (PACKS, QUERY, DEEP_OBJECT, CTX_PREFIX + "recursion limit exceeded at line 1 column 641"),
        (PACKS, QUERY, '{"note":' + DEEP_ARRAY + "}", CTX_PREFIX + "recursion limit exceeded at line 1 column 136"),
        (
            PACKS,
            QUERY,
            in_place(context(ai_disclosure=PLACE), '{"note":' + DEEP_OBJECT + "}"),
            CTX_PREFIX + "recursion limit exceeded at line 1 column 1014",
        ),
        (
            PACKS,
            QUERY,
            in_place(context(operations=PLACE), DEEP_ARRAY),
            CTX_PREFIX + "invalid type: sequence, expected a string at line 1 column 267",
        ),
    ],
)
def test_deep_json_is_refused_at_a_fixed_depth(packs, query_text, ctx, message):
    with pytest.raises(ValueError) as raised:
        zorv.resolve_with_receipts(packs, query_text, ctx)
    assert str(raised.value) == message


DOTTED = ".".join(["a"] * DEEP)


@pytest.mark.parametrize(
    "pack",
    [
        "[meta]\nx = " + nested("[", "]"),
        "[meta]\nx = " + nested("{ a = ", " }"),
        "[meta]\n" + DOTTED + " = 1",
        "[meta]\n[" + DOTTED + "]",
        "[meta]\n[[" + DOTTED + "]]",
        "[meta]\nx = { " + DOTTED + " = 1 }",
        "meta = { legal_review = " + nested("{ a = ", " }") + " }",
        "[meta]\n" + "\n".join(f"[{'.'.join(['a'] * depth)}]" for depth in range(1, 1500)),
    ],
    ids=[
        "arrays",
        "inline tables",
        "dotted key",
        "table header",
        "array of tables header",
        "dotted key in inline table",
        "inline tables in meta",
        "ever deeper headers",
    ],
)
def test_deep_toml_is_read_like_any_pack(pack):
    decision = decide(one_pack(pack))
    assert decision["provenance"]["source"] == "retail/payments.zorv.toml"
    assert decision["provenance"]["fell_back"] is False


def test_moderately_nested_toml_is_still_read():
    pack = (
        '[meta]\nstrictness = "as_configured"\nx = '
        + "[" * 100
        + "]" * 100
        + "\ny = "
        + "{ a = " * 50
        + "1"
        + " }" * 50
    )
    pack += "\n" + ".".join(["k"] * 200) + ' = 1\n[subject.card]\ncontrols = ["mfa"]\n'
    decision = decide(one_pack(pack))
    assert (decision["required"], decision["provenance"]["fell_back"]) == (["mfa"], False)


MEGA = "k" * MB


def test_a_one_megabyte_pack_key_is_found_and_echoed():
    packs = json.dumps(
        {
            "other/payments.toml": "[meta]",
            f"{MEGA}/payments.zorv.toml": '[meta]\nstrictness = "minimal"\n[legally_required]\ncontrols = ["mfa"]',
        }
    )
    decision = decide(packs, query(profile=MEGA))
    assert decision["provenance"]["source"] == f"{MEGA}/payments.zorv.toml"
    assert decision["provenance"]["profile"] == MEGA
    assert decision["required"] == ["mfa"]


def test_a_one_megabyte_control_key_matches_byte_for_byte():
    pack = f'[meta]\nstrictness = "as_configured"\n[subject.card]\ncontrols = ["{MEGA}", "{MEGA}x"]\n'
    decision = decide(one_pack(pack), query(universe=[MEGA, MEGA[:-1], "mfa"]))
    assert decision["required"] == [MEGA]


def test_one_megabyte_keys_nobody_reads_are_skipped():
    pack = f'[meta]\n{MEGA} = 1\n"{MEGA}q" = "v"\nstrictness = "as_configured"\n[subject.card]\ncontrols = ["mfa"]\n'
    query_text = QUERY[:-1] + f', "{MEGA}": "{MEGA}"}}'
    ctx = CONTEXT[:-1] + f', "{MEGA}": ["{MEGA}"]}}'
    combined = json.loads(zorv.resolve_with_receipts(one_pack(pack), query_text, ctx))
    assert combined["decision"]["required"] == ["mfa"]
    assert MEGA not in json.dumps(combined)


def test_a_one_megabyte_unknown_field_leaves_the_required_ones_missing():
    with pytest.raises(ValueError, match="^" + QUERY_PREFIX + "missing field `domain` at line 1 column"):
        zorv.resolve(PACKS, json.dumps({MEGA: 1}))


NUL_PACK = (
    '[meta]\nstrictness = "as_configured"\nlast_reviewed_against_guidance = "g\\u0000"\n'
    '[meta.legal_review]\nstatus = "a\\u0000b"\n'
    '[subject."c\\u0000d"]\ncontrols = ["x\\u0000y", "mfa", "x"]\n'
    '[prohibited]\ncontrols = ["x"]\n'
)


def test_nul_characters_are_ordinary_characters_everywhere():
    packs = json.dumps({"p\u0000/d\u0000.zorv.toml": NUL_PACK, "p/d.zorv.toml": "[meta]"})
    query_text = json.dumps(
        {
            "domain": "d\u0000",
            "profile": "p\u0000",
            "jurisdiction": "\u0000",
            "subject": "c\u0000d",
            "universe": ["x\u0000y", "x\u0000", "x", "mfa", "\u0000"],
            "as_of": "2026\u0000",
        }
    )
    ctx = context(
        record_id="r\u0000",
        pii_principal_id="\u0000",
        operations=["\u0000op"],
        ai_disclosure={"disclosed_at": "d\u0000", "method": "m\u0000"},
        pack_sha256="\u0000",
    )
    text = zorv.resolve_with_receipts(packs, query_text, ctx, "as_configured\u0000")
    combined = json.loads(text)
    decision = combined["decision"]
    # The dial with a NUL is not "as_configured": it is an unrecognised dial,
    # which keeps the whole universe less what is prohibited.
    assert decision["required"] == ["\u0000", "mfa", "x\u0000", "x\u0000y"]
    assert decision["provenance"] == {
        "profile": "p\u0000",
        "strictness": "as_configured\u0000",
        "source": "p\u0000/d\u0000.zorv.toml",
        "legal_review_status": "a\u0000b",
        "last_reviewed_against_guidance": "g\u0000",
        "fell_back": False,
    }
    assert "\\u0000" in text and "\u0000" not in text
    kantara = combined["receipt_kantara_cr_v1_1"]
    assert (kantara["consentReceiptID"], kantara["piiPrincipalId"]) == ("r\u0000", "\u0000")
    assert kantara["kwdx"]["ai_disclosure"] == {"disclosed_at": "d\u0000", "method": "m\u0000"}
    dpv = combined["receipt_dpv27560"]
    assert (dpv["processing"]["operations"], dpv["provenance"]["pack_sha256"]) == (["\u0000op"], "\u0000")

    as_configured = decide(packs, query_text, "as_configured")
    assert as_configured["required"] == ["mfa", "x\u0000y"]


@pytest.mark.parametrize(
    "packs, query_text, prefix",
    [
        ("{\u0000}", QUERY, PACKS_PREFIX),
        ('{"a\u0000": "x"}', QUERY, PACKS_PREFIX),
        (PACKS, QUERY[:-1] + ', "n": "\u0000"}', QUERY_PREFIX),
        (PACKS, "\u0000" + QUERY, QUERY_PREFIX),
    ],
)
def test_raw_nul_in_json_text_is_refused(packs, query_text, prefix):
    with pytest.raises(ValueError) as raised:
        zorv.resolve(packs, query_text)
    assert str(raised.value).startswith(prefix)


def test_nul_inside_a_pack_text_makes_it_malformed():
    decision = decide(one_pack('[meta]\nstrictness = "minimal\u0000"\n'))
    assert decision["provenance"]["source"] == "<malformed:retail/payments.zorv.toml>"


BOM_PACK = '\ufeff[meta]\nstrictness = "minimal"\n[legally_required]\ncontrols = ["mfa"]\n'


def test_a_pack_may_start_with_a_byte_order_mark():
    decision = decide(one_pack(BOM_PACK))
    assert (decision["required"], decision["provenance"]["fell_back"]) == (["mfa"], False)


@pytest.mark.parametrize("pack", ["\ufeff\ufeff[meta]\n", "[meta]\n\ufeff", " \ufeff[meta]\n"])
def test_a_byte_order_mark_anywhere_else_makes_the_pack_malformed(pack):
    assert decide(one_pack(pack))["provenance"]["source"] == "<malformed:retail/payments.zorv.toml>"


@pytest.mark.parametrize("argument", [0, 1, 2])
def test_a_byte_order_mark_before_json_is_refused(argument):
    args = [PACKS, QUERY, CONTEXT]
    args[argument] = "\ufeff" + args[argument]
    with pytest.raises(ValueError) as raised:
        zorv.resolve_with_receipts(*args)
    assert str(raised.value) == [PACKS_PREFIX, QUERY_PREFIX, CTX_PREFIX][argument] + "expected value at line 1 column 1"


@pytest.mark.parametrize(
    "written, timestamp",
    [
        ("0", 0),
        ("-0", 0),
        ("9007199254740992", 2**53),
        ("9223372036854775808", 2**63),
        ("18446744073709551615", 2**64 - 1),
    ],
)
def test_issued_at_unix_takes_every_u64(written, timestamp):
    ctx = CONTEXT.replace(str(CONTEXT_FIELDS["issued_at_unix"]), written)
    text = zorv.resolve_with_receipts(PACKS, QUERY, ctx)
    assert json.loads(text)["receipt_kantara_cr_v1_1"]["consentTimestamp"] == timestamp
    assert f'"consentTimestamp":{timestamp},' in text


@pytest.mark.parametrize(
    "written, fault",
    [
        ("-1", "invalid value: integer `-1`, expected u64"),
        ("18446744073709551616", "invalid type: floating point `18446744073709552000.0`, expected u64"),
        ("1.5", "invalid type: floating point `1.5`, expected u64"),
        ("1e3", "invalid type: floating point `1000.0`, expected u64"),
        ("-0.0", "invalid type: floating point `-0.0`, expected u64"),
        ('"1"', 'invalid type: string "1", expected u64'),
        ("null", "invalid type: null, expected u64"),
        ("01", "invalid number"),
    ],
)
def test_issued_at_unix_refuses_everything_else(written, fault):
    ctx = CONTEXT.replace(str(CONTEXT_FIELDS["issued_at_unix"]), written)
    with pytest.raises(ValueError) as raised:
        zorv.resolve_with_receipts(PACKS, QUERY, ctx)
    assert str(raised.value).startswith(CTX_PREFIX + fault + " at line 1 column ")
