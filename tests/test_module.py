"""The Python surface of zorv: attributes, signatures, argument binding,
conversion and the exceptions each kind of failure raises."""

import json
import os
import subprocess
import sys
import textwrap

import pytest
import zorv

DISCLAIMER = (
    "NOT LEGAL ADVICE. This receipt records a control decision and its provenance; "
    "it is not a statement of law or a compliance claim. 'aggressive' != 'compliant'."
)
HAS_NOTES = sys.version_info >= (3, 11)


def test_module_attributes_in_order():
    assert zorv.__all__ == ["resolve", "resolve_with_receipts", "__version__", "KWDX_NS", "NOT_LEGAL_ADVICE"]
    assert zorv.__version__ == "0.1.0"
    assert zorv.NOT_LEGAL_ADVICE == DISCLAIMER and len(DISCLAIMER) == 158
    assert zorv.KWDX_NS.startswith("https://") and zorv.KWDX_NS.endswith("/ns#")
    assert zorv.__doc__ == (
        "The `zorv` Python module. `__version__` and `KWDX_NS` are module attributes\n"
        "so the common lookups need no function call."
    )
    assert not hasattr(zorv, "PanicException")


@pytest.mark.parametrize(
    "function, signature, doc_start",
    [
        (
            zorv.resolve,
            "(packs_json, query_json, strictness_override=None)",
            "resolve(packs_json, query_json, strictness_override=None) -> str\n\nResolve required controls.",
        ),
        (
            zorv.resolve_with_receipts,
            "(packs_json, query_json, ctx_json, strictness_override=None)",
            "resolve_with_receipts(packs_json, query_json, ctx_json, strictness_override=None) -> str\n\n"
            "Resolve AND serialize both receipt forms in one call (spec \u00a78) \u2014 the ISO/IEC\n",
        ),
    ],
)
def test_functions_carry_signature_and_docstring(function, signature, doc_start):
    assert function.__module__ == "zorv"
    assert function.__text_signature__ == signature
    assert function.__doc__.startswith(doc_start)


def test_resolve_docstring_is_exact():
    assert zorv.resolve.__doc__ == (
        "resolve(packs_json, query_json, strictness_override=None) -> str\n\n"
        "Resolve required controls. `packs_json` maps\n"
        '`"<profile>/<domain>.zorv.toml"` to pack TOML text; `query_json` is the\n'
        "RegulatoryQuery; `strictness_override` is the optional global dial\n"
        '(`"aggressive"` / `"as_configured"` / `"minimal"`). Returns the decision as\n'
        "a JSON string.\n\n"
        "A missing or malformed *pack* is not an error \u2014 it resolves fail-closed to\n"
        "the caller's full universe with `provenance.fell_back = true`. `ValueError`\n"
        "always means the caller's JSON was unusable."
    )


def test_decision_text_is_exact(packs_json, query_json):
    assert zorv.resolve(packs_json, query_json) == (
        '{"verdict":"permit","required":["mfa","tokenisation"],"provenance":{"profile":"retail",'
        '"strictness":"as_configured","source":"retail/payments.zorv.toml","legal_review_status":"approved",'
        '"last_reviewed_against_guidance":"guidance 2026-09","fell_back":false},"disclaimer":'
        + json.dumps(DISCLAIMER)
        + "}"
    )


def test_ways_of_passing_no_override_agree(packs_json, query_json):
    expected = zorv.resolve(packs_json, query_json)
    assert zorv.resolve(packs_json, query_json, None) == expected
    assert zorv.resolve(packs_json, query_json, strictness_override=None) == expected
    assert zorv.resolve(strictness_override=None, query_json=query_json, packs_json=packs_json) == expected


@pytest.mark.parametrize(
    "override, required, strictness",
    [
        ("minimal", ["mfa"], "minimal"),
        ("aggressive", ["audit", "mfa", "tokenisation"], "aggressive"),
        ("", ["audit", "mfa", "tokenisation"], ""),
        ("AGGRESSIVE", ["audit", "mfa", "tokenisation"], "AGGRESSIVE"),
        ("strict\u00e9", ["audit", "mfa", "tokenisation"], "strict\u00e9"),
    ],
)
def test_override_is_applied_verbatim(packs_json, query_json, override, required, strictness):
    decision = json.loads(zorv.resolve(packs_json, query_json, override))
    assert (decision["required"], decision["provenance"]["strictness"]) == (required, strictness)


def test_empty_pack_map_falls_back(query_json):
    decision = json.loads(zorv.resolve("{}", query_json, "minimal"))
    assert decision["required"] == ["audit", "fingerprinting", "mfa", "tokenisation"]
    assert decision["provenance"] == {
        "profile": "retail",
        "strictness": "aggressive",
        "source": "<missing:retail/payments.zorv.toml>",
        "legal_review_status": None,
        "last_reviewed_against_guidance": None,
        "fell_back": True,
    }
    assert decision["disclaimer"] == zorv.NOT_LEGAL_ADVICE


P, Q, C = "{}", '{"domain":"d","profile":"p","jurisdiction":"j","subject":"s","universe":[]}', "{}"


@pytest.mark.parametrize(
    "function, args, kwargs, message",
    [
        (zorv.resolve, (P,), {}, "resolve() missing 1 required positional argument: 'query_json'"),
        (zorv.resolve, (), {}, "resolve() missing 2 required positional arguments: 'packs_json' and 'query_json'"),
        (zorv.resolve, (P, Q, None, 1), {}, "resolve() takes from 2 to 3 positional arguments but 4 were given"),
        (zorv.resolve, (P, Q), {"packs_json": P}, "resolve() got multiple values for argument 'packs_json'"),
        (zorv.resolve, (P, Q), {"strictness": "x"}, "resolve() got an unexpected keyword argument 'strictness'"),
        (
            zorv.resolve,
            (P, Q, None, 1),
            {"bogus": 1},
            "resolve() takes from 2 to 3 positional arguments but 4 were given",
        ),
        (zorv.resolve, (), {"bogus": 1}, "resolve() got an unexpected keyword argument 'bogus'"),
        (
            zorv.resolve_with_receipts,
            (P, Q),
            {},
            "resolve_with_receipts() missing 1 required positional argument: 'ctx_json'",
        ),
        (
            zorv.resolve_with_receipts,
            (),
            {},
            "resolve_with_receipts() missing 3 required positional arguments: 'packs_json', 'query_json', and 'ctx_json'",
        ),
        (
            zorv.resolve_with_receipts,
            (P, Q, C, None, 5),
            {},
            "resolve_with_receipts() takes from 3 to 4 positional arguments but 5 were given",
        ),
        (
            zorv.resolve_with_receipts,
            (P,),
            {"ctx_json": C},
            "resolve_with_receipts() missing 1 required positional argument: 'query_json'",
        ),
    ],
)
def test_binding_errors(function, args, kwargs, message):
    with pytest.raises(TypeError) as raised:
        function(*args, **kwargs)
    assert str(raised.value) == message


@pytest.mark.parametrize(
    "args, message, parameter",
    [
        ((b"{}", Q), "'bytes' object is not an instance of 'str'", "packs_json"),
        ((None, Q), "'None' is not an instance of 'str'", "packs_json"),
        ((P, {"domain": "d"}), "'dict' object is not an instance of 'str'", "query_json"),
        ((P, Q, 1), "'int' object is not an instance of 'str'", "strictness_override"),
        ((P, None), "'None' is not an instance of 'str'", "query_json"),
    ],
)
def test_conversion_errors_name_the_type_and_carry_a_note(args, message, parameter):
    with pytest.raises(TypeError) as raised:
        zorv.resolve(*args)
    assert str(raised.value) == message
    notes = getattr(raised.value, "__notes__", None)
    assert notes == ([f"while processing '{parameter}'"] if HAS_NOTES else None)


def test_conversion_checks_parameters_in_order():
    with pytest.raises(TypeError) as raised:
        zorv.resolve(1, None, 2)
    assert str(raised.value) == "'int' object is not an instance of 'str'"


def test_nested_class_is_named_by_qualified_name():
    class Outer:
        class Inner:
            pass

    with pytest.raises(
        TypeError, match=r"^'test_nested_class_is_named_by_qualified_name\.<locals>\.Outer\.Inner' object"
    ):
        zorv.resolve(Outer.Inner(), Q)


def test_str_subclass_is_accepted(query_json):
    class Text(str):
        pass

    assert zorv.resolve(Text("{}"), Text(query_json)) == zorv.resolve("{}", query_json)


@pytest.mark.parametrize("position", [0, 1, 2])
def test_lone_surrogate_raises_unicode_encode_error_with_note(position):
    args = [P, Q, "minimal"]
    args[position] = "\ud800"
    with pytest.raises(UnicodeEncodeError) as raised:
        zorv.resolve(*args)
    parameter = ["packs_json", "query_json", "strictness_override"][position]
    assert getattr(raised.value, "__notes__", None) == ([f"while processing '{parameter}'"] if HAS_NOTES else None)


@pytest.mark.parametrize(
    "packs, query, message",
    [
        (
            "[]",
            Q,
            "packs_json is not an object of path->toml strings: invalid type: sequence, expected a map at line 1 column 0",
        ),
        (
            '{"a":1}',
            "not json",
            "packs_json is not an object of path->toml strings: invalid type: integer `1`, expected a string at line 1 column 6",
        ),
        (
            P,
            '{"domain":5}',
            "query_json is not a valid RegulatoryQuery: invalid type: integer `5`, expected a string at line 1 column 11",
        ),
        (P, "{}", "query_json is not a valid RegulatoryQuery: missing field `domain` at line 1 column 2"),
        (
            P,
            "[" * 100_000,
            "query_json is not a valid RegulatoryQuery: invalid type: sequence, expected struct WireQuery at line 1 column 0",
        ),
        (
            P,
            '{"x":' + "[" * 100_000,
            "query_json is not a valid RegulatoryQuery: recursion limit exceeded at line 1 column 133",
        ),
        (
            "{" * 100_000,
            Q,
            "packs_json is not an object of path->toml strings: key must be a string at line 1 column 2",
        ),
    ],
)
def test_unusable_json_raises_value_error(packs, query, message):
    with pytest.raises(ValueError) as raised:
        zorv.resolve(packs, query, "minimal")
    assert str(raised.value) == message


def test_non_ascii_and_control_characters_come_back_as_written():
    profile = 'r\u00e9tail/\u2603\x7f\x01\n"\\'
    packs = json.dumps({f"{profile}/d.toml": "[meta]"})
    query = json.dumps(
        {
            "domain": "d",
            "profile": profile,
            "jurisdiction": "",
            "subject": "",
            "universe": ["\u00e9", "\U0001f600", "e"],
        }
    )
    text = zorv.resolve(packs, query)
    assert '"profile":"r\u00e9tail/\u2603\x7f\\u0001\\n\\"\\\\"' in text
    assert '"required":["e","\u00e9","\U0001f600"]' in text
    assert json.loads(text)["provenance"]["source"] == f"{profile}/d.toml"


def test_same_inputs_give_identical_text(packs_json, query_json):
    assert len({zorv.resolve(packs_json, query_json, "minimal") for _ in range(50)}) == 1


@pytest.mark.skipif(
    bool(os.environ.get("ZORV_EXPECT_SANITIZERS")), reason="the sanitizers reserve address space of their own"
)
@pytest.mark.skipif(
    os.environ.get("ZORV_EMULATOR") == "qemu-user",
    reason="qemu-user accepts setrlimit(RLIMIT_AS) but never applies it (getrlimit reads back unlimited), "
    "so no allocation fails",
)
def test_internal_fault_raises_panic_exception_not_an_exception():
    # Out of address space mid-call, the allocation failure inside the
    # resolver must surface as PanicException: a BaseException that
    # `except Exception` does not swallow, carrying the fault's message.
    code = textwrap.dedent(
        """
        import json, resource, zorv
        query = json.dumps({"domain": "d", "profile": "p", "jurisdiction": "j", "subject": "s",
                            "universe": ["control-%07d" % i for i in range(2_000_000)]})
        with open("/proc/self/status") as status:
            vm_kb = next(int(line.split()[1]) for line in status if line.startswith("VmSize:"))
        resource.setrlimit(resource.RLIMIT_AS, ((vm_kb + 40_000) * 1024, resource.RLIM_INFINITY))
        try:
            zorv.resolve("{}", query)
            print("returned")
        except Exception as error:
            print("Exception", type(error).__name__)
        except BaseException as error:
            print(type(error).__name__, type(error).__bases__[0].__name__, error)
        """
    )
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120)
    assert result.stdout.strip() == "PanicException BaseException std::bad_alloc", result.stderr
