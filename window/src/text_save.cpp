#include "window/text_save.h"

#include <QFileInfo>
#include <QSaveFile>

namespace orvane {

Status SaveTextFile(const QString& path,
                    const std::function<bool(const TextSink&)>& write) {
  auto failed = [&path](const QString& reason) {
    return Status(
        StatusCode::kWriteFailed,
        QString("Cannot write \"%1\": %2").arg(path, reason).toStdString());
  };
  if (QFileInfo(path).isDir()) return failed("it is a folder.");
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return failed(file.errorString());
  const bool written = write([&file](std::string_view piece) {
    const auto size = static_cast<qint64>(piece.size());
    return file.write(piece.data(), size) == size;
  });
  // What is still buffered goes to the disc before the file replaces the
  // target, so that a full disc is seen here and named.
  if (!written || !file.flush() || file.error() != QFileDevice::NoError) {
    const QString reason = file.errorString();
    file.cancelWriting();
    return failed(reason);
  }
  if (!file.commit()) return failed(file.errorString());
  return Status();
}

}  // namespace orvane
