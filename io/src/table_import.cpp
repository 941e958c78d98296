// SPDX-License-Identifier: MIT
#include "io/table_import.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <string_view>
#include <utility>

#include "core/utf8_text.h"
#include "io/number_token.h"
#include "io/text_file.h"

namespace orvane {
namespace {

// A line longer than this is no row of a measurement table.
constexpr std::size_t kMaxLineBytes = kMaxTextBytes;
// The lines looked at to tell the delimiter, the header and the roles.
constexpr std::size_t kSampleLines = 64;
// Column names in messages are cut to this many bytes.
constexpr std::size_t kMaxNameBytes = 40;

// The lines of a table, read by the loaders' block reader, which watches
// the source's stamp, tells the progress hook and starts again. A line ends
// at a line feed, a carriage return and line feed, or a carriage return
// alone. A byte order mark before the first line is dropped; the byte 26
// (Ctrl-Z) ends the source, as it ends a data file.
class TableLines {
 public:
  enum class Next {
    kLine,
    kEnd,
    kNullByte,
    kTooLong,
    kFailed,
    kChanged,
    kCancelled
  };

  explicit TableLines(ByteSource& source) : reader_(source) {}

  // Watches the source's stamp from `stamp` on, in this pass and the next.
  void WatchStamp(const std::optional<SourceStamp>& stamp) {
    reader_.WatchStamp(stamp);
  }

  // Tells `progress` (null or empty: none) of each block of pass `pass`, 1
  // or 2, as of one read of `total` bytes: the counting pass fills the first
  // half.
  void SetProgress(const ReadProgress* progress, std::uint64_t total,
                   int pass) {
    const bool told = progress != nullptr && *progress;
    user_progress_ = told ? progress : nullptr;
    pass_ = pass;
    reader_.SetProgress(told ? &halves_ : nullptr, total);
  }

  Next ReadLine(std::string& line) {
    line.clear();
    // A null byte begins a line; it is refused as such.
    if (reader_.AtEnd() && !reader_.AtNullByte()) return Ended();
    ++line_number_;
    // The first line may carry a byte order mark before its bytes.
    const std::size_t mark = line_number_ == 1 ? kByteOrderMark.size() : 0;
    const DataReader::TextLine read =
        reader_.ReadTextLine(line, kMaxLineBytes + mark);
    if (mark > 0 && line.compare(0, mark, kByteOrderMark) == 0) {
      line.erase(0, mark);
    }
    if (line.size() > kMaxLineBytes) return Next::kTooLong;
    switch (read) {
      case DataReader::TextLine::kNullByte:
        return Next::kNullByte;
      case DataReader::TextLine::kTooLong:
        return Next::kTooLong;
      case DataReader::TextLine::kEnd:
        // A last line without a line end is a line, unless the reading
        // stopped short of the end.
        if (reader_.Failed() || reader_.Cancelled()) return Ended();
        return Next::kLine;
      case DataReader::TextLine::kLine:
        break;
    }
    return Next::kLine;
  }

  // Why the reading ended: kEnd at the end of the source.
  Next Ended() {
    if (reader_.Cancelled()) return Next::kCancelled;
    if (reader_.StampChanged()) return Next::kChanged;
    if (reader_.Failed()) return Next::kFailed;
    return Next::kEnd;
  }

  std::int64_t LineNumber() const { return line_number_; }
  std::uint64_t Offset() const { return reader_.Offset(); }
  int ReadErrorNumber() const { return reader_.ReadErrorNumber(); }
  bool StampHolds() { return reader_.StampHolds(); }

  bool Restart() {
    line_number_ = 0;
    return reader_.Restart();
  }

 private:
  static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

  DataReader reader_;
  std::int64_t line_number_ = 0;
  const ReadProgress* user_progress_ = nullptr;
  int pass_ = 1;
  const ReadProgress halves_ = [this](std::uint64_t done, std::uint64_t total) {
    return (*user_progress_)(((static_cast<std::uint64_t>(pass_) - 1) * total +
                              std::min(done, total)) /
                                 2,
                             total);
  };
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool BlankLine(std::string_view line) {
  return Trim(line).empty();
}

char DelimiterChar(Delimiter d) {
  switch (d) {
    case Delimiter::kComma:
      return ',';
    case Delimiter::kSemicolon:
      return ';';
    case Delimiter::kTab:
      return '\t';
    case Delimiter::kWhiteSpace:
      break;
  }
  return ' ';
}

// Splits a line into its cells, unquoted and trimmed of blanks. A cell may
// be quoted with double quotes, a doubled quote standing for one; text after
// the closing quote belongs to the cell. Blank-separated cells are runs of
// non-blank bytes (or quoted text). False for a quote that is not closed.
bool SplitCells(std::string_view line, Delimiter delimiter,
                std::vector<std::string>& cells) {
  cells.clear();
  const bool blanks = delimiter == Delimiter::kWhiteSpace;
  const char sep = DelimiterChar(delimiter);
  std::size_t i = 0;
  const std::size_t n = line.size();
  auto at_sep = [&](std::size_t k) {
    return blanks ? IsBlank(line[k]) : line[k] == sep;
  };
  if (blanks) {
    while (i < n && IsBlank(line[i])) ++i;
    if (i == n) return true;
  }
  while (true) {
    std::string cell;
    // Leading blanks of a cell (never the tab delimiter itself).
    while (i < n && !at_sep(i) && IsBlank(line[i])) ++i;
    bool quoted = false;
    if (i < n && line[i] == '"') {
      quoted = true;
      ++i;
      bool closed = false;
      while (i < n) {
        if (line[i] == '"') {
          if (i + 1 < n && line[i + 1] == '"') {
            cell.push_back('"');
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        cell.push_back(line[i++]);
      }
      if (!closed) return false;
    }
    const std::size_t start = i;
    while (i < n && !at_sep(i)) ++i;
    const std::string_view rest = Trim(line.substr(start, i - start));
    if (quoted) {
      cell.append(rest);
    } else {
      cell.assign(rest);
    }
    cells.push_back(std::move(cell));
    if (i == n) break;
    if (blanks) {
      while (i < n && IsBlank(line[i])) ++i;
      if (i == n) break;
    } else {
      ++i;  // the delimiter
    }
  }
  return true;
}

// The cells of a row but the empty ones at its end (a delimiter closing each
// row, as some spreadsheets write).
std::size_t FilledWidth(const std::vector<std::string>& cells) {
  std::size_t n = cells.size();
  while (n > 0 && cells[n - 1].empty()) --n;
  return n;
}

// A line of delimiters, blanks and empty quotes only: a row of empty cells,
// whatever the delimiter.
bool EmptyRowLine(std::string_view line) {
  return std::all_of(line.begin(), line.end(), [](char c) {
    return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '"';
  });
}

bool AllEmpty(const std::vector<std::string>& cells) {
  return std::all_of(cells.begin(), cells.end(),
                     [](const std::string& c) { return c.empty(); });
}

enum class CellValue { kNumber, kEmpty, kNotNumber };

// Whether the cell shows a digit before any exponent. The data file's
// grammar reads ".", "-." and "e5" as 0; in a table "." is the missing-value
// mark of Stata and SAS, and none of them is a measurement.
bool HasMantissaDigit(std::string_view cell) {
  const std::string_view mantissa = cell.substr(0, cell.find_first_of("eE"));
  return std::any_of(mantissa.begin(), mantissa.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

CellValue ParseCell(const std::string& cell, bool decimal_comma,
                    long double& value) {
  if (cell.empty()) return CellValue::kEmpty;
  if (!HasMantissaDigit(cell)) return CellValue::kNotNumber;
  if (decimal_comma && cell.find(',') != std::string::npos) {
    if (cell.find('.') != std::string::npos) return CellValue::kNotNumber;
    std::string point(cell);
    std::replace(point.begin(), point.end(), ',', '.');
    return ConvertNumberToken(point, value) ? CellValue::kNumber
                                            : CellValue::kNotNumber;
  }
  return ConvertNumberToken(cell, value) ? CellValue::kNumber
                                         : CellValue::kNotNumber;
}

// A number written with a decimal comma: digits, one comma, digits.
bool LooksDecimalComma(const std::string& cell) {
  const std::size_t comma = cell.find(',');
  if (comma == std::string::npos || cell.find(',', comma + 1) != cell.npos ||
      cell.find('.') != std::string::npos) {
    return false;
  }
  long double ignored;
  return ParseCell(cell, true, ignored) == CellValue::kNumber;
}

// A header name reduced for matching: lower case, letters and digits only,
// any unit in brackets at its end taken apart ("Angle (rad)": "angle",
// "rad").
struct HeaderName {
  std::string word;
  std::string unit;
};

HeaderName ReduceName(std::string_view name) {
  HeaderName reduced;
  std::string_view stem = Trim(name);
  if (!stem.empty() && (stem.back() == ')' || stem.back() == ']')) {
    const char open = stem.back() == ')' ? '(' : '[';
    const std::size_t at = stem.rfind(open);
    if (at != std::string_view::npos) {
      for (char c : stem.substr(at + 1, stem.size() - at - 2)) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
          reduced.unit.push_back(
              static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        }
      }
      stem = stem.substr(0, at);
    }
  }
  // The Greek phi (U+03C6, U+03A6) is a name of the orientation.
  if (Trim(stem) == "\xCF\x86" || Trim(stem) == "\xCE\xA6") {
    reduced.word = "phi";
    return reduced;
  }
  for (char c : stem) {
    if (static_cast<unsigned char>(c) < 128 &&
        std::isalnum(static_cast<unsigned char>(c))) {
      reduced.word.push_back(
          static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
  }
  return reduced;
}

// The role a header name gives its column. A weak name ("max", "min") is
// an axis only where nothing better is named: ImageJ's measurements put
// the grey values Min and Max before the fitted ellipse's Major and Minor.
struct NamedRole {
  ColumnRole role = ColumnRole::kIgnored;
  bool weak = false;
};

NamedRole RoleOfName(const std::string& word) {
  static const char* const kMajor[] = {
      "major",     "majoraxis",     "a",
      "long",      "longaxis",      "laxis",
      "semimajor", "semimajoraxis", "majorsemiaxis"};
  static const char* const kMinor[] = {
      "minor",     "minoraxis",     "b",
      "short",     "shortaxis",     "saxis",
      "semiminor", "semiminoraxis", "minorsemiaxis"};
  static const char* const kRatio[] = {"r", "rf", "ratio", "axialratio"};
  static const char* const kAngle[] = {"angle", "phi", "orientation", "theta",
                                       "azimuth"};
  static const char* const kX[] = {"x", "cx", "centroidx", "xcentroid"};
  static const char* const kY[] = {"y", "cy", "centroidy", "ycentroid"};
  auto in = [&word](const auto& names) {
    return std::any_of(std::begin(names), std::end(names),
                       [&word](const char* n) { return word == n; });
  };
  if (in(kMajor)) return {ColumnRole::kMajor, false};
  if (in(kMinor)) return {ColumnRole::kMinor, false};
  if (in(kRatio)) return {ColumnRole::kRatio, false};
  if (in(kAngle)) return {ColumnRole::kAngle, false};
  if (in(kX)) return {ColumnRole::kX, false};
  if (in(kY)) return {ColumnRole::kY, false};
  if (word == "area") return {ColumnRole::kArea, false};
  if (word == "max") return {ColumnRole::kMajor, true};
  if (word == "min") return {ColumnRole::kMinor, true};
  return {};
}

// Whether a header name says that the table holds grey values, as ImageJ's
// intensity measurements do: then its Min and Max are grey values too.
bool NamesIntensity(const std::string& word) {
  static const char* const kIntensity[] = {"mean",   "median", "mode",
                                           "stddev", "intden", "rawintden",
                                           "skew",   "kurt"};
  return std::any_of(std::begin(kIntensity), std::end(kIntensity),
                     [&word](const char* n) { return word == n; });
}

// The name a message gives a column: its header name, printable and cut,
// or its number from 1.
std::string ColumnLabel(const std::vector<std::string>& names, int column) {
  if (column >= 0 && static_cast<std::size_t>(column) < names.size() &&
      !names[static_cast<std::size_t>(column)].empty()) {
    return PrintableText(names[static_cast<std::size_t>(column)],
                         kMaxNameBytes);
  }
  return std::to_string(column + 1);
}

Status LineRefusal(StatusCode code, std::int64_t line, const std::string& why,
                   std::int32_t datum) {
  return Status(code, "line " + std::to_string(line) + ": " + why, datum);
}

Status CellRefusal(StatusCode code, std::int64_t line,
                   const std::string& column, const std::string& why,
                   std::int32_t datum) {
  return Status(
      code, "line " + std::to_string(line) + ", column " + column + ": " + why,
      datum);
}

// The refusal of a table whose bytes changed between or during the passes.
Status Changed() {
  return Status(StatusCode::kReadError, "The file changed while it was read.");
}

// The refusal for a line the reader could not give.
Status ReaderRefusal(const TableLines& lines, TableLines::Next next,
                     std::int32_t datum) {
  const std::int64_t line = lines.LineNumber();
  switch (next) {
    case TableLines::Next::kNullByte:
      return LineRefusal(StatusCode::kReadError, line,
                         "a null byte: this is no text table", datum);
    case TableLines::Next::kTooLong:
      return LineRefusal(StatusCode::kReadError, line,
                         "longer than " + std::to_string(kMaxLineBytes) +
                             " bytes: this is no measurement table",
                         datum);
    case TableLines::Next::kCancelled:
      return Status(StatusCode::kCancelled, "Cancelled.");
    case TableLines::Next::kChanged:
      return Changed();
    default:
      if (lines.ReadErrorNumber() != 0) {
        return ReadFailure(lines.ReadErrorNumber());
      }
      return LineRefusal(StatusCode::kReadError, line,
                         "the file cannot be read", datum);
  }
}

bool AxisFitsSingle(long double v) {
  const float f = static_cast<float>(v);
  return std::isfinite(f) &&
         (v == 0 || std::fabs(f) >= std::numeric_limits<float>::min());
}

// A row's centroid and area, where the layout reads them.
struct RowPlace {
  double x = 0;
  double y = 0;
  double area = 0;
};

// Reads the datum of a data row's cells as a table of `width` cells (that of
// the header, or of the row at line `width_line`) with `layout` holds it:
// the row at line `at`, datum `n`; `names` are the header's.
Status RowDatum(const std::vector<std::string>& cells, std::size_t width,
                std::int64_t width_line, const TableLayout& layout,
                const std::vector<std::string>& names, std::int64_t at,
                std::int32_t n, MarkerRecord& d, RowPlace& place) {
  const bool by_ratio = layout.ratio_column >= 0;
  const int needed =
      std::max({layout.major_column, layout.minor_column, layout.ratio_column,
                layout.angle_column, layout.x_column, layout.y_column,
                layout.area_column}) +
      1;
  // A row may close with empty cells beyond the width, but it holds no
  // more filled cells and no fewer cells than the width: a cell missing or
  // split in two would shift the columns.
  if (FilledWidth(cells) > width || cells.size() < width) {
    return LineRefusal(
        StatusCode::kReadError, at,
        std::to_string(FilledWidth(cells)) + " cells where " +
            (layout.header ? std::string("the header")
                           : "line " + std::to_string(width_line)) +
            " has " + std::to_string(width),
        n);
  }
  if (cells.size() < static_cast<std::size_t>(needed)) {
    return LineRefusal(StatusCode::kReadError, at,
                       std::to_string(cells.size()) +
                           " cells where the columns chosen need " +
                           std::to_string(needed),
                       n);
  }
  long double values[3] = {0, 1, 0};  // major, minor, orientation
  const int columns[3] = {by_ratio ? layout.ratio_column : layout.major_column,
                          by_ratio ? -1 : layout.minor_column,
                          layout.angle_column};
  for (int k = 0; k < 3; ++k) {
    if (columns[k] < 0) continue;
    const std::string& cell = cells[static_cast<std::size_t>(columns[k])];
    const CellValue v = ParseCell(cell, layout.decimal_comma, values[k]);
    if (v != CellValue::kNumber) {
      return CellRefusal(
          StatusCode::kReadError, at, ColumnLabel(names, columns[k]),
          v == CellValue::kEmpty ? "empty cell" : "not a number", n);
    }
  }
  // The centroid and the area, when read, are finite numbers of any size.
  double* const place_values[3] = {&place.x, &place.y, &place.area};
  const int place_columns[3] = {layout.x_column, layout.y_column,
                                layout.area_column};
  for (int k = 0; k < 3; ++k) {
    if (place_columns[k] < 0) continue;
    const std::string& cell = cells[static_cast<std::size_t>(place_columns[k])];
    long double value = 0;
    const CellValue v = ParseCell(cell, layout.decimal_comma, value);
    const double stored = static_cast<double>(value);
    if (v != CellValue::kNumber || !std::isfinite(stored)) {
      return CellRefusal(
          StatusCode::kReadError, at, ColumnLabel(names, place_columns[k]),
          v == CellValue::kEmpty    ? "empty cell"
          : v == CellValue::kNumber ? "beyond the range of double precision"
                                    : "not a number",
          n);
    }
    *place_values[k] = stored;
  }
  const long double phi = ToNativeOrientation(values[2], layout.convention);
  const StatusCode code = CheckDatum(values[0], values[1], phi, d);
  if (code == StatusCode::kOk) return Status();
  const std::string major = ColumnLabel(names, columns[0]);
  const std::string minor = ColumnLabel(names, columns[1]);
  switch (code) {
    case StatusCode::kReadError: {
      int column = columns[2];
      if (!AxisFitsSingle(values[0])) {
        column = columns[0];
      } else if (!AxisFitsSingle(values[1])) {
        column = columns[1];
      }
      return CellRefusal(code, at, ColumnLabel(names, column),
                         "beyond the range of single precision", n);
    }
    case StatusCode::kMajorShorter:
      return by_ratio
                 ? CellRefusal(code, at, major, "axial ratio is below 1", n)
                 : CellRefusal(code, at, minor,
                               "major axis is shorter than minor one", n);
    case StatusCode::kNegativeRadii:
      return CellRefusal(code, at, major, "both axes are negative", n);
    case StatusCode::kMinorNotPositive:
      return CellRefusal(code, at, minor, "minor axis must be positive", n);
    default:
      return CellRefusal(code, at, by_ratio ? major : minor,
                         "axial ratio out of range (at most 1000)", n);
  }
}

// One pass over the table. With `fill`, the data rows are stored into it
// (its records already allocated for `count` of them, never more: a row
// beyond them is a change of the source); without, they are counted into
// `count`. The column names of the header are kept in `names`.
Status ReadRows(TableLines& reader, const TableLayout& layout, LoadedData* fill,
                std::int32_t& count, std::vector<std::string>& names) {
  std::string line;
  std::vector<std::string> cells;
  bool header_pending = layout.header;
  std::size_t width = 0;  // the cells of a row: header's or first row's
  std::int64_t width_line = 0;
  std::int32_t n = 0;
  names.clear();
  while (true) {
    const TableLines::Next next = reader.ReadLine(line);
    const std::int64_t at = reader.LineNumber();
    if (next == TableLines::Next::kEnd) break;
    if (next != TableLines::Next::kLine) {
      return ReaderRefusal(reader, next, n + 1);
    }
    if (BlankLine(line)) continue;
    if (!SplitCells(line, layout.delimiter, cells)) {
      return LineRefusal(StatusCode::kReadError, at,
                         "a quoted cell is not closed", n + 1);
    }
    if (AllEmpty(cells)) continue;
    if (header_pending) {
      header_pending = false;
      names = cells;
      width = FilledWidth(cells);
      width_line = at;
      continue;
    }
    if (width == 0) {
      width = FilledWidth(cells);
      width_line = at;
    }
    if (n == std::numeric_limits<std::int32_t>::max() - 1) {
      return Refusal(StatusCode::kOutOfMemory, n);
    }
    if (fill != nullptr && n == fill->count) return Changed();
    ++n;
    MarkerRecord scratch;
    const auto slot = static_cast<std::size_t>(n);
    MarkerRecord& d = fill != nullptr ? fill->measured[slot] : scratch;
    RowPlace place;
    if (Status read =
            RowDatum(cells, width, width_line, layout, names, at, n, d, place);
        !read.ok()) {
      return read;
    }
    if (fill != nullptr) {
      MarkerPlaces& places = fill->places;
      if (places.HasCentroids()) {
        places.x[slot] = place.x;
        places.y[slot] = place.y;
      }
      if (places.HasAreas()) places.area[slot] = place.area;
    }
  }
  if (n == 0) {
    return Status(StatusCode::kReadError,
                  layout.header && !names.empty()
                      ? "The table has a header but no data rows."
                      : "The table holds no data rows.");
  }
  count = n;
  return Status();
}

// The delimiter that splits the first sampled line (the header, or the
// first row) into two or more cells, and the most of the other lines into as
// many: tab, then semicolon, then comma on a tie; blanks when none splits at
// least half of the lines alike, so that a faulty row does not hide the
// delimiter of the rest (its own refusal then names it).
Delimiter DetectDelimiter(const std::vector<std::string>& sample) {
  std::vector<std::string> cells;
  Delimiter best = Delimiter::kWhiteSpace;
  std::size_t best_score = 0;
  for (Delimiter d :
       {Delimiter::kTab, Delimiter::kSemicolon, Delimiter::kComma}) {
    std::size_t width = 0, score = 0;
    for (const std::string& line : sample) {
      const std::size_t filled =
          SplitCells(line, d, cells) ? FilledWidth(cells) : 0;
      if (width == 0) {
        if (filled < 2) break;
        width = filled;
      }
      if (filled == width) ++score;
    }
    if (score > best_score && 2 * score >= sample.size()) {
      best = d;
      best_score = score;
    }
  }
  return best;
}

}  // namespace

long double ToNativeOrientation(long double value, AngleConvention convention) {
  const long double degrees = convention.unit == AngleUnit::kRadians
                                  ? value * kDegreesPerRadian
                                  : value;
  const bool clockwise = convention.sense == AngleSense::kClockwise;
  if (convention.reference == AngleReference::kNorth) {
    return clockwise ? 90.0L - degrees : 90.0L + degrees;
  }
  return clockwise ? -degrees : degrees;
}

Status CheckLayout(const TableLayout& layout) {
  if (layout.angle_column < 0) {
    return Status(StatusCode::kReadError, "No column holds the orientation.");
  }
  const bool axes = layout.major_column >= 0 || layout.minor_column >= 0;
  if (axes && layout.ratio_column >= 0) {
    return Status(StatusCode::kReadError,
                  "Give either the major and minor axis or R, not both.");
  }
  if (!axes && layout.ratio_column < 0) {
    return Status(StatusCode::kReadError,
                  "No column holds the major and minor axis or R.");
  }
  if (axes && (layout.major_column < 0 || layout.minor_column < 0)) {
    return Status(StatusCode::kReadError,
                  layout.major_column < 0 ? "No column holds the major axis."
                                          : "No column holds the minor axis.");
  }
  if ((layout.x_column >= 0) != (layout.y_column >= 0)) {
    return Status(StatusCode::kReadError,
                  layout.x_column < 0 ? "No column holds the centroid's x."
                                      : "No column holds the centroid's y.");
  }
  const int used[] = {layout.major_column, layout.minor_column,
                      layout.ratio_column, layout.angle_column,
                      layout.x_column,     layout.y_column,
                      layout.area_column};
  constexpr int kUsed = static_cast<int>(std::size(used));
  for (int i = 0; i < kUsed; ++i) {
    for (int j = i + 1; j < kUsed; ++j) {
      if (used[i] >= 0 && used[i] == used[j]) {
        return Status(
            StatusCode::kReadError,
            "Column " + std::to_string(used[i] + 1) + " is given two roles.");
      }
    }
  }
  if (layout.decimal_comma && layout.delimiter == Delimiter::kComma) {
    return Status(StatusCode::kReadError,
                  "A table separated by commas cannot have decimal commas.");
  }
  return Status();
}

Status PreviewTable(ByteSource& source, const TableChoices& choices,
                    TablePreview& preview, std::size_t max_rows) {
  preview = TablePreview{};
  TableLines reader(source);
  reader.WatchStamp(source.Stamp());
  std::vector<std::string> sample;
  std::vector<std::int64_t> sample_lines;
  std::int64_t non_empty = 0;
  std::string line;
  while (true) {
    const TableLines::Next next = reader.ReadLine(line);
    if (next == TableLines::Next::kEnd) break;
    if (next != TableLines::Next::kLine) return ReaderRefusal(reader, next, 0);
    if (BlankLine(line) || EmptyRowLine(line)) continue;
    ++non_empty;
    if (sample.size() < kSampleLines) {
      sample.push_back(line);
      sample_lines.push_back(reader.LineNumber());
    }
  }
  TableLayout& layout = preview.layout;
  layout.delimiter =
      choices.delimiter ? *choices.delimiter : DetectDelimiter(sample);
  // Cells of the sample, split; lines with all cells empty are no rows.
  std::vector<std::vector<std::string>> split;
  std::vector<std::int64_t> split_lines;
  for (std::size_t i = 0; i < sample.size(); ++i) {
    std::vector<std::string> cells;
    if (!SplitCells(sample[i], layout.delimiter, cells)) {
      return LineRefusal(StatusCode::kReadError, sample_lines[i],
                         "a quoted cell is not closed", 0);
    }
    if (AllEmpty(cells)) continue;
    split.push_back(std::move(cells));
    split_lines.push_back(sample_lines[i]);
  }
  if (split.empty()) {
    return Status(StatusCode::kReadError, "The table holds no data rows.");
  }

  // Decimal commas: a cell like "12,5" where the comma is no delimiter.
  if (choices.decimal_comma) {
    layout.decimal_comma = *choices.decimal_comma;
  } else if (layout.delimiter != Delimiter::kComma) {
    for (const auto& cells : split) {
      if (std::any_of(cells.begin(), cells.end(), LooksDecimalComma)) {
        layout.decimal_comma = true;
        break;
      }
    }
  }
  // A header: a first row with a cell that is no number.
  if (choices.header) {
    layout.header = *choices.header;
  } else {
    long double ignored;
    layout.header = std::any_of(
        split.front().begin(), split.front().end(), [&](const std::string& c) {
          return !c.empty() && ParseCell(c, layout.decimal_comma, ignored) !=
                                   CellValue::kNumber;
        });
  }
  const std::size_t first_data = layout.header ? 1 : 0;
  const std::size_t width =
      layout.header
          ? FilledWidth(split.front())
          : (split.size() > first_data ? FilledWidth(split[first_data]) : 0);
  for (std::size_t c = 0; c < width; ++c) {
    preview.column_names.push_back(layout.header ? split.front()[c]
                                                 : std::to_string(c + 1));
  }
  for (std::size_t i = first_data;
       i < split.size() && preview.rows.size() < max_rows; ++i) {
    preview.rows.push_back({split_lines[i], split[i]});
  }
  preview.row_count = non_empty - static_cast<std::int64_t>(first_data);
  if (preview.row_count == 0) {
    return Status(StatusCode::kReadError,
                  "The table has a header but no data rows.");
  }

  // The roles: chosen, or by the header's names, or by the count of
  // columns (three or more: major, minor, orientation; two: R, orientation).
  std::vector<ColumnRole> roles;
  if (choices.roles) {
    roles = *choices.roles;
  } else if (layout.header) {
    roles.assign(width, ColumnRole::kIgnored);
    bool seen[8] = {};
    std::vector<HeaderName> names(width);
    std::vector<NamedRole> named(width);
    // Min and Max are the axes only when no column is named as an axis or
    // as R, and nothing in the header says that they are grey values.
    bool take_weak = true;
    for (std::size_t c = 0; c < width; ++c) {
      names[c] = ReduceName(split.front()[c]);
      named[c] = RoleOfName(names[c].word);
      const bool names_size = named[c].role == ColumnRole::kMajor ||
                              named[c].role == ColumnRole::kMinor ||
                              named[c].role == ColumnRole::kRatio;
      if ((names_size && !named[c].weak) || NamesIntensity(names[c].word)) {
        take_weak = false;
      }
    }
    auto seen_role = [&seen](ColumnRole role) {
      return seen[static_cast<std::size_t>(role)];
    };
    for (std::size_t c = 0; c < width; ++c) {
      const HeaderName& name = names[c];
      const ColumnRole role = named[c].role;
      const auto r = static_cast<std::size_t>(role);
      if (role == ColumnRole::kIgnored || seen[r]) continue;
      if (named[c].weak && !take_weak) continue;
      if (named[c].weak) {
        preview.notice =
            "The columns Min and Max are taken as the minor and major axes: "
            "choose the columns if they hold anything else.";
      }
      seen[r] = true;
      roles[c] = role;
      if (role == ColumnRole::kAngle && !choices.convention) {
        if (name.word == "azimuth") {
          layout.convention.reference = AngleReference::kNorth;
          layout.convention.sense = AngleSense::kClockwise;
        }
        if (name.unit == "rad" || name.unit == "radian" ||
            name.unit == "radians") {
          layout.convention.unit = AngleUnit::kRadians;
        }
      }
    }
    // The axes win over R when a table gives both (as an aspect ratio
    // beside the fitted axes).
    if (seen_role(ColumnRole::kMajor) && seen_role(ColumnRole::kMinor)) {
      std::replace(roles.begin(), roles.end(), ColumnRole::kRatio,
                   ColumnRole::kIgnored);
    } else if (seen_role(ColumnRole::kRatio)) {
      std::replace(roles.begin(), roles.end(), ColumnRole::kMajor,
                   ColumnRole::kIgnored);
      std::replace(roles.begin(), roles.end(), ColumnRole::kMinor,
                   ColumnRole::kIgnored);
    }
    // A lone x or y column is no centroid.
    if (seen_role(ColumnRole::kX) != seen_role(ColumnRole::kY)) {
      std::replace(roles.begin(), roles.end(), ColumnRole::kX,
                   ColumnRole::kIgnored);
      std::replace(roles.begin(), roles.end(), ColumnRole::kY,
                   ColumnRole::kIgnored);
    }
  } else if (width >= 3) {
    roles = {ColumnRole::kMajor, ColumnRole::kMinor, ColumnRole::kAngle};
  } else if (width == 2) {
    roles = {ColumnRole::kRatio, ColumnRole::kAngle};
  }
  if (choices.convention) layout.convention = *choices.convention;
  for (std::size_t c = 0; c < roles.size(); ++c) {
    const int column = static_cast<int>(c);
    switch (roles[c]) {
      case ColumnRole::kMajor:
        if (layout.major_column < 0) layout.major_column = column;
        break;
      case ColumnRole::kMinor:
        if (layout.minor_column < 0) layout.minor_column = column;
        break;
      case ColumnRole::kRatio:
        if (layout.ratio_column < 0) layout.ratio_column = column;
        break;
      case ColumnRole::kAngle:
        if (layout.angle_column < 0) layout.angle_column = column;
        break;
      case ColumnRole::kX:
        if (layout.x_column < 0) layout.x_column = column;
        break;
      case ColumnRole::kY:
        if (layout.y_column < 0) layout.y_column = column;
        break;
      case ColumnRole::kArea:
        if (layout.area_column < 0) layout.area_column = column;
        break;
      case ColumnRole::kIgnored:
        break;
    }
  }
  if (layout.header && !choices.roles && layout.angle_column < 0 &&
      layout.major_column < 0 && layout.ratio_column < 0) {
    std::string listed;
    for (std::size_t c = 0; c < width && c < 8; ++c) {
      if (c > 0) listed += ", ";
      listed += ColumnLabel(preview.column_names, static_cast<int>(c));
    }
    return Status(StatusCode::kReadError,
                  "No column of the header (" + listed +
                      ") is known: choose the columns.");
  }
  return CheckLayout(layout);
}

Status PreviewRowDatum(const TablePreview& preview, std::size_t row,
                       MarkerRecord& d) {
  d = MarkerRecord{};
  const TableLayout& layout = preview.layout;
  if (Status valid = CheckLayout(layout); !valid.ok()) return valid;
  const TablePreview::Row& r = preview.rows.at(row);
  const std::vector<std::string> none;
  const std::int64_t width_line =
      preview.rows.empty() ? 0 : preview.rows.front().line;
  RowPlace place;
  return RowDatum(r.cells, preview.column_names.size(), width_line, layout,
                  layout.header ? preview.column_names : none, r.line,
                  static_cast<std::int32_t>(row + 1), d, place);
}

Status ImportTable(ByteSource& source, const TableLayout& layout,
                   LoadedData& data, const ReadProgress& progress) {
  data = LoadedData{};
  if (Status valid = CheckLayout(layout); !valid.ok()) return valid;
  TableLines reader(source);
  const std::optional<SourceStamp> stamp = source.Stamp();
  const std::uint64_t total = stamp ? stamp->size : 0;
  std::vector<std::string> names;

  // Counting pass: every row is checked; nothing is stored. The stamp is
  // compared after each block and at the end of the source, in both passes,
  // so that no byte of another version of the source is used.
  reader.WatchStamp(stamp);
  reader.SetProgress(&progress, total, 1);
  std::int32_t n = 0;
  if (Status counted = ReadRows(reader, layout, nullptr, n, names);
      !counted.ok()) {
    return counted;
  }
  const std::uint64_t end = reader.Offset();

  LoadedData loaded;
  try {
    const auto slots = static_cast<std::size_t>(n) + 1;
    loaded.measured.assign(slots, MarkerRecord{});
    if (layout.x_column >= 0) {
      loaded.places.x.assign(slots, 0.0);
      loaded.places.y.assign(slots, 0.0);
    }
    if (layout.area_column >= 0) loaded.places.area.assign(slots, 0.0);
  } catch (const std::bad_alloc&) {
    return Refusal(StatusCode::kOutOfMemory, n);
  }
  loaded.count = n;

  // Filling pass, over a source of the same stamp, into the records counted
  // and no further; it must end where the counting pass ended, with as many
  // rows.
  if (!reader.Restart() || source.Stamp() != stamp) return Changed();
  reader.SetProgress(&progress, total, 2);
  std::int32_t again = 0;
  if (Status filled = ReadRows(reader, layout, &loaded, again, names);
      !filled.ok()) {
    return filled;
  }
  if (again != n || reader.Offset() != end || !reader.StampHolds()) {
    return Changed();
  }
  data = std::move(loaded);
  return Status();
}

Status ImportTable(const std::string& path, const TableLayout& layout,
                   LoadedData& data, const ReadProgress& progress) {
  data = LoadedData{};
  if (!FileExists(path)) return Refusal(StatusCode::kFileMissing, 0);
  FileSource file;
  if (Status opened = file.Open(path); !opened.ok()) return opened;
  return ImportTable(file, layout, data, progress);
}

Status DetectTableLayout(const std::string& path, const TableChoices& choices,
                         TableLayout& layout, std::string* notice) {
  if (!FileExists(path)) return Refusal(StatusCode::kFileMissing, 0);
  FileSource file;
  if (Status opened = file.Open(path); !opened.ok()) return opened;
  TablePreview preview;
  const Status found = PreviewTable(file, choices, preview, 0);
  layout = preview.layout;
  if (notice != nullptr) *notice = preview.notice;
  return found;
}

}  // namespace orvane
