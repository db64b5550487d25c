// `zorv_tools._native`: the companion package's bridge to the resolver,
// built from the same wire and core libraries as `zorv`. It converts texts
// in and out and turns error messages into ValueError; everything else is
// the wire layer's. Built against the stable ABI (3.9).
#include "native_results.h"

#include <optional>
#include <string>
#include <string_view>

#include "arrow_batch_function.h"
#include "arrow_replay_function.h"
#include "boundary.h"
#include "pack_set_type.h"
#include "replay_function.h"
#include "wire_tools/diff_json.h"
#include "wire_tools/explain_json.h"
#include "wire_tools/lint_json.h"
#include "wire_tools/pack_vocabulary_json.h"
#include "wire/resolve_many_json.h"
#include "wire_tools/toml_json.h"

namespace {

using zorv::native::guarded;

// Two texts and an optional dial, by position or keyword.
template <class WireCall>
PyObject* two_texts_and_dial(PyObject* args, PyObject* kwargs, const char* second, WireCall call) {
  const char* first_data = nullptr;
  const char* second_data = nullptr;
  const char* override_data = nullptr;
  Py_ssize_t first_size = 0, second_size = 0, override_size = 0;
  const char* names[] = {"packs_json", second, "strictness_override", nullptr};
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "s#s#|z#", const_cast<char**>(names), &first_data, &first_size,
                                   &second_data, &second_size, &override_data, &override_size)) {
    return nullptr;
  }
  std::optional<std::string_view> strictness_override;
  if (override_data != nullptr)
    strictness_override = std::string_view(override_data, static_cast<size_t>(override_size));
  const std::string_view first(first_data, static_cast<size_t>(first_size));
  const std::string_view second_text(second_data, static_cast<size_t>(second_size));
  return guarded([&] { return call(first, second_text, strictness_override); });
}

PyObject* explain(PyObject*, PyObject* args, PyObject* kwargs) {
  return two_texts_and_dial(args, kwargs, "query_json", zorv::wire::explain_json);
}

PyObject* resolve_many(PyObject*, PyObject* args, PyObject* kwargs) {
  return two_texts_and_dial(args, kwargs, "queries_json", zorv::wire::resolve_many_json);
}

PyObject* toml_to_json(PyObject*, PyObject* args, PyObject* kwargs) {
  const char* data = nullptr;
  Py_ssize_t size = 0;
  int positions = 0;
  const char* names[] = {"text", "positions", nullptr};
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "s#|p", const_cast<char**>(names), &data, &size, &positions)) {
    return nullptr;
  }
  return guarded(
      [&] { return zorv::wire::toml_to_json(std::string_view(data, static_cast<size_t>(size)), positions != 0); });
}

PyObject* lint(PyObject*, PyObject* args) {
  const char* data = nullptr;
  Py_ssize_t size = 0;
  if (!PyArg_ParseTuple(args, "s#", &data, &size)) return nullptr;
  return guarded([&] {
    return zorv::wire::Result<std::string>(zorv::wire::lint_json(std::string_view(data, static_cast<size_t>(size))));
  });
}

PyObject* diff(PyObject*, PyObject* args, PyObject* kwargs) {
  const char* old_data = nullptr;
  const char* new_data = nullptr;
  Py_ssize_t old_size = 0, new_size = 0;
  const char* names[] = {"old_packs_json", "new_packs_json", nullptr};
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "s#s#", const_cast<char**>(names), &old_data, &old_size, &new_data,
                                   &new_size)) {
    return nullptr;
  }
  return guarded([&] {
    return zorv::wire::diff_json(std::string_view(old_data, static_cast<size_t>(old_size)),
                                 std::string_view(new_data, static_cast<size_t>(new_size)));
  });
}

PyObject* lint_rules(PyObject*, PyObject*) {
  return guarded([] { return zorv::wire::Result<std::string>(zorv::wire::lint_rules_json()); });
}

PyObject* pack_vocabulary(PyObject*, PyObject*) {
  return guarded([] { return zorv::wire::Result<std::string>(zorv::wire::pack_vocabulary_json()); });
}

PyMethodDef kMethods[] = {
    {"explain", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(explain)), METH_VARARGS | METH_KEYWORDS,
     "explain(packs_json, query_json, strictness_override=None) -> str\n\nThe explanation of one decision, as JSON."},
    {"resolve_many", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(resolve_many)),
     METH_VARARGS | METH_KEYWORDS,
     "resolve_many(packs_json, queries_json, strictness_override=None) -> str\n\n"
     "The decisions for a JSON array of queries, as a JSON array."},
    {"toml_to_json", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(toml_to_json)),
     METH_VARARGS | METH_KEYWORDS,
     "toml_to_json(text, positions=False) -> str\n\n"
     "A TOML 1.0 document as plain JSON, read by the resolver's own reader."},
    {"lint", lint, METH_VARARGS, "lint(pack_text) -> str\n\nThe pack's lint findings, as a JSON array."},
    {"diff", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(diff)), METH_VARARGS | METH_KEYWORDS,
     "diff(old_packs_json, new_packs_json) -> str\n\nWhat changes in the answers of two pack maps, as JSON."},
    {"lint_rules", lint_rules, METH_NOARGS, "lint_rules() -> str\n\nThe lint rules, as a JSON array."},
    {"pack_vocabulary", pack_vocabulary, METH_NOARGS,
     "pack_vocabulary() -> str\n\nEvery key a pack may hold, with its kind and meaning, as a JSON array."},
    {"resolve_arrow", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(zorv::native::resolve_arrow)),
     METH_VARARGS | METH_KEYWORDS,
     "resolve_arrow(packset, data, strictness_override=None, threads=None) -> tuple\n\n"
     "The decisions for every row of Arrow capsules, as the raw buffers of their columns."},
    {"replay_arrow", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(zorv::native::replay_arrow)),
     METH_VARARGS | METH_KEYWORDS,
     "replay_arrow(packset, data, threads=None) -> tuple\n\n"
     "The replay of every decision-log line in the column `record` of Arrow capsules, as the raw buffers of the "
     "result's columns."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef kModule = {PyModuleDef_HEAD_INIT,
                       "_native",
                       "The resolver's native half of zorv_tools.",
                       -1,
                       kMethods,
                       nullptr,
                       nullptr,
                       nullptr,
                       nullptr};

}  // namespace

PyMODINIT_FUNC PyInit__native(void) {
  PyObject* module = PyModule_Create(&kModule);
  if (module != nullptr &&
      (zorv::native::add_pack_set_type(module) < 0 || zorv::native::add_replay_function(module) < 0)) {
    Py_DECREF(module);
    return nullptr;
  }
  return module;
}
