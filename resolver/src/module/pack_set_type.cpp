// The native PackSet type. Each object holds the `str` it was built from and
// the set read from that string's own UTF-8 form, which the interpreter
// keeps with the string, so the map's text is held once. Nothing is created
// in `__init__` and nothing can be changed after `__new__`: the object is
// immutable, and any number of threads may use it at once. The lock is
// released while a batch runs on its threads, while a set is built, and
// while a large query is answered.
#include "pack_set_type.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "thread_count.h"
#include "utf8_pieces.h"
#include "utf8_text.h"
#include "wire_tools/pack_set.h"

namespace zorv::native {
namespace {

struct PackSetObject {
  PyObject_HEAD PyObject* text;  // the `str` the set was read from
  PyObject* encoded;             // its UTF-8 bytes where the interpreter keeps none with it (3.9), else null
  wire::PackSet* set;            // owned; reads borrow `text`'s UTF-8 form (or `encoded`)
};

// Queries at least this long are answered with the interpreter lock
// released; for shorter ones releasing costs more than it frees.
constexpr Py_ssize_t kReleaseLockFrom = 16 * 1024;

const wire::PackSet& set_of(PyObject* self) { return *reinterpret_cast<PackSetObject*>(self)->set; }

// The strictness_override argument: absent for None or not given.
bool override_of(PyObject* argument, std::optional<std::string_view>& out, Kept& kept) {
  if (argument == nullptr || argument == Py_None) return true;
  if (!PyUnicode_Check(argument)) {
    PyErr_SetString(PyExc_TypeError, "strictness_override must be a str or None");
    return false;
  }
  std::string_view text;
  if (!utf8_of(argument, text, kept)) return false;
  out = text;
  return true;
}

// Runs `work` (which returns a Result<std::string>) with the interpreter
// lock released when `release` is true.
template <class Work>
PyObject* answer(bool release, Work work) {
  return guarded_object([&]() -> PyObject* {
    if (!release) return text_or_value_error(work());
    std::optional<wire::Result<std::string>> result;
    std::exception_ptr fault;
    Py_BEGIN_ALLOW_THREADS try { result.emplace(work()); } catch (...) {
      fault = std::current_exception();
    }
    Py_END_ALLOW_THREADS if (fault) std::rethrow_exception(fault);
    return text_or_value_error(*result);
  });
}

PyObject* pack_set_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  PyObject* text = nullptr;
  const char* names[] = {"packs_json", nullptr};
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "U:PackSet", const_cast<char**>(names), &text)) return nullptr;
  std::string_view packs_json;
  Kept encoded;
  if (!utf8_of(text, packs_json, encoded)) return nullptr;
  return guarded_object([&]() -> PyObject* {
    std::optional<wire::Result<wire::PackSet>> read;
    std::exception_ptr fault;
    Py_BEGIN_ALLOW_THREADS try { read.emplace(wire::PackSet::read(packs_json)); } catch (...) {
      fault = std::current_exception();
    }
    Py_END_ALLOW_THREADS if (fault) std::rethrow_exception(fault);
    if (!read->ok()) return text_or_value_error(std::move(read->error()));
    auto set = std::make_unique<wire::PackSet>(std::move(read->value()));
    const auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
    PyObject* self = alloc(type, 0);
    if (self == nullptr) return nullptr;
    auto* object = reinterpret_cast<PackSetObject*>(self);
    Py_INCREF(text);
    object->text = text;
    object->encoded = encoded.release();
    object->set = set.release();
    return self;
  });
}

void pack_set_dealloc(PyObject* self) {
  auto* object = reinterpret_cast<PackSetObject*>(self);
  delete object->set;
  Py_XDECREF(object->encoded);
  Py_XDECREF(object->text);
  PyTypeObject* type = Py_TYPE(self);
  const auto free_object = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_object(self);
  Py_DECREF(type);
}

PyObject* pack_set_resolve(PyObject* self, PyObject* args, PyObject* kwargs) {
  PyObject* query = nullptr;
  PyObject* override_object = nullptr;
  const char* names[] = {"query_json", "strictness_override", nullptr};
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "U|O:resolve", const_cast<char**>(names), &query, &override_object)) {
    return nullptr;
  }
  std::string_view query_json;
  std::optional<std::string_view> strictness_override;
  Kept kept_query, kept_override;
  if (!utf8_of(query, query_json, kept_query) || !override_of(override_object, strictness_override, kept_override)) {
    return nullptr;
  }
  const wire::PackSet& set = set_of(self);
  return answer(static_cast<Py_ssize_t>(query_json.size()) >= kReleaseLockFrom,
                [&] { return set.resolve_json(query_json, strictness_override); });
}

PyObject* pack_set_explain(PyObject* self, PyObject* args, PyObject* kwargs) {
  PyObject* query = nullptr;
  PyObject* override_object = nullptr;
  const char* names[] = {"query_json", "strictness_override", nullptr};
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "U|O:explain", const_cast<char**>(names), &query, &override_object)) {
    return nullptr;
  }
  std::string_view query_json;
  std::optional<std::string_view> strictness_override;
  Kept kept_query, kept_override;
  if (!utf8_of(query, query_json, kept_query) || !override_of(override_object, strictness_override, kept_override)) {
    return nullptr;
  }
  const wire::PackSet& set = set_of(self);
  return answer(static_cast<Py_ssize_t>(query_json.size()) >= kReleaseLockFrom,
                [&] { return set.explain_json(query_json, strictness_override); });
}

PyObject* pack_set_resolve_with_receipts(PyObject* self, PyObject* args, PyObject* kwargs) {
  PyObject* query = nullptr;
  PyObject* context = nullptr;
  PyObject* override_object = nullptr;
  const char* names[] = {"query_json", "ctx_json", "strictness_override", nullptr};
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "UU|O:resolve_with_receipts", const_cast<char**>(names), &query,
                                   &context, &override_object)) {
    return nullptr;
  }
  std::string_view query_json;
  std::string_view ctx_json;
  std::optional<std::string_view> strictness_override;
  Kept kept_query, kept_context, kept_override;
  if (!utf8_of(query, query_json, kept_query) || !utf8_of(context, ctx_json, kept_context) ||
      !override_of(override_object, strictness_override, kept_override)) {
    return nullptr;
  }
  const wire::PackSet& set = set_of(self);
  return answer(static_cast<Py_ssize_t>(query_json.size()) >= kReleaseLockFrom,
                [&] { return set.resolve_with_receipts_json(query_json, ctx_json, strictness_override); });
}

// A batch whose UTF-8 form has to be made is made in pieces of about this
// many characters, from this length on, and the threads decide the first
// pieces while the interpreter encodes the rest.
constexpr Py_ssize_t kPiecesFrom = 256 * 1024;
constexpr Py_ssize_t kPieceLength = 64 * 1024;

// Answers `queries` a piece at a time (utf8_pieces.h): the interpreter lock
// is held while the pieces are made, then released while the threads finish.
// True with `answered` set to the answer, or left null when the pieces
// cannot be answered alone (the caller then answers the whole text, which
// reports any fault as usual); false with an exception set.
bool in_pieces(const wire::PackSet& set, PyObject* queries, std::optional<std::string_view> strictness_override,
               std::size_t threads, PyObject*& answered) {
  Utf8Pieces pieces(queries, kPieceLength);
  PyThreadState* released = nullptr;
  const auto next_piece = [&](std::string_view& piece) {
    switch (pieces.next(piece)) {
      case Utf8Pieces::Next::made:
        return wire::PackSet::Piece::made;
      case Utf8Pieces::Next::end:
        return wire::PackSet::Piece::end;
      case Utf8Pieces::Next::failed:
        break;
    }
    return wire::PackSet::Piece::failed;
  };
  const auto release = [&] { released = PyEval_SaveThread(); };
  std::optional<std::string> text;
  try {
    text = set.resolve_many_in_pieces(next_piece, release, strictness_override, threads);
  } catch (...) {
    if (released != nullptr) PyEval_RestoreThread(released);
    const std::exception_ptr fault = std::current_exception();
    return guarded_object([&]() -> PyObject* { std::rethrow_exception(fault); }) != nullptr;
  }
  if (released != nullptr) PyEval_RestoreThread(released);
  if (!text) return true;
  answered = PyUnicode_FromStringAndSize(text->data(), static_cast<Py_ssize_t>(text->size()));
  return answered != nullptr;
}

PyObject* pack_set_resolve_many(PyObject* self, PyObject* args, PyObject* kwargs) {
  PyObject* queries = nullptr;
  PyObject* override_object = nullptr;
  PyObject* threads_object = Py_None;
  const char* names[] = {"queries_json", "strictness_override", "threads", nullptr};
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "U|O$O:resolve_many", const_cast<char**>(names), &queries,
                                   &override_object, &threads_object)) {
    return nullptr;
  }
  std::size_t threads = 0;
  if (!threads_of(threads_object, threads)) return nullptr;
  std::optional<std::string_view> strictness_override;
  Kept kept_override;
  if (!override_of(override_object, strictness_override, kept_override)) return nullptr;
  const wire::PackSet& set = set_of(self);
  if (threads > 1 && PyUnicode_GetLength(queries) >= kPiecesFrom && utf8_would_be_made(queries)) {
    PyObject* answered = nullptr;
    if (!in_pieces(set, queries, strictness_override, threads, answered)) return nullptr;
    if (answered != nullptr) return answered;
  }
  std::string_view queries_json;
  Kept kept_queries;
  if (!utf8_of(queries, queries_json, kept_queries)) return nullptr;
  return answer(true, [&] { return set.resolve_many_json(queries_json, strictness_override, threads); });
}

PyObject* pack_set_keys(PyObject* self, PyObject*) {
  return guarded_object([&]() -> PyObject* {
    const auto& entries = set_of(self).entries();
    PyObject* keys = PyList_New(static_cast<Py_ssize_t>(entries.size()));
    if (keys == nullptr) return nullptr;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const std::string_view key = entries[i].key;
      PyObject* item = PyUnicode_FromStringAndSize(key.data(), static_cast<Py_ssize_t>(key.size()));
      if (item == nullptr) {
        Py_DECREF(keys);
        return nullptr;
      }
      PyList_SetItem(keys, static_cast<Py_ssize_t>(i), item);
    }
    return keys;
  });
}

PyObject* pack_set_pack_utf8(PyObject* self, PyObject* args) {
  PyObject* key_object = nullptr;
  if (!PyArg_ParseTuple(args, "U:_pack_utf8", &key_object)) return nullptr;
  std::string_view key;
  Kept kept_key;
  if (!utf8_of(key_object, key, kept_key)) return nullptr;
  return guarded_object([&]() -> PyObject* {
    const std::optional<std::string> text = set_of(self).pack_text(key);
    if (!text) {
      PyErr_SetObject(PyExc_KeyError, key_object);
      return nullptr;
    }
    return PyBytes_FromStringAndSize(text->data(), static_cast<Py_ssize_t>(text->size()));
  });
}

Py_ssize_t pack_set_length(PyObject* self) { return static_cast<Py_ssize_t>(set_of(self).size()); }

PyObject* pack_set_packs_json(PyObject* self, void*) {
  PyObject* text = reinterpret_cast<PackSetObject*>(self)->text;
  Py_INCREF(text);
  return text;
}

template <class Method>
PyCFunction as_function(Method method) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(method));
}

PyMethodDef kMethods[] = {
    {"resolve", as_function(pack_set_resolve), METH_VARARGS | METH_KEYWORDS,
     "resolve(query_json, strictness_override=None) -> str\n\n"
     "The text zorv.resolve gives for this set's pack map and the same query and dial."},
    {"resolve_with_receipts", as_function(pack_set_resolve_with_receipts), METH_VARARGS | METH_KEYWORDS,
     "resolve_with_receipts(query_json, ctx_json, strictness_override=None) -> str\n\n"
     "The text zorv.resolve_with_receipts gives for this set's pack map and the same arguments."},
    {"explain", as_function(pack_set_explain), METH_VARARGS | METH_KEYWORDS,
     "explain(query_json, strictness_override=None) -> str\n\n"
     "The text zorv_tools.explain gives for this set's pack map and the same query and dial."},
    {"resolve_many", as_function(pack_set_resolve_many), METH_VARARGS | METH_KEYWORDS,
     "resolve_many(queries_json, strictness_override=None, *, threads=None) -> str\n\n"
     "The text zorv_tools.resolve_many gives for this set's pack map, the queries shared out over\n"
     "`threads` native threads (default: the usable cores) with the interpreter lock released.\n"
     "The text is the same for every number of threads."},
    {"keys", pack_set_keys, METH_NOARGS, "keys() -> list[str]\n\nThe pack keys in ascending order, each once."},
    {"_pack_utf8", pack_set_pack_utf8, METH_VARARGS,
     "_pack_utf8(key) -> bytes\n\nThe UTF-8 text of the pack filed under `key`; KeyError when there is none."},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kGetSets[] = {
    {"packs_json", pack_set_packs_json, nullptr, "The pack map text the set was built from.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot kSlots[] = {
    {Py_tp_doc, const_cast<char*>("PackSet(packs_json)\n--\n\nA pack map read once, answering queries.")},
    {Py_tp_new, reinterpret_cast<void*>(pack_set_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(pack_set_dealloc)},
    {Py_tp_methods, kMethods},
    {Py_tp_getset, kGetSets},
    {Py_mp_length, reinterpret_cast<void*>(pack_set_length)},
    {0, nullptr},
};

PyType_Spec kSpec = {
    "zorv_tools._native.PackSet", sizeof(PackSetObject), 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE, kSlots,
};

// The type add_pack_set_type made, for pack_set_of's check; the module
// that holds it lives as long as the interpreter.
PyObject* pack_set_type_object = nullptr;

}  // namespace

const wire::PackSet* pack_set_of(PyObject* object) {
  const int is_set = pack_set_type_object == nullptr ? 0 : PyObject_IsInstance(object, pack_set_type_object);
  if (is_set < 0) return nullptr;
  if (is_set == 0) {
    PyErr_SetString(PyExc_TypeError, "packset must be a zorv_tools.PackSet");
    return nullptr;
  }
  return reinterpret_cast<PackSetObject*>(object)->set;
}

int add_pack_set_type(PyObject* module) {
  PyObject* type = PyType_FromSpec(&kSpec);
  if (type == nullptr) return -1;
  pack_set_type_object = type;
  // PyModule_AddObject steals the reference only when it succeeds.
  if (PyModule_AddObject(module, "PackSet", type) < 0) {
    Py_DECREF(type);
    return -1;
  }
  return 0;
}

}  // namespace zorv::native
