#include "catalogue/catalogue_options.h"

#include <charconv>

namespace mvsearch {
namespace {

bool parse_number(std::string_view text, int low, int high, int& value) {
  int parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || parsed < low ||
      parsed > high) {
    return false;
  }
  value = parsed;
  return true;
}

}  // namespace

CatalogueOptions parse_catalogue_options(const std::vector<std::string_view>& args) {
  CatalogueOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg == "--quiet") {
      options.quiet = true;
      continue;
    }
    if (arg != "--port" && arg != "--data" && arg != "--generate" && arg != "--fault" &&
        arg != "--delay-ms") {
      options.error = "unknown argument " + std::string(arg);
      return options;
    }
    if (i + 1 == args.size()) {
      options.error = std::string(arg) + " needs a value";
      return options;
    }
    const std::string_view value = args[++i];
    int delay_ms = 0;
    bool ok = true;
    if (arg == "--port") {
      ok = parse_number(value, 0, 65535, options.port);
    } else if (arg == "--data") {
      options.data_path = value;
      ok = !value.empty();
    } else if (arg == "--generate") {
      ok = parse_number(value, 0, 10'000'000, options.generate);
    } else if (arg == "--delay-ms") {
      ok = parse_number(value, 0, 600'000, delay_ms);
      options.slow_delay = std::chrono::milliseconds(delay_ms);
    } else if (const auto fault = parse_catalogue_fault(value)) {
      options.fault = *fault;
    } else {
      ok = false;
    }
    if (!ok) {
      options.error = "bad value for " + std::string(arg) + ": " + std::string(value);
      return options;
    }
  }
  return options;
}

}  // namespace mvsearch
