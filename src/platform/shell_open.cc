#include "platform/shell_open.h"

#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/code_page.h"

extern char** environ;

namespace mvsearch {
namespace {

constexpr const char* OPENER = "xdg-open";

std::atomic<ShellLauncher> g_launcher{nullptr};

// The code page 936 text as UTF-8; empty when it cannot be converted.
std::string gbk_to_utf8(std::string_view gbk) {
  if (gbk.empty()) return {};
  const int length = static_cast<int>(gbk.size());
  const int units = MultiByteToWideChar(CP_GBK, 0, gbk.data(), length, nullptr, 0);
  if (units <= 0) return {};
  std::u16string wide(static_cast<std::size_t>(units), u'\0');
  if (MultiByteToWideChar(CP_GBK, 0, gbk.data(), length, wide.data(), units) != units) return {};
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, utf8.data(), bytes, nullptr, nullptr) !=
      bytes) {
    return {};
  }
  return utf8;
}

// Owns the file actions handed to posix_spawnp.
class SpawnActions {
 public:
  SpawnActions() : ok_(posix_spawn_file_actions_init(&actions_) == 0) {}
  ~SpawnActions() {
    if (ok_) posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;

  [[nodiscard]] bool ok() const { return ok_; }
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_{};
  bool ok_;
};

// Starts xdg-open through an intermediate child that exits as soon as the opener runs:
// the opener is then adopted by init, nothing here waits for it and no zombie is left.
std::intptr_t launch_opener(const std::string& utf8_file, const char* directory) {
  SpawnActions actions;
  if (!actions.ok()) return SE_ERR_OOM;
  // The browser must not inherit our sockets and pipes.
  if (posix_spawn_file_actions_addclosefrom_np(actions.get(), 3) != 0) return SE_ERR_OOM;
  if (directory != nullptr && *directory != '\0' &&
      posix_spawn_file_actions_addchdir_np(actions.get(), directory) != 0) {
    return SE_ERR_OOM;
  }
  // Everything the child needs is built before fork: after it only async-signal-safe
  // work is done (posix_spawnp is clone + exec in glibc, with no allocation).
  std::string program = OPENER;
  std::string argument = utf8_file;
  char* argv[] = {program.data(), argument.data(), nullptr};

  const pid_t middle = fork();
  if (middle < 0) return SE_ERR_OOM;
  if (middle == 0) {
    pid_t opener = 0;
    const int rc = posix_spawnp(&opener, OPENER, actions.get(), nullptr, argv, environ);
    _exit(rc == 0 ? 0 : 127);
  }
  int status = 0;
  while (waitpid(middle, &status, 0) < 0) {
    if (errno != EINTR) return SE_ERR_FNF;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? SHELL_EXECUTE_OK : SE_ERR_FNF;
}

}  // namespace

std::intptr_t ShellExecuteA(void* /*window*/, const char* operation, const char* file,
                            const char* /*parameters*/, const char* directory,
                            int /*show_command*/) {
  if (operation != nullptr && std::strcmp(operation, "open") != 0) return SE_ERR_NOASSOC;
  if (file == nullptr || *file == '\0') return SE_ERR_FNF;
  const std::string utf8_file = gbk_to_utf8(file);
  if (utf8_file.empty()) return SE_ERR_FNF;
  if (const ShellLauncher launcher = g_launcher.load(); launcher != nullptr) {
    return launcher(utf8_file) ? SHELL_EXECUTE_OK : SE_ERR_FNF;
  }
  return launch_opener(utf8_file, directory);
}

void set_shell_launcher(ShellLauncher launcher) { g_launcher.store(launcher); }

}  // namespace mvsearch
