// ShellExecuteA's stand-in, against a fake xdg-open first on PATH that records what it
// was started with.
#include "platform/shell_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace mvsearch {
namespace {

namespace fs = std::filesystem;

// A temporary directory holding the fake opener; PATH leads to it while the test runs.
class FakeOpener {
 public:
  FakeOpener() {
    char pattern[] = "/tmp/mvsearch-shell-open-XXXXXX";
    dir_ = mkdtemp(pattern);
    EXPECT_EQ(mkfifo((dir_ / "gate").c_str(), 0600), 0);
  }
  ~FakeOpener() {
    setenv("PATH", old_path_.c_str(), 1);
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  FakeOpener(const FakeOpener&) = delete;
  FakeOpener& operator=(const FakeOpener&) = delete;

  // Installs the opener: it waits at the gate, then writes its argument count, its
  // arguments (NUL-terminated), its working directory and whether the fd in WATCH_FD
  // reached it.
  void install() {
    const fs::path script = dir_ / "xdg-open";
    std::ofstream out(script);
    out << "#!/bin/sh\n"
        << "read line < '" << (dir_ / "gate").string() << "'\n"
        << "out='" << (dir_ / "out").string() << "'\n"
        << "{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\0' \"$a\"; done; pwd;\n"
        << "  if [ -e /proc/$$/fd/$WATCH_FD ]; then echo fd-open; else echo fd-closed; fi;\n"
        << "} > \"$out.tmp\"\n"
        << "mv \"$out.tmp\" \"$out\"\n";
    out.close();
    fs::permissions(script, fs::perms::owner_all);
    setenv("PATH", (dir_.string() + ":" + old_path_).c_str(), 1);
  }

  void open_gate() const {
    const int fd = open((dir_ / "gate").c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "go\n", 3), 3);
    close(fd);
  }

  // What the opener recorded; empty when it has not finished within 20 s.
  [[nodiscard]] std::string wait_for_record() const {
    const fs::path out = dir_ / "out";
    for (int i = 0; i < 2000 && !fs::exists(out); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::ifstream in(out, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
  }

  [[nodiscard]] const fs::path& dir() const { return dir_; }

 private:
  fs::path dir_;
  std::string old_path_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
};

// True when this process has no child at all, running or zombie.
bool no_children() {
  int status = 0;
  return waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

TEST(ShellOpenTest, HandsTheAddressAsOneArgumentWithoutAShellAndWaitsForNothing) {
  FakeOpener opener;
  opener.install();
  // A descriptor without close-on-exec must not reach the browser.
  const int watched = dup(STDERR_FILENO);
  ASSERT_GE(watched, 3);
  setenv("WATCH_FD", std::to_string(watched).c_str(), 1);

  // GBK 歌, and everything a shell would act on.
  const std::string address = "https://x/a b;c'd\"$(touch pwned)&`id` \xB8\xE8";
  const std::intptr_t result =
      ShellExecuteA(nullptr, "open", address.c_str(), nullptr, opener.dir().c_str(), SW_SHOWNORMAL);
  // The opener is still held at its gate: nothing waited for it, and it is not our child.
  EXPECT_EQ(result, SHELL_EXECUTE_OK);
  EXPECT_TRUE(no_children());
  opener.open_gate();

  const std::string expected = "1\nhttps://x/a b;c'd\"$(touch pwned)&`id` \xE6\xAD\x8C" +
                               std::string(1, '\0') + opener.dir().string() + "\nfd-closed\n";
  EXPECT_EQ(opener.wait_for_record(), expected);
  EXPECT_FALSE(fs::exists(opener.dir() / "pwned"));
  EXPECT_TRUE(no_children());
  close(watched);
  unsetenv("WATCH_FD");
}

TEST(ShellOpenTest, FailsSilentlyAndLeavesNoChild) {
  FakeOpener opener;  // PATH leads to a directory without xdg-open
  setenv("PATH", opener.dir().c_str(), 1);
  EXPECT_EQ(ShellExecuteA(nullptr, "open", "https://x/", nullptr, nullptr, SW_SHOWNORMAL),
            SE_ERR_FNF);
  EXPECT_TRUE(no_children());

  struct Case {
    const char* verb;
    const char* file;
    std::intptr_t result;
  };
  const Case cases[] = {
      {"edit", "https://x/", SE_ERR_NOASSOC},
      {"open", "", SE_ERR_FNF},
      {"open", nullptr, SE_ERR_FNF},
  };
  opener.install();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.verb);
    EXPECT_EQ(ShellExecuteA(nullptr, c.verb, c.file, nullptr, nullptr, SW_SHOWNORMAL), c.result);
  }
  EXPECT_TRUE(no_children());
}

std::vector<std::string> g_launched;
bool record_launch(std::string_view file) {
  g_launched.emplace_back(file);
  return true;
}

TEST(ShellOpenTest, LauncherSeamSeesTheUtf8ArgumentAndANullVerbMeansOpen) {
  g_launched.clear();
  set_shell_launcher(record_launch);
  EXPECT_EQ(ShellExecuteA(nullptr, nullptr, "https://x/\xB8\xE8", nullptr, nullptr, SW_SHOWNORMAL),
            SHELL_EXECUTE_OK);
  set_shell_launcher(nullptr);
  EXPECT_EQ(g_launched, std::vector<std::string>{"https://x/\xE6\xAD\x8C"});
}

}  // namespace
}  // namespace mvsearch
