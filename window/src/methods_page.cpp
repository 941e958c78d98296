// SPDX-License-Identifier: MIT
#include "window/methods_page.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QStringList>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>
#include <utility>

namespace orvane {
namespace {

constexpr const char* kNoData =
    "No data: open a data file to compare the estimators.";
constexpr const char* kHint =
    "The estimators of the data shown; point at a row for its method and "
    "reference.";
constexpr int kColumns = 3;

}  // namespace

MethodsPage::MethodsPage(QWidget* parent) : QWidget(parent) {
  setObjectName("methodsPage");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  hint_ = new QLabel(kNoData, this);
  hint_->setObjectName("methodsHint");
  hint_->setWordWrap(true);
  layout->addWidget(hint_);

  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName("methodsTable");
  table_->setHorizontalHeaderLabels({"Method", "Value", "Notes"});
  table_->verticalHeader()->setVisible(false);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->horizontalHeader()->setSectionResizeMode(
      0, QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(
      1, QHeaderView::ResizeToContents);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setWordWrap(false);
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  // A file dropped on the table opens, as anywhere on the window.
  table_->setAcceptDrops(false);
  layout->addWidget(table_, 1);

  copy_ = new QAction("&Copy", table_);
  copy_->setObjectName("copyMethodsAction");
  copy_->setShortcut(QKeySequence::Copy);
  copy_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  table_->addAction(copy_);
  table_->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(copy_, &QAction::triggered, this, &MethodsPage::onCopy);
}

void MethodsPage::ShowSummary(const MethodsSummary& summary,
                              const QString& sep) {
  rows_ = MethodsTable(summary, sep.toStdString());
  if (rows_.empty()) {
    ShowUnavailable(kNoData);
    return;
  }
  hint_->setText(kHint);
  FillTable();
}

void MethodsPage::ShowUnavailable(const QString& why) {
  rows_.clear();
  table_->clearContents();
  table_->setRowCount(0);
  hint_->setText(why);
}

void MethodsPage::SetCentreRow(std::optional<MethodsRow> row) {
  centre_row_ = std::move(row);
  if (!rows_.empty()) FillTable();
}

void MethodsPage::FillTable() {
  std::vector<const MethodsRow*> shown;
  for (const MethodsRow& row : rows_) shown.push_back(&row);
  if (centre_row_) shown.push_back(&*centre_row_);
  table_->clearContents();
  table_->setRowCount(static_cast<int>(shown.size()));
  for (int r = 0; r < table_->rowCount(); ++r) {
    const MethodsRow& row = *shown[static_cast<std::size_t>(r)];
    // As rich text the tooltip wraps instead of running off the screen.
    const QString tip =
        "<p>" + QString::fromStdString(row.tooltip).toHtmlEscaped() + "</p>";
    const QString cells[kColumns] = {QString::fromStdString(row.method),
                                     QString::fromStdString(row.value),
                                     QString::fromStdString(row.notes)};
    for (int c = 0; c < kColumns; ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      item->setToolTip(tip);
      if (c == 1) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(r, c, item);
    }
  }
}

QString MethodsPage::RowsText() const {
  std::set<int> chosen;
  for (const QModelIndex& index : table_->selectionModel()->selectedIndexes()) {
    chosen.insert(index.row());
  }
  if (chosen.empty()) {
    for (int r = 0; r < table_->rowCount(); ++r) chosen.insert(r);
  }
  QStringList lines;
  lines << "Method\tValue\tNotes";
  for (const int r : chosen) {
    QStringList cells;
    for (int c = 0; c < kColumns; ++c) {
      const QTableWidgetItem* item = table_->item(r, c);
      cells << (item != nullptr ? item->text() : QString());
    }
    lines << cells.join('\t');
  }
  return lines.join('\n') + '\n';
}

void MethodsPage::onCopy() {
  if (table_->rowCount() == 0) return;
  QApplication::clipboard()->setText(RowsText());
}

}  // namespace orvane
