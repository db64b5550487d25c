// The UTF-8 form of a long `str` made a piece at a time, so that threads
// can start on the first pieces while the rest are being made.
//
// Where the interpreter holds no UTF-8 form of a string (one that is not
// ASCII, or any string on 3.9), utf8_of has it make one for the whole
// string, under the interpreter lock and on one thread, before any work can
// start: for a batch of tens of megabytes, a good part of the batch's time.
// A batch is an array of queries, so the text is cut where an element may
// begin: before a "{" that follows a "," and whitespace. Inside a string
// that is only a guess, which the reader of the pieces checks. Each piece is
// a copy of that stretch of the string, encoded; the pieces are released
// with this object. Call with the interpreter lock held. Include after
// <Python.h>.
#pragma once

#include <deque>
#include <string_view>

#include "utf8_text.h"

namespace zorv::native {

// True when the interpreter would make the UTF-8 form of `text` (a `str`)
// on asking: it keeps none ready for strings that are not ASCII, nor for
// any string where it cannot be borrowed (3.9).
inline bool utf8_would_be_made(PyObject* text) {
  if (utf8_and_size() == nullptr) return true;
  // str.isascii itself, not a subclass's: it only reads a flag.
  PyObject* ascii = PyObject_CallMethod(reinterpret_cast<PyObject*>(&PyUnicode_Type), "isascii", "O", text);
  if (ascii == nullptr) {
    PyErr_Clear();
    return true;
  }
  const bool made = ascii != Py_True;
  Py_DECREF(ascii);
  return made;
}

class Utf8Pieces {
 public:
  enum class Next { made, end, failed };

  Utf8Pieces(PyObject* text, Py_ssize_t piece_length)
      : text_(text), length_(PyUnicode_GetLength(text)), piece_length_(piece_length) {}

  // The next piece, at least `piece_length` characters where the string has
  // them; `failed` with no exception set when one cannot be encoded (a
  // lone surrogate), for the caller to encode the whole string and report
  // the fault with its position in the whole.
  Next next(std::string_view& piece) {
    if (start_ >= length_) return Next::end;
    const Py_ssize_t stop = cut_after(start_ + piece_length_);
    Kept stretch;
    stretch.reset(PyUnicode_Substring(text_, start_, stop));
    Kept& encoded = made_.emplace_back();
    if (stretch.get() != nullptr) encoded.reset(PyUnicode_AsUTF8String(stretch.get()));
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (encoded.get() == nullptr || PyBytes_AsStringAndSize(encoded.get(), &data, &size) != 0) {
      PyErr_Clear();
      return Next::failed;
    }
    piece = std::string_view(data, static_cast<std::size_t>(size));
    start_ = stop;
    return Next::made;
  }

 private:
  static bool is_whitespace(Py_UCS4 c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

  // The first place at or after `from` where an element may begin, or the
  // string's end. Each character is looked at a bounded number of times:
  // the search moves forward, and looks back only over the whitespace
  // before one "{".
  Py_ssize_t cut_after(Py_ssize_t from) const {
    if (from >= length_) return length_;
    for (Py_ssize_t at = from; at < length_;) {
      const Py_ssize_t brace = PyUnicode_FindChar(text_, '{', at, length_, 1);
      if (brace < 0) break;
      Py_ssize_t before = brace;
      while (before > at && is_whitespace(PyUnicode_ReadChar(text_, before - 1))) --before;
      if (before > start_ && PyUnicode_ReadChar(text_, before - 1) == ',') return brace;
      at = brace + 1;
    }
    PyErr_Clear();
    return length_;
  }

  PyObject* text_;  // borrowed
  Py_ssize_t length_;
  Py_ssize_t piece_length_;
  Py_ssize_t start_ = 0;
  std::deque<Kept> made_;  // each piece's bytes, kept in place for the readers
};

}  // namespace zorv::native
