// SPDX-License-Identifier: MIT
// The grid of the measured data, which lies inside the chart. Row 0 holds
// the column titles and column 0 the row numbers (both fixed, shown as the
// view's headers); row i is datum i. The cells are formatted when they are
// shown, so a million data cost nothing until scrolled to.
#ifndef ORVANE_WINDOW_DATA_GRID_H_
#define ORVANE_WINDOW_DATA_GRID_H_

#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "chart/chart_geometry.h"
#include "core/analysis_state.h"
#include "core/hyperbolic.h"
#include "render/chart_render.h"

namespace orvane {

inline constexpr int kGridColumns = 5;
inline constexpr int kGridColumnWidth = 39;
inline constexpr int kGridRowHeight = 20;
inline constexpr int kGridMinTop = 112;

// Rows 1 .. RowCount - 1 of the grid (the header row 0 is the view's
// header), columns 1 .. 4 ("major", "minor", "angle", "R"), then the
// pre-strain "R pre" and "φ pre" where they are shown, then "x" and "y"
// (the centroid) and "area" where the data give them; column 0 is the
// vertical header with the row numbers.
class DataGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit DataGridModel(QObject* parent = nullptr);

  // The grid's row count, header row included (at least 1).
  int RowCount() const { return row_count_; }
  void SetRowCount(int rows);
  // The data shown in rows 1 .. n; rows below them are blank. `places`,
  // when given, adds the columns of the centroids and areas it holds.
  void SetData(const std::vector<MarkerRecord>* data, int ndat,
               QString separator, const MarkerPlaces* places = nullptr);
  // Shows the pre-strain (retrodeformed) ratio and orientation of each
  // datum beside the measured ones, from `retrodeformed` (slot i datum i,
  // as the measured data; it stays the caller's and is read when a cell
  // is shown, so it may be refilled by a later analysis); nullptr hides
  // the columns. Kept across SetData.
  void ShowPreStrain(const std::vector<MarkerRecord>* retrodeformed);
  bool PreStrainShown() const { return pre_strain_ != nullptr; }
  // The leading columns that the grid's fitted width makes room for: the
  // four of the ellipses and the pre-strain columns where shown.
  int FittedColumns() const;
  // Grid rows `rows` (1 = the first datum; rows without a datum left out)
  // as tab-separated text, a line each in the order given, after a line
  // of the column titles; each line ends with a line feed. The cells read
  // exactly as the grid shows them. Empty when no row holds a datum.
  QString RowsText(const std::vector<int>& rows) const;
  // For each data column, a few texts the widest of which is as wide as any
  // cell of the column once every digit is drawn as wide as the font's
  // widest digit (none without data). Found from the column's extremes in
  // one pass over the data, without formatting every cell; it only reads
  // the data, so a worker thread may run it.
  using WidestTexts = std::vector<QStringList>;  // one list a column
  WidestTexts WidestCells() const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  // What column `column` (from 0) shows.
  enum class Field {
    kMajor,
    kMinor,
    kAngle,
    kRatio,
    kPreRatio,
    kPrePhi,
    kX,
    kY,
    kArea
  };
  Field FieldOf(int column) const {
    return fields_[static_cast<std::size_t>(column)];
  }
  // The centroids' x or y, or the areas, for a field of a place.
  const std::vector<double>& PlaceValues(Field field) const;
  static bool IsPlace(Field field) {
    return field == Field::kX || field == Field::kY || field == Field::kArea;
  }
  // The value of a field of an ellipse, measured or pre-strain, for datum
  // `slot`; none where the pre-strain data do not reach the datum.
  std::optional<float> EllipseValue(Field field, std::size_t slot) const;
  // The text of datum `datum`'s cell in column `column`, as shown.
  QString CellText(int datum, int column) const;
  // The columns for the data, places and pre-strain columns held.
  void ChooseFields();

  int row_count_ = 1;
  const std::vector<MarkerRecord>* data_ = nullptr;
  const MarkerPlaces* places_ = nullptr;
  const std::vector<MarkerRecord>* pre_strain_ = nullptr;
  std::vector<Field> fields_{Field::kMajor, Field::kMinor, Field::kAngle,
                             Field::kRatio};
  int ndat_ = 0;
  std::string separator_ = ".";  // converted once, not per cell
};

// The grid of `grid_width` pixels placed by the chart's size: flush with
// the right edge, its top at H div 5 but at least 112, down to the bottom;
// `row_count` rows of 20 pixels fit in it; hidden when no row fits.
struct GridPlacement {
  int left = 0, top = 0, width = kDataGridWidth, height = 0;
  int row_count = 0;
  bool visible = false;
};
GridPlacement PlaceGrid(int chart_width, int chart_height,
                        int grid_width = kDataGridWidth);

class DataGrid : public QTableView {
  Q_OBJECT

 public:
  explicit DataGrid(QWidget* parent = nullptr);
  DataGridModel& Model() { return model_; }
  // The grid row (0 = header) under a point of the grid's own coordinates,
  // or -1 when the point lies on no row.
  int RowAt(QPoint grid_point) const;
  // Sizes the columns to the widest cells of the data just loaded, as
  // Model().WidestCells() finds them (39 pixels at least), and shows the
  // grid from its first row and column again; the widths a user gave the
  // columns go.
  void FitToData(const DataGridModel::WidestTexts& widest);
  // The same without scrolling: after the columns shown have changed.
  void FitColumns(const DataGridModel::WidestTexts& widest);
  // The width the grid wants: 221 pixels with columns of 39, more by what
  // the four columns of the ellipses and the row numbers need beyond that,
  // and by the pre-strain columns where they are shown. The columns of
  // centroids and areas lie beyond, reached by scrolling, so that the
  // chart keeps its size.
  int FittedWidth() const { return fitted_width_; }
  // The rows that hold a selected cell, or the current row when no cell
  // is selected, as Model().RowsText() writes them; empty without a datum
  // among them.
  QString SelectedRowsText() const;
  // Puts SelectedRowsText() on the clipboard (Edit > Copy and the copy key
  // over the grid); nothing is put there when it is empty.
  void CopySelectedRows();

 signals:
  // A mouse button was pressed over the grid, at a point of the grid's
  // coordinates.
  void Pressed(Qt::MouseButton button, QPoint grid_point);
  // FittedWidth() changed.
  void FittedWidthChanged(int width);
  // The current cell moved to another grid row (1 = the first datum),
  // however it moved: a click, the arrow keys, Page Up/Down, Home/End.
  void CurrentRowChanged(int row);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The copy key copies whole rows, not the current cell.
  void keyPressEvent(QKeyEvent* event) override;
  void currentChanged(const QModelIndex& current,
                      const QModelIndex& previous) override;

 private:
  // The row numbers' column follows the largest row number shown.
  void FitRowNumbers();
  void UpdateFittedWidth();
  // Pixels that a cell, or a header section, needs to show `text` whole.
  int CellWidthFor(const QString& text) const;
  int HeaderWidthFor(const QHeaderView* header, const QString& text) const;

  DataGridModel model_;
  std::vector<int> column_widths_;
  int row_numbers_width_ = kGridColumnWidth;
  int fitted_width_ = kDataGridWidth;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_DATA_GRID_H_
