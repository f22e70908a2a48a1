// Optional and OptionalRef: parameters that carry whether the caller provided them.
//
// A routine either reads only value(), so that an omitted argument counts as empty, 0 or
// false, or looks at provided() and applies a default of its own.
#pragma once

#include <concepts>
#include <utility>

namespace mvsearch {

template <class T>
class Optional {
 public:
  Optional() = default;  // omitted by the caller
  template <class U>
  requires std::convertible_to<U, T> Optional(U&& value)
      : value_(std::forward<U>(value)), provided_(true) {}  // NOLINT: implicit

  [[nodiscard]] bool provided() const { return provided_; }
  // The caller's value, or T{} when omitted.
  [[nodiscard]] const T& value() const { return value_; }

 private:
  T value_{};
  bool provided_ = false;
};

// A reference parameter: writes go to the caller's variable, or, when the caller omitted
// it, to a temporary of its own that is discarded with the call.
template <class T>
class OptionalRef {
 public:
  OptionalRef() : target_(&own_) {}
  OptionalRef(T& target) : target_(&target), provided_(true) {}  // NOLINT: implicit
  OptionalRef(const OptionalRef&) = delete;
  OptionalRef& operator=(const OptionalRef&) = delete;

  [[nodiscard]] bool provided() const { return provided_; }
  [[nodiscard]] T& get() const { return *target_; }

 private:
  T own_{};
  T* target_;
  bool provided_ = false;
};

}  // namespace mvsearch
