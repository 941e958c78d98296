#include "ui/chart_model.h"

#include <algorithm>
#include <cmath>

namespace orvane {

void PolarSeries::AddPolar(double angle, double value) {
  // Appending and sorting stably on first use gives the order of inserting
  // each point after those of equal or smaller angle, without a quadratic
  // cost for large data sets.
  if (sorted_ && !points_.empty() && angle < points_.back().angle) {
    sorted_ = false;
  }
  points_.push_back({angle, value});
  ++revision_;
}

void PolarSeries::Clear() {
  points_.clear();
  sorted_ = true;
  ++revision_;
}

const std::vector<PolarPoint>& PolarSeries::Points() const {
  if (!sorted_) {
    std::stable_sort(points_.begin(), points_.end(),
                     [](const PolarPoint& a, const PolarPoint& b) {
                       return a.angle < b.angle;
                     });
    sorted_ = true;
  }
  return points_;
}

void PolarSeries::SetActive(bool on) {
  active_ = on;
}

SeriesStyle StyleOfSeriesB() {
  SeriesStyle s;
  s.title = "Bootstrap Solutions";
  s.color = 0x0080C0;
  s.marker = MarkerStyle::kCircle;
  s.half_width = s.half_height = 3;
  s.fill = 0x95B443;
  s.line_color = s.color;
  s.circle_background = 0xFFFFFF;
  s.circle_outline = false;
  return s;
}

SeriesStyle StyleOfSeriesI() {
  SeriesStyle s;
  s.title = "Pre-Strain";
  s.color = 0x804000;
  s.marker = MarkerStyle::kDiamond;
  s.half_width = s.half_height = 4;
  s.fill = 0xBF6000;
  s.transparency = 45;
  s.line_color = s.color;
  s.circle_background = 0xFFFFFF;
  return s;
}

SeriesStyle StyleOfSeriesF() {
  SeriesStyle s;
  s.title = "Post-Strain";
  s.color = 0x0000FF;
  s.marker = MarkerStyle::kSquare;
  s.half_width = s.half_height = 3;
  s.outline = 0x0000A0;
  s.outline_width = 1;
  s.transparency = 31;
  s.line_color = s.color;
  s.circle_outline = false;
  return s;
}

SeriesStyle StyleOfSeriesO() {
  SeriesStyle s;
  s.title = "Optimal Strain";
  s.color = 0xFF0000;
  s.marker = MarkerStyle::kCross;
  s.half_width = s.half_height = 3;
  s.outline = 0xFF0000;
  s.outline_width = 4;
  s.square_caps = true;
  s.transparency = 34;
  s.line_color = 0xFF0000;
  s.line_width = 3;
  return s;
}

SeriesStyle StyleOfSeriesFh() {
  SeriesStyle s;
  s.title = "highlightF";
  s.show_in_legend = false;
  s.color = 0xFF0000;
  s.marker = MarkerStyle::kCircle;
  s.half_width = s.half_height = 6;
  s.fill = 0xFF8040;
  s.outline = 0xFF00FF;
  s.outline_width = 2;
  s.square_caps = true;
  s.transparency = 46;
  s.line_color = s.color;
  return s;
}

SeriesStyle StyleOfSeriesIh() {
  SeriesStyle s;
  s.title = "highlightI";
  s.show_in_legend = false;
  s.color = 0xFF0000;
  s.marker = MarkerStyle::kCircle;
  s.half_width = s.half_height = 6;
  s.fill = 0xFFFF00;
  s.outline = 0xFF0000;
  s.outline_width = 2;
  s.square_caps = true;
  s.transparency = 49;
  s.line_color = s.color;
  return s;
}

SeriesStyle StyleOfIsoRcircle() {
  SeriesStyle s;
  s.show_in_legend = false;
  s.color = 0x808080;
  s.marker = MarkerStyle::kNone;
  s.line_visible = true;
  s.line_color = 0x808080;
  s.line_width = 1;
  s.closed = true;
  return s;
}

EqualAreaChart::EqualAreaChart()
    : SeriesB(StyleOfSeriesB()),
      SeriesI(StyleOfSeriesI()),
      SeriesF(StyleOfSeriesF()),
      SeriesO(StyleOfSeriesO()),
      SeriesFh(StyleOfSeriesFh()),
      SeriesIh(StyleOfSeriesIh()) {}

void EqualAreaChart::SetLeftAxisMaximum(double m) {
  // A maximum below the minimum 0 (or not a number) has no scale; the
  // analysis never gives one, as zeta >= 0.
  if (m > 0 && std::isfinite(m)) left_axis_maximum_ = m;
}

std::vector<const PolarSeries*> EqualAreaChart::SeriesList() const {
  std::vector<const PolarSeries*> list = {&SeriesB, &SeriesI,  &SeriesF,
                                          &SeriesO, &SeriesFh, &SeriesIh};
  for (const auto& c : iso_r_circle_) list.push_back(c.get());
  return list;
}

std::vector<PolarSeries*> EqualAreaChart::SeriesList() {
  std::vector<PolarSeries*> list = {&SeriesB, &SeriesI,  &SeriesF,
                                    &SeriesO, &SeriesFh, &SeriesIh};
  for (const auto& c : iso_r_circle_) list.push_back(c.get());
  return list;
}

const PolarSeries* EqualAreaChart::DiscSeries() const {
  for (const PolarSeries* s : SeriesList()) {
    if (s->Active()) return s;
  }
  return nullptr;
}

void EqualAreaChart::CreateIsoRcircles(float Rmax) {
  iso_r_circle_.clear();
  // n = ceil(Rmax), bounded; nothing for Rmax <= 1 or NaN (the comparison
  // is false for NaN) or infinity.
  if (!(Rmax > 1.0f) || !std::isfinite(Rmax)) return;
  const double n = std::min<double>(std::ceil(static_cast<double>(Rmax)),
                                    kMaxIsoRcircles + 1);
  const int last = static_cast<int>(n);
  for (int i = 2; i <= last; ++i) {
    const double zeta = ZetaOfR(static_cast<float>(i));
    auto circle = std::make_unique<PolarSeries>(StyleOfIsoRcircle());
    for (int j = 0; j <= 180; ++j) circle->AddPolar(2.0 * j, zeta);
    if (i == last) {
      circle->AddPolar(0.0, 0.0);
      circle->AddPolar(0.0, zeta);
    }
    iso_r_circle_.push_back(std::move(circle));
  }
}

void EqualAreaChart::DestroyIsoRcircles() {
  iso_r_circle_.clear();
}

void EqualAreaChart::ClearDataSeries() {
  SeriesB.Clear();
  SeriesF.Clear();
  SeriesI.Clear();
  SeriesO.Clear();
}

void EqualAreaChart::PlotDatF(const AnalysisState& state) {
  SeriesF.Clear();
  for (std::int32_t i = 1; i <= state.Ndat; ++i) {
    const Tdata& d = state.DatF[static_cast<std::size_t>(i)];
    SeriesF.AddPolar(PlotAngle(d.ps), d.zt);
  }
  SetLeftAxisMaximum(state.RadialMaximum);
}

void EqualAreaChart::PlotDatI(const AnalysisState& state) {
  SeriesI.Clear();
  for (std::int32_t i = 1; i <= state.Ndat; ++i) {
    const Tdata& d = state.DatI[static_cast<std::size_t>(i)];
    SeriesI.AddPolar(PlotAngle(d.ps), d.zt);
  }
}

void EqualAreaChart::PlotOptimal(const AnalysisState& state) {
  SeriesO.Clear();
  SeriesO.AddPolar(PlotAngle(state.Dats.ps), state.Dats.zt);
  SeriesO.MutableStyle().line_visible = true;
}

void EqualAreaChart::PlotBootstrap(const AnalysisState& state) {
  SeriesB.Clear();
  if (state.BootstrapCloud.empty()) return;
  SeriesB.SetActive(true);
  for (const PolarPoint& p : state.BootstrapCloud) {
    SeriesB.AddPolar(p.angle, p.value);
  }
}

void EqualAreaChart::PlotAnalysis(const AnalysisState& state) {
  DestroyIsoRcircles();
  PlotDatF(state);
  PlotOptimal(state);
  PlotDatI(state);
  CreateIsoRcircles(state.IsoRmax);
  PlotBootstrap(state);
}

void EqualAreaChart::ShowAnalysis(const AnalysisState& state,
                                  AnalysisResult result) {
  if (result == AnalysisResult::kNoData) {
    ShowStartUp();
  } else {
    PlotAnalysis(state);
  }
}

void EqualAreaChart::StartUp() {
  CreateIsoRcircles(4.0f);
  ClearDataSeries();
  SeriesFh.SetTransparency(0);
  SeriesIh.SetTransparency(0);
  HideHighlight();
}

void EqualAreaChart::ShowStartUp() {
  ClearDataSeries();
  DestroyIsoRcircles();
  CreateIsoRcircles(4.0f);
  left_axis_maximum_ = kInitialRadialMaximum;
}

void EqualAreaChart::Highlight(const AnalysisState& state, std::int32_t i) {
  const Tdata& f = state.DatF[static_cast<std::size_t>(i)];
  const Tdata& r = state.DatI[static_cast<std::size_t>(i)];
  SeriesFh.Clear();
  SeriesFh.SetActive(true);
  SeriesFh.SetTransparency(50);
  SeriesFh.AddPolar(PlotAngle(f.ps), f.zt);
  SeriesIh.Clear();
  SeriesIh.SetActive(true);
  SeriesIh.SetTransparency(50);
  SeriesIh.AddPolar(PlotAngle(r.ps), r.zt);
}

void EqualAreaChart::HideHighlight() {
  SeriesFh.SetActive(false);
  SeriesIh.SetActive(false);
}

}  // namespace orvane
