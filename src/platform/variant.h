// Variant: the value that automation calls pass and return, with the Windows kind numbers,
// and the stand-in for VariantChangeType.
//
// Kinds held: VT_EMPTY, VT_I4, VT_BSTR (UTF-16 code units) and one-dimensional arrays
// (VT_ARRAY | element kind) with their lower bound. The data of an array is kept as raw
// bytes; only a VT_UI1 array, one element per byte, is read by anything.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

#include "platform/hresult.h"

namespace mvsearch {

using VARTYPE = std::uint16_t;

inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_UI1 = 17;
inline constexpr VARTYPE VT_ARRAY = 0x2000;
inline constexpr VARTYPE VT_TYPEMASK = 0x0FFF;

// A one-dimensional SAFEARRAY.
struct SafeArray {
  VARTYPE element_kind = VT_UI1;
  std::int32_t lower_bound = 0;
  std::string data;

  friend bool operator==(const SafeArray&, const SafeArray&) = default;
};

class Variant {
 public:
  Variant() = default;  // VT_EMPTY
  explicit Variant(std::int32_t value) : value_(value) {}
  explicit Variant(std::u16string bstr) : value_(std::move(bstr)) {}
  explicit Variant(SafeArray array) : value_(std::move(array)) {}

  // A VT_ARRAY | VT_UI1 variant holding bytes.
  [[nodiscard]] static Variant byte_array(std::string bytes, std::int32_t lower_bound) {
    return Variant(SafeArray{VT_UI1, lower_bound, std::move(bytes)});
  }

  [[nodiscard]] VARTYPE kind() const;
  [[nodiscard]] bool is_empty() const { return value_.index() == 0; }

  // The value when the variant is of that kind, else null.
  [[nodiscard]] const std::int32_t* int_value() const { return std::get_if<std::int32_t>(&value_); }
  [[nodiscard]] const std::u16string* bstr() const { return std::get_if<std::u16string>(&value_); }
  [[nodiscard]] const SafeArray* array() const { return std::get_if<SafeArray>(&value_); }
  [[nodiscard]] SafeArray* array() { return std::get_if<SafeArray>(&value_); }
  // The bytes of a VT_ARRAY | VT_UI1 variant, else null.
  [[nodiscard]] const std::string* byte_data() const;
  [[nodiscard]] std::string* byte_data();

  // VariantClear: back to VT_EMPTY, releasing what the variant held.
  void clear() { value_ = std::monostate{}; }

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  std::variant<std::monostate, std::int32_t, std::u16string, SafeArray> value_;
};

// VariantChangeType: *dest becomes source converted to kind. Conversions made: any kind to
// itself and to VT_EMPTY; VT_EMPTY to VT_I4 (0) and VT_BSTR (""); VT_I4 to VT_BSTR
// (decimal); VT_BSTR to VT_I4 (blanks, sign, decimal digits); VT_BSTR to VT_ARRAY | VT_UI1
// (its UTF-16LE bytes, lower bound 0) and back (an odd last byte is dropped). Any other
// pair gives DISP_E_TYPEMISMATCH, a number out of range DISP_E_OVERFLOW; on failure *dest
// is left as it was. dest may be &source.
HRESULT variant_change_type(Variant* dest, const Variant& source, VARTYPE kind);

}  // namespace mvsearch
