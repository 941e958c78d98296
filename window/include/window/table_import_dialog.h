// SPDX-License-Identifier: MIT
// File > Import Table...: how a measurement table will be read. The dialog
// shows what it found in the table (delimiter, header row, decimal comma,
// the column of each role, the angle convention), each editable, a preview
// of the first rows as they will be read (the cells, then the major and
// minor axis and the orientation converted to degrees counter-clockwise
// from the x axis, or the refusal the row would meet) and the count of
// rows. OK is offered only while the table can be read with the layout
// shown. Tests find its widgets by their object names ("delimiterBox",
// "headerCheck", "decimalCommaCheck", "majorColumnBox", "minorColumnBox",
// "ratioColumnBox", "angleColumnBox", "xColumnBox", "yColumnBox",
// "areaColumnBox", "referenceBox", "senseBox", "unitBox",
// "previewTable", "rowCountLabel", "problemLabel", "buttons").
#ifndef ORVANE_WINDOW_TABLE_IMPORT_DIALOG_H_
#define ORVANE_WINDOW_TABLE_IMPORT_DIALOG_H_

#include <QDialog>
#include <QString>

#include "io/table_import.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QTableWidget;

namespace orvane {

class TableImportDialog : public QDialog {
  Q_OBJECT

 public:
  // Looks at the table `path` at once; the dialog shows what it found.
  explicit TableImportDialog(const QString& path, QWidget* parent = nullptr);

  // The layout shown, with which OK imports the table.
  const TableLayout& Layout() const { return preview_.layout; }
  // Why the table cannot be read with the layout shown; empty when it can.
  QString Problem() const { return problem_; }

 private:
  // Reads the first rows again with the choices made and shows them.
  void Refresh();
  // Puts the found layout into the controls, without calling Refresh.
  void ShowLayout();
  void ShowPreview();
  // The roles of the columns as the column boxes give them.
  std::vector<ColumnRole> RolesShown() const;

  QString path_;
  TableChoices choices_;
  TablePreview preview_;
  QString problem_;

  QComboBox* delimiter_ = nullptr;
  QCheckBox* header_ = nullptr;
  QCheckBox* decimal_comma_ = nullptr;
  QComboBox* major_ = nullptr;
  QComboBox* minor_ = nullptr;
  QComboBox* ratio_ = nullptr;
  QComboBox* angle_ = nullptr;
  // The centroid's x and y, and the area (none where the table has none).
  QComboBox* x_ = nullptr;
  QComboBox* y_ = nullptr;
  QComboBox* area_ = nullptr;
  QComboBox* reference_ = nullptr;
  QComboBox* sense_ = nullptr;
  QComboBox* unit_ = nullptr;
  QTableWidget* table_ = nullptr;
  QLabel* row_count_ = nullptr;
  QLabel* problem_label_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_TABLE_IMPORT_DIALOG_H_
