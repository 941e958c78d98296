// SPDX-License-Identifier: MIT
// Measurement tables as other programs write them: comma-, semicolon-, tab-
// or blank-separated columns, with or without a header row, quoted fields,
// UTF-8 with or without a byte order mark, LF, CRLF or CR line ends, and
// decimal commas where the delimiter leaves the comma free. A table gives, for
// each row, either the major and minor axis (full or semi: only their ratio and
// the grid show them) or the axial ratio R alone (the minor axis is then 1),
// and the orientation of the major axis in a stated convention, which the
// import converts to this program's: degrees counter-clockwise from the x
// axis.
//
// The orientation conversion, for an orientation v in the table:
//   d = v                       (degrees)
//   d = v * 180/pi              (radians; 180/pi as a long double)
//   phi = d                     (x axis, counter-clockwise)
//   phi = -d                    (x axis, clockwise)
//   phi = 90 - d                (north, clockwise: an azimuth)
//   phi = 90 + d                (north, counter-clockwise)
// all in long double, and phi then goes through the data file's checks and
// rounding (rounded to single once; beyond +-360 degrees first reduced
// modulo 180), so that a data file that holds phi printed exactly gives the
// same single.
//
// The import reads its source twice (a counting pass that checks every row,
// then a filling pass into data allocated once), in blocks, through the data
// file loader's block reader, and never holds the source in memory. The
// source's stamp is compared after each block and at the end of each pass,
// and the filling pass stores no more rows than were counted and must end
// where the counting pass ended: a source changed (written to, or cut)
// between or during the passes is refused with "The file changed while it
// was read." A medium that fails gives the system's reason, as it does for
// the data file loader.
//
// A refusal names the line and the column and says why, for example
// "line 17, column Minor: not a number"; its datum is the number of the
// data row (from 1), and its code that of the data file loader for the same
// fault (kReadError for a cell that is no number).
#ifndef ORVANE_IO_TABLE_IMPORT_H_
#define ORVANE_IO_TABLE_IMPORT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/status.h"
#include "io/byte_source.h"
#include "io/data_file.h"
#include "io/data_reader.h"

namespace orvane {

enum class Delimiter { kComma, kSemicolon, kTab, kWhiteSpace };

// A column's role. kX, kY and kArea carry a marker's centroid and area
// beside its ellipse (ImageJ's X, Y and Area), in the table's own units.
enum class ColumnRole {
  kIgnored,
  kMajor,
  kMinor,
  kRatio,
  kAngle,
  kX,
  kY,
  kArea
};

enum class AngleReference { kXAxis, kNorth };
enum class AngleSense { kCounterClockwise, kClockwise };
enum class AngleUnit { kDegrees, kRadians };

struct AngleConvention {
  AngleReference reference = AngleReference::kXAxis;
  AngleSense sense = AngleSense::kCounterClockwise;
  AngleUnit unit = AngleUnit::kDegrees;
  bool operator==(const AngleConvention&) const = default;
};

// 180 / pi, the long double nearest to it.
inline constexpr long double kDegreesPerRadian =
    57.295779513082320876798154814105170L;

// The orientation in degrees counter-clockwise from the x axis of an
// orientation `value` given in `convention`, in long double (see above).
long double ToNativeOrientation(long double value, AngleConvention convention);

// How a table is read. Columns count from 0.
struct TableLayout {
  Delimiter delimiter = Delimiter::kComma;
  bool header = false;
  // A comma in a number cell is its decimal separator; never with the
  // comma as delimiter.
  bool decimal_comma = false;
  int major_column = -1;  // with minor_column; or -1 when R is given
  int minor_column = -1;
  int ratio_column = -1;  // R alone; -1 when the axes are given
  int angle_column = -1;
  // The centroid (both or neither) and the area; -1 when not read.
  int x_column = -1;
  int y_column = -1;
  int area_column = -1;
  AngleConvention convention;
  bool operator==(const TableLayout&) const = default;
};

// What the user chose; anything left empty is detected.
struct TableChoices {
  std::optional<Delimiter> delimiter;
  std::optional<bool> header;
  std::optional<bool> decimal_comma;
  // The role of each column, from the first; columns beyond are ignored.
  std::optional<std::vector<ColumnRole>> roles;
  std::optional<AngleConvention> convention;
};

// What the first lines of a table look like: the layout detected (or
// chosen), the column names (from the header, or "1", "2", ...) and the
// cells of the first rows as split.
struct TablePreview {
  TableLayout layout;
  std::vector<std::string> column_names;
  // The first data rows (after the header, empty rows skipped), each with
  // its line number and its cells, unquoted.
  struct Row {
    std::int64_t line = 0;
    std::vector<std::string> cells;
  };
  std::vector<Row> rows;
  // The number of data rows of the whole table (empty rows not counted).
  std::int64_t row_count = 0;
  // What the user should check in a layout that was found: columns Min and
  // Max taken as the axes, which may be grey values. Empty when none.
  std::string notice;
};

// Looks at the first lines of `source` (and counts its rows) and works out
// its layout, taking each of `choices` that is given as it is. A source
// that is empty, no text, or whose columns cannot be told is refused with
// the reason; a layout is then still filled as far as it was found.
Status PreviewTable(ByteSource& source, const TableChoices& choices,
                    TablePreview& preview, std::size_t max_rows = 20);

// Reads row `row` of `preview` (from 0) as the import reads it, with the
// preview's layout: its datum in `d`, or the refusal the import would give
// (its datum number counts from the first row of the preview).
Status PreviewRowDatum(const TablePreview& preview, std::size_t row,
                       MarkerRecord& d);

// Checks that `layout` names the columns it needs: the major and minor axis
// or R, and the orientation, each once; and x and y together, if at all.
Status CheckLayout(const TableLayout& layout);

// Reads the data of `source` with `layout` into `data`, checked as a data
// file's data are. A refusal leaves `data` empty. `progress` works as it
// does for ReadDataFile, the two passes told as one read of the source: the
// counting pass up to half its size, the filling pass the rest.
Status ImportTable(ByteSource& source, const TableLayout& layout,
                   LoadedData& data, const ReadProgress& progress = {});

// The same for the file `path`, which is closed again on every path.
Status ImportTable(const std::string& path, const TableLayout& layout,
                   LoadedData& data, const ReadProgress& progress = {});

// The layout of the file `path`, detected but for `choices`, and the
// preview's notice about it into `notice` when given.
Status DetectTableLayout(const std::string& path, const TableChoices& choices,
                         TableLayout& layout, std::string* notice = nullptr);

}  // namespace orvane

#endif  // ORVANE_IO_TABLE_IMPORT_H_
