// Charset conversion of byte sets through the stream object "Adodb.Stream", driven by the
// run time's automation operations.
//
// The decoded text travels as a Text, that is through code page 936: a character that code
// page 936 lacks is replaced on the way, and a decoded U+0000 ends the text. A conversion
// that fails anywhere (the stream class is missing, a charset is unknown) gives the empty
// ByteSet; nothing is reported.
#pragma once

#include <string_view>

#include "runtime/optional_arg.h"
#include "runtime/text.h"

namespace mvsearch {

inline constexpr std::string_view DEFAULT_SOURCE_CHARSET = "UTF-8";
inline constexpr std::string_view DEFAULT_TARGET_CHARSET = "GBK";

// Re-encodes data from source_charset to target_charset, by the stream's charset names. An
// empty charset (also when omitted) becomes the default, which is stored into the caller's
// variable. With read_position provided as k the output starts at its byte offset k; a k
// beyond the output's size is refused by the stream, which then gives the whole output.
// Wraps the work in one CoInitialize/CoUninitialize pair.
[[nodiscard]] ByteSet convert_charset(const ByteSet& data, OptionalRef<Text> source_charset = {},
                                      OptionalRef<Text> target_charset = {},
                                      Optional<int> read_position = {});

// The stream's steps for convert_charset, inside their own CoInitialize/CoUninitialize pair:
// write the bytes, read them back as text in source_charset, write that text in
// target_charset and read the bytes from read_position (when provided) to the end.
[[nodiscard]] ByteSet convert_through_stream(const ByteSet& data, std::string_view source_charset,
                                             std::string_view target_charset,
                                             Optional<int> read_position = {});

}  // namespace mvsearch
