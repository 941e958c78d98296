// SPDX-License-Identifier: MIT
#include "core/file_replacement.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>

namespace orvane {
namespace {

constexpr const char* kMessageChanged = "it changed while it was opened.";

// ---------------------------------------------------------------------------
// Named temporary files still on the disc, for the signal handler.
//
// The handler may only call async-signal-safe functions: it walks a fixed
// table, and unlinkat() each name relative to its folder's descriptor. An
// entry is published by storing its folder last, so that the handler never
// sees a half-written name.

constexpr int kCleanupSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
constexpr int kSignalCount = 4;
constexpr int kPendingSlots = 64;

struct PendingName {
  std::atomic<int> folder{-1};
  char name[NAME_MAX + 1] = {};
};

PendingName g_pending[kPendingSlots];
static_assert(std::atomic<int>::is_always_lock_free);

std::mutex g_pending_mutex;  // guards the claims and the handlers
bool g_claimed[kPendingSlots] = {};
int g_pending_count = 0;
bool g_installed[kSignalCount] = {};
struct sigaction g_previous[kSignalCount];

extern "C" void RemovePendingAndRaise(int signal_number) {
  const int saved_errno = errno;
  for (PendingName& pending : g_pending) {
    const int folder = pending.folder.load(std::memory_order_acquire);
    if (folder >= 0) ::unlinkat(folder, pending.name, 0);
  }
  // The process ends as the signal's default action ends it: the signal,
  // blocked while this runs, is delivered again once the handler returns.
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  ::sigaction(signal_number, &default_action, nullptr);
  ::raise(signal_number);
  errno = saved_errno;
}

// Installs the handler for the signals whose action is the default one; a
// signal the program ignores or handles itself is its own business.
void InstallHandlers() {
  struct sigaction ours {};
  ours.sa_handler = RemovePendingAndRaise;
  sigemptyset(&ours.sa_mask);
  for (int s : kCleanupSignals) sigaddset(&ours.sa_mask, s);
  for (int i = 0; i < kSignalCount; ++i) {
    g_installed[i] = false;
    if (::sigaction(kCleanupSignals[i], nullptr, &g_previous[i]) != 0) continue;
    const bool is_default = !(g_previous[i].sa_flags & SA_SIGINFO) &&
                            g_previous[i].sa_handler == SIG_DFL;
    if (!is_default) continue;
    g_installed[i] = ::sigaction(kCleanupSignals[i], &ours, nullptr) == 0;
  }
}

// Puts back what was there, unless the program installed a handler of its
// own meanwhile.
void RestoreHandlers() {
  for (int i = 0; i < kSignalCount; ++i) {
    if (!g_installed[i]) continue;
    struct sigaction current {};
    if (::sigaction(kCleanupSignals[i], nullptr, &current) == 0 &&
        !(current.sa_flags & SA_SIGINFO) &&
        current.sa_handler == RemovePendingAndRaise) {
      ::sigaction(kCleanupSignals[i], &g_previous[i], nullptr);
    }
    g_installed[i] = false;
  }
}

// Publishes `name` in `folder` for removal on a signal: the entry's index,
// or -1 when the table is full (the file is then only removed by the
// program itself).
int Publish(int folder, const std::string& name) {
  const std::lock_guard<std::mutex> lock(g_pending_mutex);
  for (int i = 0; i < kPendingSlots; ++i) {
    if (g_claimed[i]) continue;
    g_claimed[i] = true;
    std::memcpy(g_pending[i].name, name.c_str(), name.size() + 1);
    if (g_pending_count++ == 0) InstallHandlers();
    g_pending[i].folder.store(folder, std::memory_order_release);
    return i;
  }
  return -1;
}

void Withdraw(int& entry) {
  if (entry < 0) return;
  const std::lock_guard<std::mutex> lock(g_pending_mutex);
  g_pending[entry].folder.store(-1, std::memory_order_release);
  g_claimed[entry] = false;
  if (--g_pending_count == 0) RestoreHandlers();
  entry = -1;
}

// ---------------------------------------------------------------------------

Status Failure(const char* reason) {
  return Status(StatusCode::kWriteFailed, reason);
}

Status SystemFailure(int error_number) {
  return Status(StatusCode::kWriteFailed, std::strerror(error_number));
}

// Six letters or digits, as in "t.png.aWByhq".
std::string RandomSuffix() {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::atomic<unsigned> counter{0};
  unsigned char bytes[6];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) !=
      static_cast<ssize_t>(sizeof bytes)) {
    unsigned long long v =
        static_cast<unsigned long long>(::getpid()) * 2654435761ULL +
        counter.fetch_add(1) * 40503ULL;
    for (unsigned char& b : bytes) {
      b = static_cast<unsigned char>(v);
      v = v * 6364136223846793005ULL + 1442695040888963407ULL;
    }
  }
  std::string suffix;
  for (unsigned char b : bytes) suffix += kLetters[b % (sizeof kLetters - 1)];
  return suffix;
}

// Gives the temporary file a fresh name beside the target with `make`
// (which creates the name, or fails with errno as open() does), published
// for removal on a signal before it exists, so that no moment is left when
// a signal would leave it behind. Returns 0 or the error number.
int NameTemporary(int folder, const std::string& target_name, std::string& name,
                  int& entry, const std::function<int(const char*)>& make) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = target_name + "." + RandomSuffix();
    if (candidate.size() > NAME_MAX) return ENAMETOOLONG;
    entry = Publish(folder, candidate);
    if (make(candidate.c_str()) == 0) {
      name = candidate;
      return 0;
    }
    const int error_number = errno;
    Withdraw(entry);
    if (error_number != EEXIST) return error_number;
  }
  return EEXIST;
}

void SplitPath(const std::string& path, std::string& folder,
               std::string& name) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) {
    folder = ".";
    name = path;
  } else {
    folder = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
  }
}

}  // namespace

FileReplacement::~FileReplacement() {
  Cancel();
}

Status FileReplacement::Begin(const std::string& path,
                              TemporaryFile temporary) {
  Cancel();
  Status status = Open(path, temporary);
  if (!status.ok()) Cancel();
  return status;
}

Status FileReplacement::Open(const std::string& path, TemporaryFile temporary) {
  std::string target = path;
  bool exists = false;
  mode_t mode = 0666;
  bool through_link = false;  // the target is the file a link reached
  dev_t opened_device = 0;
  ino_t opened_inode = 0;
  struct stat entry {};
  if (::lstat(path.c_str(), &entry) != 0) {
    if (errno != ENOENT) return SystemFailure(errno);
  } else if (S_ISDIR(entry.st_mode)) {
    return Failure(kMessageIsFolder);
  } else if (!S_ISREG(entry.st_mode) && !S_ISLNK(entry.st_mode)) {
    return Failure(kMessageNotRegular);
  } else {
    const bool link = S_ISLNK(entry.st_mode);
    // What a link reaches is looked at first, so that a device is not even
    // opened when the link plainly leads to one; the open below decides.
    struct stat reached {};
    bool dangling = false;
    if (link) {
      if (::stat(path.c_str(), &reached) == 0) {
        if (S_ISDIR(reached.st_mode)) return Failure(kMessageIsFolder);
        if (!S_ISREG(reached.st_mode)) return Failure(kMessageNotRegular);
      } else {
        dangling = errno == ENOENT;
      }
    }
    // Opened as given, by the kernel, which applies its rules for links;
    // nothing is truncated, and opening neither blocks nor takes a
    // terminal. This also refuses a file this user may not write.
    const int flags = O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    const int opened =
        ::open(path.c_str(), dangling ? flags | O_CREAT : flags, 0666);
    if (opened < 0) {
      if (errno == EISDIR) return Failure(kMessageIsFolder);
      return SystemFailure(errno);
    }
    struct stat file {};
    const int stat_result = ::fstat(opened, &file);
    const int stat_errno = errno;
    ::close(opened);
    if (stat_result != 0) return SystemFailure(stat_errno);
    if (!S_ISREG(file.st_mode)) return Failure(kMessageNotRegular);
    if (dangling) {
      placeholder_ = true;
      placeholder_device_ = file.st_dev;
      placeholder_inode_ = file.st_ino;
    } else {
      exists = true;
      mode = file.st_mode & 0777;
    }
    if (link) {
      // The file the kernel opened is replaced in its own folder, under its
      // own name; the link is left as it is.
      char* real = ::realpath(path.c_str(), nullptr);
      if (real == nullptr) return SystemFailure(errno);
      target = real;
      std::free(real);
      through_link = true;
      opened_device = file.st_dev;
      opened_inode = file.st_ino;
    }
  }
  std::string folder;
  SplitPath(target, folder, name_);
  folder_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folder_ < 0) return SystemFailure(errno);
  if (through_link) {
    // The name found for the link's file must still be that file.
    struct stat found {};
    if (::fstatat(folder_, name_.c_str(), &found, AT_SYMLINK_NOFOLLOW) != 0 ||
        found.st_dev != opened_device || found.st_ino != opened_inode) {
      return Failure(kMessageChanged);
    }
  }
  return CreateTemporary(temporary, mode, exists);
}

Status FileReplacement::CreateTemporary(TemporaryFile temporary, mode_t mode,
                                        bool keep_mode) {
  // Created 0666 so that the umask applies to a new file; a replaced file's
  // bits are set below.
  const mode_t create_mode = keep_mode ? 0600 : 0666;
#ifdef O_TMPFILE
  if (temporary == TemporaryFile::kUnnamedWhereSupported) {
    file_ =
        ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, create_mode);
    // File systems without O_TMPFILE say so in one of three ways.
    if (file_ < 0 && errno != EOPNOTSUPP && errno != EISDIR &&
        errno != EINVAL) {
      return SystemFailure(errno);
    }
  }
#endif
  if (file_ < 0) {
    const int error_number = NameTemporary(
        folder_, name_, temporary_name_, pending_,
        [this, create_mode](const char* name) {
          file_ = ::openat(folder_, name,
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                           create_mode);
          return file_ < 0 ? -1 : 0;
        });
    if (error_number != 0) return SystemFailure(error_number);
  }
  if (keep_mode && ::fchmod(file_, mode) != 0) return SystemFailure(errno);
  return Status();
}

Status FileReplacement::Commit() {
  if (file_ < 0) return SystemFailure(EBADF);
  // Whole on the disc before it takes the target's place.
  if (::fdatasync(file_) != 0) {
    const int error_number = errno;
    Cancel();
    return SystemFailure(error_number);
  }
  if (temporary_name_.empty()) {
    // An unnamed file gets a name beside the target, then takes its place:
    // linkat() cannot replace an existing file.
    const std::string proc = "/proc/self/fd/" + std::to_string(file_);
    const int error_number = NameTemporary(
        folder_, name_, temporary_name_, pending_,
        [this, &proc](const char* name) {
          if (::linkat(AT_FDCWD, proc.c_str(), folder_, name,
                       AT_SYMLINK_FOLLOW) == 0) {
            return 0;
          }
          if (errno != ENOENT) return -1;
          // Without /proc; this needs CAP_DAC_READ_SEARCH on older kernels.
          return ::linkat(file_, "", folder_, name, AT_EMPTY_PATH);
        });
    if (error_number != 0) {
      Cancel();
      return SystemFailure(error_number);
    }
  }
  if (::renameat(folder_, temporary_name_.c_str(), folder_, name_.c_str()) !=
      0) {
    const int error_number = errno;
    Cancel();
    return SystemFailure(error_number);
  }
  Withdraw(pending_);
  temporary_name_.clear();
  placeholder_ = false;
  Close();
  return Status();
}

void FileReplacement::Cancel() {
  if (!temporary_name_.empty() && folder_ >= 0) {
    ::unlinkat(folder_, temporary_name_.c_str(), 0);
  }
  Withdraw(pending_);
  temporary_name_.clear();
  RemovePlaceholder();
  Close();
}

void FileReplacement::RemovePlaceholder() {
  if (!placeholder_) return;
  placeholder_ = false;
  struct stat found {};
  if (folder_ >= 0 &&
      ::fstatat(folder_, name_.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISREG(found.st_mode) && found.st_size == 0 &&
      found.st_dev == placeholder_device_ &&
      found.st_ino == placeholder_inode_) {
    ::unlinkat(folder_, name_.c_str(), 0);
  }
}

void FileReplacement::Close() {
  if (file_ >= 0) ::close(file_);
  if (folder_ >= 0) ::close(folder_);
  file_ = -1;
  folder_ = -1;
}

}  // namespace orvane
