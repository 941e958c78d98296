#include "window/recent_files.h"

#include <QFileInfo>
#include <QSettings>

namespace orvane {
namespace {

constexpr const char* kRecentKey = "recentFiles";
constexpr const char* kOpenFolderKey = "openFolder";

// A path in the form the list compares and shows: absolute, cleaned.
QString Normal(const QString& path) {
  return QFileInfo(path).absoluteFilePath();
}

void Store(const QStringList& list) {
  QSettings settings;
  if (list.isEmpty()) {
    settings.remove(kRecentKey);
  } else {
    settings.setValue(kRecentKey, list);
  }
}

}  // namespace

QStringList RecentFiles::Added(QStringList list, const QString& path) {
  const QString normal = Normal(path);
  list.removeAll(normal);
  list.prepend(normal);
  while (list.size() > kLimit) list.removeLast();
  return list;
}

QStringList RecentFiles::Load() {
  // Whatever an older or hand-edited settings file holds, the list keeps
  // its promise: no empty entries, none twice, at most kLimit.
  QStringList list;
  for (const QString& path : QSettings().value(kRecentKey).toStringList()) {
    if (!path.isEmpty() && !list.contains(path)) list << path;
  }
  while (list.size() > kLimit) list.removeLast();
  return list;
}

void RecentFiles::Add(const QString& path) {
  Store(Added(Load(), path));
}

void RecentFiles::Remove(const QString& path) {
  QStringList list = Load();
  list.removeAll(path);
  Store(list);
}

void RecentFiles::Clear() {
  Store({});
}

QString RememberedOpenFolder() {
  return QSettings().value(kOpenFolderKey).toString();
}

void RememberOpenFolder(const QString& folder) {
  QSettings().setValue(kOpenFolderKey, folder);
}

}  // namespace orvane
