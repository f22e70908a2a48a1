// web_request: the one HTTP client routine. One synchronous call opens an Internet handle,
// connects, sends one request with a completed header block, optional body and cookies,
// reads the whole body, fetches the raw response headers, closes everything, and collects
// (and optionally merges) the cookies that the response set.
//
// Failures are not reported: a request that cannot be opened gives the empty ByteSet and
// leaves every by-reference argument as it was; a send that fails still runs the later
// steps, so `returned_headers` becomes 5000 spaces (raw headers that need 5000 bytes or more
// with their NUL leave it so too). An HTTP error status is an ordinary answer.
#pragma once

#include <array>
#include <string_view>

#include "runtime/optional_arg.h"
#include "runtime/text.h"

namespace mvsearch {

// Index 0 to 7 of the `method` argument; any other index means GET.
inline constexpr std::array<std::string_view, 8> method_names = {
    "GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};

// `url`: "http://" or "https://" address (a scheme-less one counts as http).
// `method`: index into method_names. `post_text` / `post_bytes`: the body of a non-GET
// request; the bytes win, and when they are empty they receive the bytes of `post_text`.
// `cookies`: sent as a Cookie line; providing it, even empty, switches off the platform's
// own cookie store and allows the merge. `returned_cookies`: the response's Set-Cookie
// pairs joined by "; ", or, after a merge, the merged text that `cookies` then holds too.
// `headers`: extra lines joined by CR LF (read only). `returned_headers`: the raw response
// headers, lines ending in CR LF. `proxy`: empty for a direct connection.
// `merge_returned`, `complete_headers`, `normalize_names` count as true when omitted; the
// other omitted arguments read as empty, 0 or false.
// The result is the response body as read.
ByteSet web_request(std::string_view url, Optional<int> method = {}, Optional<Text> post_text = {},
                    OptionalRef<Text> cookies = {}, OptionalRef<Text> returned_cookies = {},
                    Optional<Text> headers = {}, OptionalRef<Text> returned_headers = {},
                    Optional<bool> no_redirect = {}, OptionalRef<ByteSet> post_bytes = {},
                    Optional<Text> proxy = {}, Optional<bool> merge_returned = {},
                    Optional<bool> complete_headers = {}, Optional<bool> normalize_names = {});

}  // namespace mvsearch
