// SPDX-License-Identifier: MIT
// Replacing a saved file: permissions, what is refused, links, and what is
// left on the disc when a save fails or the process is ended by a signal.
#include "core/file_replacement.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "support/file_bytes.h"
#include "support/program_run.h"
#include "support/temp_folder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadWholeFile;
using testing_support::TempFolder;

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Saves `text` to `path` through a FileReplacement.
Status Save(const fs::path& path, const std::string& text,
            TemporaryFile temporary = TemporaryFile::kUnnamedWhereSupported) {
  FileReplacement replacement;
  if (Status begun = replacement.Begin(path.string(), temporary); !begun.ok()) {
    return begun;
  }
  if (::write(replacement.descriptor(), text.data(), text.size()) !=
      static_cast<ssize_t>(text.size())) {
    return Status(StatusCode::kWriteFailed, "short write");
  }
  return replacement.Commit();
}

mode_t ModeOf(const fs::path& path) {
  struct stat s {};
  EXPECT_EQ(::lstat(path.c_str(), &s), 0) << path;
  return s.st_mode;
}

class Replacement : public ::testing::TestWithParam<TemporaryFile> {
 protected:
  TempFolder folder_{"replace"};
};

// A new file gets 0666 less the umask, a replaced one keeps its bits; while
// the save runs the target is untouched, and nothing else stays behind.
TEST_P(Replacement, ReplacesWholeAndKeepsThePermissions) {
  const fs::path target = folder_.path() / "t.txt";
  const mode_t old_umask = ::umask(027);
  EXPECT_TRUE(Save(target, "first", GetParam()).ok());
  ::umask(old_umask);
  EXPECT_EQ(ModeOf(target) & 07777, 0640u);
  ASSERT_EQ(::chmod(target.c_str(), 0604), 0);

  FileReplacement replacement;
  ASSERT_TRUE(replacement.Begin(target.string(), GetParam()).ok());
  ASSERT_EQ(::write(replacement.descriptor(), "second", 6), 6);
  EXPECT_EQ(ReadWholeFile(target), "first");
  // A named temporary file sits beside the target as "t.txt.XXXXXX".
  const std::set<std::string> during = Names(folder_.path());
  if (GetParam() == TemporaryFile::kNamed) {
    ASSERT_EQ(during.size(), 2u);
    EXPECT_EQ(during.rbegin()->substr(0, 6), "t.txt.");
    EXPECT_EQ(during.rbegin()->size(), 12u);
  }
  ASSERT_TRUE(replacement.Commit().ok());
  EXPECT_EQ(ReadWholeFile(target), "second");
  EXPECT_EQ(ModeOf(target) & 07777, 0604u);
  EXPECT_EQ(Names(folder_.path()), std::set<std::string>{"t.txt"});

  // A cancelled save leaves the old file alone.
  ASSERT_TRUE(replacement.Begin(target.string(), GetParam()).ok());
  ASSERT_EQ(::write(replacement.descriptor(), "third", 5), 5);
  replacement.Cancel();
  EXPECT_EQ(ReadWholeFile(target), "second");
  EXPECT_EQ(Names(folder_.path()), std::set<std::string>{"t.txt"});
}

// Through a chain of relative links the file at its end is replaced in its
// own folder, keeping its permissions, and every link stays a link.
TEST_P(Replacement, ThroughLinksTheFileTheyReachIsReplaced) {
  const fs::path data = folder_.path() / "data", links = folder_.path() / "l";
  fs::create_directories(data);
  fs::create_directories(links);
  const std::string real = folder_.Write("data/real.png", "old");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  fs::create_symlink("../data/real.png", links / "first.png");
  fs::create_symlink("first.png", links / "second.png");
  ASSERT_TRUE(Save(links / "second.png", "new picture", GetParam()).ok());
  EXPECT_EQ(ReadWholeFile(real), "new picture");
  EXPECT_EQ(ModeOf(real) & 07777, 0640u);
  EXPECT_TRUE(fs::is_symlink(links / "first.png"));
  EXPECT_EQ(fs::read_symlink(links / "second.png"), "first.png");
  EXPECT_EQ(Names(data), std::set<std::string>{"real.png"});
  EXPECT_EQ(Names(links), (std::set<std::string>{"first.png", "second.png"}));

  // A dangling link: the kernel creates the file it names, removed again
  // when the save is cancelled.
  fs::create_symlink("../data/new.png", links / "dangling.png");
  FileReplacement replacement;
  ASSERT_TRUE(
      replacement.Begin((links / "dangling.png").string(), GetParam()).ok());
  replacement.Cancel();
  EXPECT_EQ(Names(data), std::set<std::string>{"real.png"});
  ASSERT_TRUE(Save(links / "dangling.png", "created", GetParam()).ok());
  EXPECT_EQ(ReadWholeFile(data / "new.png"), "created");
  EXPECT_TRUE(fs::is_symlink(links / "dangling.png"));
  EXPECT_EQ(Names(data), (std::set<std::string>{"new.png", "real.png"}));
}

INSTANTIATE_TEST_SUITE_P(
    Temporary, Replacement,
    ::testing::Values(TemporaryFile::kUnnamedWhereSupported,
                      TemporaryFile::kNamed));

// Devices, FIFOs, sockets and folders are never replaced, named directly or
// through a link; a FIFO without a reader does not block the save either.
TEST(ReplacementRefusals, OnlyRegularFilesAreReplaced) {
  TempFolder folder("refuse");
  const fs::path f = folder.path();
  ASSERT_EQ(::mkfifo((f / "fifo").c_str(), 0644), 0);
  fs::create_directories(f / "folder");
  fs::create_symlink("fifo", f / "to_fifo");
  fs::create_symlink("folder", f / "to_folder");
  std::string device = "/dev/null";
  if (::geteuid() == 0) {
    // A device of our own, as in the report: root may write over /dev/null
    // itself, and a fault here must not take it.
    ASSERT_EQ(::mknod((f / "mynull").c_str(), S_IFCHR | 0666, makedev(1, 3)),
              0);
    device = (f / "mynull").string();
  }
  fs::create_symlink(device, f / "to_device");
  const std::set<std::string> before = Names(f);
  const struct {
    const char* name;
    const char* reason;
  } cases[] = {{"fifo", kMessageNotRegular},
               {"to_fifo", kMessageNotRegular},
               {"folder", kMessageIsFolder},
               {"to_folder", kMessageIsFolder},
               {"to_device", kMessageNotRegular}};
  for (const auto& c : cases) {
    const Status refused = Save(f / c.name, "picture");
    EXPECT_EQ(refused.code(), StatusCode::kWriteFailed) << c.name;
    EXPECT_EQ(refused.message(), c.reason) << c.name;
  }
  EXPECT_EQ(Names(f), before);
  EXPECT_TRUE(fs::is_fifo(f / "fifo"));
  EXPECT_TRUE(fs::is_character_file(device));
  EXPECT_TRUE(fs::is_symlink(f / "to_device"));
  EXPECT_TRUE(fs::is_empty(f / "folder"));
}

// A link of another user in a sticky world-writable folder (the shared
// temporary folder) is not followed by root where fs.protected_symlinks is
// set: the save is refused as a plain open would be.
TEST(ReplacementRefusals, ProtectedLinksOfOtherUsersAreNotFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to own a link as nobody";
  if (ReadWholeFile("/proc/sys/fs/protected_symlinks").substr(0, 1) != "1") {
    GTEST_SKIP() << "fs.protected_symlinks is not 1 on this machine";
  }
  TempFolder folder("sticky");
  const fs::path f = folder.path();
  ASSERT_EQ(::chmod(f.c_str(), 01777), 0);
  const std::string victim = folder.Write("victim.txt", "someone's file");
  fs::create_symlink(victim, f / "pic.png");
  ASSERT_EQ(::lchown((f / "pic.png").c_str(), 65534, 65534), 0);
  const Status refused = Save(f / "pic.png", "picture");
  EXPECT_EQ(refused.message(), "Permission denied");
  EXPECT_EQ(ReadWholeFile(victim), "someone's file");
  EXPECT_EQ(Names(f), (std::set<std::string>{"pic.png", "victim.txt"}));
}

struct sigaction ActionOf(int signal_number) {
  struct sigaction action {};
  ::sigaction(signal_number, nullptr, &action);
  return action;
}

// A process ended by a signal in the middle of a save with a named
// temporary file leaves only the old file, and ends by that signal.
TEST(ReplacementSignals, EndingTheProcessRemovesTheTemporaryFile) {
  TempFolder folder("signal");
  const std::string target = folder.Write("t.png", "old");
  for (int signal_number : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const rlimit no_core{0, 0};  // SIGQUIT would dump one
      ::setrlimit(RLIMIT_CORE, &no_core);
      FileReplacement replacement;
      const bool begun = replacement.Begin(target, TemporaryFile::kNamed).ok();
      const ssize_t written = ::write(replacement.descriptor(), "new", 3);
      const char state = begun && written == 3 ? 'y' : 'n';
      (void)!::write(ready[1], &state, 1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char state = 0;
    ASSERT_EQ(::read(ready[0], &state, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(state, 'y');
    EXPECT_EQ(Names(folder.path()).size(), 2u) << "no temporary file";
    ::kill(child, signal_number);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number)
        << "signal " << signal_number << ", status " << status;
    EXPECT_EQ(Names(folder.path()), std::set<std::string>{"t.png"})
        << "signal " << signal_number;
    EXPECT_EQ(ReadWholeFile(target), "old");
  }
}

// The handlers exist only while a named temporary file does, and a signal
// the program ignores stays ignored.
TEST(ReplacementSignals, HandlersOnlyDuringTheSaveAndNeverOverAnother) {
  TempFolder folder("handlers");
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGHUP, &ignore, &previous), 0);
  ASSERT_EQ(ActionOf(SIGTERM).sa_handler, SIG_DFL);
  {
    FileReplacement replacement;
    ASSERT_TRUE(
        replacement
            .Begin((folder.path() / "t.png").string(), TemporaryFile::kNamed)
            .ok());
    EXPECT_NE(ActionOf(SIGTERM).sa_handler, SIG_DFL);
    EXPECT_EQ(ActionOf(SIGHUP).sa_handler, SIG_IGN);
    EXPECT_TRUE(replacement.Commit().ok());
  }
  EXPECT_EQ(ActionOf(SIGTERM).sa_handler, SIG_DFL);
  EXPECT_EQ(ActionOf(SIGHUP).sa_handler, SIG_IGN);
  ::sigaction(SIGHUP, &previous, nullptr);
  EXPECT_TRUE(Save(folder.path() / "u.png", "x").ok());
  EXPECT_EQ(ActionOf(SIGTERM).sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace orvane
