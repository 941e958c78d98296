// SPDX-License-Identifier: MIT
#include "window/data_grid.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <algorithm>
#include <cmath>
#include <limits>

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
                            QString separator, const MarkerPlaces* places) {
  beginResetModel();
  data_ = data;
  ndat_ = ndat;
  places_ = places;
  fields_ = {Field::kMajor, Field::kMinor, Field::kAngle, Field::kRatio};
  if (places != nullptr && places->HasCentroids()) {
    fields_.push_back(Field::kX);
    fields_.push_back(Field::kY);
  }
  if (places != nullptr && places->HasAreas()) fields_.push_back(Field::kArea);
  separator_ = separator.toStdString();
  endResetModel();
}

namespace {

// The extremes of one column and the values without a number.
struct ColumnRange {
  float low = std::numeric_limits<float>::infinity();
  float high = -std::numeric_limits<float>::infinity();
  bool finite = false, nan = false, plus_inf = false, minus_inf = false;
  void Add(float v) {
    if (std::isnan(v)) {
      nan = true;
    } else if (std::isinf(v)) {
      (v > 0 ? plus_inf : minus_inf) = true;
    } else {
      finite = true;
      low = std::min(low, v);
      high = std::max(high, v);
    }
  }
};

// The cell text of v as a pattern of its widest kind. Rounding keeps the
// order of magnitudes, so among values of one sign the largest in size has
// the most digits in fixed form and the largest power in exponent form. An
// exponent form may keep up to five significant digits whatever the value,
// so its pattern has them all.
std::string WidestPattern(float v, const std::string& separator) {
  std::string text = FormatGrid(v, separator);
  const std::size_t e = text.find('E');
  if (e == std::string::npos) return text;
  std::string pattern = text[0] == '-' ? "-0" : "0";
  pattern += separator + "0000";
  pattern += text.substr(e);
  return pattern;
}

}  // namespace

DataGridModel::WidestTexts DataGridModel::WidestCells() const {
  WidestTexts widest(fields_.size());
  if (data_ == nullptr || ndat_ <= 0) return widest;
  std::array<ColumnRange, kGridColumns - 1> range;
  const std::size_t end =
      std::min(data_->size(), static_cast<std::size_t>(ndat_) + 1);
  for (std::size_t i = 1; i < end; ++i) {
    const MarkerRecord& d = (*data_)[i];
    range[0].Add(d.major);
    range[1].Add(d.minor);
    range[2].Add(d.phi);
    range[3].Add(d.ratio);
  }
  for (std::size_t c = 0; c < range.size(); ++c) {
    const ColumnRange& r = range[c];
    QStringList& candidates = widest[c];
    if (r.finite) {
      candidates << QString::fromStdString(WidestPattern(r.low, separator_))
                 << QString::fromStdString(WidestPattern(r.high, separator_));
    }
    constexpr float kInf = std::numeric_limits<float>::infinity();
    if (r.nan) candidates << QString::fromStdString(FormatGrid(NAN, "."));
    if (r.plus_inf) candidates << QString::fromStdString(FormatGrid(kInf, "."));
    if (r.minus_inf) {
      candidates << QString::fromStdString(FormatGrid(-kInf, "."));
    }
  }
  // A centroid or an area has up to ten significant digits, so its widest
  // text need not be an extreme's: the longest text of the extremes and of
  // an even sample of the values stands for the column.
  for (std::size_t c = range.size(); c < fields_.size(); ++c) {
    const std::vector<double>& values = PlaceValues(fields_[c]);
    const std::size_t n = std::min(values.size(), end);
    if (n <= 1) continue;
    const auto [low, high] =
        std::minmax_element(values.begin() + 1, values.begin() + n);
    std::string longest = FormatPlace(*low, separator_);
    auto keep = [&](double v) {
      std::string text = FormatPlace(v, separator_);
      if (text.size() > longest.size()) longest = std::move(text);
    };
    keep(*high);
    const std::size_t step = std::max<std::size_t>(1, n / 4096);
    for (std::size_t i = 1; i < n; i += step) keep(values[i]);
    widest[c] << QString::fromStdString(longest);
  }
  return widest;
}

const std::vector<double>& DataGridModel::PlaceValues(Field field) const {
  return field == Field::kX   ? places_->x
         : field == Field::kY ? places_->y
                              : places_->area;
}

int DataGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : row_count_ - 1;
}

int DataGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(fields_.size());
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
  const auto slot = static_cast<std::size_t>(datum);
  const MarkerRecord& d = (*data_)[slot];
  switch (FieldOf(index.column())) {
    case Field::kMajor:
      return QString::fromStdString(FormatGrid(d.major, separator_));
    case Field::kMinor:
      return QString::fromStdString(FormatGrid(d.minor, separator_));
    case Field::kAngle:
      return QString::fromStdString(FormatGrid(d.phi, separator_));
    case Field::kRatio:
      return QString::fromStdString(FormatGrid(d.ratio, separator_));
    default: {
      const std::vector<double>& values = PlaceValues(FieldOf(index.column()));
      return slot < values.size()
                 ? QString::fromStdString(FormatPlace(values[slot], separator_))
                 : QString();
    }
  }
}

QVariant DataGridModel::headerData(int section, Qt::Orientation orientation,
                                   int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) {
    static const char* const kTitles[] = {"major", "minor", "angle", "R",
                                          "x",     "y",     "area"};
    return section >= 0 && section < columnCount()
               ? QString(kTitles[static_cast<int>(FieldOf(section))])
               : QString();
  }
  return QString::number(section + 1);
}

Qt::ItemFlags DataGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;  // never editable
}

GridPlacement PlaceGrid(int chart_width, int chart_height, int grid_width) {
  GridPlacement g;
  g.width = grid_width;
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
  column_widths_.assign(kGridColumns - 1, kGridColumnWidth);
  connect(&model_, &QAbstractItemModel::modelReset, this,
          &DataGrid::FitRowNumbers);
}

int DataGrid::CellWidthFor(const QString& text) const {
  // A cell's text lies inside the focus frame's margin and one more pixel
  // at either side, and the grid line takes a pixel of the column.
  const int margin =
      style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  const int grid_line = showGrid() ? 1 : 0;
  return static_cast<int>(
             std::ceil(QFontMetricsF(font()).horizontalAdvance(text))) +
         2 * margin + grid_line;
}

int DataGrid::HeaderWidthFor(const QHeaderView* header,
                             const QString& text) const {
  QStyleOptionHeader option;
  option.initFrom(header);
  const int margin =
      header->style()->pixelMetric(QStyle::PM_HeaderMargin, &option, header);
  return static_cast<int>(
             std::ceil(QFontMetricsF(header->font()).horizontalAdvance(text))) +
         2 * margin;
}

namespace {

// `text` with every digit replaced by the font's widest one.
QString WithWidestDigits(const QString& text, const QFont& font) {
  const QFontMetricsF fm(font);
  QChar widest = '0';
  for (char c = '1'; c <= '9'; ++c) {
    if (fm.horizontalAdvance(QChar(c)) > fm.horizontalAdvance(widest)) {
      widest = QChar(c);
    }
  }
  QString out = text;
  for (QChar& c : out) {
    if (c.isDigit()) c = widest;
  }
  return out;
}

}  // namespace

void DataGrid::FitToData(const DataGridModel::WidestTexts& widest) {
  QHeaderView* columns = horizontalHeader();
  column_widths_.assign(widest.size(), kGridColumnWidth);
  for (int c = 0; c < static_cast<int>(widest.size()); ++c) {
    int width = std::max(
        kGridColumnWidth,
        HeaderWidthFor(
            columns,
            model_.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()));
    for (const QString& text : widest[static_cast<std::size_t>(c)]) {
      width = std::max(width, CellWidthFor(WithWidestDigits(text, font())));
    }
    column_widths_[static_cast<std::size_t>(c)] = width;
    columns->resizeSection(c, width);
  }
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setValue(0);
  UpdateFittedWidth();
}

void DataGrid::FitRowNumbers() {
  QHeaderView* rows = verticalHeader();
  const QString largest = QString::number(std::max(1, model_.RowCount() - 1));
  const int width =
      std::max(kGridColumnWidth,
               HeaderWidthFor(rows, WithWidestDigits(largest, rows->font())));
  if (width == row_numbers_width_) return;
  row_numbers_width_ = width;
  rows->setFixedWidth(width);
  UpdateFittedWidth();
}

void DataGrid::UpdateFittedWidth() {
  int width = kDataGridWidth + row_numbers_width_ - kGridColumnWidth;
  for (std::size_t c = 0; c < column_widths_.size() && c < kGridColumns - 1;
       ++c) {
    width += column_widths_[c] - kGridColumnWidth;
  }
  if (width == fitted_width_) return;
  fitted_width_ = width;
  emit FittedWidthChanged(width);
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

void DataGrid::currentChanged(const QModelIndex& current,
                              const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (current.isValid() && current.row() != previous.row()) {
    emit CurrentRowChanged(current.row() + 1);
  }
}

}  // namespace orvane
