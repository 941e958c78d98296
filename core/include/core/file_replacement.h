// SPDX-License-Identifier: MIT
// Replacing a file with new contents, as every save of the program does: the
// new contents go to a temporary file in the target's folder, which takes the
// target's place in one rename once it is whole on the disc, so that a reader
// sees the old file or the new one and a failed save leaves the old one.
//
// Only regular files are ever replaced. A device, a FIFO, a socket or a
// folder is refused, also behind a symbolic link. A link is opened as given,
// by the kernel, so that its rules for links (fs.protected_symlinks in sticky
// world-writable folders) hold as for any open; the file it reaches is then
// replaced in its own folder and the link stays a link. A dangling link is
// followed the same way with O_CREAT: the kernel creates the file it names
// (or refuses, by the same rules), and a failed save removes that file again.
#ifndef ORVANE_CORE_FILE_REPLACEMENT_H_
#define ORVANE_CORE_FILE_REPLACEMENT_H_

#include <sys/types.h>

#include <string>

#include "core/status.h"

namespace orvane {

inline constexpr const char* kMessageIsFolder = "it is a folder.";
inline constexpr const char* kMessageNotRegular = "it is not a regular file.";

enum class TemporaryFile {
  // Unnamed (O_TMPFILE) where the file system allows, so that nothing can be
  // left behind; a named file elsewhere.
  kUnnamedWhereSupported,
  // Always a named file, as on a file system without O_TMPFILE (for tests).
  kNamed,
};

// A named temporary file is removed when the process is ended by SIGTERM,
// SIGINT, SIGHUP or SIGQUIT: while one exists, a handler is installed for
// each of those signals whose action is the default one; it removes the
// file, restores the default action and raises the signal again, so that
// the process ends as it would have. Signals the program ignores or handles
// itself are left alone, and no handler is installed while no named
// temporary file exists.
class FileReplacement {
 public:
  FileReplacement() = default;
  // Cancels an uncommitted replacement.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Creates the temporary file that is to replace `path` (in the file
  // system's encoding). A new file gets the permissions 0666 less the umask,
  // a replaced one keeps its permission bits. On failure (kWriteFailed)
  // nothing is left on the disc and the message is the reason alone, without
  // the path: kMessageIsFolder, kMessageNotRegular or the system's text
  // ("Permission denied", "No such file or directory").
  Status Begin(const std::string& path,
               TemporaryFile temporary = TemporaryFile::kUnnamedWhereSupported);

  // The temporary file, open for writing at offset 0; -1 before Begin and
  // after Commit or Cancel. The caller writes through it and never closes it.
  int descriptor() const { return file_; }

  // Syncs the temporary file's data to the disc and renames it over the target.
  // On failure the target is as it was, the temporary file is removed and the
  // message is the system's reason. The replacement is over either way.
  Status Commit();

  // Removes the temporary file (and a file a dangling link made); the
  // target stays as it was.
  void Cancel();

 private:
  Status Open(const std::string& path, TemporaryFile temporary);
  Status CreateTemporary(TemporaryFile temporary, mode_t mode, bool keep_mode);
  void RemovePlaceholder();
  void Close();

  int folder_ = -1;             // the target's folder (O_PATH)
  int file_ = -1;               // the temporary file
  std::string name_;            // the target's name in its folder
  std::string temporary_name_;  // the temporary file's name; empty if none
  int pending_ = -1;            // its entry among the names removed on a signal
  // A file created through a dangling link, removed on failure while it is
  // still that empty file.
  bool placeholder_ = false;
  dev_t placeholder_device_ = 0;
  ino_t placeholder_inode_ = 0;
};

}  // namespace orvane

#endif  // ORVANE_CORE_FILE_REPLACEMENT_H_
