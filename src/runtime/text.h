// Text, ByteSet and TextArray: the value types that every layer passes around.
//
// A Text is a sequence of code page 936 (GBK) bytes without NUL; the absent value and
// the empty text are the same. A byte of 0x80 or above and the byte after it form one
// double-byte character. Positions count bytes from 1, and -1 means "not found".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mvsearch {

using Text = std::string;

// A counted byte sequence that may hold NUL bytes: HTTP bodies, converted character data.
class ByteSet {
 public:
  ByteSet() = default;
  explicit ByteSet(std::string bytes) : bytes_(std::move(bytes)) {}
  ByteSet(const void* data, std::size_t size) : bytes_(static_cast<const char*>(data), size) {}

  [[nodiscard]] const char* data() const { return bytes_.data(); }
  [[nodiscard]] char* data() { return bytes_.data(); }
  [[nodiscard]] std::size_t size() const { return bytes_.size(); }
  [[nodiscard]] bool empty() const { return bytes_.empty(); }
  [[nodiscard]] std::string_view view() const { return bytes_; }
  [[nodiscard]] const std::string& str() const { return bytes_; }
  // Hands the bytes over, leaving the set empty.
  [[nodiscard]] std::string release() && { return std::exchange(bytes_, std::string()); }
  [[nodiscard]] std::uint8_t operator[](std::size_t i) const {
    return static_cast<std::uint8_t>(bytes_[i]);
  }

  void append(const void* data, std::size_t size) {
    bytes_.append(static_cast<const char*>(data), size);
  }
  void append(std::string_view bytes) { bytes_.append(bytes); }
  void clear() { bytes_.clear(); }
  void reserve(std::size_t n) { bytes_.reserve(n); }
  void resize(std::size_t n) { bytes_.resize(n); }

  friend bool operator==(const ByteSet&, const ByteSet&) = default;

 private:
  std::string bytes_;
};

// An ordered, growable list of Text addressed from 1. Reading an element outside
// 1..size() is the fatal run-time error: error code 4 below 1, 1 above the size.
class TextArray {
 public:
  TextArray() = default;
  TextArray(std::initializer_list<Text> items) : items_(items) {}
  explicit TextArray(std::vector<Text> items) : items_(std::move(items)) {}

  [[nodiscard]] int size() const { return static_cast<int>(items_.size()); }
  [[nodiscard]] bool empty() const { return items_.empty(); }

  // 1-based element access; an index outside 1..size() ends the process.
  [[nodiscard]] const Text& operator[](int index) const { return items_[checked(index)]; }
  [[nodiscard]] Text& operator[](int index) { return items_[checked(index)]; }

  void append(Text item) { items_.push_back(std::move(item)); }
  // Removes the element at the 1-based index; an index outside the array ends the process.
  void remove(int index) {
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(checked(index)));
  }
  void clear() { items_.clear(); }

  [[nodiscard]] auto begin() const { return items_.begin(); }
  [[nodiscard]] auto end() const { return items_.end(); }
  [[nodiscard]] const std::vector<Text>& items() const { return items_; }

  friend bool operator==(const TextArray&, const TextArray&) = default;

 private:
  [[nodiscard]] std::size_t checked(int index) const;

  std::vector<Text> items_;
};

}  // namespace mvsearch
