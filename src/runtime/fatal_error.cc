#include "runtime/fatal_error.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace mvsearch {
namespace {
std::atomic<FatalErrorPresenter> g_presenter{nullptr};
}  // namespace

void set_fatal_error_presenter(FatalErrorPresenter presenter) { g_presenter.store(presenter); }

void fatal_error(int error_code, std::string_view message) {
  const std::string line = "mvsearch: fatal run-time error: " + std::string(message) +
                           " (error code " + std::to_string(error_code) + ")\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  if (const FatalErrorPresenter presenter = g_presenter.load(); presenter != nullptr) {
    presenter(error_code, message);
  }
  // No exit routines or destructors: the program's state is not to be trusted any more.
  std::_Exit(-1);
}

}  // namespace mvsearch
