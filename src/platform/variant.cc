#include "platform/variant.h"

#include <bit>
#include <cstring>
#include <limits>
#include <string_view>

namespace mvsearch {
namespace {

// A BSTR's bytes are its code units in memory order, which is little-endian on Windows.
static_assert(std::endian::native == std::endian::little);

bool is_blank(char16_t unit) { return unit == u' ' || unit == u'\t'; }

// VarI4FromStr for plain decimal integers.
HRESULT int_from_bstr(std::u16string_view text, std::int32_t* out) {
  std::size_t i = 0;
  while (i < text.size() && is_blank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  const std::size_t first_digit = i;
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - u'0');
    if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) {
      return DISP_E_OVERFLOW;
    }
  }
  if (i == first_digit) return DISP_E_TYPEMISMATCH;
  while (i < text.size() && is_blank(text[i])) ++i;
  if (i != text.size()) return DISP_E_TYPEMISMATCH;
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max()) return DISP_E_OVERFLOW;
  *out = static_cast<std::int32_t>(value);
  return S_OK;
}

std::u16string bstr_from_int(std::int32_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

std::string bytes_of_bstr(const std::u16string& bstr) {
  std::string bytes(bstr.size() * sizeof(char16_t), '\0');
  if (!bytes.empty()) std::memcpy(bytes.data(), bstr.data(), bytes.size());
  return bytes;
}

std::u16string bstr_of_bytes(const std::string& bytes) {
  std::u16string bstr(bytes.size() / sizeof(char16_t), u'\0');
  if (!bstr.empty()) std::memcpy(bstr.data(), bytes.data(), bstr.size() * sizeof(char16_t));
  return bstr;
}

}  // namespace

VARTYPE Variant::kind() const {
  switch (value_.index()) {
    case 1:
      return VT_I4;
    case 2:
      return VT_BSTR;
    case 3:
      return static_cast<VARTYPE>(VT_ARRAY | std::get<SafeArray>(value_).element_kind);
    default:
      return VT_EMPTY;
  }
}

const std::string* Variant::byte_data() const {
  const SafeArray* a = array();
  return a != nullptr && a->element_kind == VT_UI1 ? &a->data : nullptr;
}

std::string* Variant::byte_data() {
  SafeArray* a = array();
  return a != nullptr && a->element_kind == VT_UI1 ? &a->data : nullptr;
}

HRESULT variant_change_type(Variant* dest, const Variant& source, VARTYPE kind) {
  if (dest == nullptr) return E_INVALIDARG;
  const VARTYPE from = source.kind();
  if (kind == from) {
    if (dest != &source) *dest = source;
    return S_OK;
  }
  if (kind == VT_EMPTY) {
    dest->clear();
    return S_OK;
  }
  constexpr VARTYPE byte_array_kind = VT_ARRAY | VT_UI1;
  if (kind == VT_I4) {
    if (from == VT_EMPTY) {
      *dest = Variant(std::int32_t{0});
      return S_OK;
    }
    if (from == VT_BSTR) {
      std::int32_t value = 0;
      const HRESULT result = int_from_bstr(*source.bstr(), &value);
      if (succeeded(result)) *dest = Variant(value);
      return result;
    }
  } else if (kind == VT_BSTR) {
    if (from == VT_EMPTY) {
      *dest = Variant(std::u16string());
      return S_OK;
    }
    if (from == VT_I4) {
      *dest = Variant(bstr_from_int(*source.int_value()));
      return S_OK;
    }
    if (from == byte_array_kind) {
      *dest = Variant(bstr_of_bytes(*source.byte_data()));
      return S_OK;
    }
  } else if (kind == byte_array_kind && from == VT_BSTR) {
    *dest = Variant::byte_array(bytes_of_bstr(*source.bstr()), 0);
    return S_OK;
  }
  return DISP_E_TYPEMISMATCH;
}

}  // namespace mvsearch
