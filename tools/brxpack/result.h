#pragma once
// Errors are values: a Result holds either a value or the reason it could not
// be made, already worded for the publisher (naming the file, and the line
// and field where there is one).
#include <optional>
#include <string>
#include <utility>

namespace brxpack {

struct Error {
  std::string message;
};

template <typename T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}              // NOLINT: implicit by design
  Result(Error error) : error_(std::move(error.message)) {}  // NOLINT

  bool ok() const { return value_.has_value(); }
  T& value() { return *value_; }
  const T& value() const { return *value_; }
  T& operator*() { return *value_; }
  const T& operator*() const { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  const std::string& error() const { return error_; }
  Error TakeError() { return Error{std::move(error_)}; }

 private:
  std::optional<T> value_;
  std::string error_;
};

class Status {
 public:
  static Status Ok() { return Status(); }
  Status(Error error) : failed_(true), error_(std::move(error.message)) {}  // NOLINT

  bool ok() const { return !failed_; }
  const std::string& error() const { return error_; }
  Error TakeError() { return Error{std::move(error_)}; }

 private:
  Status() = default;
  bool failed_ = false;
  std::string error_;
};

}  // namespace brxpack
