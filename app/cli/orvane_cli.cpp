// SPDX-License-Identifier: MIT
// orvane-cli: the analysis of data files without a window. It runs the same
// load and analysis as the window's Open and prints the report, or one JSON
// object per file.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSize>
#include <QString>

#include "chart/chart_geometry.h"
#include "chart/density_contours.h"
#include "chart/equal_area_chart.h"
#include "cli/buffered_output.h"
#include "cli/json_report.h"
#include "cli/options.h"
#include "cli/plot_choice.h"
#include "cli/study_output.h"
#include "core/analysis.h"
#include "core/bootstrap_settings.h"
#include "core/centre_report.h"
#include "core/centre_strain.h"
#include "core/digits.h"
#include "core/methods.h"
#include "core/number_format.h"
#include "core/utf8_text.h"
#include "io/open_pipeline.h"
#include "io/outline_file.h"
#include "io/results_csv.h"
#include "io/study.h"
#include "io/table_import.h"
#include "io/text_file.h"
#include "render/figure_export.h"
#include "render/picture_export.h"

namespace {

constexpr int kMinChartSide = orvane::kMinPictureSide;
constexpr int kMaxChartSide = orvane::kMaxPictureSide;

void WriteLine(FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
}

// A message about a data file, on standard error: "x.txt: Read error".
void FileMessage(const std::string& file, const std::string& message) {
  WriteLine(stderr, file + ": " + message);
}

// Standard output could not be written: the system's reason, status 1.
int OutputFailed(const orvane::cli::BufferedOutput& out) {
  std::fprintf(stderr, "orvane-cli: standard output: %s\n",
               std::strerror(out.error()));
  return 1;
}

struct ChartRequest {
  std::string picture;  // empty: no chart
  int width = orvane::kDesignChartWidth;
  int height = orvane::kDesignChartHeight;
  bool figure = false;  // a figure with the settings below
  orvane::FigureSettings settings;
  std::string sep = ".";         // the caption's decimal separator
  orvane::cli::PlotChoice plot;  // the equal-area chart or the Rf/phi plot
};

// Draws `picture` into the requested file, as a plain picture or a figure
// with `caption`. Qt runs on its offscreen platform: no display is needed.
template <typename MakePicture>
bool WritePicture(const ChartRequest& chart_request,
                  const MakePicture& make_picture) {
  // The offscreen platform: no display is needed, none is touched.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    // Qt wants a private runtime folder; without a session there is none.
    const QString dir =
        QDir::tempPath() + "/orvane-runtime-" + QString::number(::getuid());
    QDir().mkpath(dir);
    QFile::setPermissions(dir, QFileDevice::ReadOwner |
                                   QFileDevice::WriteOwner |
                                   QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", dir.toLocal8Bit());
  }
  // Qt, fontconfig and the font files need descriptors of their own; with
  // too few the text would come out as empty boxes, or Qt would abort.
  if (const orvane::Status room = orvane::ReserveDescriptorsForPictures();
      !room.ok()) {
    WriteLine(stderr, room.message());
    return false;
  }
  int argc = 1;
  char name[] = "orvane-cli";
  char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);
  const QString path = QString::fromStdString(chart_request.picture);
  std::vector<std::string> notes;
  const orvane::Status saved = make_picture(
      [&](const orvane::PlotPicture& picture, const QString& caption) {
        return chart_request.figure
                   ? orvane::SaveFigureFile(picture, chart_request.settings,
                                            caption, path, &notes)
                   : orvane::SaveChartPictureFile(
                         picture,
                         QSize(chart_request.width, chart_request.height),
                         path);
      });
  if (!saved.ok()) WriteLine(stderr, saved.message());
  // What the figure left out or moved to keep its plot large enough.
  for (const std::string& note : notes) {
    WriteLine(stderr, chart_request.picture + ": " + note);
  }
  return saved.ok();
}

// Draws the chart of the analysed data, as the window would show it.
bool WriteChart(const ChartRequest& chart_request,
                const orvane::AnalysisState& state,
                orvane::AnalysisResult result,
                const orvane::CentreStrainResult* centres) {
  return WritePicture(chart_request, [&](const auto& save) {
    const orvane::cli::ChosenPlot plot(chart_request.plot, state, result,
                                       chart_request.sep, centres);
    return save(plot.Picture(),
                chart_request.plot.fry && centres != nullptr
                    ? orvane::CentreFigureCaption(*centres, chart_request.sep)
                    : orvane::FigureCaption(state, result, chart_request.sep));
  });
}

// Draws the plot of a study's ellipsoid.
bool WriteStudyChart(const ChartRequest& chart_request,
                     const orvane::EllipsoidResult& ellipsoid) {
  return WritePicture(chart_request, [&](const auto& save) {
    const orvane::cli::StudyPlot plot(chart_request.plot, ellipsoid,
                                      chart_request.sep);
    return save(plot.Picture(),
                orvane::EllipsoidFigureCaption(ellipsoid, chart_request.sep));
  });
}

// The tool's part in the Open pipeline: the file named on the command line
// is the file chosen and opened as given (through any symbolic link, before
// a ".." that follows it), named in the report by its full path.
// It is read as the source choices say: a data file, a measurement table,
// grain outlines or a label image.
class CommandLineOpen : public orvane::OpenFrontEnd {
 public:
  CommandLineOpen(const std::string& file, const orvane::SourceChoices& source,
                  const orvane::BootstrapSettings& bootstrap)
      : file_(file), source_(source), bootstrap_(bootstrap) {}
  std::optional<std::string> ChooseFile() override { return file_; }
  orvane::BootstrapSettings Bootstrap() override { return bootstrap_; }
  std::string ReportName(const std::string& path) override {
    return orvane::FullPathOfFile(path);
  }
  orvane::Status Load(const std::string& path, orvane::LoadedData& data,
                      const orvane::ReadProgress& progress) override {
    std::string notice;
    orvane::Status loaded =
        orvane::LoadSource(path, source_, data, progress, &notice);
    // Columns the header does not name: say how to name them here.
    if (source_.kind == orvane::SourceChoices::Kind::kTable &&
        !source_.table.roles && !loaded.ok() &&
        loaded.message().rfind("No column", 0) == 0) {
      return orvane::Status(
          loaded.code(),
          loaded.message() +
              " Give the columns with --columns, for example "
              "--columns major,minor,angle or --columns -,-,a,b,phi.",
          loaded.datum());
    }
    if (!notice.empty()) WriteLine(stderr, file_ + ": " + notice);
    return loaded;
  }

 private:
  std::string file_;
  const orvane::SourceChoices& source_;
  orvane::BootstrapSettings bootstrap_;
};

enum class OutputForm { kReport, kJson, kCsv };

// The notices and warnings of an analysis in one CSV field.
std::string JoinedMessages(const std::string& notice,
                           const std::vector<std::string>& warnings) {
  std::string text = notice;
  for (const std::string& warning : warnings) {
    if (!text.empty()) text += "; ";
    text += warning;
  }
  return text;
}

// A table option, into `table`, with its value (nullptr when none was
// given); `error` is set when it is wrong.
void TableOption(const std::string& arg, const char* value,
                 orvane::TableChoices& table, std::string& error) {
  using orvane::AngleReference;
  using orvane::AngleSense;
  using orvane::AngleUnit;
  auto convention = [&table]() -> orvane::AngleConvention& {
    if (!table.convention) table.convention.emplace();
    return *table.convention;
  };
  if (arg == "--columns") {
    std::vector<orvane::ColumnRole> roles;
    if (value == nullptr || !orvane::ParseColumnRoles(value, roles)) {
      error =
          "--columns needs the role of each column: major, minor, R, angle "
          "or -, separated by commas (for example major,minor,angle)";
    } else {
      table.roles = roles;
    }
  } else if (arg == "--angle") {
    const std::string v = value ? value : "";
    if (v == "ccw-x" || v == "cw-x" || v == "cw-north" || v == "ccw-north") {
      convention().reference = v.ends_with("north") ? AngleReference::kNorth
                                                    : AngleReference::kXAxis;
      convention().sense = v.starts_with("cw") ? AngleSense::kClockwise
                                               : AngleSense::kCounterClockwise;
    } else {
      error = "--angle needs ccw-x, cw-x, cw-north or ccw-north";
    }
  } else if (arg == "--radians" || arg == "--degrees") {
    convention().unit =
        arg == "--radians" ? AngleUnit::kRadians : AngleUnit::kDegrees;
  } else if (arg == "--delimiter") {
    const std::string v = value ? value : "";
    if (v == "comma") {
      table.delimiter = orvane::Delimiter::kComma;
    } else if (v == "semicolon") {
      table.delimiter = orvane::Delimiter::kSemicolon;
    } else if (v == "tab") {
      table.delimiter = orvane::Delimiter::kTab;
    } else if (v == "space") {
      table.delimiter = orvane::Delimiter::kWhiteSpace;
    } else {
      error = "--delimiter needs comma, semicolon, tab or space";
    }
  } else if (arg == "--header" || arg == "--no-header") {
    table.header = arg == "--header";
  } else if (arg == "--decimal-comma" || arg == "--decimal-point") {
    table.decimal_comma = arg == "--decimal-comma";
  }
}

// The centre-based strain of the analysed data, with the bootstrap's
// settings; data without centres get the message that names what gives
// them.
orvane::CentreStrainResult CentreStrain(
    const orvane::AnalysisState& state, orvane::CentreSettings settings,
    const orvane::BootstrapSettings& bootstrap) {
  settings.bootstrap = bootstrap;
  if (!state.places.HasCentroids()) {
    orvane::CentreStrainResult refused;
    refused.method = settings.method;
    refused.bootstrap = bootstrap;
    refused.status = orvane::Status(
        orvane::StatusCode::kReadError,
        "the data give no centres of the markers: --fry needs the columns "
        "x and y of a table (headers X and Y, or --columns with x,y), with "
        "area (or the axes) for the normalised methods; or grain outlines "
        "(--outlines) or a label image (--label-image)");
    return refused;
  }
  try {
    return orvane::AnalyseCentres(orvane::CentreDataOf(state), settings);
  } catch (const std::bad_alloc&) {
    orvane::CentreStrainResult refused;
    refused.method = settings.method;
    refused.bootstrap = bootstrap;
    refused.status =
        orvane::Status(orvane::StatusCode::kOutOfMemory,
                       "not enough memory for the centre-based strain of " +
                           std::to_string(state.count) + " markers");
    return refused;
  }
}

// Analyses one file; false when it was refused or held no data, or when
// standard output failed (out.failed() tells). Each file's output is flushed
// before any message about it, so that the two streams interleave in order.
bool AnalyseFile(orvane::cli::BufferedOutput& out, const std::string& file,
                 OutputForm form, const std::string& sep,
                 const ChartRequest& chart, const orvane::SourceChoices& source,
                 bool methods, const orvane::BootstrapSettings& bootstrap,
                 const std::optional<orvane::CentreSettings>& centre_settings) {
  const bool json = form == OutputForm::kJson;
  const bool csv = form == OutputForm::kCsv;
  orvane::AnalysisState state;
  orvane::Report report;
  CommandLineOpen front_end(file, source, bootstrap);
  std::string file_name;
  const orvane::OpenResult opened =
      orvane::RunOpen(front_end, state, report, file_name, sep);
  if (!opened.status.ok()) {
    if (json) {
      orvane::cli::WriteJsonError(out, file, opened.status.message());
      out.Put('\n');
      out.Flush();
    } else if (csv) {
      out.Put(orvane::RefusedCsvRow(file, opened.status.message()));
      if (out.Flush()) FileMessage(file, opened.status.message());
    } else {
      FileMessage(file, opened.status.message());
    }
    return false;
  }
  const std::string notice = orvane::AnalysisNotice(opened);
  const std::vector<std::string> warnings =
      orvane::AnalysisWarnings(state, sep);
  const orvane::MethodsSummary summary =
      methods ? orvane::ComputeMethods(state) : orvane::MethodsSummary{};
  const bool methods_shown = methods && summary.status.ok();
  std::optional<orvane::CentreStrainResult> centres;
  if (centre_settings && opened.analysis != orvane::AnalysisResult::kNoData) {
    centres = CentreStrain(state, *centre_settings, bootstrap);
  }
  if (json) {
    if (opened.analysis == orvane::AnalysisResult::kNoData) {
      orvane::cli::WriteJsonError(out, file, notice);
    } else {
      orvane::cli::WriteJsonResult(
          out, file, state, opened.analysis, report, sep, warnings,
          methods_shown ? &summary : nullptr, centres ? &*centres : nullptr);
    }
    out.Put('\n');
  } else if (csv) {
    std::string row = opened.analysis == orvane::AnalysisResult::kNoData
                          ? orvane::RefusedCsvRow(file, notice)
                          : orvane::SummaryCsvRow(
                                file, state, JoinedMessages(notice, warnings));
    if (centre_settings) {
      row.pop_back();  // the line feed
      row += orvane::CentreCsvFields(centres ? &*centres : nullptr) + '\n';
    }
    out.Put(row);
  } else {
    for (const std::string& line : report.Lines()) {
      out.Put(line);
      out.Put('\n');
    }
    std::vector<orvane::MethodsRow> rows = orvane::MethodsTable(summary, sep);
    if (!rows.empty() && centres) {
      rows.push_back(orvane::CentreMethodsRow(*centres, sep));
    }
    for (const std::string& line : orvane::MethodsTableLines(rows)) {
      out.Put(line);
      out.Put('\n');
    }
    if (centres) {
      for (const std::string& line : orvane::CentreReportLines(*centres, sep)) {
        out.Put(line);
        out.Put('\n');
      }
    }
  }
  if (!out.Flush()) return false;
  if (!json && !notice.empty()) FileMessage(file, notice);
  if (!json) {
    for (const std::string& warning : warnings) FileMessage(file, warning);
  }
  bool ok = opened.analysis != orvane::AnalysisResult::kNoData;
  if (!summary.status.ok()) {
    FileMessage(file, summary.status.message());
    ok = false;
  }
  if (centres && !centres->status.ok()) {
    FileMessage(file, centres->status.message());
    ok = false;
  }
  // A Fry plot without its estimate would be an empty frame: not drawn.
  const bool no_fry =
      chart.plot.fry && centres.has_value() && !centres->status.ok();
  if (!chart.picture.empty() && !no_fry) {
    ok = WriteChart(chart, state, opened.analysis,
                    centres ? &*centres : nullptr) &&
         ok;
  }
  return ok;
}

// Analyses one study file: its sections and their ellipsoid. False when the
// study or a section was refused, no ellipsoid could be fitted, a plot
// could not be written or standard output failed.
bool AnalyseStudyFile(orvane::cli::BufferedOutput& out, const std::string& file,
                      OutputForm form, const std::string& sep,
                      const ChartRequest& chart,
                      const orvane::BootstrapSettings& bootstrap) {
  orvane::Study study;
  orvane::StudyResult result;
  if (orvane::Status read = orvane::ReadStudyFile(file, study); !read.ok()) {
    result.status = read;
  } else {
    try {
      result = orvane::AnalyseStudy(study, file, bootstrap, sep);
    } catch (const std::bad_alloc&) {
      result = orvane::StudyResult();
      result.status = orvane::Status(orvane::StatusCode::kOutOfMemory,
                                     "not enough memory for the study");
    }
  }
  // A study that could not be read, or a refused section, fits nothing.
  if (!result.status.ok() && result.ellipsoid.status.ok()) {
    result.ellipsoid = orvane::EllipsoidResult();
    result.ellipsoid.status = result.status;
  }
  const bool read = !result.sections.empty() || result.status.ok();
  switch (form) {
    case OutputForm::kJson:
      if (read) {
        orvane::cli::WriteJsonStudy(out, file, study, result, sep);
      } else {
        orvane::cli::WriteJsonError(out, file, result.status.message());
      }
      out.Put('\n');
      break;
    case OutputForm::kCsv:
      out.Put(orvane::StudyCsvRow(
          file, study.name, study.sections.size(), result.ellipsoid,
          result.status.ok() ? std::string() : result.status.message()));
      break;
    case OutputForm::kReport:
      if (read) {
        for (const std::string& line :
             orvane::cli::StudyReportLines(result, sep)) {
          out.Put(line);
          out.Put('\n');
        }
      }
      break;
  }
  if (!out.Flush()) return false;
  bool ok = result.status.ok() && result.ellipsoid.status.ok();
  if (form != OutputForm::kJson) {
    for (const orvane::SectionResult& section : result.sections) {
      if (!section.status.ok()) continue;
      if (!section.notice.empty()) FileMessage(section.path, section.notice);
      for (const std::string& warning :
           orvane::AnalysisWarnings(section.state, sep)) {
        FileMessage(section.path, warning);
      }
    }
    if (!result.status.ok()) {
      FileMessage(file, result.status.message());
    } else if (!result.ellipsoid.status.ok()) {
      FileMessage(file, result.ellipsoid.status.message());
    }
  }
  if (!chart.picture.empty() && result.ellipsoid.status.ok()) {
    ok = WriteStudyChart(chart, result.ellipsoid) && ok;
  }
  return ok;
}

// One side of the chart: a whole number from kMinChartSide to kMaxChartSide.
bool ParseSide(std::string_view text, int& side) {
  return orvane::ParseDigitsIn(text, kMinChartSide, kMaxChartSide, side);
}

// "WxH" (or "WXH"): digits, one 'x', digits.
bool ParseSize(std::string_view text, int& width, int& height) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos) return false;
  int w = 0, h = 0;
  if (!ParseSide(text.substr(0, x), w) || !ParseSide(text.substr(x + 1), h)) {
    return false;
  }
  width = w;
  height = h;
  return true;
}

// "0.0001", "1000": a limit as the shortest text that reads back to it.
std::string ShortestText(double v) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v,
                                       std::chars_format::fixed);
  return ec == std::errc() ? std::string(buffer, end) : std::string();
}

// A density contour option, into `settings`, with its value (nullptr when
// none was given); `error` is set when it is wrong.
void ContourOption(const std::string& arg, const char* given,
                   orvane::ContourSettings& settings, std::string& error) {
  const std::string_view value = given ? given : "";
  if (arg == "--contour-k") {
    double k = 0;
    const auto [end, ec] =
        std::from_chars(value.data(), value.data() + value.size(), k);
    if (value.empty() || ec != std::errc() ||
        end != value.data() + value.size() ||
        !(k >= orvane::kMinContourConcentration) ||
        k > orvane::kMaxContourConcentration) {
      error = "--contour-k needs a number from " +
              ShortestText(orvane::kMinContourConcentration) + " to " +
              ShortestText(orvane::kMaxContourConcentration);
    } else {
      settings.concentration = k;
    }
  } else if (arg == "--contour-steps") {
    if (!orvane::ParseDigitsIn(value, orvane::kMinContourSteps,
                               orvane::kMaxContourSteps, settings.steps)) {
      error = "--contour-steps needs a whole number from " +
              std::to_string(orvane::kMinContourSteps) + " to " +
              std::to_string(orvane::kMaxContourSteps);
    }
  } else if (arg == "--contour-data") {
    if (value == "measured" || value == "pre-strain") {
      settings.data = value == "measured" ? orvane::DensityData::kMeasured
                                          : orvane::DensityData::kRetrodeformed;
    } else {
      error = "--contour-data needs measured or pre-strain";
    }
  }
}

// Input quoted in a message: printable, and cut.
std::string Quoted(std::string_view text) {
  return orvane::PrintableText(text, 80);
}

int UsageError(const std::string& what) {
  std::fprintf(stderr, "orvane-cli: %s\n", what.c_str());
  std::fputs("Try 'orvane-cli --help'.\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  const std::string sep = orvane::LocaleDecimalSeparator();

  OutputForm form = OutputForm::kReport;
  bool options_ended = false;
  ChartRequest chart;
  chart.sep = sep;
  bool import = false;
  bool outline_file = false;
  bool label_image = false;
  // How each file is read, with the outline and label image options.
  orvane::SourceChoices source;
  bool methods = false;
  bool study = false;
  std::optional<orvane::CentreSettings> centre_settings;
  orvane::CentreMethod centre_method = orvane::CentreMethod::kNormalised;
  orvane::TableChoices table;
  std::string settings_file;
  orvane::BootstrapSettings bootstrap;
  // Figure options as given, applied over the settings file's.
  std::vector<std::pair<std::string, std::string>> figure_options;
  std::optional<orvane::ChartProjection> projection;
  std::vector<std::string> files;
  // The options given, to refuse one given twice or against another.
  std::vector<const orvane::cli::CliOption*> given;
  auto was_given = [&given](std::string_view name) {
    return std::any_of(given.begin(), given.end(),
                       [name](const auto* o) { return name == o->name; });
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_ended || arg.size() <= 1 || arg[0] != '-') {
      files.push_back(arg);
      continue;
    }
    const orvane::cli::CliOption* option = orvane::cli::FindCliOption(arg);
    if (option == nullptr) {
      return UsageError("unknown option " + Quoted(arg) + " (the options are " +
                        orvane::cli::OptionNames() + ")");
    }
    // A value given twice would lose one of them; a flag given twice asks
    // for the same thing twice and loses nothing (and scripts that repeat
    // --csv have always run).
    if (option->argument != nullptr && was_given(option->name)) {
      return UsageError(std::string(option->name) + " is given more than once");
    }
    if (option->excludes && was_given(option->excludes)) {
      // Named in the order of --help, whichever came first.
      const auto* other = orvane::cli::FindCliOption(option->excludes);
      const bool first = option < other;
      return UsageError(std::string(first ? option->name : other->name) +
                        " and " + (first ? other->name : option->name) +
                        " exclude each other");
    }
    given.push_back(option);
    const char* value =
        option->argument != nullptr && i + 1 < argc ? argv[++i] : nullptr;
    const std::string name = option->name;
    std::string error;
    using orvane::cli::OptionId;
    switch (option->id) {
      case OptionId::kEndOfOptions:
        options_ended = true;
        break;
      case OptionId::kHelp:
      case OptionId::kVersion: {
        orvane::cli::BufferedOutput out(STDOUT_FILENO);
        out.Put(option->id == OptionId::kHelp ? orvane::cli::UsageText()
                                              : orvane::cli::VersionText());
        return out.Close() ? 0 : OutputFailed(out);
      }
      case OptionId::kJson:
      case OptionId::kCsv:
        form = option->id == OptionId::kJson ? OutputForm::kJson
                                             : OutputForm::kCsv;
        break;
      case OptionId::kMethods:
        methods = true;
        break;
      case OptionId::kFry:
        centre_settings = orvane::CentreSettings();
        break;
      case OptionId::kStudy:
        study = true;
        break;
      case OptionId::kFryMethod:
        if (!value || !orvane::ParseCentreMethod(value, centre_method)) {
          error = "--fry-method needs fry, normalised, enhanced or delaunay";
        }
        break;
      case OptionId::kResamples:
        if (!value || !orvane::ParseResamples(value, bootstrap.resamples)) {
          error = "--resamples needs " + orvane::ResamplesRange() +
                  ", written with digits only";
        }
        break;
      case OptionId::kSeed:
        if (!value || !orvane::ParseSeed(value, bootstrap.seed)) {
          error = "--seed needs " + orvane::SeedRange() +
                  ", written with digits only";
        }
        break;
      case OptionId::kChart:
        if (!value || value[0] == '\0') {
          error =
              "--chart needs a picture file: .emf, .bmp, .svg, .png or .pdf";
        } else {
          chart.picture = value;
        }
        break;
      case OptionId::kSize:
        if (!value || !ParseSize(value, chart.width, chart.height)) {
          error = "--size needs WIDTHxHEIGHT in whole pixels, each from " +
                  std::to_string(kMinChartSide) + " to " +
                  std::to_string(kMaxChartSide) + " (for example 640x362)";
        }
        break;
      case OptionId::kProjection:
        projection = value ? orvane::ProjectionOfKey(value) : std::nullopt;
        if (!projection) error = "--projection needs equal-area or elliott";
        break;
      case OptionId::kPlot:
      case OptionId::kPanels:
      case OptionId::kRfScale:
      case OptionId::kThetaCurves:
        orvane::cli::PlotOption(name, value, chart.plot, error);
        break;
      case OptionId::kImport:
        import = true;
        break;
      case OptionId::kOutlines:
        outline_file = true;
        break;
      case OptionId::kLabelImage:
        label_image = true;
        break;
      case OptionId::kPixelSize: {
        double size = 0;
        const char* end = value ? value + std::strlen(value) : nullptr;
        if (!value || std::from_chars(value, end, size).ptr != end ||
            !(size > 0) || !std::isfinite(size)) {
          error = "--pixel-size needs the side of a pixel, a number above 0";
        } else {
          source.image.pixel_size = size;
        }
        break;
      }
      case OptionId::kMinPixels: {
        long count = 0;
        const char* end = value ? value + std::strlen(value) : nullptr;
        if (!value || value[0] < '0' || value[0] > '9' ||
            std::from_chars(value, end, count).ptr != end || count < 1 ||
            count > 1000000000) {
          error = "--min-pixels needs a whole number from 1 to 1000000000";
        } else {
          source.image.min_pixels = count;
        }
        break;
      }
      case OptionId::kLayer:
        if (!value || value[0] == '\0') {
          error = "--layer needs the name of a layer";
        } else {
          source.layer = value;
        }
        break;
      case OptionId::kExportEllipses:
        if (!value || value[0] == '\0') {
          error = "--export-ellipses needs a file to write the ellipses to";
        } else {
          source.export_ellipses = value;
        }
        break;
      case OptionId::kColumns:
      case OptionId::kAngle:
      case OptionId::kRadians:
      case OptionId::kDegrees:
      case OptionId::kDelimiter:
      case OptionId::kHeader:
      case OptionId::kNoHeader:
      case OptionId::kDecimalComma:
      case OptionId::kDecimalPoint:
        TableOption(name, value, table, error);
        break;
      case OptionId::kFigureSize:
      case OptionId::kDpi:
      case OptionId::kPalette:
      case OptionId::kCloud:
      case OptionId::kLegend:
      case OptionId::kFontSize:
      case OptionId::kMarkerSize:
      case OptionId::kLineWidth:
        if (!value) {
          orvane::FigureSettings unused;
          error =
              "--" +
              orvane::SetFigureSetting(name.substr(2), "", unused).message();
        } else {
          figure_options.emplace_back(name.substr(2), value);
        }
        break;
      case OptionId::kFigureStyle:
      case OptionId::kCaption:
        figure_options.emplace_back(name.substr(2), "yes");
        break;
      case OptionId::kContours:
        chart.plot.contours = true;
        break;
      case OptionId::kContourK:
      case OptionId::kContourSteps:
      case OptionId::kContourData:
        ContourOption(name, value, chart.plot.contour_settings, error);
        chart.plot.contours = true;
        break;
      case OptionId::kFigureSettings:
        if (!value || value[0] == '\0') {
          error = "--figure-settings needs a settings file";
        } else {
          settings_file = value;
          chart.figure = true;
        }
        break;
    }
    if (!error.empty()) return UsageError(error);
  }
  if (files.empty()) {
    return UsageError(study ? "no study file given" : "no data file given");
  }
  if (study) {
    // A study file names each section's source and how it is read.
    for (const orvane::cli::CliOption* o : given) {
      if (o->needs & orvane::cli::kNotStudy) {
        return UsageError(std::string(o->name) +
                          " goes with data files, not --study (a study "
                          "file gives each section's source)");
      }
    }
    if (chart.plot.rf_phi || chart.plot.fry) {
      return UsageError("--study draws --plot flinn, hsu or axes");
    }
    if (!chart.picture.empty() && files.size() != 1) {
      return UsageError("--chart draws the plot of one study");
    }
  } else if (!chart.plot.study.empty()) {
    return UsageError("--plot " + chart.plot.study + " goes with --study");
  }
  if (import && label_image) {
    return UsageError("--import and --label-image exclude each other");
  }
  if (outline_file && label_image) {
    return UsageError("--outlines and --label-image exclude each other");
  }
  using SourceKind = orvane::SourceChoices::Kind;
  source.kind = label_image    ? SourceKind::kLabelImage
                : outline_file ? SourceKind::kOutlines
                : import       ? SourceKind::kTable
                               : SourceKind::kNative;
  source.table = table;
  if (!source.export_ellipses.empty() && files.size() != 1) {
    return UsageError("--export-ellipses writes the ellipses of one file");
  }
  if (!chart.picture.empty() && files.size() != 1 && !study) {
    return UsageError("--chart draws the chart of one data file");
  }
  // What each option given goes with.
  const std::pair<unsigned, bool> needs[] = {
      {orvane::cli::kNeedsNotCsv, form != OutputForm::kCsv},
      {orvane::cli::kNeedsImport, import},
      {orvane::cli::kNeedsOutlines, outline_file},
      {orvane::cli::kNeedsLabelImage, label_image},
      {orvane::cli::kNeedsGrains, outline_file || label_image},
      {orvane::cli::kNeedsChart, !chart.picture.empty()},
      {orvane::cli::kNeedsRfPhiPlot,
       chart.plot.rf_phi || !chart.plot.panels.empty()},
      {orvane::cli::kNeedsFry, centre_settings || chart.plot.fry},
  };
  for (const auto& [need, met] : needs) {
    for (const orvane::cli::CliOption* o : given) {
      if ((o->needs & need) == 0 || met) continue;
      switch (need) {
        case orvane::cli::kNeedsNotCsv:
          return UsageError(std::string(o->family) +
                            " with the report or --json, not --csv");
        case orvane::cli::kNeedsImport:
          return UsageError(std::string(o->family) + " with --import");
        case orvane::cli::kNeedsOutlines:
          return UsageError(std::string(o->family) + " with --outlines");
        case orvane::cli::kNeedsLabelImage:
          return UsageError(std::string(o->family) + " with --label-image");
        case orvane::cli::kNeedsGrains:
          return UsageError(std::string(o->family) +
                            " with --outlines or --label-image");
        case orvane::cli::kNeedsChart:
          return UsageError(std::string(o->family) + " with --chart");
        case orvane::cli::kNeedsFry:
          return UsageError(std::string(o->family) +
                            " with --fry or --plot fry");
        default:
          return UsageError(
              orvane::cli::NamesNeeding(orvane::cli::kNeedsRfPhiPlot) +
              " go with --plot rfphi");
      }
    }
  }
  if (!figure_options.empty()) chart.figure = true;
  if (chart.figure && chart.picture.empty()) {
    return UsageError("the figure options go with --chart");
  }
  if (chart.figure && was_given("--size")) {
    return UsageError(
        "--size is the size of a plain picture; a figure's is --figure-size");
  }
  if (!settings_file.empty()) {
    std::string text;
    orvane::Status read =
        orvane::ReadSmallTextFile(settings_file, "a settings file", text);
    if (read.ok()) {
      read =
          orvane::ParseFigureSettingsFile(settings_file, text, chart.settings);
    }
    if (!read.ok()) return UsageError(read.message());
  }
  for (const auto& [key, value] : figure_options) {
    const orvane::Status set =
        orvane::SetFigureSetting(key, value, chart.settings);
    if (!set.ok()) return UsageError("--" + set.message());
  }
  // --projection wins over a settings file's.
  if (const auto p = projection ? projection : chart.settings.projection) {
    chart.plot.projection = *p;
  }
  if (!chart.picture.empty() && orvane::PictureFormatOf(chart.picture) ==
                                    orvane::PictureFormat::kInvalid) {
    return UsageError(std::string(orvane::kMessageInvalidExtension) +
                      " (.emf, .bmp, .svg, .png or .pdf)");
  }

  // The Fry plot is drawn from the centre-based strain.
  if (chart.plot.fry && !centre_settings) {
    centre_settings = orvane::CentreSettings();
  }
  if (centre_settings) centre_settings->method = centre_method;

  orvane::cli::BufferedOutput out(STDOUT_FILENO);
  if (study) {
    if (form == OutputForm::kCsv) out.Put(orvane::kStudyCsvHeader);
    bool all_analysed = true;
    for (const std::string& file : files) {
      all_analysed = AnalyseStudyFile(out, file, form, sep, chart, bootstrap) &&
                     all_analysed;
      if (out.failed()) return OutputFailed(out);
    }
    if (!out.Close()) return OutputFailed(out);
    return all_analysed ? 0 : 1;
  }
  if (form == OutputForm::kCsv) {
    std::string header = orvane::kSummaryCsvHeader;
    if (centre_settings) {
      header.pop_back();
      header += std::string(orvane::kCentreCsvColumns) + '\n';
    }
    out.Put(header);
  }
  bool all_analysed = true;
  for (const std::string& file : files) {
    all_analysed = AnalyseFile(out, file, form, sep, chart, source, methods,
                               bootstrap, centre_settings) &&
                   all_analysed;
    if (out.failed()) return OutputFailed(out);
  }
  if (!out.Close()) return OutputFailed(out);
  return all_analysed ? 0 : 1;
}
