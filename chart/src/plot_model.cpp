#include "chart/plot_model.h"

#include <cmath>

namespace orvane {

double ValidScale(double scale) {
  return scale > 0 && std::isfinite(scale) ? scale : 1.0;
}

Pixel OwnSize(int width, int height, double scale) {
  return {static_cast<int>(std::ceil(width / scale - 1e-9)),
          static_cast<int>(std::ceil(height / scale - 1e-9))};
}

std::vector<std::string> CaptionLines(const std::string& caption, int width,
                                      const TextMeasure& measure) {
  std::vector<std::string> lines;
  if (caption.empty()) return lines;
  const int room = width - 2 * kChartMargin;
  static constexpr std::string_view kSeparator = "   ";
  std::size_t from = 0;
  while (true) {
    const std::size_t at = caption.find(kSeparator, from);
    std::string part = caption.substr(
        from, at == std::string::npos ? std::string::npos : at - from);
    // Joined to the line before while the two fit the room.
    std::string joined = lines.empty()
                             ? std::string()
                             : lines.back() + std::string(kSeparator) + part;
    if (!lines.empty() && measure.Width(TextFace::kFigure, joined) <= room) {
      lines.back() = std::move(joined);
    } else {
      lines.push_back(std::move(part));
    }
    if (at == std::string::npos) break;
    from = at + kSeparator.size();
  }
  return lines;
}

int CaptionHeight(std::size_t lines, const TextMeasure& measure) {
  if (lines == 0) return 0;
  return static_cast<int>(lines) * measure.Metrics(TextFace::kFigure).height +
         2 * kChartMargin;
}

LineLayer SeriesLine(const SeriesStyle& style, LineLayer::Ends ends,
                     LineLayer::Clip clip) {
  LineLayer line;
  line.colour = style.line_color;
  line.width = style.line_width;
  line.raster = LineLayer::Raster::kSmoothWhenScaled;
  line.ends = ends;
  line.clip = clip;
  return line;
}

const LegendLayer* PlotModel::Legend() const {
  for (const PlotLayer& layer : layers) {
    if (const auto* legend = std::get_if<LegendLayer>(&layer)) return legend;
  }
  return nullptr;
}

}  // namespace orvane
