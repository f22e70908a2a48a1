#include "platform/adodb_stream.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <climits>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/fast_conversion.h"

namespace mvsearch {
namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// How a charset's bytes relate to ASCII, which decides how text is converted.
enum class Layout {
  utf16,  // through the ICU converter alone
  // ASCII bytes stand for themselves and no byte shifts state: runs of ASCII are copied,
  // the rest goes through the ICU converter, or for UTF-8 encoding its string functions.
  ascii,
  utf8,
};

// The converter-free path that is tried first; text it refuses whole goes through ICU.
enum class FastPath { none, utf8, cp936 };

struct Charset {
  std::u16string_view name;  // lower case
  const char* converter;     // ICU's name
  std::string_view byte_order_mark;
  Layout layout;
  FastPath fast = FastPath::none;
};

// Code page 936 as Windows has it, where 0x80 is the euro sign.
constexpr const char* WINDOWS_936 = "windows-936-2000";

constexpr Charset CHARSETS[] = {
    {u"utf-8", "UTF-8", "\xEF\xBB\xBF", Layout::utf8, FastPath::utf8},
    {u"unicode", "UTF-16LE", "\xFF\xFE", Layout::utf16},
    {u"utf-16", "UTF-16LE", "\xFF\xFE", Layout::utf16},
    {u"unicodefffe", "UTF-16BE", "\xFE\xFF", Layout::utf16},
    {u"gbk", WINDOWS_936, "", Layout::ascii, FastPath::cp936},
    {u"gb2312", WINDOWS_936, "", Layout::ascii, FastPath::cp936},
    {u"gb18030", "gb18030", "", Layout::ascii},
    {u"big5", "windows-950-2000", "", Layout::ascii},
    {u"us-ascii", "US-ASCII", "", Layout::ascii},
    {u"iso-8859-1", "windows-1252", "", Layout::ascii},
    {u"windows-1252", "windows-1252", "", Layout::ascii},
};

constexpr std::u16string_view DEFAULT_CHARSET = u"Unicode";

const Charset* find_charset(std::u16string_view name) {
  for (const Charset& charset : CHARSETS) {
    if (charset.name.size() != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; same && i < name.size(); ++i) {
      const char16_t unit = name[i] >= u'A' && name[i] <= u'Z' ? name[i] - u'A' + u'a' : name[i];
      same = unit == charset.name[i];
    }
    if (same) return &charset;
  }
  return nullptr;
}

bool is_unicode(const Charset& charset) { return !charset.byte_order_mark.empty(); }

Converter open_converter(const Charset& charset) {
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open(charset.converter, &status));
  if (U_FAILURE(status)) return nullptr;
  if (!is_unicode(charset)) {
    // MLang writes "?" for a character that the code page lacks.
    ucnv_setSubstChars(converter.get(), "?", 1, &status);
    if (U_FAILURE(status)) return nullptr;
  }
  return converter;
}

constexpr UChar32 REPLACEMENT_CHARACTER = 0xFFFD;
constexpr std::size_t CHUNK_UNITS = 16 * 1024;
constexpr std::size_t ASCII_BLOCK = 16;

template <class Unit>
bool is_ascii_block(const Unit* units) {
  unsigned bits = 0;
  for (std::size_t k = 0; k < ASCII_BLOCK; ++k) {
    bits |= static_cast<std::make_unsigned_t<Unit>>(units[k]);
  }
  return bits < 0x80;
}

template <class From, class To>
void append_ascii(std::basic_string_view<From> ascii, std::basic_string<To>* out) {
  const std::size_t old_size = out->size();
  out->resize(old_size + ascii.size());
  To* target = out->data() + old_size;
  for (std::size_t k = 0; k < ascii.size(); ++k) target[k] = static_cast<To>(ascii[k]);
}

// The ICU converter's step in each direction, and what it holds back between calls.
struct Decoding {
  static void step(UConverter* converter, UChar** target, UChar* target_end, const char** source,
                   const char* source_end, bool flush, UErrorCode* status) {
    ucnv_toUnicode(converter, target, target_end, source, source_end, nullptr, flush, status);
  }
  static int32_t pending(const UConverter* converter, UErrorCode* status) {
    return ucnv_toUCountPending(converter, status);
  }
};
struct Encoding {
  static void step(UConverter* converter, char** target, char* target_end, const UChar** source,
                   const UChar* source_end, bool flush, UErrorCode* status) {
    ucnv_fromUnicode(converter, target, target_end, source, source_end, nullptr, flush, status);
  }
  static int32_t pending(const UConverter* converter, UErrorCode* status) {
    return ucnv_fromUCountPending(converter, status);
  }
};

// Appends source, converted, to *out. With ascii_runs, runs of whole ASCII blocks that
// start while the converter holds nothing back are copied instead of converted.
template <class Direction, class From, class To>
bool convert(UConverter* converter, std::basic_string_view<From> source, bool ascii_runs,
             std::basic_string<To>* out) {
  const std::size_t n = source.size();
  std::size_t done = 0;
  To chunk[CHUNK_UNITS];
  const auto through_icu = [&](std::size_t end) {
    const From* from = source.data() + done;
    const From* const from_end = source.data() + end;
    for (;;) {
      UErrorCode status = U_ZERO_ERROR;
      To* target = chunk;
      Direction::step(converter, &target, chunk + CHUNK_UNITS, &from, from_end, end == n, &status);
      out->append(chunk, static_cast<std::size_t>(target - chunk));
      if (status != U_BUFFER_OVERFLOW_ERROR) {
        done = end;
        return U_SUCCESS(status);
      }
    }
  };
  if (!ascii_runs) return through_icu(n);
  while (done < n) {
    std::size_t end = done;
    while (n - end >= ASCII_BLOCK && is_ascii_block(source.data() + end)) end += ASCII_BLOCK;
    append_ascii(source.substr(done, end - done), out);
    done = end;
    if (done == n) break;
    end = std::min(n, done + ASCII_BLOCK);
    while (n - end >= ASCII_BLOCK && !is_ascii_block(source.data() + end)) end += ASCII_BLOCK;
    if (n - end < ASCII_BLOCK) end = n;
    if (!through_icu(end)) return false;
    for (;;) {
      UErrorCode status = U_ZERO_ERROR;
      const int32_t held_back = Direction::pending(converter, &status);
      if (U_FAILURE(status)) return false;
      if (held_back == 0 || done == n) break;
      if (!through_icu(std::min(n, done + ASCII_BLOCK))) return false;
    }
  }
  return true;
}

// Appends all of bytes decoded to *text; false (with *text as it may then be) on failure.
bool decode_all(const Charset& charset, UConverter* converter, std::string_view bytes,
                std::u16string* text) {
  // No charset here gives more units than bytes.
  const std::size_t old_size = text->size();
  text->reserve(old_size + bytes.size());
  if (charset.fast == FastPath::utf8 && append_fast(bytes, text, utf8_to_utf16)) return true;
  if (charset.fast == FastPath::cp936 && append_fast(bytes, text, cp936_to_utf16)) return true;
  text->resize(old_size);
  return convert<Decoding>(converter, bytes, charset.layout != Layout::utf16, text);
}

// Appends text encoded to *bytes; false (with *bytes as it may then be) on failure.
bool encode(const Charset& charset, UConverter* converter, std::u16string_view text,
            std::string* bytes) {
  const std::size_t old_size = bytes->size();
  bytes->reserve(old_size + text.size());
  if (charset.fast == FastPath::cp936) {
    if (append_fast(text, bytes, utf16_to_cp936)) return true;
    bytes->resize(old_size);
  }
  if (charset.layout != Layout::utf8) {
    return convert<Encoding>(converter, text, charset.layout == Layout::ascii, bytes);
  }
  char chunk[CHUNK_UNITS * 3];  // up to three bytes per unit
  while (!text.empty()) {
    std::size_t piece = std::min(text.size(), CHUNK_UNITS);
    if (piece < text.size() && U16_IS_LEAD(text[piece - 1])) --piece;  // keep pairs whole
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strToUTF8WithSub(chunk, static_cast<int32_t>(sizeof chunk), &length, text.data(),
                       static_cast<int32_t>(piece), REPLACEMENT_CHARACTER, nullptr, &status);
    if (U_FAILURE(status)) return false;
    bytes->append(chunk, static_cast<std::size_t>(length));
    text.remove_prefix(piece);
  }
  return true;
}

// Decodes at most max_units UTF-16 units (never half a surrogate pair) from the front of
// bytes; *consumed receives the bytes they came from.
bool decode_counted(UConverter* converter, std::string_view bytes, std::size_t max_units,
                    std::u16string* text, std::size_t* consumed) {
  const char* source = bytes.data();
  const char* const source_end = source + bytes.size();
  while (source < source_end) {
    const char* const before = source;
    UErrorCode status = U_ZERO_ERROR;
    const UChar32 c = ucnv_getNextUChar(converter, &source, source_end, &status);
    if (status == U_INDEX_OUTOFBOUNDS_ERROR) break;
    if (U_FAILURE(status)) return false;
    const std::size_t units = U16_LENGTH(c);
    if (text->size() + units > max_units) {
      source = before;
      break;
    }
    if (units == 2) {
      text->push_back(static_cast<char16_t>(U16_LEAD(c)));
      text->push_back(static_cast<char16_t>(U16_TRAIL(c)));
    } else {
      text->push_back(static_cast<char16_t>(c));
    }
  }
  *consumed = static_cast<std::size_t>(source - bytes.data());
  return true;
}

enum Member : DISPID {
  kType = 1,
  kPosition,
  kCharset,
  kSize,
  kState,
  kOpen,
  kClose,
  kWrite,
  kRead,
  kReadText,
  kWriteText,
  kSetEos,
};

constexpr DispatchMember MEMBERS[] = {
    {u"Type", kType},   {u"Position", kPosition}, {u"Charset", kCharset},     {u"Size", kSize},
    {u"State", kState}, {u"Open", kOpen},         {u"Close", kClose},         {u"Write", kWrite},
    {u"Read", kRead},   {u"ReadText", kReadText}, {u"WriteText", kWriteText}, {u"SetEOS", kSetEos},
};

// An optional integer argument: omitted or VT_EMPTY gives std::nullopt in *value.
HRESULT int_arg(DispatchArgs args, std::size_t index, std::optional<std::int32_t>* value) {
  value->reset();
  if (index >= args.size() || args[index] == nullptr || args[index]->is_empty()) return S_OK;
  Variant converted;
  const HRESULT result = variant_change_type(&converted, *args[index], VT_I4);
  if (failed(result)) return result;
  *value = *converted.int_value();
  return S_OK;
}

HRESULT text_arg(DispatchArgs args, std::size_t index, Variant* holder,
                 const std::u16string** text) {
  if (index >= args.size() || args[index] == nullptr) return DISP_E_BADPARAMCOUNT;
  if (args[index]->kind() == VT_BSTR) {
    *text = args[index]->bstr();
    return S_OK;
  }
  const HRESULT result = variant_change_type(holder, *args[index], VT_BSTR);
  if (failed(result)) return result;
  *text = holder->bstr();
  return S_OK;
}

class AdodbStream final : public Dispatch {
 public:
  HRESULT get_id_of_name(std::u16string_view name, DISPID* id) override {
    if (id == nullptr) return E_POINTER;
    return find_member(MEMBERS, name, id);
  }

  HRESULT invoke(DISPID id, unsigned flags, DispatchArgs args, Variant* result) override {
    if (result != nullptr) result->clear();
    Variant ignored;
    Variant& out = result != nullptr ? *result : ignored;
    try {
      return dispatch(id, flags, args, out);
    } catch (const std::bad_alloc&) {
      out.clear();
      return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
      out.clear();
      return E_OUTOFMEMORY;
    }
  }

 private:
  HRESULT dispatch(DISPID id, unsigned flags, DispatchArgs args, Variant& out) {
    const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
    const bool get = (flags & DISPATCH_PROPERTYGET) != 0;
    const bool method = (flags & DISPATCH_METHOD) != 0;
    switch (id) {
      case kType:
      case kPosition:
      case kCharset:
        if (put) return args.size() == 1 ? put_property(id, *args[0]) : DISP_E_BADPARAMCOUNT;
        if (get) return args.empty() ? get_property(id, &out) : DISP_E_BADPARAMCOUNT;
        return DISP_E_MEMBERNOTFOUND;
      case kSize:
      case kState:
        if (put || !get) return DISP_E_MEMBERNOTFOUND;
        return args.empty() ? get_property(id, &out) : DISP_E_BADPARAMCOUNT;
      default:
        break;
    }
    if (!method) return DISP_E_MEMBERNOTFOUND;
    switch (id) {
      case kOpen:
        return open(args);
      case kClose:
        return args.empty() ? close() : DISP_E_BADPARAMCOUNT;
      case kWrite:
        return write(args);
      case kRead:
        return read(args, &out);
      case kReadText:
        return read_text(args, &out);
      case kWriteText:
        return write_text(args);
      case kSetEos:
        return args.empty() ? set_eos() : DISP_E_BADPARAMCOUNT;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  HRESULT put_property(DISPID id, const Variant& value) {
    const Variant* const args[] = {&value};
    if (id == kCharset) {
      Variant holder;
      const std::u16string* name = nullptr;
      const HRESULT result = text_arg(args, 0, &holder, &name);
      if (failed(result)) return result;
      // The name is taken as it is; a name that is not known makes the text members fail.
      charset_name_ = *name;
      charset_ = find_charset(*name);
      return S_OK;
    }
    std::optional<std::int32_t> number;
    const HRESULT result = int_arg(args, 0, &number);
    if (failed(result)) return result;
    if (!number) return DISP_E_TYPEMISMATCH;
    if (id == kType) {
      if (*number != AD_TYPE_BINARY && *number != AD_TYPE_TEXT) return AD_ERR_INVALID_ARGUMENT;
      if (open_ && position_ != 0) return AD_ERR_ILLEGAL_OPERATION;
      type_ = *number;
      return S_OK;
    }
    // Position
    if (!open_) return AD_ERR_OBJECT_CLOSED;
    if (*number < 0 || static_cast<std::size_t>(*number) > data_.size()) {
      return AD_ERR_INVALID_ARGUMENT;
    }
    position_ = static_cast<std::size_t>(*number);
    return S_OK;
  }

  HRESULT get_property(DISPID id, Variant* out) const {
    switch (id) {
      case kType:
        *out = Variant(type_);
        return S_OK;
      case kCharset:
        *out = Variant(charset_name_);
        return S_OK;
      case kState:
        *out = Variant(open_ ? AD_STATE_OPEN : AD_STATE_CLOSED);
        return S_OK;
      default:
        break;
    }
    if (!open_) return AD_ERR_OBJECT_CLOSED;
    // Write keeps the size within a VT_I4.
    *out = Variant(static_cast<std::int32_t>(id == kSize ? data_.size() : position_));
    return S_OK;
  }

  HRESULT open(DispatchArgs args) {
    if (args.size() > 5) return DISP_E_BADPARAMCOUNT;
    if (open_) return AD_ERR_OBJECT_OPEN;
    if (!args.empty() && args[0] != nullptr && !args[0]->is_empty()) {
      return AD_ERR_FEATURE_NOT_AVAILABLE;
    }
    open_ = true;
    data_.clear();
    position_ = 0;
    return S_OK;
  }

  HRESULT close() {
    if (!open_) return AD_ERR_OBJECT_CLOSED;
    open_ = false;
    std::string().swap(data_);
    position_ = 0;
    return S_OK;
  }

  HRESULT check_mode(std::int32_t type) const {
    if (!open_) return AD_ERR_OBJECT_CLOSED;
    if (type_ != type) return AD_ERR_ILLEGAL_OPERATION;
    return type == AD_TYPE_TEXT && charset_ == nullptr ? AD_ERR_INVALID_ARGUMENT : S_OK;
  }

  HRESULT write(DispatchArgs args) {
    if (args.size() != 1 || args[0] == nullptr) return DISP_E_BADPARAMCOUNT;
    const HRESULT mode = check_mode(AD_TYPE_BINARY);
    if (failed(mode)) return mode;
    const std::string* bytes = args[0]->byte_data();
    if (bytes == nullptr) return DISP_E_TYPEMISMATCH;
    if (bytes->size() > INT_MAX - position_) return E_OUTOFMEMORY;
    const std::size_t overwritten = std::min(bytes->size(), data_.size() - position_);
    data_.replace(position_, overwritten, *bytes);
    position_ += bytes->size();
    return S_OK;
  }

  HRESULT read(DispatchArgs args, Variant* out) {
    if (args.size() > 1) return DISP_E_BADPARAMCOUNT;
    const HRESULT mode = check_mode(AD_TYPE_BINARY);
    if (failed(mode)) return mode;
    std::optional<std::int32_t> count;
    const HRESULT result = int_arg(args, 0, &count);
    if (failed(result)) return result;
    if (count && *count < AD_READ_ALL) return AD_ERR_INVALID_ARGUMENT;
    std::size_t n = data_.size() - position_;
    if (count && *count != AD_READ_ALL) n = std::min(n, static_cast<std::size_t>(*count));
    if (n != 0) *out = Variant::byte_array(data_.substr(position_, n), 0);
    position_ += n;
    return S_OK;
  }

  HRESULT read_text(DispatchArgs args, Variant* out) {
    if (args.size() > 1) return DISP_E_BADPARAMCOUNT;
    const HRESULT mode = check_mode(AD_TYPE_TEXT);
    if (failed(mode)) return mode;
    std::optional<std::int32_t> count;
    const HRESULT result = int_arg(args, 0, &count);
    if (failed(result)) return result;
    // adReadLine (-2) and other negative counts are not supported.
    if (count && *count < AD_READ_ALL) return AD_ERR_INVALID_ARGUMENT;
    const bool all = !count || *count == AD_READ_ALL;

    std::string_view bytes = std::string_view(data_).substr(position_);
    std::size_t skipped = 0;
    if (position_ == 0 && is_unicode(*charset_) && bytes.starts_with(charset_->byte_order_mark)) {
      skipped = charset_->byte_order_mark.size();
      bytes.remove_prefix(skipped);
    }
    Converter converter = open_converter(*charset_);
    if (converter == nullptr) return E_FAIL;
    std::u16string text;
    std::size_t consumed = bytes.size();
    const bool ok = all ? decode_all(*charset_, converter.get(), bytes, &text)
                        : decode_counted(converter.get(), bytes, static_cast<std::size_t>(*count),
                                         &text, &consumed);
    if (!ok) return E_FAIL;
    position_ += skipped + consumed;
    *out = Variant(std::move(text));
    return S_OK;
  }

  HRESULT write_text(DispatchArgs args) {
    if (args.empty() || args.size() > 2) return DISP_E_BADPARAMCOUNT;
    const HRESULT mode = check_mode(AD_TYPE_TEXT);
    if (failed(mode)) return mode;
    Variant holder;
    const std::u16string* text = nullptr;
    HRESULT result = text_arg(args, 0, &holder, &text);
    if (failed(result)) return result;
    std::optional<std::int32_t> option;
    result = int_arg(args, 1, &option);
    if (failed(result)) return result;
    if (option && *option != AD_WRITE_CHAR && *option != AD_WRITE_LINE) {
      return AD_ERR_INVALID_ARGUMENT;
    }
    Converter converter = open_converter(*charset_);
    if (converter == nullptr) return E_FAIL;

    // At the end of the stream the text is encoded in place; otherwise it is encoded apart
    // and then laid over the bytes from Position.
    const bool appending = position_ == data_.size();
    const std::size_t old_size = data_.size();
    std::string apart;
    std::string& target = appending ? data_ : apart;
    if (position_ == 0) target.append(charset_->byte_order_mark);
    bool ok = encode(*charset_, converter.get(), *text, &target);
    if (ok && option == AD_WRITE_LINE) ok = encode(*charset_, converter.get(), u"\r\n", &target);
    if (!ok || target.size() > INT_MAX) {
      if (appending) data_.resize(old_size);
      return ok ? E_OUTOFMEMORY : E_FAIL;
    }
    if (appending) {
      position_ = data_.size();
    } else {
      const std::size_t overwritten = std::min(apart.size(), data_.size() - position_);
      data_.replace(position_, overwritten, apart);
      position_ += apart.size();
    }
    return S_OK;
  }

  HRESULT set_eos() {
    if (!open_) return AD_ERR_OBJECT_CLOSED;
    data_.resize(position_);
    return S_OK;
  }

  std::int32_t type_ = AD_TYPE_TEXT;
  std::u16string charset_name_{DEFAULT_CHARSET};
  const Charset* charset_ = find_charset(DEFAULT_CHARSET);
  bool open_ = false;
  std::string data_;
  std::size_t position_ = 0;
};

}  // namespace

std::unique_ptr<Dispatch> create_adodb_stream() { return std::make_unique<AdodbStream>(); }

}  // namespace mvsearch
