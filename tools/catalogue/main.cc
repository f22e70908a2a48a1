// mvsearch-catalogue: the catalogue site played on a loopback port, for the demo, the
// black-box tests and the benchmarks.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

#include "catalogue/catalogue_entry.h"
#include "catalogue/catalogue_options.h"
#include "catalogue/catalogue_site.h"
#include "loopback_server/loopback_server.h"

namespace {

std::string default_data_path() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "catalogue.tsv";
  const std::filesystem::path beside = program.parent_path() / "catalogue.tsv";
  if (std::filesystem::exists(beside, error)) return beside.string();
  return (program.parent_path().parent_path() / "share" / "mvsearch" / "catalogue.tsv").string();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace mvsearch;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  CatalogueOptions options = parse_catalogue_options(args);
  if (options.help) {
    std::cout << CATALOGUE_USAGE;
    return 0;
  }
  if (!options.error.empty()) {
    std::cerr << "mvsearch-catalogue: " << options.error << "\n" << CATALOGUE_USAGE;
    return 2;
  }
  if (options.data_path.empty()) options.data_path = default_data_path();
  CatalogueData data = load_catalogue(options.data_path);
  if (!data.error.empty()) {
    std::cerr << "mvsearch-catalogue: " << data.error << "\n";
    return 1;
  }

  // The server's threads inherit this mask, so the signals reach only sigwait() below.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  try {
    LoopbackServer server({}, static_cast<std::uint16_t>(options.port));
    CatalogueSiteOptions site_options;
    site_options.entries = std::move(data.entries);
    site_options.generate = options.generate;
    site_options.fault = options.fault;
    site_options.slow_delay = options.slow_delay;
    site_options.port = server.port();
    const std::size_t entry_count = site_options.entries.size();
    const auto site = std::make_shared<const CatalogueSite>(std::move(site_options));
    const auto log_mutex = std::make_shared<std::mutex>();
    const bool quiet = options.quiet;
    server.set_handler([site, log_mutex, quiet](const LoopbackRequest& request) {
      std::string summary;
      LoopbackResponse response = site->respond(request, quiet ? nullptr : &summary);
      if (!quiet) {
        const std::lock_guard lock(*log_mutex);
        std::cerr << summary << std::endl;
      }
      return response;
    });

    std::cout << server.port() << std::endl;
    if (!quiet) {
      std::cerr << "mvsearch-catalogue: " << entry_count << " entries from " << options.data_path;
      if (options.generate > 0) std::cerr << ", " << options.generate << " generated results";
      if (options.fault != CatalogueFault::kNone) {
        std::cerr << ", fault " << catalogue_fault_name(options.fault);
      }
      std::cerr << ", on " << server.url("/") << std::endl;
    }

    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    server.Stop();
    if (!quiet) std::cerr << "mvsearch-catalogue: stopped" << std::endl;
  } catch (const std::exception& error) {
    std::cerr << "mvsearch-catalogue: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
