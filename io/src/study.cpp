// SPDX-License-Identifier: MIT
#include "io/study.h"

#include <unistd.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <mutex>
#include <system_error>
#include <utility>

#include "core/file_replacement.h"
#include "core/parallel.h"
#include "core/utf8_text.h"
#include "io/text_file.h"

namespace orvane {
namespace {

// Keys in file order, so that the first fault found is the first in the file
// and a study is written back in the order of the layout.
using Json = nlohmann::ordered_json;

// Names and keys quoted in a message are cut to this many bytes.
constexpr std::size_t kMaxQuotedBytes = 64;

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

std::string Quoted(std::string_view text) {
  return "\"" + PrintableText(text, kMaxQuotedBytes) + "\"";
}

// A section in messages: by its name, or by its place from 1 where it has
// none.
std::string SectionLabel(const std::string& name, std::size_t index) {
  return name.empty() ? "section " + std::to_string(index + 1)
                      : "section " + Quoted(name);
}

bool IsOneOf(const std::string& key, std::initializer_list<const char*> keys) {
  return std::any_of(keys.begin(), keys.end(),
                     [&key](const char* k) { return key == k; });
}

// ---- Reading -------------------------------------------------------------

// The line and the column (from 1; the column in characters, a UTF-8 byte
// order mark not counted) of the byte at `offset` of `text`.
std::string PlaceInText(std::string_view text, std::size_t offset) {
  const std::string_view before = text.substr(0, std::min(offset, text.size()));
  const std::size_t line_feed = before.rfind('\n');
  std::size_t line_start =
      line_feed == std::string_view::npos ? 0 : line_feed + 1;
  if (line_start == 0 && before.starts_with(kUtf8ByteOrderMark)) {
    line_start = kUtf8ByteOrderMark.size();
  }
  const auto lines = std::count(before.begin(), before.end(), '\n');
  std::size_t column = 1;
  for (const char c : before.substr(line_start)) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++column;
  }
  return "line " + std::to_string(lines + 1) + ", column " +
         std::to_string(column);
}

// The reason of a JSON library's exception without its prefix: what
// follows "[json.exception.parse_error.101] parse error at line 1, column
// 2: ", or "[json.exception.out_of_range.406] ".
std::string JsonReason(const nlohmann::json::exception& e) {
  const std::string_view what = e.what();
  const bool parse = dynamic_cast<const nlohmann::json::parse_error*>(&e);
  const std::size_t end = what.find(parse ? ": " : "] ");
  return std::string(end == std::string_view::npos ? what
                                                   : what.substr(end + 2));
}

bool ReadNumber(const Json& value, double& number) {
  if (!value.is_number()) return false;
  number = value.get<double>();
  return true;
}

bool ReadVector(const Json& value, Vector3& vector) {
  if (!value.is_array() || value.size() != 3) return false;
  for (std::size_t i = 0; i < 3; ++i) {
    if (!ReadNumber(value[i], vector[i])) return false;
  }
  return true;
}

// Each Read... below returns what is wrong, or an empty text.

std::string ReadTableOption(const std::string& key, const Json& value,
                            TableChoices& table) {
  auto convention = [&table]() -> AngleConvention& {
    if (!table.convention) table.convention.emplace();
    return *table.convention;
  };
  const std::string text = value.is_string() ? value.get<std::string>() : "";
  if (key == "columns") {
    std::vector<ColumnRole> roles;
    if (!value.is_string() || !ParseColumnRoles(text, roles)) {
      return "\"columns\" needs the role of each column: major, minor, R, "
             "angle, x, y, area or -, separated by commas (for example "
             "\"major,minor,angle\")";
    }
    table.roles = std::move(roles);
  } else if (key == "angle") {
    if (text != "ccw-x" && text != "cw-x" && text != "cw-north" &&
        text != "ccw-north") {
      return "\"angle\" needs \"ccw-x\", \"cw-x\", \"cw-north\" or "
             "\"ccw-north\"";
    }
    convention().reference = text.ends_with("north") ? AngleReference::kNorth
                                                     : AngleReference::kXAxis;
    convention().sense = text.starts_with("cw") ? AngleSense::kClockwise
                                                : AngleSense::kCounterClockwise;
  } else if (key == "delimiter") {
    if (text == "comma") {
      table.delimiter = Delimiter::kComma;
    } else if (text == "semicolon") {
      table.delimiter = Delimiter::kSemicolon;
    } else if (text == "tab") {
      table.delimiter = Delimiter::kTab;
    } else if (text == "space") {
      table.delimiter = Delimiter::kWhiteSpace;
    } else {
      return "\"delimiter\" needs \"comma\", \"semicolon\", \"tab\" or "
             "\"space\"";
    }
  } else {  // radians, header, decimal_comma
    if (!value.is_boolean()) return Quoted(key) + " needs true or false";
    const bool yes = value.get<bool>();
    if (key == "radians") {
      convention().unit = yes ? AngleUnit::kRadians : AngleUnit::kDegrees;
    } else if (key == "header") {
      table.header = yes;
    } else {
      table.decimal_comma = yes;
    }
  }
  return "";
}

std::string ReadGrainOption(const std::string& key, const Json& value,
                            SourceChoices& choices) {
  if (key == "layer") {
    if (!value.is_string() || value.get<std::string>().empty()) {
      return "\"layer\" needs the name of a layer";
    }
    choices.layer = value.get<std::string>();
  } else if (key == "pixel_size") {
    double size = 0;
    if (!ReadNumber(value, size) || !(size > 0) || !std::isfinite(size)) {
      return "\"pixel_size\" needs the side of a pixel, a number above 0";
    }
    choices.image.pixel_size = size;
  } else {  // min_pixels; JSON gives a count without a sign as unsigned
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() < 1 ||
        value.get<std::uint64_t>() > 1000000000) {
      return "\"min_pixels\" needs a whole number from 1 to 1000000000";
    }
    choices.image.min_pixels = static_cast<long>(value.get<std::uint64_t>());
  }
  return "";
}

// The source's kinds by the key that names the file, with their options.
struct SourceKind {
  const char* key;
  SourceChoices::Kind kind;
  std::initializer_list<const char*> options;
  const char* options_text;
};
const SourceKind kSourceKinds[] = {
    {"table",
     SourceChoices::Kind::kTable,
     {"columns", "angle", "radians", "delimiter", "header", "decimal_comma"},
     "a table's options are columns, angle, radians, delimiter, header and "
     "decimal_comma"},
    {"outlines",
     SourceChoices::Kind::kOutlines,
     {"layer"},
     "an outline file's option is layer"},
    {"label_image",
     SourceChoices::Kind::kLabelImage,
     {"pixel_size", "min_pixels"},
     "a label image's options are pixel_size and min_pixels"},
    {"ellipsoids",
     SourceChoices::Kind::kEllipsoids,
     {},
     "a table of ellipsoids has no options"},
};

std::string ReadSource(const Json& value, StudySection& section) {
  SourceChoices& choices = section.choices;
  if (value.is_string()) {
    section.source = value.get<std::string>();
    choices.kind = SourceChoices::Kind::kNative;
    return section.source.empty() ? "\"source\" needs a file name" : "";
  }
  if (!value.is_object()) {
    return "\"source\" needs a file name, or an object such as {\"table\": "
           "\"yz.csv\"}";
  }
  const SourceKind* kind = nullptr;
  for (const SourceKind& k : kSourceKinds) {
    if (!value.contains(k.key)) continue;
    if (kind != nullptr) {
      return std::string("source: \"") + kind->key + "\" and \"" + k.key +
             "\" exclude each other";
    }
    kind = &k;
  }
  if (kind == nullptr) {
    return "source: no file: give \"table\", \"outlines\", "
           "\"label_image\" or \"ellipsoids\"";
  }
  const Json& file = value.at(kind->key);
  if (!file.is_string() || file.get<std::string>().empty()) {
    return std::string("source: \"") + kind->key + "\" needs a file name";
  }
  section.source = file.get<std::string>();
  choices.kind = kind->kind;
  for (const auto& item : value.items()) {
    const std::string& key = item.key();
    if (key == kind->key) continue;
    if (!IsOneOf(key, kind->options)) {
      return "source: unknown key " + Quoted(key) + " (" + kind->options_text +
             ")";
    }
    const std::string fault =
        kind->kind == SourceChoices::Kind::kTable
            ? ReadTableOption(key, item.value(), choices.table)
            : ReadGrainOption(key, item.value(), choices);
    if (!fault.empty()) return "source: " + fault;
  }
  return "";
}

std::string ReadOrientation(const Json& item, SectionOrientation& o) {
  const bool vector = item.contains("normal") || item.contains("reference");
  const bool geological = item.contains("strike") || item.contains("dip") ||
                          item.contains("reference_rake");
  if (vector && geological) {
    return "the orientation is given twice: either \"normal\" and "
           "\"reference\", or \"strike\" and \"dip\"";
  }
  if (!vector && !geological) {
    return "no orientation: give \"normal\" and \"reference\", or \"strike\" "
           "and \"dip\"";
  }
  o.geological = geological;
  if (vector) {
    for (const char* key : {"normal", "reference"}) {
      if (!item.contains(key)) {
        return std::string("no \"") + key +
               "\": the plane's vectors are \"normal\" and \"reference\"";
      }
    }
    if (!ReadVector(item.at("normal"), o.normal)) {
      return "\"normal\" needs three numbers";
    }
    if (!ReadVector(item.at("reference"), o.reference)) {
      return "\"reference\" needs three numbers";
    }
    return "";
  }
  for (const char* key : {"strike", "dip"}) {
    if (!item.contains(key)) {
      return std::string("no \"") + key +
             "\": the plane's attitude is \"strike\" and \"dip\"";
    }
  }
  o.reference_rake = 0;
  const std::pair<const char*, double*> numbers[] = {
      {"strike", &o.strike},
      {"dip", &o.dip},
      {"reference_rake", &o.reference_rake}};
  for (const auto& [key, number] : numbers) {
    if (item.contains(key) && !ReadNumber(item.at(key), *number)) {
      return std::string("\"") + key + "\" needs a number";
    }
  }
  return "";
}

std::string ReadSection(const Json& item, StudySection& section) {
  for (const auto& entry : item.items()) {
    if (!IsOneOf(entry.key(), {"name", "source", "normal", "reference",
                               "strike", "dip", "reference_rake"})) {
      return "unknown key " + Quoted(entry.key()) +
             " (a section has name, source, and normal and reference or "
             "strike, dip and reference_rake)";
    }
  }
  if (item.contains("name") && !item.at("name").is_string()) {
    return "\"name\" needs a text";
  }
  if (!item.contains("source")) {
    return "no \"source\": give the file the section's data are read from";
  }
  if (std::string fault = ReadSource(item.at("source"), section);
      !fault.empty()) {
    return fault;
  }
  if (std::string fault = ReadOrientation(item, section.orientation);
      !fault.empty()) {
    return fault;
  }
  SectionPlane plane;
  const Status planar = PlaneOf(section.orientation, plane);
  return planar.ok() ? "" : planar.message();
}

// The study of the parsed file, or what is wrong with it.
std::string ReadStudy(const Json& root, Study& study) {
  if (!root.is_object()) {
    return "a study file holds one object: {\"name\": ..., \"sections\": "
           "[...]}";
  }
  for (const auto& entry : root.items()) {
    if (!IsOneOf(entry.key(), {"name", "sections"})) {
      return "unknown key " + Quoted(entry.key()) +
             " (a study has name and sections)";
    }
  }
  if (root.contains("name")) {
    if (!root.at("name").is_string()) return "\"name\" needs a text";
    study.name = root.at("name").get<std::string>();
  }
  if (!root.contains("sections")) {
    return "no \"sections\": give the list of the study's sections";
  }
  const Json& sections = root.at("sections");
  if (!sections.is_array()) {
    return "\"sections\" needs a list of sections: [{...}, {...}]";
  }
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const Json& item = sections[i];
    StudySection& section = study.sections.emplace_back();
    if (!item.is_object()) {
      return SectionLabel("", i) +
             ": not an object: a section is {\"name\": ..., \"source\": ..., "
             "...}";
    }
    // The name first, for the messages about the rest.
    if (item.contains("name") && item.at("name").is_string()) {
      section.name = item.at("name").get<std::string>();
    }
    if (std::string fault = ReadSection(item, section); !fault.empty()) {
      return SectionLabel(section.name, i) + ": " + fault;
    }
  }
  return "";
}

// ---- Writing -------------------------------------------------------------

// A whole number without a fraction, as a person writes it ("dip": 60).
Json NumberJson(double value) {
  if (std::isfinite(value) && value == std::trunc(value) &&
      std::fabs(value) < 1e15) {
    return static_cast<std::int64_t>(value);
  }
  return value;
}

Json VectorJson(const Vector3& v) {
  return Json::array({NumberJson(v[0]), NumberJson(v[1]), NumberJson(v[2])});
}

// The words of ParseColumnRoles, in the order of ColumnRole.
std::string RolesText(const std::vector<ColumnRole>& roles) {
  static constexpr const char* kWords[] = {"-",     "major", "minor", "R",
                                           "angle", "x",     "y",     "area"};
  std::string text;
  for (const ColumnRole role : roles) {
    if (!text.empty()) text += ",";
    text += kWords[static_cast<std::size_t>(role)];
  }
  return text;
}

// In the order of Delimiter.
constexpr const char* kDelimiterWords[] = {"comma", "semicolon", "tab",
                                           "space"};

// The source as the study file gives it: its path alone for a data file,
// else the kind's key with the options that were chosen.
Json SourceJson(const StudySection& section) {
  const SourceChoices& c = section.choices;
  switch (c.kind) {
    case SourceChoices::Kind::kNative:
      return section.source;
    case SourceChoices::Kind::kOutlines: {
      Json source = {{"outlines", section.source}};
      if (!c.layer.empty()) source["layer"] = c.layer;
      return source;
    }
    case SourceChoices::Kind::kEllipsoids: {
      Json source = {{"ellipsoids", section.source}};
      return source;
    }
    case SourceChoices::Kind::kLabelImage: {
      Json source = {{"label_image", section.source}};
      const LabelImageOptions defaults;
      if (c.image.pixel_size != defaults.pixel_size) {
        source["pixel_size"] = NumberJson(c.image.pixel_size);
      }
      if (c.image.min_pixels != defaults.min_pixels) {
        source["min_pixels"] = c.image.min_pixels;
      }
      return source;
    }
    case SourceChoices::Kind::kTable:
      break;
  }
  const TableChoices& t = c.table;
  Json source = {{"table", section.source}};
  if (t.roles) source["columns"] = RolesText(*t.roles);
  if (t.convention) {
    const bool north = t.convention->reference == AngleReference::kNorth;
    const bool cw = t.convention->sense == AngleSense::kClockwise;
    source["angle"] =
        std::string(cw ? "cw-" : "ccw-") + (north ? "north" : "x");
    if (t.convention->unit == AngleUnit::kRadians) source["radians"] = true;
  }
  if (t.delimiter) {
    source["delimiter"] =
        kDelimiterWords[static_cast<std::size_t>(*t.delimiter)];
  }
  if (t.header) source["header"] = *t.header;
  if (t.decimal_comma) source["decimal_comma"] = *t.decimal_comma;
  return source;
}

Json SectionJson(const StudySection& section) {
  Json item = Json::object();
  if (!section.name.empty()) item["name"] = section.name;
  item["source"] = SourceJson(section);
  const SectionOrientation& o = section.orientation;
  if (o.geological) {
    item["strike"] = NumberJson(o.strike);
    item["dip"] = NumberJson(o.dip);
    item["reference_rake"] = NumberJson(o.reference_rake);
  } else {
    item["normal"] = VectorJson(o.normal);
    item["reference"] = VectorJson(o.reference);
  }
  return item;
}

std::string ScalarText(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// On one line, with a space after each colon and comma.
std::string InlineText(const Json& value) {
  if (!value.is_structured()) return ScalarText(value);
  std::string text = value.is_object() ? "{" : "[";
  bool first = true;
  for (const auto& item : value.items()) {
    if (!first) text += ", ";
    first = false;
    if (value.is_object()) text += ScalarText(Json(item.key())) + ": ";
    text += InlineText(item.value());
  }
  return text + (value.is_object() ? "}" : "]");
}

// The study, its list and each section a member a line; what a section's
// member holds (a source's options, a vector) on that member's line.
void AppendLayout(const Json& value, int depth, std::string& text) {
  if (depth >= 3 || !value.is_structured() || value.empty()) {
    text += InlineText(value);
    return;
  }
  const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
  text += value.is_object() ? "{\n" : "[\n";
  std::size_t left = value.size();
  for (const auto& item : value.items()) {
    text += indent + "  ";
    if (value.is_object()) text += ScalarText(Json(item.key())) + ": ";
    AppendLayout(item.value(), depth + 1, text);
    text += --left > 0 ? ",\n" : "\n";
  }
  text += indent + (value.is_object() ? "}" : "]");
}

// What of the study a study file cannot hold as it is (JSON has only UTF-8
// text and finite numbers), or an empty text.
std::string UnwritablePart(const Study& study) {
  if (!IsValidUtf8(study.name)) return "the study's name is not UTF-8 text";
  for (std::size_t i = 0; i < study.sections.size(); ++i) {
    const StudySection& s = study.sections[i];
    const std::string label = SectionLabel(s.name, i);
    if (!IsValidUtf8(s.name) || !IsValidUtf8(s.source) ||
        !IsValidUtf8(s.choices.layer)) {
      return label + ": a name that is not UTF-8 text";
    }
    const SectionOrientation& o = s.orientation;
    const double numbers[] = {o.normal[0],      o.normal[1],
                              o.normal[2],      o.reference[0],
                              o.reference[1],   o.reference[2],
                              o.strike,         o.dip,
                              o.reference_rake, s.choices.image.pixel_size};
    if (!std::all_of(std::begin(numbers), std::end(numbers),
                     [](double x) { return std::isfinite(x); })) {
      return label + ": a number that is not finite";
    }
  }
  return "";
}

// ---- Analysing -----------------------------------------------------------

// A section's part in the Open pipeline: its source is the file chosen,
// read as its choices say, bootstrapped with the section's own settings and
// named in the report by its full path, as the command-line tool names it.
class SectionOpen : public OpenFrontEnd {
 public:
  SectionOpen(std::string path, const SourceChoices& choices,
              const BootstrapSettings& bootstrap, const StageProgress* study)
      : path_(std::move(path)),
        choices_(choices),
        bootstrap_(bootstrap),
        study_(study) {}
  std::optional<std::string> ChooseFile() override { return path_; }
  std::string ReportName(const std::string& path) override {
    return FullPathOfFile(path);
  }
  Status Load(const std::string& path, LoadedData& data,
              const ReadProgress& progress) override {
    return LoadSource(path, choices_, data, progress, &notice_);
  }
  BootstrapSettings Bootstrap() override { return bootstrap_; }
  // Passes a cancel of the study on to the stage, so that a long read or
  // bootstrap stops soon rather than at its end: beside the stage, a part
  // of its own looks at the study's flag until the stage is over (where no
  // thread can be had, it runs after the stage and finds it over).
  void RunStage(OpenStage, StageProgress& progress,
                const std::function<void()>& work) override {
    if (study_ == nullptr) {
      work();
      return;
    }
    if (study_->Cancelled()) progress.Cancel();
    std::mutex mutex;
    std::condition_variable wake;
    bool over = false;
    RunInParts(2, [&](int part) {
      if (part == 0) {
        struct Over {
          std::mutex& mutex;
          std::condition_variable& wake;
          bool& over;
          ~Over() {
            {
              std::lock_guard<std::mutex> lock(mutex);
              over = true;
            }
            wake.notify_one();
          }
        } done{mutex, wake, over};
        work();
        return;
      }
      std::unique_lock<std::mutex> lock(mutex);
      while (!over) {
        if (study_->Cancelled()) {
          progress.Cancel();
          return;
        }
        wake.wait_for(lock, std::chrono::milliseconds(20));
      }
    });
  }
  const std::string& notice() const { return notice_; }

 private:
  std::string path_;
  const SourceChoices& choices_;
  BootstrapSettings bootstrap_;
  const StageProgress* study_;
  std::string notice_;
};

const Status& Cancelled() {
  static const Status cancelled(StatusCode::kCancelled, "Cancelled.");
  return cancelled;
}

}  // namespace

Status ReadStudyFile(const std::string& path, Study& study) {
  const std::string shown = PrintableText(path);
  std::error_code error;
  if (!std::filesystem::exists(path, error) && !error) {
    return Status(StatusCode::kFileMissing,
                  shown + ": the study file does not exist");
  }
  std::string text;
  if (Status read = ReadSmallTextFile(path, "a study file", text); !read.ok()) {
    return read;
  }
  Json root;
  try {
    root = Json::parse(text);
  } catch (const nlohmann::json::parse_error& e) {
    // The library counts the bytes read, the failing one included.
    const std::size_t at = e.byte > 0 ? e.byte - 1 : 0;
    return Status(StatusCode::kReadError,
                  shown + ": " + PlaceInText(text, at) + ": " + JsonReason(e));
  } catch (const nlohmann::json::exception& e) {
    return Status(StatusCode::kReadError, shown + ": " + JsonReason(e));
  }
  Study read;
  if (std::string fault = ReadStudy(root, read); !fault.empty()) {
    return Status(StatusCode::kReadError, shown + ": " + fault);
  }
  study = std::move(read);
  return Status();
}

std::string StudyJson(const Study& study) {
  Json root = Json::object();
  if (!study.name.empty()) root["name"] = study.name;
  root["sections"] = Json::array();
  for (const StudySection& section : study.sections) {
    root["sections"].push_back(SectionJson(section));
  }
  std::string text;
  AppendLayout(root, 0, text);
  return text + "\n";
}

Status WriteStudyFile(const std::string& path, const Study& study) {
  auto refused = [&path](const std::string& reason) {
    return Status(StatusCode::kWriteFailed,
                  "Cannot write \"" + PrintableText(path) + "\": " + reason);
  };
  if (std::string part = UnwritablePart(study); !part.empty()) {
    return refused(part);
  }
  const std::string text = StudyJson(study);
  FileReplacement replacement;
  if (Status begun = replacement.Begin(path); !begun.ok()) {
    return refused(begun.message());
  }
  const char* at = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t written = ::write(replacement.descriptor(), at, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      const std::string reason = std::strerror(errno);
      replacement.Cancel();
      return refused(reason);
    }
    at += written;
    left -= static_cast<std::size_t>(written);
  }
  if (Status committed = replacement.Commit(); !committed.ok()) {
    return refused(committed.message());
  }
  return Status();
}

std::string SectionPath(const std::string& study_path,
                        const std::string& source) {
  const std::filesystem::path path(source);
  if (path.is_absolute()) return source;
  return (std::filesystem::path(study_path).parent_path() / path).string();
}

StudyResult AnalyseStudy(const Study& study, const std::string& study_path,
                         const BootstrapSettings& bootstrap,
                         std::string_view sep, StageProgress* progress) {
  StudyResult result;
  auto stop = [&result](const Status& status) {
    result.status = status;
    result.ellipsoid.status = status;
    return result;
  };
  if (Status checked = CheckBootstrapSettings(bootstrap); !checked.ok()) {
    return stop(checked);
  }
  const std::size_t count = study.sections.size();
  // Each section a step, and the ellipsoid the last.
  auto done = [progress, count](std::size_t steps) {
    if (progress != nullptr) {
      progress->SetFraction(static_cast<double>(steps) /
                            static_cast<double>(count + 1));
    }
  };
  auto cancelled = [progress] {
    return progress != nullptr && progress->Cancelled();
  };
  done(0);
  result.sections.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (cancelled()) return stop(Cancelled());
    const StudySection& section = study.sections[i];
    SectionResult& out = result.sections.emplace_back();
    out.name = section.name;
    out.path = SectionPath(study_path, section.source);
    Status refusal = PlaneOf(section.orientation, out.plane);
    if (refusal.ok()) {
      BootstrapSettings settings = bootstrap;
      settings.seed = SectionSeed(bootstrap.seed, static_cast<int>(i));
      // A table of grain ellipsoids is cut by the section's plane.
      SourceChoices choices = section.choices;
      choices.plane = out.plane;
      SectionOpen front_end(out.path, choices, settings, progress);
      std::string file_name;
      out.opened = RunOpen(front_end, out.state, out.report, file_name, sep);
      if (out.opened.status.code() == StatusCode::kCancelled) {
        return stop(Cancelled());
      }
      out.notice = front_end.notice();
      if (const std::string notice = AnalysisNotice(out.opened);
          !notice.empty()) {
        out.notice += (out.notice.empty() ? "" : "; ") + notice;
      }
      if (!out.opened.status.ok()) {
        refusal = out.opened.status;
      } else if (out.opened.analysis == AnalysisResult::kNoData) {
        refusal = Status(StatusCode::kReadError, AnalysisNotice(out.opened));
      }
    }
    if (!refusal.ok()) {
      out.status =
          Status(refusal.code(),
                 SectionLabel(section.name, i) + ": " + refusal.message(),
                 refusal.datum());
      if (result.status.ok()) result.status = out.status;
    }
    done(i + 1);
  }
  if (!result.status.ok()) return stop(result.status);
  if (cancelled()) return stop(Cancelled());

  std::vector<SectionShape> shapes;
  std::vector<std::vector<SectionShape>> drawn;  // [section][resample]
  std::string why_no_limits;
  for (std::size_t i = 0; i < count; ++i) {
    const SectionResult& s = result.sections[i];
    shapes.push_back(ShapeOfStrain(s.plane, s.state));
    if (!why_no_limits.empty()) continue;
    drawn.push_back(ShapesOfResamples(s.plane, s.state));
    if (drawn.back().empty()) {
      why_no_limits = SectionLabel(s.name, i) +
                      " has fewer than five data: without its bootstrap the "
                      "ellipsoid has no confidence limits";
    }
  }
  std::vector<std::vector<SectionShape>> resamples;  // [resample][section]
  if (why_no_limits.empty() && !drawn.empty()) {
    std::size_t drawn_count = drawn.front().size();
    for (const auto& d : drawn) drawn_count = std::min(drawn_count, d.size());
    resamples.assign(drawn_count, {});
    for (std::size_t r = 0; r < drawn_count; ++r) {
      resamples[r].reserve(count);
      for (const auto& d : drawn) resamples[r].push_back(d[r]);
    }
  }
  drawn.clear();
  result.ellipsoid = AnalyseEllipsoid(shapes, resamples, why_no_limits);
  done(count + 1);
  return result;
}

}  // namespace orvane
