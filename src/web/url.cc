#include "web/url.h"

#include <utility>

#include "runtime/number_text.h"
#include "runtime/text_ops.h"
#include "textutil/text_cutting.h"

namespace mvsearch {
namespace {

constexpr std::string_view HTTP_PREFIX = "http://";
constexpr std::string_view HTTPS_PREFIX = "https://";
constexpr int DEFAULT_HTTP_PORT = 80;
constexpr int DEFAULT_HTTPS_PORT = 443;

Text scheme_and_host(Text s, bool domain_only) {
  if (text_right(s, 1) != "/") s += '/';
  if (text_left(s, text_length(HTTPS_PREFIX)) == HTTPS_PREFIX) {
    s = text_between(s, HTTPS_PREFIX, "/");
  } else {
    if (find_text(s, HTTP_PREFIX) == -1) s.insert(0, HTTP_PREFIX);
    s = text_between(s, HTTP_PREFIX, "/");
  }
  if (domain_only) {
    const TextArray labels = split_text(s, ".");
    const int n = labels.size();
    if (n > 1) s = labels[n - 1] + "." + labels[n];
  }
  return s;
}

Text last_labels(Text s, bool domain_only, int levels) {
  s = replace_text(s, HTTP_PREFIX, "", {}, {}, true);
  s = replace_text(s, HTTPS_PREFIX, "", {}, {}, true);
  const int slash = find_text(s, "/");
  if (slash != -1) s = text_left(s, slash - 1);

  const int length = text_length(s);
  int h = length;
  // Once no "." is left h stays -1, so the remaining rounds can be skipped.
  for (int round = 0; round < levels && h != -1; ++round) h = find_text_reverse(s, ".", h);
  const int d = find_text_reverse(s, ".", h);

  if (domain_only) return text_right(s, length - d);
  if (d != -1) {
    const int d2 = find_text_reverse(s, ".", d);
    if (d2 != -1) return text_right(s, length - d2);
  }
  return s;
}

}  // namespace

Text url_host(std::string_view url, Optional<bool> domain_only, Optional<bool> keep_port,
              Optional<int> levels) {
  Text s = to_lower(url);
  s = levels.provided() ? last_labels(std::move(s), domain_only.value(), levels.value())
                        : scheme_and_host(std::move(s), domain_only.value());
  if (keep_port.value()) return s;
  const int colon = find_text(s, ":");
  return colon != -1 ? text_left(s, colon - 1) : s;
}

int url_port(std::string_view url) {
  const Text host = url_host(url, {}, true);
  const int colon = find_text_reverse(host, ":");
  if (colon == -1) {
    return text_left(to_lower(url), 5) == "https" ? DEFAULT_HTTPS_PORT : DEFAULT_HTTP_PORT;
  }
  return to_int(text_right(host, text_length(host) - colon));
}

Text url_path(std::string_view url) {
  const Text host = url_host(url);
  const int a = find_text(url, host, 1, true);
  const int b = find_text(url, "/", a, true);
  if (b <= 0) return "/";
  return text_right(url, text_length(url) - b + 1);
}

}  // namespace mvsearch
