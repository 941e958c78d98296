// orvane-cli: the analysis of data files without a window. It runs the same
// load and analysis as the window's Open and prints the report, or one JSON
// object per file.
#include <cctype>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
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
#include "cli/plot_choice.h"
#include "core/analysis.h"
#include "core/bootstrap_settings.h"
#include "core/methods.h"
#include "core/number_format.h"
#include "io/open_pipeline.h"
#include "io/results_csv.h"
#include "io/table_import.h"
#include "render/figure_export.h"
#include "render/picture_export.h"

namespace {

constexpr const char* kUsage =
    "Usage: orvane-cli [--json] FILE...\n"
    "       orvane-cli --chart PICTURE [--size WxH] [--json] FILE\n"
    "       orvane-cli --csv FILE...\n"
    "       orvane-cli --import [TABLE OPTIONS] [--json | --csv] TABLE...\n"
    "       orvane-cli --chart PICTURE [figure options] [--json] FILE\n"
    "       orvane-cli --methods [--json] FILE...\n"
    "       orvane-cli [--resamples N] [--seed S] [--json | --csv] FILE...\n"
    "       orvane-cli --chart PICTURE --projection elliott FILE\n"
    "       orvane-cli --chart PICTURE --contours [contour options] FILE\n"
    "       orvane-cli --chart PICTURE --plot rfphi [--rf-scale log|linear]\n"
    "                  [--theta-curves LIST] [--size WxH | figure options]"
    " FILE\n"
    "\n"
    "Rf/phi strain analysis by the hyperbolic vector mean. Each FILE holds\n"
    "one strain marker per line: major axis, minor axis and orientation of\n"
    "the major axis in degrees, separated by white space.\n"
    "\n"
    "For each file the report is written to standard output: the data\n"
    "block, the optimal strain and the 95% bootstrap confidence limits (or\n"
    "the line that says why there are none). A refused file's message goes\n"
    "to standard error and the remaining files are still analysed. With\n"
    "fewer than five data the report has no confidence block and\n"
    "\"Number of data < 5\" goes to standard error. These messages begin\n"
    "with the file as given and a colon, for example\n"
    "\"x.txt: Read error --- #1\". Each FILE is opened as given; the report\n"
    "names it by its full path.\n"
    "\n"
    "Options:\n"
    "  --json   write one JSON object per file and line instead: the data,\n"
    "           the pre-strain data, the strain, both strain matrices, the\n"
    "           bootstrap solutions, the report lines and the status texts;\n"
    "           every single-precision value as the shortest decimal that\n"
    "           reads back to it. A refused file gives {\"file\", \"error\"}.\n"
    "  --csv    write a table instead, one row per file after a header row:\n"
    "           file,N,R_s,phi_s,R_min,R_max,phi_min,phi_max,outcome,message\n"
    "           with the figures as the shortest decimals that read back to\n"
    "           them, always with a full stop. The limits are empty unless\n"
    "           the outcome is \"limits\" (the others: \"null strain\",\n"
    "           \"surrounds origin\", \"not run\" and \"refused\"); message\n"
    "           holds why a file was refused, or the notices and warnings of\n"
    "           its analysis. Messages still go to standard error.\n"
    "  --methods\n"
    "           after each report, a table of other estimators beside the\n"
    "           hyperbolic vector mean's R_s and phi_s: the axial vector\n"
    "           mean of phi, the harmonic mean of Rf, the fluctuation F of\n"
    "           phi with Ramsay's R_s and R_i from the extreme ratios, and\n"
    "           the chi-square test of uniformity of the retrodeformed\n"
    "           orientations theta (its classes, degrees of freedom, 95%\n"
    "           critical value and \"uniform\" or \"not uniform\"; not\n"
    "           tested with fewer than 10 data). With --json each file's\n"
    "           object ends with a \"methods\" object of the same figures:\n"
    "           R_s, phi_s, axial_phi, axial_length, harmonic_R, Rf_max,\n"
    "           Rf_min, F, F_below_90, ramsay_R_s, ramsay_R_i and\n"
    "           uniformity {classes, df, chi2, critical, result, reason};\n"
    "           a figure that does not exist (no axial mean when the\n"
    "           doubled angles cancel, no test) is null. Not with --csv.\n"
    "  --resamples N\n"
    "           draw N bootstrap resamples, from 20 to 100000 (default\n"
    "           200); the limits still span the 95% of the solutions\n"
    "           nearest to the optimal strain (190 of 200, 475 of 500).\n"
    "  --seed S the seed of the bootstrap's generator, from 0 to\n"
    "           4294967295 (default 1). Both are written with digits only\n"
    "           and go with the plain report, --json, --csv and --chart.\n"
    "           Only the defaults, 200 resamples from the seed 1,\n"
    "           reproduce the published figures of this method; other\n"
    "           settings are named in the report's confidence block, the\n"
    "           status text, the JSON's \"bootstrap\" (\"resamples\",\n"
    "           \"seed\") and the CSV's message.\n"
    "  --chart PICTURE\n"
    "           also draw the equal-area chart of the analysed FILE into\n"
    "           PICTURE, in the format of its extension: .emf (Enhanced\n"
    "           Metafile), .bmp (32-bit bitmap), .svg, .png or .pdf. No\n"
    "           display is needed. An existing PICTURE is replaced.\n"
    "  --size WxH\n"
    "           the chart's size: width, x, height, in whole pixels written\n"
    "           with digits only, each from 120 to 16384 (default 640x362,\n"
    "           the window's). The picture has the window's look, without\n"
    "           the data grid's column.\n"
    "  --projection equal-area|elliott\n"
    "           the chart's projection: equal-area (the default), radius\n"
    "           zeta = sqrt(R) - 1/sqrt(R) = 2 sinh(rho/2); or elliott\n"
    "           (equidistant), radius rho = ln R, the disc reaching ln of\n"
    "           the largest measured R + 0.5, and \"Elliott projection\"\n"
    "           written in the lower left corner of the picture.\n"
    "  --plot polar|rfphi\n"
    "           the plot --chart draws: polar, the equal-area chart (the\n"
    "           default), or rfphi, the Rf/phi plot: the orientation phi of\n"
    "           the long axis from -90 to 90 degrees across, the axial ratio\n"
    "           Rf upwards, the post-strain and pre-strain data, the optimal\n"
    "           strain and its theta-curves (the strained shapes of the\n"
    "           ellipses of one initial ratio Ri in every initial\n"
    "           orientation). The size and figure options apply to both.\n"
    "  --rf-scale log|linear\n"
    "           the Rf axis of the Rf/phi plot: logarithmic (the default)\n"
    "           or linear, from 1 to a round value above the largest Rf.\n"
    "  --theta-curves LIST\n"
    "           the initial ratios Ri of the theta-curves, separated by\n"
    "           commas, each from 1 to 1000, at most 20 (default\n"
    "           1.25,1.5,2,3,5; an empty LIST draws none).\n"
    "  --import read each FILE as a measurement table: columns separated by\n"
    "           commas, semicolons, tabs or blanks, a header row or none,\n"
    "           quoted cells, decimal commas where the comma is no\n"
    "           delimiter. The delimiter, the header, the columns and the\n"
    "           angle convention are found from the table unless given:\n"
    "  --columns ROLES\n"
    "           the role of each column from the first, separated by\n"
    "           commas: major, minor (full or semi-axes), R (the axial\n"
    "           ratio alone), angle, or - for a column not used; for\n"
    "           example -,-,major,minor,angle or R,angle. Found from the\n"
    "           header names (Major/Minor/Angle, a/b/phi, R/Rf/phi,\n"
    "           Max/Min/Phi, long/short, any case), else from the count of\n"
    "           columns (three: major,minor,angle; two: R,angle).\n"
    "  --angle CONVENTION\n"
    "           how the table's orientations are measured: ccw-x\n"
    "           (counter-clockwise from the x axis, the default), cw-x\n"
    "           (clockwise from the x axis), cw-north (clockwise from north:\n"
    "           azimuths; the default for a column named Azimuth) or\n"
    "           ccw-north. They are converted to ccw-x.\n"
    "  --radians\n"
    "           the orientations are in radians (the default for a header\n"
    "           such as \"phi (rad)\"); --degrees: in degrees.\n"
    "  --delimiter comma|semicolon|tab|space\n"
    "  --header, --no-header\n"
    "           the first row names the columns, or is data.\n"
    "  --decimal-comma, --decimal-point\n"
    "           the decimal separator of the table's numbers.\n"
    "  --help   show this text.\n"
    "  --       end of options.\n"
    "\n"
    "Figure options (for print; any of them makes PICTURE a figure):\n"
    "  --figure-size WxH\n"
    "           the figure's size in millimetres, each from 32 to 1000\n"
    "           (for example 85x60; default 169.3x95.8, the window's chart\n"
    "           at 96 dpi).\n"
    "  --dpi N  dots per inch of a .png or .bmp figure, from 96 to 1200\n"
    "           (default 300), at most 16384 pixels a side. Markers, lines\n"
    "           and text grow with it: the figure looks like the window's\n"
    "           chart at any resolution. Vector figures (.svg, .pdf, .emf)\n"
    "           keep the physical size and draw at 96.\n"
    "  --figure-style\n"
    "           a figure's legend (no check boxes, on white, only the\n"
    "           series drawn) and labels on the iso-R circles.\n"
    "  --palette standard|colour-blind\n"
    "           the window's colours (default) or the Okabe-Ito colours.\n"
    "  --caption\n"
    "           a line under the chart: N, R_s and phi_s with their limits.\n"
    "  --cloud below|above|outline\n"
    "           the bootstrap solutions beneath the data (default), above\n"
    "           them, or as the outline of the region they cover.\n"
    "  --contours\n"
    "           draw density contours of the data under the markers: at each\n"
    "           point of the disc the sum over the data of exp(k (1 - cosh "
    "d)),\n"
    "           d the hyperbolic distance to the datum, in data per unit of\n"
    "           hyperbolic area, filled in greys at equal steps from 0 to its\n"
    "           peak (the first step left white), with a note of k.\n"
    "  --contour-k K\n"
    "           the kernel's concentration k, above 0 and at most 1000\n"
    "           (default 40 / N^(1/3): wider for more data).\n"
    "  --contour-steps N\n"
    "           the number of equal steps from 0 to the peak, 2 to 20\n"
    "           (default 10).\n"
    "  --contour-data measured|pre-strain\n"
    "           the density of the measured (default) or of the retrodeformed\n"
    "           markers. The --contour options imply --contours.\n"
    "  --figure-settings FILE\n"
    "           read the figure's settings from FILE, one \"key = value\"\n"
    "           a line (blank lines and lines beginning with # are skipped):\n"
    "           figure-size = WxH, dpi = N, figure-style = yes|no,\n"
    "           palette = standard|colour-blind, caption = yes|no,\n"
    "           cloud = below|above|outline, projection = equal-area|elliott.\n"
    "           Options given as well win.\n"
    "\n"
    "Numbers in the report use the decimal separator of the locale\n"
    "(LC_NUMERIC); data files always use the full stop.\n"
    "\n"
    "Exit status: 0 when every file was analysed, 1 when a file was\n"
    "refused or held no data or the output could not be written, 2 for a\n"
    "usage error.\n";

constexpr int kMinChartSide = orvane::kMinPictureSide;
constexpr int kMaxChartSide = orvane::kMaxPictureSide;

// The full path the report names, as a file dialog would give it.
std::string FullPath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

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

// Draws the chart of the analysed data, as the window would show it.
bool WriteChart(const ChartRequest& chart_request,
                const orvane::AnalysisState& state,
                orvane::AnalysisResult result) {
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
  int argc = 1;
  char name[] = "orvane-cli";
  char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);
  const orvane::cli::ChosenPlot plot(chart_request.plot, state, result,
                                     chart_request.sep);
  const QString path = QString::fromStdString(chart_request.picture);
  const orvane::Status saved =
      chart_request.figure
          ? orvane::SaveFigureFile(
                plot.Picture(), chart_request.settings,
                orvane::FigureCaption(state, result, chart_request.sep), path)
          : orvane::SaveChartPictureFile(
                plot.Picture(),
                QSize(chart_request.width, chart_request.height), path);
  if (!saved.ok()) WriteLine(stderr, saved.message());
  return saved.ok();
}

// The tool's part in the Open pipeline: the file named on the command line
// is the file chosen and opened as given (through any symbolic link, before
// a ".." that follows it), named in the report by its full path.
// With table choices the file is read as a measurement table.
class CommandLineOpen : public orvane::OpenFrontEnd {
 public:
  CommandLineOpen(const std::string& file,
                  const std::optional<orvane::TableChoices>& table,
                  const orvane::BootstrapSettings& bootstrap)
      : file_(file), table_(table), bootstrap_(bootstrap) {}
  std::optional<std::string> ChooseFile() override { return file_; }
  orvane::BootstrapSettings Bootstrap() override { return bootstrap_; }
  std::string ReportName(const std::string& path) override {
    return FullPath(path);
  }
  orvane::Status Load(const std::string& path, orvane::LoadedData& data,
                      const orvane::ReadProgress& progress) override {
    if (!table_) return OpenFrontEnd::Load(path, data, progress);
    orvane::TableLayout layout;
    if (orvane::Status found = orvane::DetectTableLayout(path, *table_, layout);
        !found.ok()) {
      return found;
    }
    return orvane::ImportTable(path, layout, data, progress);
  }

 private:
  std::string file_;
  std::optional<orvane::TableChoices> table_;
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

// "major,minor,angle", "R,angle", "-,-,major,minor,angle": the roles of the
// columns from the first.
bool ParseRoles(std::string_view text, std::vector<orvane::ColumnRole>& roles) {
  roles.clear();
  while (true) {
    const std::size_t comma = text.find(',');
    std::string word(text.substr(0, comma));
    for (char& c : word) c = static_cast<char>(std::tolower(c));
    if (word == "major" || word == "a") {
      roles.push_back(orvane::ColumnRole::kMajor);
    } else if (word == "minor" || word == "b") {
      roles.push_back(orvane::ColumnRole::kMinor);
    } else if (word == "r" || word == "rf") {
      roles.push_back(orvane::ColumnRole::kRatio);
    } else if (word == "angle" || word == "phi") {
      roles.push_back(orvane::ColumnRole::kAngle);
    } else if (word == "-") {
      roles.push_back(orvane::ColumnRole::kIgnored);
    } else {
      return false;
    }
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

// A table option, into `table`: true when `arg` is one (taking its value
// from argv[i + 1] and stepping i over it), with `error` set when it is
// wrong.
bool TableOption(const std::string& arg, int argc, char** argv, int& i,
                 orvane::TableChoices& table, std::string& error) {
  using orvane::AngleReference;
  using orvane::AngleSense;
  using orvane::AngleUnit;
  auto convention = [&table]() -> orvane::AngleConvention& {
    if (!table.convention) table.convention.emplace();
    return *table.convention;
  };
  const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
  if (arg == "--columns") {
    std::vector<orvane::ColumnRole> roles;
    if (value == nullptr || !ParseRoles(value, roles)) {
      error =
          "--columns needs the role of each column: major, minor, R, angle "
          "or -, separated by commas (for example major,minor,angle)";
    } else {
      table.roles = roles;
      ++i;
    }
  } else if (arg == "--angle") {
    const std::string v = value ? value : "";
    if (v == "ccw-x" || v == "cw-x" || v == "cw-north" || v == "ccw-north") {
      convention().reference = v.ends_with("north") ? AngleReference::kNorth
                                                    : AngleReference::kXAxis;
      convention().sense = v.starts_with("cw") ? AngleSense::kClockwise
                                               : AngleSense::kCounterClockwise;
      ++i;
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
      return true;
    }
    ++i;
  } else if (arg == "--header" || arg == "--no-header") {
    table.header = arg == "--header";
  } else if (arg == "--decimal-comma" || arg == "--decimal-point") {
    table.decimal_comma = arg == "--decimal-comma";
  } else {
    return false;
  }
  return true;
}

// Analyses one file; false when it was refused or held no data, or when
// standard output failed (out.failed() tells). Each file's output is flushed
// before any message about it, so that the two streams interleave in order.
bool AnalyseFile(orvane::cli::BufferedOutput& out, const std::string& file,
                 OutputForm form, const std::string& sep,
                 const ChartRequest& chart,
                 const std::optional<orvane::TableChoices>& table, bool methods,
                 const orvane::BootstrapSettings& bootstrap) {
  const bool json = form == OutputForm::kJson;
  const bool csv = form == OutputForm::kCsv;
  orvane::AnalysisState state;
  orvane::Report report;
  CommandLineOpen front_end(file, table, bootstrap);
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
  if (json) {
    if (opened.analysis == orvane::AnalysisResult::kNoData) {
      orvane::cli::WriteJsonError(out, file, notice);
    } else {
      orvane::cli::WriteJsonResult(out, file, state, opened.analysis, report,
                                   warnings,
                                   methods_shown ? &summary : nullptr);
    }
    out.Put('\n');
  } else if (csv) {
    if (opened.analysis == orvane::AnalysisResult::kNoData) {
      out.Put(orvane::RefusedCsvRow(file, notice));
    } else {
      out.Put(
          orvane::SummaryCsvRow(file, state, JoinedMessages(notice, warnings)));
    }
  } else {
    for (const std::string& line : report.Lines()) {
      out.Put(line);
      out.Put('\n');
    }
    for (const std::string& line :
         orvane::MethodsTableLines(orvane::MethodsTable(summary, sep))) {
      out.Put(line);
      out.Put('\n');
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
  if (!chart.picture.empty()) {
    ok = WriteChart(chart, state, opened.analysis) && ok;
  }
  return ok;
}

// One side of the chart: digits only (no sign, no blank), from 16 to 16384.
bool ParseSide(std::string_view text, int& side) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  int value = 0;  // too many digits for an int: out of range as well
  const std::errc ec =
      std::from_chars(text.data(), text.data() + text.size(), value).ec;
  if (ec != std::errc() || value < kMinChartSide || value > kMaxChartSide) {
    return false;
  }
  side = value;
  return true;
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

// A density contour option, into `settings`: true when `arg` is one
// (taking its value from argv[i + 1] and stepping i over it), with `error`
// set when its value is wrong.
bool ContourOption(const std::string& arg, int argc, char** argv, int& i,
                   orvane::ContourSettings& settings, std::string& error) {
  const std::string_view value =
      i + 1 < argc ? std::string_view(argv[i + 1]) : std::string_view();
  if (arg == "--contour-k") {
    double k = 0;
    const auto [end, ec] =
        std::from_chars(value.data(), value.data() + value.size(), k);
    if (value.empty() || ec != std::errc() ||
        end != value.data() + value.size() || !(k > 0) || k > 1000) {
      error = "--contour-k needs a number above 0 and at most 1000";
    } else {
      settings.concentration = k;
      ++i;
    }
  } else if (arg == "--contour-steps") {
    int steps = 0;
    const auto [end, ec] =
        std::from_chars(value.data(), value.data() + value.size(), steps);
    if (value.empty() || ec != std::errc() ||
        end != value.data() + value.size() ||
        steps < orvane::kMinContourSteps || steps > orvane::kMaxContourSteps) {
      error = "--contour-steps needs a whole number from " +
              std::to_string(orvane::kMinContourSteps) + " to " +
              std::to_string(orvane::kMaxContourSteps);
    } else {
      settings.steps = steps;
      ++i;
    }
  } else if (arg == "--contour-data") {
    if (value == "measured" || value == "pre-strain") {
      settings.data = value == "measured" ? orvane::DensityData::kMeasured
                                          : orvane::DensityData::kRetrodeformed;
      ++i;
    } else {
      error = "--contour-data needs measured or pre-strain";
    }
  } else {
    return false;
  }
  return true;
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
  bool size_given = false;
  bool plot_options = false;  // --plot, --rf-scale or --theta-curves
  bool import = false;
  bool methods = false;
  orvane::TableChoices table;
  bool table_options = false;
  std::string settings_file;
  orvane::BootstrapSettings bootstrap;
  // Figure options as given, applied over the settings file's.
  std::vector<std::pair<std::string, std::string>> figure_options;
  std::optional<orvane::ChartProjection> projection;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!options_ended && arg == "--") {
      options_ended = true;
    } else if (!options_ended && (arg == "--help" || arg == "-h")) {
      orvane::cli::BufferedOutput out(STDOUT_FILENO);
      out.Put(kUsage);
      return out.Close() ? 0 : OutputFailed(out);
    } else if (!options_ended && (arg == "--json" || arg == "--csv")) {
      const OutputForm asked =
          arg == "--json" ? OutputForm::kJson : OutputForm::kCsv;
      if (form != OutputForm::kReport && form != asked) {
        return UsageError("--json and --csv exclude each other");
      }
      form = asked;
    } else if (!options_ended && arg == "--chart") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        return UsageError(
            "--chart needs a picture file: .emf, .bmp, .svg, .png or .pdf");
      }
      chart.picture = argv[++i];
    } else if (!options_ended && arg == "--size") {
      if (i + 1 >= argc || !ParseSize(argv[i + 1], chart.width, chart.height)) {
        return UsageError(
            "--size needs WIDTHxHEIGHT in whole pixels, each from " +
            std::to_string(kMinChartSide) + " to " +
            std::to_string(kMaxChartSide) + " (for example 640x362)");
      }
      ++i;
      size_given = true;
    } else if (!options_ended && arg == "--resamples") {
      if (i + 1 >= argc ||
          !orvane::ParseResamples(argv[i + 1], bootstrap.resamples)) {
        return UsageError("--resamples needs " + orvane::ResamplesRange() +
                          ", written with digits only");
      }
      ++i;
    } else if (!options_ended && arg == "--seed") {
      if (i + 1 >= argc || !orvane::ParseSeed(argv[i + 1], bootstrap.seed)) {
        return UsageError("--seed needs " + orvane::SeedRange() +
                          ", written with digits only");
      }
      ++i;
    } else if (!options_ended && arg == "--projection") {
      projection =
          i + 1 < argc ? orvane::ProjectionOfKey(argv[i + 1]) : std::nullopt;
      if (!projection) {
        return UsageError("--projection needs equal-area or elliott");
      }
      ++i;
    } else if (std::string error;
               !options_ended &&
               orvane::cli::PlotOption(arg, argc, argv, i, chart.plot, error)) {
      if (!error.empty()) return UsageError(error);
      plot_options = true;
    } else if (!options_ended && arg == "--import") {
      import = true;
    } else if (!options_ended && arg == "--methods") {
      methods = true;
    } else if (std::string error;
               !options_ended &&
               TableOption(arg, argc, argv, i, table, error)) {
      if (!error.empty()) return UsageError(error);
      table_options = true;
    } else if (!options_ended && (arg == "--figure-size" || arg == "--dpi" ||
                                  arg == "--palette" || arg == "--cloud")) {
      if (i + 1 >= argc) {
        orvane::FigureSettings unused;
        return UsageError(
            "--" +
            orvane::SetFigureSetting(arg.substr(2), "", unused).message());
      }
      figure_options.emplace_back(arg.substr(2), argv[++i]);
    } else if (!options_ended &&
               (arg == "--figure-style" || arg == "--caption")) {
      figure_options.emplace_back(arg.substr(2), "yes");
    } else if (!options_ended && arg == "--contours") {
      chart.plot.contours = true;
    } else if (std::string error;
               !options_ended &&
               ContourOption(arg, argc, argv, i, chart.plot.contour_settings,
                             error)) {
      if (!error.empty()) return UsageError(error);
      chart.plot.contours = true;
    } else if (!options_ended && arg == "--figure-settings") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        return UsageError("--figure-settings needs a settings file");
      }
      settings_file = argv[++i];
      chart.figure = true;
    } else if (!options_ended && arg.size() > 1 && arg[0] == '-') {
      return UsageError(
          "unknown option " + arg +
          " (the options are --json, --csv, --methods, --resamples, "
          "--seed, --chart, --size, --plot, --rf-scale, --theta-curves, "
          "--projection, --contours, --contour-k, --contour-steps, "
          "--contour-data, --figure-size, --dpi, --figure-style, "
          "--palette, --caption, --cloud, --figure-settings, --import and "
          "its table options, --help and --)");
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) return UsageError("no data file given");
  if (!chart.picture.empty() && files.size() != 1) {
    return UsageError("--chart draws the chart of one data file");
  }
  if (methods && form == OutputForm::kCsv) {
    return UsageError("--methods goes with the report or --json, not --csv");
  }
  if (table_options && !import) {
    return UsageError("the table options go with --import");
  }
  if (size_given && chart.picture.empty()) {
    return UsageError("--size goes with --chart");
  }
  if (projection && chart.picture.empty()) {
    return UsageError("--projection goes with --chart");
  }
  if (chart.plot.contours && chart.picture.empty()) {
    return UsageError("the contour options go with --chart");
  }
  if (plot_options && chart.picture.empty()) {
    return UsageError("--plot, --rf-scale and --theta-curves go with --chart");
  }
  if (chart.plot.rf_phi_options && !chart.plot.rf_phi) {
    return UsageError("--rf-scale and --theta-curves go with --plot rfphi");
  }
  if (!figure_options.empty()) chart.figure = true;
  if (chart.figure && chart.picture.empty()) {
    return UsageError("the figure options go with --chart");
  }
  if (chart.figure && size_given) {
    return UsageError(
        "--size is the size of a plain picture; a figure's is --figure-size");
  }
  if (!settings_file.empty()) {
    const orvane::Status read = orvane::ReadFigureSettingsFile(
        QString::fromLocal8Bit(settings_file.c_str()), chart.settings);
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

  orvane::cli::BufferedOutput out(STDOUT_FILENO);
  if (form == OutputForm::kCsv) out.Put(orvane::kSummaryCsvHeader);
  bool all_analysed = true;
  for (const std::string& file : files) {
    all_analysed = AnalyseFile(out, file, form, sep, chart,
                               import ? std::optional(table) : std::nullopt,
                               methods, bootstrap) &&
                   all_analysed;
    if (out.failed()) return OutputFailed(out);
  }
  if (!out.Close()) return OutputFailed(out);
  return all_analysed ? 0 : 1;
}
