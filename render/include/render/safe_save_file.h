// SPDX-License-Identifier: MIT
// A file saved through FileReplacement as a Qt device: what the picture
// writers and the text saves write into. The target is replaced only by
// Commit(), once everything written is on the disc; a link keeps pointing
// at the file it reached, and anything but a regular file is refused.
#ifndef ORVANE_RENDER_SAFE_SAVE_FILE_H_
#define ORVANE_RENDER_SAFE_SAVE_FILE_H_

#include <QFile>
#include <QString>

#include "core/file_replacement.h"
#include "core/status.h"

namespace orvane {

class SafeSaveFile {
 public:
  explicit SafeSaveFile(
      QString path,
      TemporaryFile temporary = TemporaryFile::kUnnamedWhereSupported);
  // Cancels an uncommitted save.
  ~SafeSaveFile();
  SafeSaveFile(const SafeSaveFile&) = delete;
  SafeSaveFile& operator=(const SafeSaveFile&) = delete;

  // Creates the temporary file; false, with ErrorString(), when the target
  // cannot be replaced ("it is a folder.", "it is not a regular file.", the
  // system's reason).
  bool Open();

  // The temporary file, buffered, seekable, open for writing after Open().
  // Its error() and errorString() are those of a QFile: a failed flush
  // names the system's reason ("No space left on device").
  QFile& Device() { return device_; }

  // Writes out what is buffered and replaces the target; false, with
  // ErrorString(), when that failed, the target then being as it was.
  bool Commit();

  // Drops the temporary file; the target stays as it was.
  void Cancel();

  QString ErrorString() const { return error_; }

 private:
  QString path_;
  TemporaryFile temporary_;
  FileReplacement replacement_;
  QFile device_;
  QString error_;
};

// The status of a save of `path` that failed for `reason`: kWriteFailed,
// "Cannot write "path": reason".
Status CannotWrite(const QString& path, const QString& reason);

}  // namespace orvane

#endif  // ORVANE_RENDER_SAFE_SAVE_FILE_H_
