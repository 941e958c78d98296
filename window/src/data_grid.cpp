#include "window/data_grid.h"

#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <algorithm>

#include "core/number_format.h"

namespace orvane {

DataGridModel::DataGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void DataGridModel::SetRowCount(int rows) {
  rows = std::max(1, rows);
  if (rows == row_count_) return;
  beginResetModel();
  row_count_ = rows;
  endResetModel();
}

void DataGridModel::SetData(const std::vector<MarkerRecord>* data, int ndat,
                            QString separator) {
  beginResetModel();
  data_ = data;
  ndat_ = ndat;
  separator_ = separator.toStdString();
  endResetModel();
}

int DataGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : row_count_ - 1;
}

int DataGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kGridColumns - 1;
}

QVariant DataGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  }
  if (role != Qt::DisplayRole) return {};
  const int datum = index.row() + 1;
  if (data_ == nullptr || datum > ndat_ ||
      static_cast<std::size_t>(datum) >= data_->size()) {
    return QString();  // rows below the data are blank
  }
  const MarkerRecord& d = (*data_)[static_cast<std::size_t>(datum)];
  const float values[] = {d.major, d.minor, d.phi, d.ratio};
  return QString::fromStdString(FormatGrid(values[index.column()], separator_));
}

QVariant DataGridModel::headerData(int section, Qt::Orientation orientation,
                                   int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) {
    static const char* const kTitles[] = {"major", "minor", "angle", "R"};
    return section >= 0 && section < 4 ? QString(kTitles[section]) : QString();
  }
  return QString::number(section + 1);
}

Qt::ItemFlags DataGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;  // never editable
}

GridPlacement PlaceGrid(int chart_width, int chart_height) {
  GridPlacement g;
  g.left = chart_width - g.width;
  g.top = std::max(chart_height / 5, kGridMinTop);
  g.height = chart_height - g.top;
  g.row_count = g.height / kGridRowHeight;
  // A chart too low for one row leaves the grid hidden.
  g.visible = g.height >= kGridRowHeight;
  return g;
}

DataGrid::DataGrid(QWidget* parent) : QTableView(parent), model_(this) {
  setObjectName("dataGrid");
  setModel(&model_);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setShowGrid(true);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  QHeaderView* columns = horizontalHeader();
  columns->setDefaultSectionSize(kGridColumnWidth);
  columns->setMinimumSectionSize(8);
  columns->setSectionResizeMode(QHeaderView::Interactive);
  columns->setFixedHeight(kGridRowHeight);
  columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  columns->setHighlightSections(false);
  columns->setSectionsClickable(false);
  QHeaderView* rows = verticalHeader();
  rows->setDefaultSectionSize(kGridRowHeight);
  rows->setMinimumSectionSize(kGridRowHeight);
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setFixedWidth(kGridColumnWidth);
  rows->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  rows->setHighlightSections(false);
  rows->setSectionsClickable(false);
  // Presses anywhere on the grid, its number column included.
  viewport()->installEventFilter(this);
  rows->viewport()->installEventFilter(this);
  columns->viewport()->installEventFilter(this);
}

int DataGrid::RowAt(QPoint p) const {
  const QPoint in_view = viewport()->mapFrom(this, p);
  if (p.y() >= 0 && in_view.y() < 0 &&
      p.y() < horizontalHeader()->height() + frameWidth()) {
    return 0;  // the header row
  }
  if (in_view.y() < 0 || in_view.y() >= viewport()->height()) return -1;
  const int row = rowAt(in_view.y());
  return row < 0 ? -1 : row + 1;
}

bool DataGrid::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* source = static_cast<QWidget*>(watched);
    emit Pressed(mouse->button(),
                 source->mapTo(this, mouse->position().toPoint()));
  }
  return QTableView::eventFilter(watched, event);
}

}  // namespace orvane
