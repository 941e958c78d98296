// SPDX-License-Identifier: MIT
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
  // The legend the panels share, in rows across the top, and its entries.
  LegendLayout legend;
  std::vector<LegendItem> items;
  int legend_height = 0;
  bool legend_left_out = false;  // to keep the panels large enough
  int label_height = 0;          // the strip of the labels under it
  std::vector<std::string> caption;
  int caption_height = 0;
  // Panel i spans [left(i), left(i + 1)) across.
  int count = 1;
  int Left(int i) const { return size.x * i / count; }
  int PanelTop() const { return legend_height + label_height; }
  int PanelHeight() const {
    return std::max(0, size.y - PanelTop() - caption_height);
  }
};

// The shared legend in rows from the top of the picture, each row's
// entries side by side (sample, title) and the rows centred; an entry
// goes to a new row where it would pass the picture's right margin.
LegendLayout LayOutSharedLegend(const std::vector<LegendItem>& items, int width,
                                const ChartRenderOptions& options,
                                const TextMeasure& measure) {
  const int unit = options.unit;
  const int margin = kChartMargin * unit, padding = kLegendPadding * unit,
            sample = kSampleWidth * unit, gap = kLegendGap * unit,
            apart = 3 * kLegendGap * unit;
  const FaceMetrics fm = measure.Metrics(TextFace::kFigureSmall);
  const int row = fm.height + kLegendSpacing * unit;
  LegendLayout legend;
  std::vector<int> row_of, right_of;
  int x = 0, line = 0, widest = 0;
  for (const LegendItem& item : items) {
    const int w =
        sample + gap + measure.Width(TextFace::kFigureSmall, item.style.title);
    if (x > 0 && x + apart + w > width - 2 * (margin + padding)) {
      ++line;
      x = 0;
    }
    if (x > 0) x += apart;
    LegendEntryLayout e;
    e.sample = {x, line * row, sample, fm.height};
    e.check_box = {x, line * row, 0, 0};
    e.text_x = x + sample + gap;
    e.text_baseline = line * row + fm.ascent;
    legend.entries.push_back(e);
    x += w;
    widest = std::max(widest, x);
  }
  if (items.empty()) return legend;
  legend.box = {0, 0, widest + 2 * padding,
                (line + 1) * row - kLegendSpacing * unit + 2 * padding};
  MoveLegend(legend, std::max(margin, (width - legend.box.width) / 2), margin);
  // The entries within the box's padding.
  for (LegendEntryLayout& e : legend.entries) {
    e.sample.left += padding;
    e.sample.top += padding;
    e.check_box.left += padding;
    e.check_box.top += padding;
    e.text_x += padding;
    e.text_baseline += padding;
  }
  return legend;
}

PanelLayout LayOutPanels(std::size_t count, QSize size,
                         const ChartRenderOptions& options,
                         std::vector<LegendItem> items = {}) {
  const QtTextMeasure measure(FaceSizesOf(options));
  PanelLayout l;
  l.scale = ValidScale(options.scale);
  l.size = OwnSize(size.width(), size.height(), l.scale);
  l.count = static_cast<int>(std::max<std::size_t>(1, count));
  const int margin = kChartMargin * options.unit;
  l.label_height = measure.Metrics(TextFace::kFigure).height + 2 * margin;
  if (options.legend == LegendPlacement::kOutside) {
    l.items = std::move(items);
    l.legend = LayOutSharedLegend(l.items, l.size.x, options, measure);
    if (!l.items.empty()) {
      l.legend_height = l.legend.box.top + l.legend.box.height;
    }
  }
  l.caption = CaptionLines(options.caption, l.size.x, measure, options.unit);
  const bool too_wide =
      std::any_of(l.caption.begin(), l.caption.end(), [&](const auto& line) {
        return measure.Width(TextFace::kFigure, line) > l.size.x - 2 * margin;
      });
  if (too_wide) l.caption.clear();
  l.caption_height = CaptionHeight(l.caption.size(), measure, options.unit);
  // A figure keeps its panels large enough: a shared legend that would
  // leave them less than kLeastPlotShare of the height is left out.
  if (options.fit_figure && l.legend_height > 0 &&
      l.PanelHeight() < kLeastPlotShare * l.size.y) {
    l.items.clear();
    l.legend = LegendLayout{};
    l.legend_height = 0;
    l.legend_left_out = true;
  }
  return l;
}

// The options of panel i: no caption of its own; no legend of its own but
// a legend inside the first panel's frame.
ChartRenderOptions PanelOptions(const ChartRenderOptions& options,
                                std::size_t i) {
  ChartRenderOptions o = options;
  o.caption.clear();
  if (i > 0 || o.legend == LegendPlacement::kOutside) {
    o.legend = LegendPlacement::kNone;
  }
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
  const PanelLayout l =
      LayOutPanels(panels_.size(), size, options, SharedItems(size, options));
  painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
  bool whole = true;
  for (std::size_t i = 0; i < panels_.size(); ++i) {
    const int at = static_cast<int>(i);
    painter.save();
    painter.translate(Device(l.Left(at), l.scale),
                      Device(l.PanelTop(), l.scale));
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
  if (!l.items.empty() &&
      !DrawLegendItems(painter, l.legend, l.items, true, l.scale,
                       FaceSizesOf(options).figure_small, options.unit)) {
    whole = false;
  }
  painter.setPen(Qt::black);
  painter.setFont(bold);
  for (std::size_t i = 0; i < panels_.size(); ++i) {
    DrawFaceText(painter, text_size, l.Left(static_cast<int>(i)) + margin,
                 l.legend_height + margin + fm.ascent,
                 QString::fromStdString(PanelLabel(i)));
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

std::vector<LegendItem> PanelPicture::SharedItems(
    QSize size, const ChartRenderOptions& options) const {
  std::vector<LegendItem> items;
  if (options.legend != LegendPlacement::kOutside) return items;
  for (const PlotPicture* panel : panels_) {
    for (LegendItem& item : panel->LegendItems(size, options)) {
      const bool listed =
          std::any_of(items.begin(), items.end(), [&](const LegendItem& i) {
            return i.style.title == item.style.title;
          });
      if (!listed) items.push_back(std::move(item));
    }
  }
  return items;
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
  const PanelLayout l =
      LayOutPanels(panels_.size(), size, options, SharedItems(size, options));
  std::vector<std::string> notes;
  if (l.legend_left_out) {
    notes.push_back(
        "The legend is left out: above the panels it would leave them too "
        "small.");
  }
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
