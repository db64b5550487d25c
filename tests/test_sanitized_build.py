"""scripts/test runs this suite a second time against the build made with
AddressSanitizer and UndefinedBehaviorSanitizer, with the runtime preloaded
into the interpreter. This makes sure that run is what it claims to be: a
module built without the sanitizers would pass it silently."""

import os
import pathlib

import pytest
import zorv


@pytest.mark.skipif(os.environ.get("ZORV_EXPECT_SANITIZERS") != "1", reason="only in the sanitized run")
def test_the_module_is_instrumented_and_the_runtime_is_loaded():
    with open("/proc/self/maps") as maps:
        mapped = maps.read()
    assert "libasan.so" in mapped and "libubsan.so" in mapped
    binary = pathlib.Path(zorv.__file__).read_bytes()
    assert b"__asan_report_load" in binary and b"__ubsan_handle_" in binary
    assert os.environ.get("PYTHONMALLOC") == "malloc"  # so that Python objects are checked too
