// SPDX-License-Identifier: MIT
#include "render/safe_save_file.h"

#include <utility>

namespace orvane {

SafeSaveFile::SafeSaveFile(QString path, TemporaryFile temporary)
    : path_(std::move(path)), temporary_(temporary) {}

SafeSaveFile::~SafeSaveFile() {
  Cancel();
}

bool SafeSaveFile::Open() {
  const Status begun =
      replacement_.Begin(QFile::encodeName(path_).toStdString(), temporary_);
  if (!begun.ok()) {
    error_ = QString::fromLocal8Bit(begun.message());
    return false;
  }
  // The descriptor stays the replacement's: the device only writes to it.
  if (!device_.open(replacement_.descriptor(), QIODevice::WriteOnly,
                    QFileDevice::DontCloseHandle)) {
    error_ = device_.errorString();
    replacement_.Cancel();
    return false;
  }
  return true;
}

bool SafeSaveFile::Commit() {
  if (device_.isOpen()) {
    if (!device_.flush() || device_.error() != QFileDevice::NoError) {
      error_ = device_.errorString();
      Cancel();
      return false;
    }
    device_.close();
  }
  const Status committed = replacement_.Commit();
  if (!committed.ok()) {
    error_ = QString::fromLocal8Bit(committed.message());
    return false;
  }
  return true;
}

void SafeSaveFile::Cancel() {
  if (device_.isOpen()) device_.close();
  replacement_.Cancel();
}

Status CannotWrite(const QString& path, const QString& reason) {
  return Status(
      StatusCode::kWriteFailed,
      QString("Cannot write \"%1\": %2").arg(path, reason).toStdString());
}

}  // namespace orvane
