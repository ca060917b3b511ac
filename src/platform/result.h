// Errors as values: Result<T> holds either a value or an Error with a message a
// user can read; Status is the value-less form. Every layer, from the platform up,
// returns these instead of throwing; the entry points turn them into host codes.
#ifndef TOMEVA_PLATFORM_RESULT_H_
#define TOMEVA_PLATFORM_RESULT_H_

#include <string>
#include <utility>
#include <variant>

namespace tomeva {

struct Error {
  std::string message;
};

template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}         // NOLINT: implicit by design
  Result(Error error) : state_(std::move(error)) {}     // NOLINT: implicit by design

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

  const Error& error() const { return std::get<1>(state_); }
  const std::string& message() const { return error().message; }

 private:
  std::variant<T, Error> state_;
};

class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Error error) : failed_(true), error_(std::move(error)) {}  // NOLINT: implicit

  static Status Ok() { return Status(); }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const Error& error() const { return error_; }
  const std::string& message() const { return error_.message; }

 private:
  bool failed_ = false;
  Error error_;
};

}  // namespace tomeva

#endif  // TOMEVA_PLATFORM_RESULT_H_
