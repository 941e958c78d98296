#include "render/panel_picture.h"

#include <QFont>
#include <algorithm>
#include <cmath>

#include "chart/chart_geometry.h"
#include "render/plot_render.h"

namespace orvane {

namespace {

// The label of panel i: "(a)", "(b)", ...
std::string PanelLabel(std::size_t i) {
  return std::string("(") + static_cast<char>('a' + i % 26) + ")";
}

int Device(double own, double scale) {
  return static_cast<int>(std::lround(own * scale));
}

// Where the panels go, in the picture's own pixels.
struct PanelLayout {
  double scale = 1;
  Pixel size;
  int label_height = 0;  // the strip of the labels at the top
  std::vector<std::string> caption;
  int caption_height = 0;
  // Panel i spans [left(i), left(i + 1)) across.
  int count = 1;
  int Left(int i) const { return size.x * i / count; }
  int PanelHeight() const {
    return std::max(0, size.y - label_height - caption_height);
  }
};

PanelLayout LayOutPanels(std::size_t count, QSize size,
                         const ChartRenderOptions& options) {
  const QtTextMeasure measure(FaceSizesOf(options));
  PanelLayout l;
  l.scale = ValidScale(options.scale);
  l.size = OwnSize(size.width(), size.height(), l.scale);
  l.count = static_cast<int>(std::max<std::size_t>(1, count));
  const int margin = kChartMargin * options.unit;
  l.label_height = measure.Metrics(TextFace::kFigure).height + 2 * margin;
  l.caption = CaptionLines(options.caption, l.size.x, measure, options.unit);
  const bool too_wide =
      std::any_of(l.caption.begin(), l.caption.end(), [&](const auto& line) {
        return measure.Width(TextFace::kFigure, line) > l.size.x - 2 * margin;
      });
  if (too_wide) l.caption.clear();
  l.caption_height = CaptionHeight(l.caption.size(), measure, options.unit);
  return l;
}

// The options of panel i: no caption of its own, the legend on the first.
ChartRenderOptions PanelOptions(const ChartRenderOptions& options,
                                std::size_t i) {
  ChartRenderOptions o = options;
  o.caption.clear();
  if (i > 0) o.legend = LegendPlacement::kNone;
  return o;
}

QSize PanelSize(const PanelLayout& l, int i) {
  return QSize(Device(l.Left(i + 1), l.scale) - Device(l.Left(i), l.scale),
               Device(l.PanelHeight(), l.scale));
}

}  // namespace

template <typename DrawPanel>
bool PanelPicture::DrawAll(QPainter& painter, QSize size,
                           const ChartRenderOptions& options,
                           DrawPanel draw) const {
  const PanelLayout l = LayOutPanels(panels_.size(), size, options);
  painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
  bool whole = true;
  for (std::size_t i = 0; i < panels_.size(); ++i) {
    const int at = static_cast<int>(i);
    painter.save();
    painter.translate(Device(l.Left(at), l.scale),
                      Device(l.label_height, l.scale));
    whole = draw(*panels_[i], painter, PanelSize(l, at),
                 PanelOptions(options, i)) &&
            whole;
    painter.restore();
  }
  painter.save();
  painter.scale(l.scale, l.scale);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.setPen(Qt::black);
  const double text_size = FaceSizesOf(options).figure;
  QFont bold = FaceFont(TextFace::kFigure, text_size);
  bold.setBold(true);
  const QtTextMeasure measure(FaceSizesOf(options));
  const FaceMetrics fm = measure.Metrics(TextFace::kFigure);
  const int margin = kChartMargin * options.unit;
  painter.setFont(bold);
  for (std::size_t i = 0; i < panels_.size(); ++i) {
    DrawFaceText(painter, text_size, l.Left(static_cast<int>(i)) + margin,
                 margin + fm.ascent, QString::fromStdString(PanelLabel(i)));
  }
  // The caption once, centred under the panels.
  painter.setFont(FaceFont(TextFace::kFigure, text_size));
  int baseline = l.size.y - margin - fm.descent -
                 (static_cast<int>(l.caption.size()) - 1) * fm.height;
  for (const std::string& line : l.caption) {
    const int width = measure.Width(TextFace::kFigure, line);
    DrawFaceText(painter, text_size, std::max(margin, (l.size.x - width) / 2),
                 baseline, QString::fromStdString(line));
    baseline += fm.height;
  }
  painter.restore();
  return whole;
}

bool PanelPicture::Draw(QPainter& painter, QSize size,
                        const ChartRenderOptions& options) const {
  return DrawAll(
      painter, size, options,
      [](const PlotPicture& panel, QPainter& p, QSize s,
         const ChartRenderOptions& o) { return panel.Draw(p, s, o); });
}

bool PanelPicture::DrawPicture(QPainter& painter, QSize size,
                               PictureLayer layer,
                               const ChartRenderOptions& options) const {
  return DrawAll(painter, size, options,
                 [&layer](const PlotPicture& panel, QPainter& p, QSize s,
                          const ChartRenderOptions& o) {
                   return panel.DrawPicture(p, s, layer, o);
                 });
}

QString PanelPicture::Title() const {
  QStringList titles;
  for (std::size_t i = 0; i < panels_.size(); ++i) {
    titles << QString::fromStdString(PanelLabel(i)) + " " + panels_[i]->Title();
  }
  return titles.join(", ");
}

std::optional<ChartProjection> PanelPicture::Projection() const {
  return panels_.empty() ? std::nullopt : panels_.front()->Projection();
}

std::vector<std::string> PanelPicture::Notes(
    QSize size, const ChartRenderOptions& options) const {
  const PanelLayout l = LayOutPanels(panels_.size(), size, options);
  std::vector<std::string> notes;
  if (!options.caption.empty() && l.caption.empty()) {
    notes.push_back(
        "The caption is left out: a line of it is wider than the figure.");
  }
  for (std::size_t i = 0; i < panels_.size(); ++i) {
    for (const std::string& note : panels_[i]->Notes(
             PanelSize(l, static_cast<int>(i)), PanelOptions(options, i))) {
      notes.push_back(PanelLabel(i) + " " + note);
    }
  }
  return notes;
}

}  // namespace orvane
