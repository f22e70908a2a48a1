// The parts of the window services that every backend shares: property values, exit
// routines and the hand-off of addresses to the shell.
#include "runtime/window_services.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/shell_open.h"
#include "runtime/number_text.h"

namespace mvsearch {
namespace {

std::vector<ExitRoutine>& exit_routines() {
  static std::vector<ExitRoutine> routines;
  return routines;
}

void run_exit_routines_at_exit() { run_exit_routines(); }

}  // namespace

bool PropertyValue::as_bool() const {
  if (const bool* b = std::get_if<bool>(&value_)) return *b;
  if (const int* i = std::get_if<int>(&value_)) return *i != 0;
  return !std::get<Text>(value_).empty();
}

int PropertyValue::as_int() const {
  if (const bool* b = std::get_if<bool>(&value_)) return *b ? 1 : 0;
  if (const int* i = std::get_if<int>(&value_)) return *i;
  return to_int(std::get<Text>(value_));
}

Text PropertyValue::as_text() const {
  if (const Text* t = std::get_if<Text>(&value_)) return *t;
  return to_text(as_int());
}

void register_exit_routine(ExitRoutine routine) {
  if (routine == nullptr) return;
  // The list is made before the exit hook is installed, so that it is still there when
  // the hook runs.
  std::vector<ExitRoutine>& routines = exit_routines();
  static const bool installed = std::atexit(run_exit_routines_at_exit) == 0;
  (void)installed;
  if (std::find(routines.begin(), routines.end(), routine) == routines.end()) {
    routines.push_back(routine);
  }
}

void run_exit_routines() {
  // Taken out first, so that a routine that ends the program runs nothing twice.
  std::vector<ExitRoutine> routines;
  routines.swap(exit_routines());
  for (const ExitRoutine routine : routines) routine();
}

void open_url(std::string_view address) {
  const std::string file(address);
  // Failure is silent: the result tells only whether the opener started.
  (void)ShellExecuteA(nullptr, "open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace mvsearch
