// The reading of a data source as its choices say: the one place where the
// kind of a source picks its reader, for the command-line tool, the window's
// imports and the sections of a strain study.
#include <cctype>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "io/study.h"

namespace orvane {
namespace {

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
