#include "textutil/charset.h"

#include <utility>

#include "platform/automation.h"
#include "runtime/byte_ops.h"

namespace mvsearch {
namespace {

constexpr std::string_view STREAM_CLASS = "Adodb.Stream";
constexpr int STREAM_TYPE_BINARY = 1;
constexpr int STREAM_TYPE_TEXT = 2;
// The run time's number for an array of integers; the variant is made a byte array right
// after, so the kind only clears it.
constexpr int INTEGER_ARRAY_KIND = 7;

}  // namespace

ByteSet convert_charset(const ByteSet& data, OptionalRef<Text> source_charset,
                        OptionalRef<Text> target_charset, Optional<int> read_position) {
  if (source_charset.get().empty()) source_charset.get() = DEFAULT_SOURCE_CHARSET;
  if (target_charset.get().empty()) target_charset.get() = DEFAULT_TARGET_CHARSET;
  CoInitialize(nullptr);
  ByteSet converted =
      convert_through_stream(data, source_charset.get(), target_charset.get(), read_position);
  CoUninitialize();
  return converted;
}

// No result is looked at: an operation that fails is skipped, and one on an empty object
// variable does nothing, so a missing class or an unknown charset ends in the empty ByteSet.
ByteSet convert_through_stream(const ByteSet& data, std::string_view source_charset,
                               std::string_view target_charset, Optional<int> read_position) {
  CoInitialize(nullptr);
  ObjectVariable stream;
  Variant input;
  object_create(stream, STREAM_CLASS);
  object_set_property(stream, "Type", STREAM_TYPE_BINARY);
  object_call(stream, "Open");
  variant_set_type(input, INTEGER_ARRAY_KIND);
  variant_make_array(input, ARRAY_ELEMENT_BYTE, bytes_length(data));
  variant_assign(input, data.view());
  object_call(stream, "Write", {input});
  object_set_property(stream, "Position", 0);
  object_set_property(stream, "Type", STREAM_TYPE_TEXT);
  object_set_property(stream, "Charset", source_charset);
  const Text text = object_call_text(stream, "ReadText");
  object_call(stream, "Close");
  object_call(stream, "Open");
  object_set_property(stream, "Charset", target_charset);
  object_call(stream, "WriteText", {text});
  object_set_property(stream, "Position", 0);
  object_set_property(stream, "Type", STREAM_TYPE_BINARY);
  if (read_position.provided()) object_set_property(stream, "Position", read_position.value());
  Variant output = object_call_variant(stream, "Read");
  ByteSet converted(variant_to_bytes(std::move(output)));
  output.clear();
  object_clear(stream);
  CoUninitialize();
  return converted;
}

}  // namespace mvsearch
