// SPDX-License-Identifier: MIT
#include "window/data_grid.h"

#include <QClipboard>
#include <QEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
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
  ChooseFields();
  separator_ = separator.toStdString();
  endResetModel();
}

void DataGridModel::ShowPreStrain(
    const std::vector<MarkerRecord>* retrodeformed) {
  if (retrodeformed == pre_strain_) return;
  beginResetModel();
  pre_strain_ = retrodeformed;
  ChooseFields();
  endResetModel();
}

void DataGridModel::ChooseFields() {
  fields_ = {Field::kMajor, Field::kMinor, Field::kAngle, Field::kRatio};
  // The pre-strain shape sits beside the measured one, before the places,
  // so that the two can be read together without scrolling.
  if (pre_strain_ != nullptr) {
    fields_.push_back(Field::kPreRatio);
    fields_.push_back(Field::kPrePhi);
  }
  if (places_ != nullptr && places_->HasCentroids()) {
    fields_.push_back(Field::kX);
    fields_.push_back(Field::kY);
  }
  if (places_ != nullptr && places_->HasAreas()) {
    fields_.push_back(Field::kArea);
  }
}

int DataGridModel::FittedColumns() const {
  return static_cast<int>(
      std::count_if(fields_.begin(), fields_.end(),
                    [](Field field) { return !IsPlace(field); }));
}

std::optional<float> DataGridModel::EllipseValue(Field field,
                                                 std::size_t slot) const {
  const MarkerRecord& d = (*data_)[slot];
  switch (field) {
    case Field::kMajor:
      return d.major;
    case Field::kMinor:
      return d.minor;
    case Field::kAngle:
      return d.phi;
    case Field::kRatio:
      return d.ratio;
    case Field::kPreRatio:
    case Field::kPrePhi:
      if (pre_strain_ == nullptr || slot >= pre_strain_->size()) {
        return std::nullopt;
      }
      return field == Field::kPreRatio ? (*pre_strain_)[slot].ratio
                                       : (*pre_strain_)[slot].phi;
    default:
      return std::nullopt;
  }
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
  // The columns of the ellipses lead, the places follow them.
  const auto ellipses = static_cast<std::size_t>(FittedColumns());
  std::vector<ColumnRange> range(ellipses);
  const std::size_t end =
      std::min(data_->size(), static_cast<std::size_t>(ndat_) + 1);
  for (std::size_t i = 1; i < end; ++i) {
    for (std::size_t c = 0; c < ellipses; ++c) {
      if (const std::optional<float> v = EllipseValue(fields_[c], i)) {
        range[c].Add(*v);
      }
    }
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
  return CellText(index.row() + 1, index.column());
}

QString DataGridModel::CellText(int datum, int column) const {
  if (data_ == nullptr || datum < 1 || datum > ndat_ ||
      static_cast<std::size_t>(datum) >= data_->size()) {
    return QString();  // rows below the data are blank
  }
  const auto slot = static_cast<std::size_t>(datum);
  const Field field = FieldOf(column);
  if (IsPlace(field)) {
    const std::vector<double>& values = PlaceValues(field);
    return slot < values.size()
               ? QString::fromStdString(FormatPlace(values[slot], separator_))
               : QString();
  }
  const std::optional<float> value = EllipseValue(field, slot);
  return value ? QString::fromStdString(FormatGrid(*value, separator_))
               : QString();
}

QString DataGridModel::RowsText(const std::vector<int>& rows) const {
  const int columns = columnCount();
  QString text;
  for (int datum : rows) {
    if (data_ == nullptr || datum < 1 || datum > ndat_ ||
        static_cast<std::size_t>(datum) >= data_->size()) {
      continue;
    }
    if (text.isEmpty()) {
      for (int c = 0; c < columns; ++c) {
        if (c > 0) text += '\t';
        text += headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
      }
      text += '\n';
    }
    for (int c = 0; c < columns; ++c) {
      if (c > 0) text += '\t';
      text += CellText(datum, c);
    }
    text += '\n';
  }
  return text;
}

QVariant DataGridModel::headerData(int section, Qt::Orientation orientation,
                                   int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) {
    // In the order of Field.
    static const char* const kTitles[] = {"major", "minor", "angle",
                                          "R",     "R pre", "\u03c6 pre",
                                          "x",     "y",     "area"};
    return section >= 0 && section < columnCount()
               ? QString::fromUtf8(kTitles[static_cast<int>(FieldOf(section))])
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
  FitColumns(widest);
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setValue(0);
}

void DataGrid::FitColumns(const DataGridModel::WidestTexts& widest) {
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
  // kDataGridWidth holds the row numbers and the four columns of the
  // ellipses at 39 pixels; the pre-strain columns come on top of it.
  int width = kDataGridWidth + row_numbers_width_ - kGridColumnWidth;
  const auto fitted = static_cast<std::size_t>(model_.FittedColumns());
  for (std::size_t c = 0; c < fitted; ++c) {
    width += c < column_widths_.size() ? column_widths_[c] : kGridColumnWidth;
    if (c < kGridColumns - 1) width -= kGridColumnWidth;
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

void DataGrid::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    CopySelectedRows();
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

QString DataGrid::SelectedRowsText() const {
  std::vector<int> rows;
  // The selection's ranges, not its cells: selecting all of a million
  // rows would list several million cells.
  for (const QItemSelectionRange& range : selectionModel()->selection()) {
    for (int r = range.top(); r <= range.bottom(); ++r) rows.push_back(r + 1);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  if (rows.empty() && currentIndex().isValid()) {
    rows.push_back(currentIndex().row() + 1);
  }
  return model_.RowsText(rows);
}

void DataGrid::CopySelectedRows() {
  const QString text = SelectedRowsText();
  if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

void DataGrid::currentChanged(const QModelIndex& current,
                              const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (current.isValid() && current.row() != previous.row()) {
    emit CurrentRowChanged(current.row() + 1);
  }
}

}  // namespace orvane
