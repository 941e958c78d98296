// SPDX-License-Identifier: MIT
// What the window remembers between sessions, in the user's settings
// (QSettings of the organisation and application names): the data files
// opened last, for File > Recent Files, with how each imported file was
// read, and the folder the open dialog was last used in.
#ifndef ORVANE_WINDOW_RECENT_FILES_H_
#define ORVANE_WINDOW_RECENT_FILES_H_

#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace orvane {

class RecentFiles {
 public:
  static constexpr int kLimit = 10;

  // The list as the settings hold it: newest first, at most kLimit, each
  // path once.
  static QStringList Load();
  // Puts `path` (made absolute) first, dropping an older entry of the same
  // path and the oldest beyond kLimit, and stores the list.
  static void Add(const QString& path);
  // The same for a file that is imported rather than opened: `import` says
  // how it was read (empty for a data file) and is kept beside the entry,
  // as long as it is on the list.
  static void Add(const QString& path, const QVariantMap& import);
  // How the entry `path` was imported; empty for a data file.
  static QVariantMap ImportOf(const QString& path);
  static void Remove(const QString& path);
  static void Clear();

  // The list after adding `path` to `list`, as Add stores it.
  static QStringList Added(QStringList list, const QString& path);
};

// The folder the open dialog was last used in, or empty.
QString RememberedOpenFolder();
void RememberOpenFolder(const QString& folder);

}  // namespace orvane

#endif  // ORVANE_WINDOW_RECENT_FILES_H_
