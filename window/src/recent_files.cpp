// SPDX-License-Identifier: MIT
#include "window/recent_files.h"

#include <QFileInfo>
#include <QSettings>
#include <iterator>

namespace orvane {
namespace {

constexpr const char* kRecentKey = "recentFiles";
constexpr const char* kOpenFolderKey = "openFolder";
// How the imported entries were read, by their paths.
constexpr const char* kImportsKey = "recentImports";

// A path in the form the list compares and shows: absolute, cleaned.
QString Normal(const QString& path) {
  return QFileInfo(path).absoluteFilePath();
}

// Stores the list, and how its imported entries were read: `imports` for
// the entries it names, those of entries no longer on the list dropped.
void Store(const QStringList& list, QVariantMap imports) {
  QSettings settings;
  if (list.isEmpty()) {
    settings.remove(kRecentKey);
  } else {
    settings.setValue(kRecentKey, list);
  }
  for (auto i = imports.begin(); i != imports.end();) {
    i = list.contains(i.key()) ? std::next(i) : imports.erase(i);
  }
  if (imports.isEmpty()) {
    settings.remove(kImportsKey);
  } else {
    settings.setValue(kImportsKey, imports);
  }
}

QVariantMap Imports() {
  return QSettings().value(kImportsKey).toMap();
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
  Add(path, {});
}

void RecentFiles::Add(const QString& path, const QVariantMap& import) {
  QVariantMap imports = Imports();
  const QString normal = Normal(path);
  if (import.isEmpty()) {
    imports.remove(normal);
  } else {
    imports.insert(normal, import);
  }
  Store(Added(Load(), path), imports);
}

QVariantMap RecentFiles::ImportOf(const QString& path) {
  return Imports().value(path).toMap();
}

void RecentFiles::Remove(const QString& path) {
  QStringList list = Load();
  list.removeAll(path);
  Store(list, Imports());
}

void RecentFiles::Clear() {
  Store({}, {});
}

QString RememberedOpenFolder() {
  return QSettings().value(kOpenFolderKey).toString();
}

void RememberOpenFolder(const QString& folder) {
  QSettings().setValue(kOpenFolderKey, folder);
}

}  // namespace orvane
