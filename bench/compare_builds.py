"""How fast builds of the same source run, side by side in one process.

    python bench/compare_builds.py [--quick] WHEEL_OR_MODULE...

Each argument is a wheel (its zorv.abi3.so is used) or a module file; the
first is the baseline. Every build is loaded into this one interpreter, and
on every workload of the benchmark's grid the builds take turns within each
round (bench/timing.py), so the machine's drift lands on all alike. Prints,
per workload, each build's median time and its ratio to the baseline, and
stops if two builds answer a workload differently by a single byte.
scripts/build_wheels' toolchain was chosen by this comparison against the
system compiler's build.
"""

import argparse
import importlib.machinery
import importlib.util
import pathlib
import statistics
import sys
import tempfile
import zipfile

import timing
import workloads


def load(path, scratch):
    """The zorv module of a wheel or module file, under a name of its own."""
    path = pathlib.Path(path)
    if path.suffix == ".whl":
        target = pathlib.Path(scratch) / path.stem
        with zipfile.ZipFile(path) as wheel:
            wheel.extract("zorv.abi3.so", target)
        path = target / "zorv.abi3.so"
    # The init function is found by the name "zorv"; each file is its own
    # shared object, so the builds do not share any state.
    loader = importlib.machinery.ExtensionFileLoader("zorv", str(path))
    found = importlib.util.spec_from_file_location("zorv", str(path), loader=loader)
    module = importlib.util.module_from_spec(found)
    loader.exec_module(module)
    sys.modules.pop("zorv", None)
    return module


def call(module, workload):
    o = workload.override
    if workload.receipts:
        return lambda p, q, c: module.resolve_with_receipts(p, q, c, o)
    return lambda p, q, c: module.resolve(p, q, o)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("--quick", action="store_true", help="few samples: a smoke run")
    parser.add_argument("builds", nargs="+", metavar="WHEEL_OR_MODULE")
    options = parser.parse_args(argv)
    settings = timing.QUICK if options.quick else timing.FULL

    with tempfile.TemporaryDirectory() as scratch:
        names = [pathlib.Path(b).name for b in options.builds]
        modules = {name: load(build, scratch) for name, build in zip(names, options.builds)}
        grid = workloads.grid(workloads.PackLibrary(10_000))
        ratios = {name: [] for name in names[1:]}
        print(f"baseline: {names[0]}")
        for number, label in enumerate(names[1:], 1):
            print(f"build {number}: {label}")
        for workload in grid:
            args = (workload.packs_json, workload.query_json, workload.ctx_json)
            fns = {name: call(module, workload) for name, module in modules.items()}
            answers = {name: fn(*args) for name, fn in fns.items()}
            if len(set(answers.values())) != 1:
                print(f"MISMATCH on {workload.group}: {workload.name}", file=sys.stderr)
                return 1
            times = timing.measure(fns, args, settings)
            base = times[names[0]].median_ns
            cells = []
            for name in names[1:]:
                ratio = times[name].median_ns / base
                ratios[name].append(ratio)
                cells.append(f"{times[name].median_ns / 1e3:10.1f} us ({ratio:4.2f}x)")
            print(f"{workload.group + ': ' + workload.name:45} {base / 1e3:10.1f} us  " + "  ".join(cells), flush=True)
        for number, name in enumerate(names[1:], 1):
            r = ratios[name]
            print(
                f"build {number} against the baseline: median {statistics.median(r):.2f}x, "
                f"best {min(r):.2f}x, worst {max(r):.2f}x over {len(r)} workloads"
            )
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
