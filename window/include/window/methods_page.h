// SPDX-License-Identifier: MIT
// The Methods tab: the estimators of the last analysis beside the hyperbolic
// vector mean (core/methods.h), one row each in a table of Method, Value and
// Notes, every row's tooltip naming its method and reference; last, where
// the markers' centres were analysed, the centre-based strain's row. Tests find
// its widgets by name: the page "methodsPage", the table "methodsTable",
// the line above it "methodsHint" and the action "copyMethodsAction".
#ifndef ORVANE_WINDOW_METHODS_PAGE_H_
#define ORVANE_WINDOW_METHODS_PAGE_H_

#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

#include "core/methods.h"

class QAction;
class QLabel;
class QTableWidget;

namespace orvane {

class MethodsPage : public QWidget {
  Q_OBJECT

 public:
  explicit MethodsPage(QWidget* parent = nullptr);

  // Shows the rows of `summary`, its figures with the decimal separator
  // `sep`; an empty summary (no data) empties the table.
  void ShowSummary(const MethodsSummary& summary, const QString& sep);
  // Empties the table and says why in the line above it.
  void ShowUnavailable(const QString& why);
  // The row of the centre-based strain (core/centre_report.h) after the
  // summary's rows, or none; it stays through the next ShowSummary until
  // set again.
  void SetCentreRow(std::optional<MethodsRow> row);

  // The selected rows (all rows when none is selected) as text: a header
  // line, then one line a row, the cells separated by tabs. What Copy puts
  // on the clipboard.
  QString RowsText() const;

 public slots:
  // Copies RowsText() to the clipboard (Ctrl+C, or the table's menu).
  void onCopy();

 private:
  // Fills the table with the summary's rows and the centre row.
  void FillTable();

  std::vector<MethodsRow> rows_;
  std::optional<MethodsRow> centre_row_;
  QTableWidget* table_ = nullptr;
  QLabel* hint_ = nullptr;
  QAction* copy_ = nullptr;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_METHODS_PAGE_H_
