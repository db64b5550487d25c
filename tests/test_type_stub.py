"""The wheel ships a type stub beside the module, and the stub agrees with
the module's real signatures and constants."""

import ast
import inspect
import pathlib

import zorv

STUB = pathlib.Path(zorv.__file__).with_name("zorv.pyi")


def stub_tree():
    return ast.parse(STUB.read_text(encoding="utf-8"))


def test_stub_is_installed_beside_the_module():
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
