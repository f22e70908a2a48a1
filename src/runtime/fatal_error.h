// The fatal run-time error: reported once, then the process ends with exit code -1.
//
// The core library writes the report to stderr. A window layer installs a presenter that
// shows an error box first; the process ends after the presenter returns.
#pragma once

#include <string_view>

namespace mvsearch {

// Error codes of the fatal run-time error.
inline constexpr int ERROR_INDEX_ABOVE_SIZE = 1;
inline constexpr int ERROR_INDEX_BELOW_ONE = 4;

using FatalErrorPresenter = void (*)(int error_code, std::string_view message);

// Installs the routine that shows the error to the user; nullptr removes it.
void set_fatal_error_presenter(FatalErrorPresenter presenter);

// Writes "<message> (error code N)" to stderr, calls the presenter, and exits with -1.
[[noreturn]] void fatal_error(int error_code, std::string_view message);

}  // namespace mvsearch
