// SPDX-License-Identifier: MIT
#include "window/table_import_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <charconv>

#include "io/byte_source.h"
#include "window/screen_fit.h"

namespace orvane {
namespace {

constexpr std::size_t kPreviewRows = 20;

QComboBox* Choice(QWidget* parent, const char* name, const QStringList& items) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->addItems(items);
  return box;
}

// The shortest decimal that reads back to the single stored.
QString Single(float v) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  return QString::fromLatin1(text, static_cast<int>(end - text));
}

}  // namespace

TableImportDialog::TableImportDialog(const QString& path, QWidget* parent)
    : QDialog(parent), path_(path) {
  setObjectName("tableImportDialog");
  setWindowTitle("Import Table");

  auto* reading = new QGroupBox("Table", this);
  auto* reading_form = new QFormLayout(reading);
  delimiter_ =
      Choice(reading, "delimiterBox", {"Comma", "Semicolon", "Tab", "Blanks"});
  header_ = new QCheckBox("First row names the columns", reading);
  header_->setObjectName("headerCheck");
  decimal_comma_ = new QCheckBox("Decimal comma (12,5)", reading);
  decimal_comma_->setObjectName("decimalCommaCheck");
  reading_form->addRow("Delimiter:", delimiter_);
  reading_form->addRow(header_);
  reading_form->addRow(decimal_comma_);

  auto* columns = new QGroupBox("Columns", this);
  auto* columns_form = new QFormLayout(columns);
  major_ = Choice(columns, "majorColumnBox", {});
  minor_ = Choice(columns, "minorColumnBox", {});
  ratio_ = Choice(columns, "ratioColumnBox", {});
  angle_ = Choice(columns, "angleColumnBox", {});
  x_ = Choice(columns, "xColumnBox", {});
  y_ = Choice(columns, "yColumnBox", {});
  area_ = Choice(columns, "areaColumnBox", {});
  columns_form->addRow("Major axis:", major_);
  columns_form->addRow("Minor axis:", minor_);
  columns_form->addRow("or R alone:", ratio_);
  columns_form->addRow("Orientation:", angle_);
  columns_form->addRow("Centroid x:", x_);
  columns_form->addRow("Centroid y:", y_);
  columns_form->addRow("Area:", area_);

  auto* angles = new QGroupBox("Orientation measured", this);
  auto* angles_form = new QFormLayout(angles);
  reference_ =
      Choice(angles, "referenceBox", {"from the x axis", "from north"});
  sense_ = Choice(angles, "senseBox", {"counter-clockwise", "clockwise"});
  unit_ = Choice(angles, "unitBox", {"in degrees", "in radians"});
  angles_form->addRow("Reference:", reference_);
  angles_form->addRow("Sense:", sense_);
  angles_form->addRow("Unit:", unit_);

  auto* controls = new QHBoxLayout;
  controls->addWidget(reading);
  controls->addWidget(columns);
  controls->addWidget(angles);

  table_ = new QTableWidget(this);
  table_->setObjectName("previewTable");
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->setVisible(false);
  row_count_ = new QLabel(this);
  row_count_->setObjectName("rowCountLabel");
  problem_label_ = new QLabel(this);
  problem_label_->setObjectName("problemLabel");
  problem_label_->setWordWrap(true);
  problem_label_->setStyleSheet("color: #b00000;");
  buttons_ = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
  buttons_->setObjectName("buttons");
  buttons_->button(QDialogButtonBox::Ok)->setText("Import");

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(
      "The first rows as they will be read; the orientation is shown "
      "converted to degrees counter-clockwise from the x axis.",
      this));
  layout->addLayout(controls);
  layout->addWidget(table_, 1);
  layout->addWidget(row_count_);
  layout->addWidget(problem_label_);
  layout->addWidget(buttons_);
  resize(820, 560);
  FitToScreen(this);

  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(delimiter_, &QComboBox::activated, this, [this](int index) {
    choices_.delimiter = static_cast<Delimiter>(index);
    // Other cells, so other columns: their roles are found anew.
    choices_.roles.reset();
    choices_.decimal_comma.reset();
    Refresh();
  });
  connect(header_, &QCheckBox::clicked, this, [this](bool checked) {
    choices_.header = checked;
    choices_.roles.reset();
    Refresh();
  });
  connect(decimal_comma_, &QCheckBox::clicked, this, [this](bool checked) {
    choices_.decimal_comma = checked;
    Refresh();
  });
  for (QComboBox* box : {major_, minor_, ratio_, angle_, x_, y_, area_}) {
    connect(box, &QComboBox::activated, this, [this] {
      choices_.roles = RolesShown();
      Refresh();
    });
  }
  for (QComboBox* box : {reference_, sense_, unit_}) {
    connect(box, &QComboBox::activated, this, [this] {
      choices_.convention = AngleConvention{
          static_cast<AngleReference>(reference_->currentIndex()),
          static_cast<AngleSense>(sense_->currentIndex()),
          static_cast<AngleUnit>(unit_->currentIndex())};
      Refresh();
    });
  }
  Refresh();
}

std::vector<ColumnRole> TableImportDialog::RolesShown() const {
  std::vector<ColumnRole> roles(preview_.column_names.size(),
                                ColumnRole::kIgnored);
  const std::pair<QComboBox*, ColumnRole> boxes[] = {
      {major_, ColumnRole::kMajor}, {minor_, ColumnRole::kMinor},
      {ratio_, ColumnRole::kRatio}, {angle_, ColumnRole::kAngle},
      {x_, ColumnRole::kX},         {y_, ColumnRole::kY},
      {area_, ColumnRole::kArea}};
  for (const auto& [box, role] : boxes) {
    const int column = box->currentData().toInt();
    if (column >= 0 && static_cast<std::size_t>(column) < roles.size() &&
        roles[static_cast<std::size_t>(column)] == ColumnRole::kIgnored) {
      roles[static_cast<std::size_t>(column)] = role;
    }
  }
  return roles;
}

void TableImportDialog::Refresh() {
  FileSource file;
  Status found = file.Open(path_.toStdString());
  if (found.ok()) found = PreviewTable(file, choices_, preview_, kPreviewRows);
  problem_ = found.ok() ? QString() : QString::fromStdString(found.message());
  ShowLayout();
  ShowPreview();
  // A layout to check (Min and Max taken as the axes) is said there too,
  // but does not stop the import.
  problem_label_->setText(
      problem_.isEmpty() ? QString::fromStdString(preview_.notice) : problem_);
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(problem_.isEmpty());
}

void TableImportDialog::ShowLayout() {
  const TableLayout& layout = preview_.layout;
  delimiter_->setCurrentIndex(static_cast<int>(layout.delimiter));
  header_->setChecked(layout.header);
  decimal_comma_->setChecked(layout.decimal_comma);
  decimal_comma_->setEnabled(layout.delimiter != Delimiter::kComma);
  const std::pair<QComboBox*, int> boxes[] = {
      {major_, layout.major_column}, {minor_, layout.minor_column},
      {ratio_, layout.ratio_column}, {angle_, layout.angle_column},
      {x_, layout.x_column},         {y_, layout.y_column},
      {area_, layout.area_column}};
  for (const auto& [box, column] : boxes) {
    box->clear();
    box->addItem("(none)", -1);
    for (std::size_t c = 0; c < preview_.column_names.size(); ++c) {
      box->addItem(QString("%1: %2").arg(c + 1).arg(
                       QString::fromStdString(preview_.column_names[c])),
                   static_cast<int>(c));
    }
    box->setCurrentIndex(std::max(0, box->findData(column)));
  }
  reference_->setCurrentIndex(static_cast<int>(layout.convention.reference));
  sense_->setCurrentIndex(static_cast<int>(layout.convention.sense));
  unit_->setCurrentIndex(static_cast<int>(layout.convention.unit));
}

void TableImportDialog::ShowPreview() {
  // The line, the datum as read (major and minor axis, orientation in
  // degrees counter-clockwise from the x axis), then the table's cells.
  constexpr int kFirstCell = 4;
  const std::size_t width = preview_.column_names.size();
  table_->clear();
  table_->setColumnCount(kFirstCell + static_cast<int>(width));
  table_->setRowCount(static_cast<int>(preview_.rows.size()));
  QStringList headers{"Line", "Major axis", "Minor axis",
                      QString::fromUtf8("\u03C6 (\u00B0)")};
  const TableLayout& layout = preview_.layout;
  for (std::size_t c = 0; c < width; ++c) {
    const int column = static_cast<int>(c);
    QString name = QString::fromStdString(preview_.column_names[c]);
    if (column == layout.major_column) name += " [major]";
    if (column == layout.minor_column) name += " [minor]";
    if (column == layout.ratio_column) name += " [R]";
    if (column == layout.angle_column) name += " [angle]";
    if (column == layout.x_column) name += " [x]";
    if (column == layout.y_column) name += " [y]";
    if (column == layout.area_column) name += " [area]";
    headers << name;
  }
  table_->setHorizontalHeaderLabels(headers);
  const bool readable = problem_.isEmpty();
  for (std::size_t r = 0; r < preview_.rows.size(); ++r) {
    const int row = static_cast<int>(r);
    const TablePreview::Row& cells = preview_.rows[r];
    table_->setItem(row, 0, new QTableWidgetItem(QString::number(cells.line)));
    for (std::size_t c = 0; c < cells.cells.size() && c < width; ++c) {
      table_->setItem(
          row, kFirstCell + static_cast<int>(c),
          new QTableWidgetItem(QString::fromStdString(cells.cells[c])));
    }
    if (!readable) continue;
    MarkerRecord d;
    const Status read = PreviewRowDatum(preview_, r, d);
    if (read.ok()) {
      table_->setItem(row, 1, new QTableWidgetItem(Single(d.major)));
      table_->setItem(row, 2, new QTableWidgetItem(Single(d.minor)));
      table_->setItem(row, 3, new QTableWidgetItem(Single(d.phi)));
    } else {
      auto* item = new QTableWidgetItem(QString::fromStdString(read.message()));
      item->setForeground(QColor(0xb0, 0, 0));
      table_->setItem(row, 1, item);
      table_->setSpan(row, 1, 1, 3);
      // The first row that would be refused stops the import.
      if (problem_.isEmpty()) problem_ = QString::fromStdString(read.message());
    }
  }
  table_->resizeColumnsToContents();
  table_->resizeRowsToContents();
  row_count_->setText(QString("%1 data rows; the first %2 shown.")
                          .arg(preview_.row_count)
                          .arg(preview_.rows.size()));
}

}  // namespace orvane
