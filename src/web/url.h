// Taking an address apart: its host, its port and its path with the query.
//
// Pure text work on the address as written: scheme prefixes, "/", ":" and "." are searched
// for; user information, IPv6 literals and fragments are not recognised. Odd input gives
// an odd but defined result, never a failure.
#pragma once

#include <string_view>

#include "runtime/optional_arg.h"
#include "runtime/text.h"

namespace mvsearch {

// The host of the lower-cased address.
//
// With `levels` omitted: the text after "https://" (when the address starts with it) or
// after the first "http://" (prefixed when the address holds none) up to the next "/";
// `domain_only` keeps its last two "."-separated labels.
// With `levels` provided (n): the scheme texts are removed and the text before the first
// "/" is cut to its last n+2 labels (n+1 with `domain_only`); too few labels leave it whole.
// In both modes a ":" and what follows it are cut off unless `keep_port` is true.
// `domain_only` and `keep_port` count as false when omitted.
[[nodiscard]] Text url_host(std::string_view url, Optional<bool> domain_only = {},
                            Optional<bool> keep_port = {}, Optional<int> levels = {});

// The number after the host's last ":", read with to_int (no range check: "" gives 0);
// without one, 443 for an address starting with "https" (any letter case), else 80.
[[nodiscard]] int url_port(std::string_view url);

// Everything of the address from the first "/" at or after where the host occurs in it,
// in the address's own letter case; "/" when there is none.
[[nodiscard]] Text url_path(std::string_view url);

}  // namespace mvsearch
