"""The README's recipes, run: every ``console`` block as one shell session
and every ``python`` block in one shared namespace, each output compared
with what the README shows.

In a shown output ``...`` stands for any text within a line, and a line
that is only ``...`` for any number of lines. A Python expression statement
shows its output in a comment: at the end of its last line, or on the
comment line right after it (``print`` shows what it prints, any other
expression its ``repr``). A command line ending in a backslash continues
on the next. ``py`` blocks are shown, not run: they need a cluster or an
engine the tests do not start.

Usage: python readme_recipes.py README CHECKOUT  (the ``zorv`` command
must be on PATH); prints each mismatch, exits 1 when there is one.
"""

import ast
import contextlib
import io
import os
import re
import subprocess
import sys
import tokenize
from dataclasses import dataclass
from typing import Dict, List, Optional, Tuple

BLOCK = re.compile(r"^```(\w*)\n(.*?)^```$", re.MULTILINE | re.DOTALL)
_MARKER = "@@readme-recipe-step@@"


@dataclass
class Step:
    """One shown command or expression and the output the README shows."""

    where: str
    source: str
    shown: List[str]


def blocks(readme: str, language: str) -> List[Tuple[int, str]]:
    """The code blocks of a language, each with the line it starts on."""
    return [
        (readme.count("\n", 0, found.start()) + 2, found.group(2))
        for found in BLOCK.finditer(readme)
        if found.group(1) == language
    ]


def console_steps(line: int, block: str) -> List[Step]:
    """The ``$ command`` lines of a console block with their output lines."""
    steps: List[Step] = []
    continued = False
    for offset, text in enumerate(block.splitlines()):
        if continued:
            # A command whose line ends in a backslash goes on on the next.
            steps[-1].source += "\n" + text
        elif text.startswith("$ "):
            steps.append(Step(f"README.md:{line + offset}", text[2:], []))
        elif steps:
            steps[-1].shown.append(text)
        continued = bool(steps) and not steps[-1].shown and text.endswith("\\")
    return steps


def matches(shown: List[str], printed: List[str]) -> bool:
    """Whether printed lines fit the shown ones, ``...`` standing for any text."""
    if not shown:
        return not printed
    if shown[0] == "...":
        return any(matches(shown[1:], printed[skip:]) for skip in range(len(printed) + 1))
    if not printed:
        return False
    pattern = ".*".join(re.escape(part) for part in shown[0].split("..."))
    return re.fullmatch(pattern, printed[0]) is not None and matches(shown[1:], printed[1:])


def run_console(steps: List[Step], cwd: str) -> List[List[str]]:
    """Runs the steps as one bash session; the lines each printed."""
    script = "".join(f"__status=$?; echo {_MARKER}; (exit $__status)\n{step.source}\n" for step in steps)
    done = subprocess.run(
        ["bash", "-c", script], cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=600
    )
    parts = done.stdout.split(_MARKER + "\n")[1:]
    return [part.splitlines() for part in parts] + [[]] * (len(steps) - len(parts))


def _comments(source: str) -> Dict[int, str]:
    found: Dict[int, str] = {}
    for token in tokenize.generate_tokens(io.StringIO(source).readline):
        if token.type == tokenize.COMMENT:
            found[token.start[0]] = token.string[1:].strip()
    return found


def python_steps(line: int, block: str) -> List[Tuple[ast.stmt, Optional[Step]]]:
    """The statements of a python block, each expression statement with the
    output its comment shows."""
    tree = ast.parse(block)
    comments = _comments(block)
    lines = block.splitlines()
    steps: List[Tuple[ast.stmt, Optional[Step]]] = []
    for statement in tree.body:
        step = None
        end = statement.end_lineno or statement.lineno
        if isinstance(statement, ast.Expr):
            shown = comments.get(end)
            if shown is None and end < len(lines) and lines[end].lstrip().startswith("#"):
                shown = comments.get(end + 1)
            if shown is not None:
                step = Step(
                    f"README.md:{line + statement.lineno - 1}", ast.get_source_segment(block, statement) or "", [shown]
                )
        steps.append((statement, step))
    return steps


def run_python(statement: ast.stmt, namespace: Dict[str, object]) -> List[str]:
    """Runs one statement; the lines it showed."""
    printed = io.StringIO()
    with contextlib.redirect_stdout(printed):
        if isinstance(statement, ast.Expr) and not (
            isinstance(statement.value, ast.Call) and getattr(statement.value.func, "id", None) == "print"
        ):
            value = eval(compile(ast.Expression(statement.value), "README.md", "eval"), namespace)
            print(repr(value))
        else:
            exec(compile(ast.Module([statement], []), "README.md", "exec"), namespace)
    return printed.getvalue().splitlines()


def check(readme: str, checkout: str) -> List[str]:
    """Every difference between the README's recipes and what they print."""
    problems: List[str] = []

    def compare(step: Step, printed: List[str]) -> None:
        if not matches(step.shown, printed):
            problems.append(
                f"{step.where}: {step.source}\n  shows:\n"
                + "".join(f"    {x}\n" for x in step.shown)
                + "  prints:\n"
                + "".join(f"    {x}\n" for x in printed)
            )

    for line, block in blocks(readme, "console"):
        steps = console_steps(line, block)
        for step, printed in zip(steps, run_console(steps, checkout)):
            compare(step, printed)
    namespace: Dict[str, object] = {}
    # Python recipes name their files from the repository's root, as the
    # shell sessions do from where they start.
    started_in = os.getcwd()
    os.chdir(checkout)
    try:
        for line, block in blocks(readme, "python"):
            for statement, step in python_steps(line, block):
                try:
                    printed = run_python(statement, namespace)
                except Exception as error:  # a recipe that fails is a mismatch, reported with the rest
                    problems.append(
                        f"README.md:{line + statement.lineno - 1}: "
                        f"{ast.get_source_segment(block, statement)}\n  raises {error!r}\n"
                    )
                    continue
                if step is not None:
                    compare(step, printed)
    finally:
        os.chdir(started_in)
    return problems


def main(argv: List[str]) -> int:
    readme, checkout = argv
    with open(readme, encoding="utf-8") as file:
        problems = check(file.read(), checkout)
    for problem in problems:
        sys.stdout.write(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
