// Stand-ins for the Windows code-page functions MultiByteToWideChar and
// WideCharToMultiByte, with the Windows arguments and results.
//
// Code pages: 936 (GBK, the Windows table: 0x80 is the euro sign, lead bytes 0x81..0xFE),
// 65001 (UTF-8) and 0, the ANSI code page, which is 936 here. With flags 0 nothing is
// fatal: invalid input becomes U+FFFD (UTF-8) or "?" (code page 936), and a character
// that the target code page lacks becomes the default character "?".
#pragma once

namespace mvsearch {

inline constexpr unsigned CP_ACP = 0;
inline constexpr unsigned CP_GBK = 936;
inline constexpr unsigned CP_UTF8 = 65001;

// Converts input_length bytes (-1: up to and including the terminating NUL) to UTF-16.
// With output_units 0 it only counts. Returns the units written or needed (the
// terminator counted when it was part of the input), or 0 on failure: an unknown code
// page, a null input, or an output buffer that is too small.
int MultiByteToWideChar(unsigned code_page, unsigned long flags, const char* input,
                        int input_length, char16_t* output, int output_units);

// Converts input_length UTF-16 units (-1: up to and including the terminating NUL) to the
// code page. With output_bytes 0 it only counts. default_char and used_default_char may
// be null; for 65001 both must be null. Returns the bytes written or needed, or 0 on
// failure.
int WideCharToMultiByte(unsigned code_page, unsigned long flags, const char16_t* input,
                        int input_length, char* output, int output_bytes,
                        const char* default_char, int* used_default_char);

}  // namespace mvsearch
