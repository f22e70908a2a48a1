// The Internet API: the eight Windows Internet (WinINet) calls the web request routine makes,
// with their Windows names, arguments and results, served by libcurl.
//
// Handles are opaque pointer-sized values, 0 meaning failure; every handle is closed with
// InternetCloseHandle. What the platform does on its own is done here too:
// - The request line and Host come from the handles; Content-Length is sent for every
//   method but GET; a User-Agent line is made from the agent only when the caller's header
//   block has none (the agent's first line only); a Cookie line comes from the process-wide cookie
//   store. Nothing else is added: the caller's header lines go out in its order and bytes (a line
//   with an empty value goes out as "Name:"; empty lines and lines without a name are dropped).
// - Flag word: answers are never taken from a cache; without INTERNET_FLAG_NO_COOKIES the
//   one in-memory cookie store of the process is read and written; redirects are followed
//   (http and https both ways, a POST turning into a GET on 301, 302 and 303) unless
//   INTERNET_FLAG_NO_AUTO_REDIRECT; INTERNET_FLAG_SECURE speaks https.
// - Certificate problems stop a request unless the security flags waive them: the chain is
//   not checked when IGNORE_UNKNOWN_CA, IGNORE_CERT_DATE_INVALID and IGNORE_WRONG_USAGE are
//   all set, the host name not when IGNORE_CERT_CN_INVALID is set.
// - Connecting gives up after 60 s; a transfer that receives nothing for 60 s ends.
// - Bytes of a path that would break the request line (control bytes, 0x7F, space, "#")
//   are sent percent-encoded.
// - The environment variable MVSEARCH_CONNECT_TO ("HOST:PORT:CONNECT-HOST:CONNECT-PORT"
//   entries, comma-separated) sends connections for HOST:PORT to another address; the Host
//   line is not changed. No other configuration is read.
// HttpSendRequestA performs the whole transfer; InternetReadFile then hands out the body.
#pragma once

#include <cstdint>

namespace mvsearch {

using HINTERNET = std::uintptr_t;
using DWORD = std::uint32_t;
using DWORD_PTR = std::uintptr_t;
using BOOL = int;  // non-zero for success
using INTERNET_PORT = std::uint16_t;

// InternetOpenA access types.
inline constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;
inline constexpr DWORD INTERNET_OPEN_TYPE_PROXY = 3;

// InternetConnectA service.
inline constexpr DWORD INTERNET_SERVICE_HTTP = 3;

// HttpOpenRequestA flag word.
inline constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;
inline constexpr DWORD INTERNET_FLAG_NEED_FILE = 0x10;
inline constexpr DWORD INTERNET_FLAG_NO_COOKIES = 0x80000;
inline constexpr DWORD INTERNET_FLAG_NO_AUTO_REDIRECT = 0x200000;
inline constexpr DWORD INTERNET_FLAG_SECURE = 0x800000;
inline constexpr DWORD INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS = 0x4000;

// InternetSetOptionA: the security flags of a request, a 32-bit value.
inline constexpr DWORD INTERNET_OPTION_SECURITY_FLAGS = 31;
inline constexpr DWORD SECURITY_FLAG_IGNORE_REVOCATION = 0x80;
inline constexpr DWORD SECURITY_FLAG_IGNORE_UNKNOWN_CA = 0x100;
inline constexpr DWORD SECURITY_FLAG_IGNORE_WRONG_USAGE = 0x200;
inline constexpr DWORD SECURITY_FLAG_IGNORE_CERT_CN_INVALID = 0x1000;
inline constexpr DWORD SECURITY_FLAG_IGNORE_CERT_DATE_INVALID = 0x2000;
inline constexpr DWORD SECURITY_FLAG_IGNORE_REDIRECT_TO_HTTPS = 0x4000;
inline constexpr DWORD SECURITY_FLAG_IGNORE_REDIRECT_TO_HTTP = 0x8000;

// HttpQueryInfoA: the final response's status line and header lines, each ending in CR LF,
// then one empty line.
inline constexpr DWORD HTTP_QUERY_RAW_HEADERS_CRLF = 22;

// A session. access_type INTERNET_OPEN_TYPE_DIRECT, or INTERNET_OPEN_TYPE_PROXY with `proxy`
// in the platform's syntax: entries separated by spaces or ";", each "scheme=host:port"
// (used for that scheme) or a bare "host:port" (used for all); `proxy_bypass` lists hosts
// reached directly. 0 for an unknown access type or a proxy type without a proxy.
HINTERNET InternetOpenA(const char* agent, DWORD access_type, const char* proxy,
                        const char* proxy_bypass, DWORD flags);

// A connection handle for `server`:`port` (nothing is sent yet). Only
// INTERNET_SERVICE_HTTP; user and password are not supported and must be null.
HINTERNET InternetConnectA(HINTERNET internet, const char* server, INTERNET_PORT port,
                           const char* user, const char* password, DWORD service, DWORD flags,
                           DWORD_PTR context);

// A request: method ("GET" when null), path with query ("/" when null), version
// ("HTTP/1.1" when null, or "HTTP/1.0"), the flag word. Referrer and accept types are not
// supported and must be null.
HINTERNET HttpOpenRequestA(HINTERNET connection, const char* verb, const char* object_name,
                           const char* version, const char* referrer, const char** accept_types,
                           DWORD flags, DWORD_PTR context);

// Only INTERNET_OPTION_SECURITY_FLAGS on a request, with a 4-byte value.
BOOL InternetSetOptionA(HINTERNET handle, DWORD option, const void* buffer, DWORD length);

// Sends the request and receives the whole answer. `headers` holds header lines joined by
// CR LF (`headers_length` bytes; 0xFFFFFFFF: up to the NUL). The body is sent for every
// method but HEAD. FALSE when no answer arrived at all.
BOOL HttpSendRequestA(HINTERNET request, const char* headers, DWORD headers_length,
                      const void* optional, DWORD optional_length);

// Copies up to `to_read` further body bytes to `buffer` and stores their count; a count of
// 0 marks the end of the body. After a transfer that broke off, the bytes that arrived are
// handed out and then 0.
BOOL InternetReadFile(HINTERNET request, void* buffer, DWORD to_read, DWORD* read);

// Only HTTP_QUERY_RAW_HEADERS_CRLF. On success the buffer holds the text and a NUL, and
// `*length` is the text's byte count. A buffer of fewer than text + 1 bytes makes the call
// return FALSE, leaves the buffer untouched and sets `*length` to text + 1. FALSE too when
// no answer arrived. `index` is ignored.
BOOL HttpQueryInfoA(HINTERNET request, DWORD info_level, void* buffer, DWORD* length, DWORD* index);

BOOL InternetCloseHandle(HINTERNET handle);

namespace internet_testing {
// Tests only: shorter connect and no-data timeouts, in seconds (both 60 by default).
void set_timeouts(long connect_seconds, long no_data_seconds);
}  // namespace internet_testing

}  // namespace mvsearch
