// Result<T>: either a value or an error message. Errors are values inside
// the resolver; only the Python boundary turns a message into an exception.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace zorv::wire {

struct ErrorMessage {
  std::string text;
};

template <class T>
class Result {
 public:
  Result(T value) : storage_(std::in_place_index<0>, std::move(value)) {}
  Result(ErrorMessage error) : storage_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return storage_.index() == 0; }
  T& value() { return std::get<0>(storage_); }
  const T& value() const { return std::get<0>(storage_); }
  ErrorMessage& error() { return std::get<1>(storage_); }
  const ErrorMessage& error() const { return std::get<1>(storage_); }

 private:
  std::variant<T, ErrorMessage> storage_;
};

}  // namespace zorv::wire
