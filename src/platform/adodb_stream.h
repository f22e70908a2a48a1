// The stream object registered as "Adodb.Stream": our stand-in for the ADO stream. It holds
// its bytes in memory and converts text with ICU; UTF-8, GBK and gb2312 text first tries
// the fast paths of fast_conversion.h, which give the same result.
//
// Members (names in any letter case):
//   Type       1 binary, 2 text (the default); changes only while closed or at Position 0.
//   Position   byte offset from 0; only while open, and never beyond Size.
//   Charset    the text mode's character set, by name in any letter case: "UTF-8",
//              "Unicode" and "UTF-16" (UTF-16LE, the default), "UnicodeFFFE" (UTF-16BE),
//              "GBK" and "gb2312" (both the Windows 936 table), "GB18030", "Big5",
//              "us-ascii", "iso-8859-1" and "windows-1252" (both the Windows 1252 table).
//              Any name is taken; while it is not one of these, ReadText and WriteText
//              fail.
//   Size, State (read only)   the byte count; 0 closed, 1 open.
//   Open()     opens an empty stream at Position 0; a Source is not supported.
//   Close()    drops the contents.
//   Write(bytes)              binary mode: writes a VT_UI1 array at Position, overwriting and
//                             extending, and moves Position past it.
//   Read([count])             binary mode: the bytes from Position to the end (or at most
//                             count), as a VT_UI1 array with lower bound 0, VT_EMPTY when
//                             there are none; moves Position past them.
//   ReadText([count])         text mode: the text from Position to the end (or at most count
//                             UTF-16 units), decoded; at Position 0 a leading byte order mark
//                             of the charset ("UTF-8" EF BB BF, "Unicode" FF FE) is skipped.
//   WriteText(text, [option]) text mode: writes the text encoded at Position, overwriting and
//                             extending; at Position 0 the charset's byte order mark goes
//                             first (none for the other charsets). Option 1 adds CR LF.
//                             A character that the charset lacks becomes "?".
//   SetEOS()   cuts the stream at Position.
// Every member but Type and Charset fails on a closed stream. A member that fails changes
// nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/automation.h"

namespace mvsearch {

inline constexpr std::string_view ADODB_STREAM_PROG_ID = "Adodb.Stream";

inline constexpr std::int32_t AD_TYPE_BINARY = 1;
inline constexpr std::int32_t AD_TYPE_TEXT = 2;
inline constexpr std::int32_t AD_STATE_CLOSED = 0;
inline constexpr std::int32_t AD_STATE_OPEN = 1;
inline constexpr std::int32_t AD_READ_ALL = -1;
inline constexpr std::int32_t AD_WRITE_CHAR = 0;
inline constexpr std::int32_t AD_WRITE_LINE = 1;

// ADO's errors as the stream reports them: 0x800A0000 plus the ADO error number.
inline constexpr HRESULT AD_ERR_INVALID_ARGUMENT = static_cast<HRESULT>(0x800A0BB9);       // 3001
inline constexpr HRESULT AD_ERR_ILLEGAL_OPERATION = static_cast<HRESULT>(0x800A0C93);      // 3219
inline constexpr HRESULT AD_ERR_FEATURE_NOT_AVAILABLE = static_cast<HRESULT>(0x800A0CB3);  // 3251
inline constexpr HRESULT AD_ERR_OBJECT_CLOSED = static_cast<HRESULT>(0x800A0E78);          // 3704
inline constexpr HRESULT AD_ERR_OBJECT_OPEN = static_cast<HRESULT>(0x800A0E79);            // 3705

// A new, closed stream: Type 2, Charset "Unicode".
[[nodiscard]] std::unique_ptr<Dispatch> create_adodb_stream();

}  // namespace mvsearch
