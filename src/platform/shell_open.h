// Stand-in for the shell's ShellExecuteA with the verb "open": hands a document or web
// address to the desktop's opener, xdg-open, and a seam through which tests watch it.
#pragma once

#include <cstdint>
#include <string_view>

namespace mvsearch {

// Show commands and results of ShellExecuteA; a result above 32 means success.
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr std::intptr_t SE_ERR_FNF = 2;
inline constexpr std::intptr_t SE_ERR_OOM = 8;
inline constexpr std::intptr_t SE_ERR_NOASSOC = 31;
inline constexpr std::intptr_t SHELL_EXECUTE_OK = 42;

// Opens `file` (code page 936) with `operation` "open" (or null, which means the same):
// converts it to UTF-8 and starts "xdg-open", found on PATH, with it as the only argument,
// without a shell and without waiting for it. The opener is started from a short-lived
// intermediate process that is reaped at once, so it never becomes our child or a zombie.
// `window` and `show_command` mean nothing here; `parameters` apply to programs only and are
// ignored; a non-empty `directory` becomes the opener's working directory.
// Returns SHELL_EXECUTE_OK when the opener was started, SE_ERR_FNF when it could not be
// (no xdg-open, no file), SE_ERR_NOASSOC for another verb, SE_ERR_OOM when no process could
// be made.
std::intptr_t ShellExecuteA(void* window, const char* operation, const char* file,
                            const char* parameters, const char* directory, int show_command);

// Replaces the step that starts the opener for this process; nullptr restores xdg-open.
// The launcher receives the UTF-8 argument that xdg-open would get and returns whether it
// could start it. Tests use this.
using ShellLauncher = bool (*)(std::string_view utf8_file);
void set_shell_launcher(ShellLauncher launcher);

}  // namespace mvsearch
