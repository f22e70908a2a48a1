// Stand-ins for the Windows code-page functions MultiByteToWideChar and
// WideCharToMultiByte, with the Windows arguments and results.
//
// Code pages: 936 (GBK, the Windows table: 0x80 is the euro sign, lead bytes 0x81..0xFE),
// 65001 (UTF-8) and 0, the ANSI code page, which is 936 here. Any other code page fails.
//
// Only flags 0 are supported, and with them nothing is fatal:
// - invalid or truncated UTF-8 becomes U+FFFD;
// - a code page 936 byte that starts no valid character (a lead byte at the end of the
//   input, or one followed by a byte that cannot trail it) becomes "?" (U+003F); a byte
//   that cannot trail is then read again on its own, so ASCII after it survives;
// - a character that code page 936 lacks, and a lone surrogate, becomes the default
//   character "?"; for UTF-8 a lone surrogate becomes U+FFFD (EF BF BD).
// No best-fit mapping is made: a character without an exact mapping is substituted.
#pragma once

namespace mvsearch {

inline constexpr unsigned CP_ACP = 0;
inline constexpr unsigned CP_GBK = 936;
inline constexpr unsigned CP_UTF8 = 65001;

// Converts input_length bytes (-1: up to and including the terminating NUL) to UTF-16.
// With output_units 0 it only counts and output is ignored. Returns the units written or
// needed (the terminator counted when it was part of the input), or 0 on failure: an
// unknown code page, flags other than 0, a null input, an input length of 0 or below -1,
// a null output with output_units above 0, or an output buffer that is too small (then
// nothing is written).
int MultiByteToWideChar(unsigned code_page, unsigned long flags, const char* input,
                        int input_length, char16_t* output, int output_units);

// Converts input_length UTF-16 units (-1: up to and including the terminating NUL) to the
// code page. With output_bytes 0 it only counts and output is ignored. For 936,
// default_char (when not null) points to the single byte that replaces what the code
// page lacks, and *used_default_char (when not null) is set to 1 if a replacement was
// made, else 0; for 65001 both must be null. Returns the bytes written or needed, or 0 on
// failure, under the same rules as MultiByteToWideChar.
int WideCharToMultiByte(unsigned code_page, unsigned long flags, const char16_t* input,
                        int input_length, char* output, int output_bytes, const char* default_char,
                        int* used_default_char);

}  // namespace mvsearch
