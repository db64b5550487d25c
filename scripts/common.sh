# Shared by the project's scripts: where things are built, the build tools'
# own virtual environment, and the one wheel.
# shellcheck shell=bash
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$repo/build"
python=${PYTHON:-python3}
# The build tools (scikit-build-core, cmake, ninja, auditwheel) live in a
# virtual environment of their own, made by scripts/bootstrap, and come first
# on PATH: the system's interpreter is never installed into, and the cmake
# from PyPI is used whatever cmake the system has.
tools="$build/tools"
export PATH="$tools/bin:$PATH"

# Builds the abi3 wheel with this machine's compiler, repairs it into a
# manylinux wheel (for this machine's glibc) in build/dist-native and prints
# its path. The wheels zorv ships come from scripts/build_wheels instead.
build_wheel() {
  rm -rf "$build/dist-native" "$build/dist-raw"
  "$tools/bin/python" -m pip wheel -q --no-build-isolation --no-deps -w "$build/dist-raw" "$repo" >&2
  "$tools/bin/auditwheel" repair --only-plat -w "$build/dist-native" "$build/dist-raw"/zorv-*.whl \
    >"$build/auditwheel.log" 2>&1 || { cat "$build/auditwheel.log" >&2; return 1; }
  ls "$build/dist-native"/zorv-*manylinux*.whl
}

# One build of the C++ suites and the module together in build folder $1
# (RelWithDebInfo, the compiler on PATH; further arguments are scikit-build
# options such as -C cmake.define.ZORV_SANITIZE=ON): scikit-build-core builds
# every target there, the suites included, and packs the module into a wheel
# in $1/dist, whose path it prints. A second run recompiles only what changed.
build_with_tests() {
  local dir=$1
  shift
  rm -rf "$dir/dist"
  "$tools/bin/python" -m pip wheel -q --no-build-isolation --no-deps -w "$dir/dist" \
    -C build-dir="$dir" -C cmake.build-type=RelWithDebInfo -C cmake.define.ZORV_BUILD_TESTS=ON "$@" "$repo" >&2
  ls "$dir/dist"/zorv-*.whl
}

# A virtual environment under build/venvs for interpreter $1, with the wheel
# $2 and the packages of requirements file $3 (default: the test tools)
# installed; prints its python.
venv_with_wheel() {
  local interpreter=$1 wheel=$2 requirements=${3:-$repo/tests/requirements.txt}
  local name
  name=$("$interpreter" -c 'import sys; print("py%d.%d" % sys.version_info[:2])')
  local venv="$build/venvs/$name"
  if [ ! -x "$venv/bin/python" ]; then
    "$interpreter" -m venv "$venv" >&2
  fi
  "$venv/bin/python" -m pip install -q --disable-pip-version-check -r "$requirements" >&2
  "$venv/bin/python" -m pip install -q --disable-pip-version-check --force-reinstall --no-deps "$wheel" >&2
  echo "$venv/bin/python"
}

# Every CPython from 3.9 to 3.13 on this machine (one per minor version),
# or just $python when pyenv is not there.
supported_interpreters() {
  local root found=0
  if command -v pyenv >/dev/null 2>&1; then
    root=$(pyenv root)
    for minor in 9 10 11 12 13; do
      local candidate
      candidate=$(ls -d "$root"/versions/3."$minor".* 2>/dev/null | sort -V | tail -n 1)
      if [ -n "$candidate" ] && [ -x "$candidate/bin/python3" ]; then
        echo "$candidate/bin/python3"
        found=1
      fi
    done
  fi
  [ "$found" = 1 ] || command -v "$python"
}
