"""The wheel ships a stub-only package, zorv-stubs, that type checkers find
for `import zorv`, and the stub agrees with the module's real signatures and
constants."""

import ast
import inspect
import pathlib
import subprocess
import sys

import pytest
import zorv

STUB = pathlib.Path(zorv.__file__).parent / "zorv-stubs" / "__init__.pyi"


def stub_tree():
    return ast.parse(STUB.read_text(encoding="utf-8"))


def test_stub_package_is_installed_beside_the_module():
    assert STUB.is_file()


def test_stub_functions_match_the_real_signatures():
    functions = {node.name: node for node in stub_tree().body if isinstance(node, ast.FunctionDef)}
    assert sorted(functions) == ["resolve", "resolve_with_receipts"]
    for name, node in functions.items():
        real = inspect.signature(getattr(zorv, name))
        stub_params = [arg.arg for arg in node.args.args]
        assert stub_params == list(real.parameters), name
        defaults = [ast.literal_eval(d) for d in node.args.defaults]
        real_defaults = [p.default for p in real.parameters.values() if p.default is not p.empty]
        assert defaults == real_defaults, name
        assert all(p.kind is p.POSITIONAL_OR_KEYWORD for p in real.parameters.values())
        assert not node.args.posonlyargs and not node.args.kwonlyargs
        assert node.args.vararg is None and node.args.kwarg is None
        assert ast.unparse(node.returns) == "str"


def test_stub_declares_every_exported_name():
    declared = {node.target.id for node in stub_tree().body if isinstance(node, ast.AnnAssign)}
    declared |= {node.name for node in stub_tree().body if isinstance(node, ast.FunctionDef)}
    assert set(zorv.__all__) <= declared
    for name in ("__version__", "KWDX_NS", "NOT_LEGAL_ADVICE"):
        assert isinstance(getattr(zorv, name), str)


SNIPPET = """\
import zorv

zorv.resolve(b"{}", "{}")
zorv.resolve("{}", "{}", strictness_override=3)
zorv.resolve_with_receipts("{}", "{}")
count: int = zorv.resolve("{}", "{}")
zorv.NOT_LEGAL_ADVISE
ok: str = zorv.resolve_with_receipts("{}", "{}", "{}", None) + zorv.KWDX_NS
"""


def test_mypy_checks_calls_against_the_installed_stub(tmp_path):
    pytest.importorskip("mypy")
    (tmp_path / "snippet.py").write_text(SNIPPET, encoding="utf-8")
    run = subprocess.run(
        [sys.executable, "-m", "mypy", "--no-incremental", "--hide-error-context", "--no-error-summary", "snippet.py"],
        cwd=tmp_path,
        capture_output=True,
        text=True,
    )
    # Older mypy, and mypy checking for 3.9, spell the optional type the old way.
    lines = sorted(
        line.split("  [")[0].rstrip().replace("Optional[str]", "str | None") for line in run.stdout.splitlines()
    )
    assert lines == [
        'snippet.py:3: error: Argument 1 to "resolve" has incompatible type "bytes"; expected "str"',
        'snippet.py:4: error: Argument "strictness_override" to "resolve" has incompatible type "int"; expected "str | None"',
        'snippet.py:5: error: Missing positional argument "ctx_json" in call to "resolve_with_receipts"',
        'snippet.py:6: error: Incompatible types in assignment (expression has type "str", variable has type "int")',
        'snippet.py:7: error: Module has no attribute "NOT_LEGAL_ADVISE"',
    ], run.stdout + run.stderr
    assert run.returncode == 1
