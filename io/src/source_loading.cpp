// SPDX-License-Identifier: MIT
// The reading of a data source as its choices say: the one place where the
// kind of a source picks its reader, for the command-line tool, the window's
// imports and the sections of a strain study.
#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "io/number_token.h"
#include "io/study.h"
#include "io/text_file.h"

namespace orvane {
namespace {

// ---- Tables of grain ellipsoids -----------------------------------------

// A grain's row: r1, r2, r3, then the x, y and z of each of its three axes.
constexpr std::size_t kGrainCells = 12;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsSeparator(char c) {
  return c == ',' || c == ';' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Splits a row into its cells: at each comma, semicolon or tab where the
// line holds any, else at its runs of blanks. Cells are trimmed of blanks
// and of a pair of double quotes around them; empty cells at the end of the
// row (a delimiter closing it, as some spreadsheets write) are dropped.
void SplitGrainRow(std::string_view line,
                   std::vector<std::string_view>& cells) {
  cells.clear();
  if (std::any_of(line.begin(), line.end(), IsSeparator)) {
    while (true) {
      const auto end = std::find_if(line.begin(), line.end(), IsSeparator);
      const auto length = static_cast<std::size_t>(end - line.begin());
      cells.push_back(TrimBlanks(line.substr(0, length)));
      if (end == line.end()) break;
      line.remove_prefix(length + 1);
    }
  } else {
    while (true) {
      line = TrimBlanks(line);
      if (line.empty()) break;
      const auto end = std::find_if(line.begin(), line.end(), IsBlank);
      const auto length = static_cast<std::size_t>(end - line.begin());
      cells.push_back(line.substr(0, length));
      line.remove_prefix(length);
    }
  }
  for (std::string_view& cell : cells) {
    if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') {
      cell = TrimBlanks(cell.substr(1, cell.size() - 2));
    }
  }
  while (!cells.empty() && cells.back().empty()) cells.pop_back();
}

// A cell's number; false for a cell that is none. A digit must stand
// before any exponent: "." and "e5", which the data file's grammar reads as
// 0, are no measurement in a table.
bool GrainNumber(std::string_view cell, long double& value) {
  const std::string_view mantissa = cell.substr(0, cell.find_first_of("eE"));
  if (std::none_of(mantissa.begin(), mantissa.end(),
                   [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  return ConvertCommonNumberToken(cell.data(), cell.data() + cell.size(),
                                  value) ||
         ConvertNumberToken(cell, value);
}

Status GrainRowRefusal(StatusCode code, std::int64_t line,
                       const std::string& why, std::int32_t datum) {
  return Status(code, "line " + std::to_string(line) + ": " + why, datum);
}

// The ellipses of the grains read so far, in chunks of fixed size, so that
// neither the growth nor the final length of the data needs a copy of all
// of them at once beside it.
class StagedEllipses {
 public:
  void Add(const MarkerRecord& d) {
    if (used_ == kChunk) {
      // Left uninitialised: every value is written before it is read.
      chunks_.push_back(std::unique_ptr<Values[]>(new Values[kChunk]));
      used_ = 0;
    }
    chunks_.back()[used_++] = {d.major, d.minor, d.phi, d.ratio};
  }
  // Writes them, in the order read, to the records from `out` on, and
  // frees each chunk once copied.
  void MoveTo(MarkerRecord* out) {
    for (std::size_t c = 0; c < chunks_.size(); ++c) {
      const std::size_t count = c + 1 == chunks_.size() ? used_ : kChunk;
      for (std::size_t i = 0; i < count; ++i, ++out) {
        const Values& v = chunks_[c][i];
        out->major = v[0];
        out->minor = v[1];
        out->phi = v[2];
        out->ratio = v[3];
      }
      chunks_[c].reset();
    }
    chunks_.clear();
    used_ = kChunk;
  }

 private:
  using Values = std::array<float, 4>;  // major, minor, phi, ratio
  static constexpr std::size_t kChunk = std::size_t{1} << 16;
  std::vector<std::unique_ptr<Values[]>> chunks_;
  std::size_t used_ = kChunk;
};

// Reads row `cells` (at line `line`, grain `n`) and stores the ellipse in
// which `plane` cuts its grain into `d`.
Status ReadGrainRow(const std::vector<std::string_view>& cells,
                    const SectionPlane& plane, std::int64_t line,
                    std::int32_t n, MarkerRecord& d) {
  if (cells.size() != kGrainCells) {
    return GrainRowRefusal(
        StatusCode::kReadError, line,
        std::to_string(cells.size()) +
            " cells where a grain has 12: r1, r2, r3 and the x, y and z of "
            "each axis",
        n);
  }
  std::array<double, kGrainCells> values{};
  for (std::size_t c = 0; c < kGrainCells; ++c) {
    long double value = 0;
    const bool number = GrainNumber(cells[c], value);
    if (!number || !std::isfinite(static_cast<double>(value))) {
      return Status(StatusCode::kReadError,
                    "line " + std::to_string(line) + ", column " +
                        std::to_string(c + 1) + ": " +
                        (number             ? "beyond double precision"
                         : cells[c].empty() ? "empty cell"
                                            : "not a number"),
                    n);
    }
    values[c] = static_cast<double>(value);
  }
  GrainEllipsoid grain;
  for (std::size_t i = 0; i < 3; ++i) {
    grain.radii[i] = values[i];
    for (std::size_t k = 0; k < 3; ++k) {
      grain.axes[i][k] = values[3 + 3 * i + k];
    }
  }
  double major = 0, minor = 0, phi = 0;
  if (Status cut = CutGrain(grain, plane, major, minor, phi); !cut.ok()) {
    return GrainRowRefusal(StatusCode::kReadError, line, cut.message(), n);
  }
  const StatusCode code = CheckDatum(major, minor, phi, d);
  switch (code) {
    case StatusCode::kOk:
      return Status();
    case StatusCode::kRatioOutOfRange:
      return GrainRowRefusal(code, line,
                             "axial ratio out of range (at most 1000)", n);
    case StatusCode::kReadError:
      return GrainRowRefusal(
          code, line, "the section's axes are beyond single precision", n);
    default:  // the cut's major axis is never the shorter, its minor > 0
      return GrainRowRefusal(code, line, Refusal(code, n).message(), n);
  }
}

// Reads the table of grain ellipsoids of `source` (see LoadSource), each
// grain cut by `plane`, into `data`; a refusal leaves `data` empty.
Status ReadGrainTable(ByteSource& source, const SectionPlane& plane,
                      LoadedData& data, const ReadProgress& progress) {
  data = LoadedData{};
  DataReader reader(source);
  const std::optional<SourceStamp> stamp = source.Stamp();
  reader.WatchStamp(stamp);
  reader.SetProgress(&progress, stamp ? stamp->size : 0);
  StagedEllipses staged;
  std::string line;
  std::vector<std::string_view> cells;
  std::int64_t at = 0;  // the line number
  std::int32_t n = 0;   // grains read
  bool first_row = true;
  // A null byte begins a line; it is refused as such.
  while (!reader.AtEnd() || reader.AtNullByte()) {
    ++at;
    const std::size_t mark = at == 1 ? kByteOrderMark.size() : 0;
    const DataReader::TextLine read =
        reader.ReadTextLine(line, kMaxTextBytes + mark);
    if (mark > 0 && line.starts_with(kByteOrderMark)) line.erase(0, mark);
    if (read == DataReader::TextLine::kNullByte) {
      return GrainRowRefusal(StatusCode::kReadError, at,
                             "a null byte: this is no text table", n + 1);
    }
    if (read == DataReader::TextLine::kTooLong || line.size() > kMaxTextBytes) {
      return GrainRowRefusal(StatusCode::kReadError, at,
                             "longer than " + std::to_string(kMaxTextBytes) +
                                 " bytes: this is no table of grains",
                             n + 1);
    }
    // A read cut short by a failure or a stop leaves no line to read.
    if (read == DataReader::TextLine::kEnd &&
        (reader.Failed() || reader.Cancelled())) {
      break;
    }
    SplitGrainRow(line, cells);
    if (cells.empty()) continue;
    if (std::exchange(first_row, false) &&
        std::none_of(cells.begin(), cells.end(), [](std::string_view c) {
          long double ignored;
          return GrainNumber(c, ignored);
        })) {
      continue;  // the header
    }
    if (n == std::numeric_limits<std::int32_t>::max() - 1) {
      return Refusal(StatusCode::kOutOfMemory, n);
    }
    ++n;
    MarkerRecord d;
    if (Status row = ReadGrainRow(cells, plane, at, n, d); !row.ok()) {
      return row;
    }
    try {
      staged.Add(d);
    } catch (const std::bad_alloc&) {
      return Refusal(StatusCode::kOutOfMemory, n);
    }
  }
  // A stop outweighs whatever the cut reading would have found; bytes of
  // another version of the file are used for nothing.
  const Status changed(StatusCode::kReadError,
                       "The file changed while it was read.");
  if (reader.Cancelled()) return Status(StatusCode::kCancelled, "Cancelled.");
  if (reader.StampChanged()) return changed;
  if (reader.Failed()) {
    return reader.ReadErrorNumber() != 0
               ? ReadFailure(reader.ReadErrorNumber())
               : GrainRowRefusal(StatusCode::kReadError, at,
                                 "the file cannot be read", n + 1);
  }
  if (!reader.StampHolds()) return changed;
  // No grain at all reads as an empty data file does: the analysis then
  // says that there are no data.
  LoadedData loaded;
  try {
    loaded.measured.assign(static_cast<std::size_t>(n) + 1, MarkerRecord{});
  } catch (const std::bad_alloc&) {
    return Refusal(StatusCode::kOutOfMemory, n);
  }
  staged.MoveTo(loaded.measured.data() + 1);
  loaded.count = n;
  data = std::move(loaded);
  return Status();
}

Status LoadGrainEllipsoids(const std::string& path,
                           const SourceChoices& choices, LoadedData& data,
                           const ReadProgress& progress) {
  data = LoadedData{};
  if (!choices.plane) {
    return Status(StatusCode::kInvalidSettings,
                  "a table of ellipsoids is read in a study, cut by its "
                  "section's plane");
  }
  if (!FileExists(path)) return Refusal(StatusCode::kFileMissing, 0);
  FileSource file;
  if (Status opened = file.Open(path); !opened.ok()) return opened;
  return ReadGrainTable(file, *choices.plane, data, progress);
}

// ---- Grain outlines and label images ------------------------------------

// Reads grain outlines or a label image, writes their ellipses where asked
// and turns them into data.
Status LoadGrains(const std::string& path, const SourceChoices& choices,
                  LoadedData& data) {
  OutlineReading reading;
  if (Status read = choices.kind == SourceChoices::Kind::kLabelImage
                        ? ReadLabelImage(path, choices.image, reading)
                        : ReadOutlineFile(path, choices.layer, reading);
      !read.ok()) {
    return read;
  }
  const std::string& out = choices.export_ellipses;
  if (std::string error;
      !out.empty() && !WriteEllipseTable(reading, out, error)) {
    return Status(StatusCode::kWriteFailed,
                  "Cannot write " + out + ": " + error);
  }
  return OutlineData(reading, data);
}

}  // namespace

Status LoadSource(const std::string& path, const SourceChoices& choices,
                  LoadedData& data, const ReadProgress& progress,
                  std::string* notice) {
  switch (choices.kind) {
    case SourceChoices::Kind::kNative:
      return ReadDataFile(path, data, progress);
    case SourceChoices::Kind::kOutlines:
    case SourceChoices::Kind::kLabelImage:
      return LoadGrains(path, choices, data);
    case SourceChoices::Kind::kEllipsoids:
      return LoadGrainEllipsoids(path, choices, data, progress);
    case SourceChoices::Kind::kTable:
      break;
  }
  TableLayout layout;
  std::string found_notice;
  if (Status found =
          DetectTableLayout(path, choices.table, layout, &found_notice);
      !found.ok()) {
    return found;
  }
  if (notice != nullptr) *notice = std::move(found_notice);
  return ImportTable(path, layout, data, progress);
}

bool ParseColumnRoles(std::string_view text, std::vector<ColumnRole>& roles) {
  roles.clear();
  while (true) {
    const std::size_t comma = text.find(',');
    std::string word(text.substr(0, comma));
    for (char& c : word) {
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (word == "major" || word == "a") {
      roles.push_back(ColumnRole::kMajor);
    } else if (word == "minor" || word == "b") {
      roles.push_back(ColumnRole::kMinor);
    } else if (word == "r" || word == "rf") {
      roles.push_back(ColumnRole::kRatio);
    } else if (word == "angle" || word == "phi") {
      roles.push_back(ColumnRole::kAngle);
    } else if (word == "x") {
      roles.push_back(ColumnRole::kX);
    } else if (word == "y") {
      roles.push_back(ColumnRole::kY);
    } else if (word == "area") {
      roles.push_back(ColumnRole::kArea);
    } else if (word == "-") {
      roles.push_back(ColumnRole::kIgnored);
    } else {
      return false;
    }
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

}  // namespace orvane
