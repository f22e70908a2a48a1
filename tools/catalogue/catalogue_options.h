// The command line of mvsearch-catalogue, the catalogue stand-in.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_site.h"

namespace mvsearch {

inline constexpr std::string_view CATALOGUE_USAGE =
    "usage: mvsearch-catalogue [--port N] [--data PATH] [--generate N] [--fault MODE]\n"
    "                          [--delay-ms N] [--quiet]\n"
    "Plays the catalogue site on 127.0.0.1 and prints the port it listens on as the first\n"
    "line of standard output. Stops on SIGTERM or SIGINT.\n"
    "  --port N       port to listen on; 0 (the default) picks a free one\n"
    "  --data PATH    catalogue data file (default: catalogue.tsv next to the program,\n"
    "                 or ../share/mvsearch/catalogue.tsv from it)\n"
    "  --generate N   every search finds N generated entries instead\n"
    "  --fault MODE   slow, reset, bad-utf8, 404, no-markers or long-title\n"
    "  --delay-ms N   the delay of --fault slow (default 3000)\n"
    "  --quiet        no log on standard error\n";

struct CatalogueOptions {
  int port = 0;
  std::string data_path;  // empty: the default places
  int generate = 0;
  CatalogueFault fault = CatalogueFault::kNone;
  std::chrono::milliseconds slow_delay{3000};
  bool quiet = false;
  bool help = false;
  std::string error;  // set when the command line is wrong
};

// Parses the arguments after the program name.
[[nodiscard]] CatalogueOptions parse_catalogue_options(const std::vector<std::string_view>& args);

}  // namespace mvsearch
