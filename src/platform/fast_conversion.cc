#include "platform/fast_conversion.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

#include "platform/ascii_copy.h"

namespace mvsearch {
namespace {

constexpr unsigned FIRST_LEAD = 0x81;
constexpr unsigned LAST_LEAD = 0xFE;
constexpr unsigned FIRST_TRAIL = 0x40;
constexpr unsigned LAST_TRAIL = 0xFE;
constexpr unsigned TRAILS = LAST_TRAIL - FIRST_TRAIL + 1;

// No character of the code page maps to U+0000 but the byte 0x00, and no code is 0xFFFF
// (0xFF is no lead byte), so these mark a missing mapping.
constexpr char16_t NO_UNIT = 0;
constexpr std::uint16_t NO_CODE = 0xFFFF;

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

bool is_lead(unsigned byte) { return byte >= FIRST_LEAD && byte <= LAST_LEAD; }

class Table {
 public:
  Table() : to_code_(0x10000, NO_CODE) {
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UConverter, ConverterCloser> converter(
        ucnv_open("windows-936-2000", &status));
    if (U_FAILURE(status)) return;  // every character stays unmapped: ICU decides alone
    // Stop instead of substituting, so that only exact mappings are taken.
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                          &status);
    if (U_FAILURE(status)) return;
    UConverter* c = converter.get();

    single_.fill(NO_UNIT);
    single_mapped_.fill(false);
    for (unsigned byte = 0; byte < 0x100; ++byte) {
      if (is_lead(byte)) continue;
      const char in[] = {static_cast<char>(byte)};
      if (const auto unit = decode_one(c, in, 1)) {
        single_[byte] = *unit;
        single_mapped_[byte] = true;
      }
    }
    pair_.fill(NO_UNIT);
    for (unsigned lead = FIRST_LEAD; lead <= LAST_LEAD; ++lead) {
      for (unsigned trail = FIRST_TRAIL; trail <= LAST_TRAIL; ++trail) {
        const char in[] = {static_cast<char>(lead), static_cast<char>(trail)};
        if (const auto unit = decode_one(c, in, 2)) pair_[pair_index(lead, trail)] = *unit;
      }
    }
    for (unsigned u = 0; u < 0x10000; ++u) {
      if (u >= 0xD800 && u <= 0xDFFF) continue;  // a surrogate is no character of its own
      const UChar in[] = {static_cast<UChar>(u)};
      char out[4];
      status = U_ZERO_ERROR;
      const int32_t n = ucnv_fromUChars(c, out, sizeof out, in, 1, &status);
      if (U_FAILURE(status)) continue;
      const unsigned first = static_cast<unsigned char>(out[0]);
      const unsigned second = static_cast<unsigned char>(out[1]);
      if (n == 1 && !is_lead(first)) to_code_[u] = static_cast<std::uint16_t>(first);
      if (n == 2 && is_lead(first)) to_code_[u] = static_cast<std::uint16_t>(first << 8 | second);
    }
  }

  // The unit of the single byte, or of the pair lead-trail; false when there is none.
  bool single(unsigned byte, char16_t* unit) const {
    *unit = single_[byte];
    return single_mapped_[byte];
  }
  bool pair(unsigned lead, unsigned trail, char16_t* unit) const {
    if (trail < FIRST_TRAIL || trail > LAST_TRAIL) return false;
    *unit = pair_[pair_index(lead, trail)];
    return *unit != NO_UNIT;
  }
  std::uint16_t code(char16_t unit) const { return to_code_[unit]; }

 private:
  static std::size_t pair_index(unsigned lead, unsigned trail) {
    return (lead - FIRST_LEAD) * TRAILS + (trail - FIRST_TRAIL);
  }

  // The one unit that ICU makes of these bytes, if it makes exactly one without an error.
  static std::optional<char16_t> decode_one(UConverter* c, const char* in, int32_t length) {
    UChar out[4];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(c, out, 4, in, length, &status);
    if (U_FAILURE(status) || n != 1) return std::nullopt;
    if (length == 2 && out[0] == NO_UNIT) return std::nullopt;
    return out[0];
  }

  std::array<char16_t, 0x100> single_{};
  std::array<bool, 0x100> single_mapped_{};
  std::array<char16_t, (LAST_LEAD - FIRST_LEAD + 1) * TRAILS> pair_{};
  std::vector<std::uint16_t> to_code_;
};

const Table& table() {
  static const Table instance;
  return instance;
}

bool is_continuation(unsigned byte) { return (byte & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence at the front of bytes[0..n), which starts
// with a byte of 0x80 or above, with its value in *code; 0 when it is ill-formed or cut off.
std::size_t sequence_at(const unsigned char* bytes, std::size_t n, char32_t* code) {
  const unsigned lead = bytes[0];
  // The length and the range of the second byte, which rules out overlong forms,
  // surrogates and values above U+10FFFF (RFC 3629's table).
  std::size_t length = 0;
  unsigned low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (n < length || bytes[1] < low || bytes[1] > high) return 0;
  char32_t value = lead & (0xFFu >> (length + 1));
  for (std::size_t k = 1; k < length; ++k) {
    if (!is_continuation(bytes[k])) return 0;
    value = value << 6 | (bytes[k] & 0x3F);
  }
  *code = value;
  return length;
}

// The loop that the three share: ASCII a block at a time with copy_ascii (widen_ascii or
// narrow_ascii), then the characters outside ASCII one by one until ASCII comes again.
// convert_one(i, o) converts the character at in[i], moving i and o past it, and returns
// false when it is outside the fast case; it writes at most most_units units.
template <class From, class To, class CopyAscii, class ConvertOne>
ConversionStep convert_run(std::basic_string_view<From> in, To* out, std::size_t room,
                           std::size_t most_units, CopyAscii copy_ascii, ConvertOne convert_one) {
  const std::size_t n = in.size();
  std::size_t i = 0;
  std::size_t o = 0;
  while (i < n) {
    const std::size_t ascii = copy_ascii(in.data() + i, std::min(n - i, room - o), out + o);
    i += ascii;
    o += ascii;
    if (i == n || room - o < most_units) break;
    bool converted = true;
    do {
      converted = convert_one(i, o);
    } while (converted && i < n && room - o >= most_units &&
             static_cast<std::make_unsigned_t<From>>(in[i]) >= 0x80);
    if (!converted) break;
  }
  return {i, o};
}

}  // namespace

ConversionStep utf8_to_utf16(std::string_view in, char16_t* out, std::size_t room) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(in.data());
  // A sequence gives at most two units.
  return convert_run(in, out, room, 2, widen_ascii, [&](std::size_t& i, std::size_t& o) {
    char32_t code = 0;
    const std::size_t length = sequence_at(bytes + i, in.size() - i, &code);
    if (length == 0) return false;
    if (code < 0x10000) {
      out[o++] = static_cast<char16_t>(code);
    } else {
      code -= 0x10000;
      out[o++] = static_cast<char16_t>(0xD800 + (code >> 10));
      out[o++] = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    }
    i += length;
    return true;
  });
}

ConversionStep cp936_to_utf16(std::string_view in, char16_t* out, std::size_t room) {
  const Table& t = table();
  const auto* bytes = reinterpret_cast<const unsigned char*>(in.data());
  return convert_run(in, out, room, 1, widen_ascii, [&](std::size_t& i, std::size_t& o) {
    if (is_lead(bytes[i])) {
      if (i + 1 == in.size() || !t.pair(bytes[i], bytes[i + 1], out + o)) return false;
      i += 2;
    } else {
      if (!t.single(bytes[i], out + o)) return false;
      i += 1;
    }
    ++o;
    return true;
  });
}

ConversionStep utf16_to_cp936(std::u16string_view in, char* out, std::size_t room) {
  const Table& t = table();
  return convert_run(in, out, room, 2, narrow_ascii, [&](std::size_t& i, std::size_t& o) {
    const std::uint16_t code = t.code(in[i]);
    if (code == NO_CODE) return false;
    if (code > 0xFF) out[o++] = static_cast<char>(code >> 8);
    out[o++] = static_cast<char>(code & 0xFF);
    ++i;
    return true;
  });
}

}  // namespace mvsearch
