// SPDX-License-Identifier: MIT
#include "window/text_save.h"

#include "render/safe_save_file.h"

namespace orvane {

Status SaveTextFile(const QString& path,
                    const std::function<bool(const TextSink&)>& write) {
  SafeSaveFile save(path);
  if (!save.Open()) return CannotWrite(path, save.ErrorString());
  QFile& file = save.Device();
  const bool written = write([&file](std::string_view piece) {
    const auto size = static_cast<qint64>(piece.size());
    return file.write(piece.data(), size) == size;
  });
  // What is still buffered goes to the disc before the file replaces the
  // target, so that a full disc is seen here and named.
  if (!written || !file.flush() || file.error() != QFileDevice::NoError) {
    const QString reason = file.errorString();
    save.Cancel();
    return CannotWrite(path, reason);
  }
  if (!save.Commit()) return CannotWrite(path, save.ErrorString());
  return Status();
}

}  // namespace orvane
