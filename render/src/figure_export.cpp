// SPDX-License-Identifier: MIT
#include "render/figure_export.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/analysis_report.h"
#include "core/digits.h"
#include "core/number_format.h"
#include "core/utf8_text.h"
#include "render/plot_render.h"

namespace orvane {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
    s.remove_prefix(1);
  }
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

// Quoted input in a message is cut to this many bytes.
constexpr std::size_t kMaxQuotedBytes = 80;

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

Status Refused(const std::string& text) {
  return Status(StatusCode::kReadError, text);
}

// A plain decimal (a length in millimetres, a size in points): digits
// with at most one full stop, no sign, no exponent, from `least` to `most`;
// leading zeros as in any whole number.
bool ParsePlainDecimal(std::string_view text, double least, double most,
                       double& number) {
  if (text.empty() || text.front() == '.' || text.back() == '.') return false;
  if (std::count(text.begin(), text.end(), '.') > 1 ||
      text.find_first_not_of("0123456789.") != std::string_view::npos) {
    return false;
  }
  double value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return false;
  if (!(value >= least && value <= most)) return false;
  number = value;
  return true;
}

bool ParseYesNo(std::string_view text, bool& flag) {
  if (text == "yes") {
    flag = true;
  } else if (text == "no") {
    flag = false;
  } else {
    return false;
  }
  return true;
}

std::string Number(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", v);
  return buffer;
}

}  // namespace

Status SetFigureSetting(std::string_view key, std::string_view value,
                        FigureSettings& settings) {
  const std::string k(key);
  if (key == "figure-size") {
    const std::size_t x = value.find_first_of("xX");
    double w = 0, h = 0;
    if (x == std::string_view::npos ||
        !ParsePlainDecimal(value.substr(0, x), kMinFigureSideMm,
                           kMaxFigureSideMm, w) ||
        !ParsePlainDecimal(value.substr(x + 1), kMinFigureSideMm,
                           kMaxFigureSideMm, h)) {
      return Refused(
          "figure-size needs WIDTHxHEIGHT in millimetres, each "
          "from " +
          Number(kMinFigureSideMm) + " to " + Number(kMaxFigureSideMm) +
          " (for example 85x60)");
    }
    settings.width_mm = w;
    settings.height_mm = h;
  } else if (key == "dpi") {
    int dpi = 0;
    if (!ParseDigitsIn(value, kMinFigureDpi, kMaxFigureDpi, dpi)) {
      return Refused("dpi needs a whole number from " +
                     std::to_string(kMinFigureDpi) + " to " +
                     std::to_string(kMaxFigureDpi));
    }
    settings.dpi = dpi;
  } else if (key == "figure-style" || key == "caption") {
    bool flag = false;
    if (!ParseYesNo(value, flag)) return Refused(k + " needs yes or no");
    (key == "caption" ? settings.caption : settings.figure_style) = flag;
  } else if (key == "palette") {
    if (value == "standard") {
      settings.palette = ChartPalette::kStandard;
    } else if (value == "colour-blind") {
      settings.palette = ChartPalette::kColourBlind;
    } else {
      return Refused("palette needs standard or colour-blind");
    }
  } else if (key == "cloud") {
    if (value == "below") {
      settings.cloud = CloudDrawing::kBelow;
    } else if (value == "above") {
      settings.cloud = CloudDrawing::kAbove;
    } else if (value == "outline") {
      settings.cloud = CloudDrawing::kOutline;
    } else {
      return Refused("cloud needs below, above or outline");
    }
  } else if (key == "legend") {
    if (value == "outside") {
      settings.legend = LegendPlacement::kOutside;
    } else if (value == "inside") {
      settings.legend = LegendPlacement::kInside;
    } else if (value == "none") {
      settings.legend = LegendPlacement::kNone;
    } else {
      return Refused("legend needs outside, inside or none");
    }
  } else if (key == "font-size" || key == "marker-size" ||
             key == "line-width") {
    const bool font = key == "font-size", marker = key == "marker-size";
    const double least = font ? kMinFontPt : marker ? kMinMarkerPt : kMinLinePt;
    const double most = font ? kMaxFontPt : marker ? kMaxMarkerPt : kMaxLinePt;
    double points = 0;
    if (!ParsePlainDecimal(value, least, most, points)) {
      return Refused(k + " needs a size in points from " + Number(least) +
                     " to " + Number(most));
    }
    (font     ? settings.print.font
     : marker ? settings.print.marker
              : settings.print.line) = points;
  } else if (key == "projection") {
    const std::optional<ChartProjection> projection = ProjectionOfKey(value);
    if (!projection) return Refused("projection needs equal-area or elliott");
    settings.projection = projection;
  } else {
    return Refused("unknown setting \"" + PrintableText(k, kMaxQuotedBytes) +
                   "\" (the settings are " + kFigureSettingNames + ")");
  }
  return Status();
}

Status ParseFigureSettings(std::string_view text, FigureSettings& settings) {
  // A byte-order mark of UTF-16 (or the null bytes of its ASCII) would show
  // every character apart: say what the file is instead.
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF") ||
      (text.size() >= 2 && (text[0] == '\0') != (text[1] == '\0'))) {
    return Refused("the file is UTF-16 text: a settings file is UTF-8");
  }
  if (text.starts_with(kUtf8ByteOrderMark)) {
    text.remove_prefix(kUtf8ByteOrderMark.size());
  }
  FigureSettings read = settings;
  int number = 0;
  for (std::size_t start = 0; start <= text.size();) {
    ++number;
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == '#') continue;
    const std::string where = "line " + std::to_string(number) + ": ";
    if (line.find('\0') != std::string_view::npos) {
      return Refused(where + "a null byte: this is no settings file");
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      return Refused(where + "\"" + PrintableText(line, kMaxQuotedBytes) +
                     "\" is not a setting: key = value");
    }
    const Status set = SetFigureSetting(Trim(line.substr(0, eq)),
                                        Trim(line.substr(eq + 1)), read);
    if (!set.ok()) return Refused(where + set.message());
  }
  settings = read;
  return Status();
}

Status ParseFigureSettingsFile(const std::string& path, std::string_view text,
                               FigureSettings& settings) {
  const Status parsed = ParseFigureSettings(text, settings);
  if (parsed.ok()) return parsed;
  return Refused(PrintableText(path) + ": " + parsed.message());
}

namespace {

// The print sizes that differ from the defaults, one setting a line.
std::string PrintSizesText(const PrintSizes& print) {
  const PrintSizes defaults;
  std::string text;
  if (print.font != defaults.font) {
    text += "font-size = " + Number(print.font) + "\n";
  }
  if (print.marker != defaults.marker) {
    text += "marker-size = " + Number(print.marker) + "\n";
  }
  if (print.line != defaults.line) {
    text += "line-width = " + Number(print.line) + "\n";
  }
  return text;
}

}  // namespace

std::string FigureSettingsText(const FigureSettings& s) {
  auto yes_no = [](bool b) { return b ? "yes" : "no"; };
  const char* cloud = s.cloud == CloudDrawing::kAbove     ? "above"
                      : s.cloud == CloudDrawing::kOutline ? "outline"
                                                          : "below";
  return "figure-size = " + Number(s.width_mm) + "x" + Number(s.height_mm) +
         "\n" + "dpi = " + std::to_string(s.dpi) + "\n" +
         "figure-style = " + yes_no(s.figure_style) + "\n" + "palette = " +
         (s.palette == ChartPalette::kColourBlind ? "colour-blind"
                                                  : "standard") +
         "\n" + "caption = " + yes_no(s.caption) + "\n" + "cloud = " + cloud +
         "\n" +
         (s.legend == LegendPlacement::kInside ? "legend = inside\n"
          : s.legend == LegendPlacement::kNone ? "legend = none\n"
                                               : "") +
         (s.projection ? std::string("projection = ") +
                             ProjectionKey(*s.projection) + "\n"
                       : std::string()) +
         PrintSizesText(s.print);
}

int FigureDpi(const FigureSettings& settings, PictureFormat format) {
  switch (format) {
    case PictureFormat::kPng:
    case PictureFormat::kBmp:
      return settings.dpi;
    case PictureFormat::kSvg:
    case PictureFormat::kPdf:
      return kVectorFigureDpi;
    default:
      return kScreenDpi;  // a metafile's pixels are the screen's
  }
}

QSize FigurePixelSize(const FigureSettings& settings, PictureFormat format) {
  const double per_mm = FigureDpi(settings, format) / 25.4;
  return QSize(static_cast<int>(std::lround(settings.width_mm * per_mm)),
               static_cast<int>(std::lround(settings.height_mm * per_mm)));
}

ChartRenderOptions FigureRenderOptions(const FigureSettings& settings,
                                       PictureFormat format,
                                       const QString& caption) {
  ChartRenderOptions o;
  const int dpi = FigureDpi(settings, format);
  // A figure's layout grid: 1/768 inch in SVG and PDF, a raster's own
  // pixels (or the whole share of them nearest above 1/96 inch), the
  // screen's pixels in a metafile, whose records have no finer ones.
  o.unit = format == PictureFormat::kSvg || format == PictureFormat::kPdf
               ? kFigureUnit
               : std::max(1, dpi / kScreenDpi);
  o.scale = static_cast<double>(dpi) / (kScreenDpi * o.unit);
  if (format == PictureFormat::kSvg || format == PictureFormat::kPdf) {
    // A large series goes in as an image at the figure's raster
    // resolution, of at most kMostFigureImageSide pixels a side.
    const QSize size = FigurePixelSize(settings, format);
    const double own = std::max(size.width(), size.height()) / o.scale;
    o.image_scale =
        std::min(static_cast<double>(settings.dpi) / kVectorFigureDpi,
                 kMostFigureImageSide / own) *
        o.scale;
  }
  o.grid_column = false;
  o.figure_style = settings.figure_style;
  o.palette = settings.palette;
  o.cloud = settings.cloud;
  o.legend = settings.legend;
  o.fit_figure = true;
  o.print = settings.print;
  if (settings.caption) o.caption = caption.toStdString();
  return o;
}

namespace {

// A caption set as print sets it: R and phi with a subscript s (U+209B),
// phi as the Greek letter, and a true minus sign (U+2212) for the hyphen
// before a number.
std::string Typeset(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string_view rest(text.data() + i, text.size() - i);
    if (rest.starts_with("phi_s")) {
      out += "\xCF\x86\xE2\x82\x9B";
      i += 4;
    } else if (rest.starts_with("R_s")) {
      out += "R\xE2\x82\x9B";
      i += 2;
    } else if (text[i] == '-' && i + 1 < text.size() && text[i + 1] >= '0' &&
               text[i + 1] <= '9' &&
               (i == 0 || text[i - 1] == ' ' || text[i - 1] == '/')) {
      out += "\xE2\x88\x92";
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

QString FigureCaption(const AnalysisState& state, AnalysisResult result,
                      const std::string& sep) {
  if (result == AnalysisResult::kNoData || state.count <= 0) return {};
  std::string text = "N = " + std::to_string(state.count);
  const std::string limits = LimitsSummary(state, sep);
  if (!limits.empty()) {
    // "  R_s = ...    phi_s = ...": the two lines of the limits, each
    // after three blanks.
    std::string_view rest = limits;
    const std::size_t phi = rest.find("phi_s");
    text += "   " + std::string(Trim(rest.substr(0, phi)));
    if (phi != std::string_view::npos) {
      text += "   " + std::string(Trim(rest.substr(phi)));
    }
  } else {
    text += "   R_s = " + FormatStrain(state.strain.ratio, sep) +
            "   phi_s = " + FormatStrain(state.strain.phi, sep);
  }
  return QString::fromStdString(Typeset(text));
}

QString CentreFigureCaption(const CentreStrainResult& r,
                            const std::string& sep) {
  if (!r.status.ok()) return {};
  auto f = [&sep](double v) { return FormatStrain(v, sep); };
  auto l = [&sep](double v) { return FormatLimit(v, sep); };
  std::string text =
      std::string(CentreMethodTitle(r.method)) + "   " +
      std::to_string(r.pairs) +
      (r.method == CentreMethod::kDelaunay ? " edges" : " pairs") +
      "   R = " + f(r.estimate.ratio);
  if (r.outcome != CentreLimitsOutcome::kNotRun) {
    text += " [" + l(r.ratio_min) + ", " + l(r.ratio_max) + "]";
  }
  text += "   \xCF\x86 = " + f(r.estimate.phi);
  if (r.outcome == CentreLimitsOutcome::kLimits) {
    text += " [" + l(r.phi_min) + ", " + l(r.phi_max) + "]";
  }
  return QString::fromStdString(Typeset(text));
}

QString EllipsoidFigureCaption(const EllipsoidResult& r,
                               const std::string& sep) {
  if (!r.status.ok()) return {};
  const Ellipsoid& e = r.estimate;
  auto f = [&sep](double v) { return FormatStrain(v, sep); };
  auto l = [&sep](double v) {
    return std::isfinite(v) ? FormatLimit(v, sep) : std::string("\u221e");
  };
  auto limits = [&](const Interval& i) {
    return r.has_limits ? " [" + l(i.low) + ", " + l(i.high) + "]"
                        : std::string();
  };
  std::string text =
      std::to_string(e.scales.size()) + " sections   X/Y = " + f(e.x / e.y) +
      limits(r.xy) + "   Y/Z = " + f(e.y / e.z) + limits(r.yz) +
      "   k = " + (std::isfinite(e.k) ? f(e.k) : "\u221e") + limits(r.k);
  if (e.nu) text += "   \u03bd = " + f(*e.nu) + limits(r.nu);
  text += "   \u03b5\u209b = " + f(e.eps_s) + limits(r.eps_s);
  return QString::fromStdString(Typeset(text));
}

Status SaveFigureFile(const EqualAreaChart& chart,
                      const FigureSettings& settings, const QString& caption,
                      const QString& path, std::vector<std::string>* notes) {
  return SaveFigureFile(ModelPicture(chart), settings, caption, path, notes);
}

std::vector<std::string> FigureNotes(const PlotPicture& plot,
                                     const FigureSettings& settings,
                                     const QString& caption,
                                     PictureFormat format) {
  return plot.Notes(FigurePixelSize(settings, format),
                    FigureRenderOptions(settings, format, caption));
}

Status SaveFigureFile(const PlotPicture& plot, const FigureSettings& settings,
                      const QString& caption, const QString& path,
                      std::vector<std::string>* notes) {
  const PictureFormat format = PictureFormatOf(path.toStdString());
  if (format == PictureFormat::kInvalid) {
    return Status(StatusCode::kInvalidExtension, kMessageInvalidExtension);
  }
  const QSize size = FigurePixelSize(settings, format);
  const bool raster =
      format == PictureFormat::kPng || format == PictureFormat::kBmp;
  if (raster &&
      (size.width() > kMaxPictureSide || size.height() > kMaxPictureSide)) {
    return Status(StatusCode::kWriteFailed,
                  QString("The figure would be %1 x %2 pixels, more than "
                          "%3 a side: lower its size or dpi.")
                      .arg(size.width())
                      .arg(size.height())
                      .arg(kMaxPictureSide)
                      .toStdString());
  }
  const Status saved = SaveChartPictureFile(
      plot, size, path, FigureRenderOptions(settings, format, caption),
      FigureDpi(settings, format));
  if (saved.ok() && notes != nullptr) {
    *notes = FigureNotes(plot, settings, caption, format);
  }
  return saved;
}

}  // namespace orvane
