// SPDX-License-Identifier: MIT
#include "chart/equal_area_chart.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/parallel.h"
#include "core/strain.h"

namespace orvane {

SeriesStyle BootstrapStyle() {
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

SeriesStyle RetrodeformedStyle() {
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

SeriesStyle MeasuredStyle() {
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

SeriesStyle OptimalStyle() {
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

SeriesStyle MeasuredHighlightStyle() {
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

SeriesStyle RetrodeformedHighlightStyle() {
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

SeriesStyle IsoRatioCircleStyle() {
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
    : bootstrap(BootstrapStyle()),
      retrodeformed(RetrodeformedStyle()),
      measured(MeasuredStyle()),
      optimal(OptimalStyle()),
      measured_highlight(MeasuredHighlightStyle()),
      retrodeformed_highlight(RetrodeformedHighlightStyle()) {}

void EqualAreaChart::SetRadialMaximum(double m) {
  // A maximum below the minimum 0 (or not a number) has no scale; the
  // analysis never gives one, as zeta >= 0.
  if (m > 0 && std::isfinite(m)) radial_maximum_ = m;
}

std::vector<const PolarSeries*> EqualAreaChart::SeriesList() const {
  std::vector<const PolarSeries*> list = {
      &bootstrap, &retrodeformed,      &measured,
      &optimal,   &measured_highlight, &retrodeformed_highlight};
  for (const auto& c : iso_ratio_circles_) list.push_back(c.get());
  return list;
}

std::vector<PolarSeries*> EqualAreaChart::SeriesList() {
  std::vector<PolarSeries*> list = {
      &bootstrap, &retrodeformed,      &measured,
      &optimal,   &measured_highlight, &retrodeformed_highlight};
  for (const auto& c : iso_ratio_circles_) list.push_back(c.get());
  return list;
}

const PolarSeries* EqualAreaChart::DiscSeries() const {
  for (const PolarSeries* s : SeriesList()) {
    if (s->Active()) return s;
  }
  return nullptr;
}

namespace {

// Whether r belongs to the sequence 1, 2, 5, 10, 20, 50, ...
bool OneTwoFive(int r) {
  while (r >= 10 && r % 10 == 0) r /= 10;
  return r == 1 || r == 2 || r == 5;
}

}  // namespace

std::vector<bool> ThinIsoRatioCircles(const std::vector<int>& ratios,
                                      double pixels_per_zeta,
                                      ChartProjection projection) {
  std::vector<bool> kept(ratios.size(), false);
  if (ratios.empty()) return kept;
  auto apart = [&](int inner, int outer) {
    const double gap = IsoRatioRadius(projection, static_cast<float>(outer)) -
                       IsoRatioRadius(projection, static_cast<float>(inner));
    return gap * pixels_per_zeta >= kIsoRatioMinSpacing;
  };
  const std::size_t outer = ratios.size() - 1;
  bool whole = true;  // still keeping every whole R
  std::size_t last = 0;
  kept[0] = true;
  for (std::size_t i = 1; i < outer; ++i) {
    if (whole && ratios[i] == ratios[last] + 1 &&
        apart(ratios[last], ratios[i])) {
      kept[i] = true;
      last = i;
      continue;
    }
    whole = false;
    if (OneTwoFive(ratios[i]) && apart(ratios[last], ratios[i])) {
      kept[i] = true;
      last = i;
    }
  }
  kept[outer] = true;
  if (last != outer && last > 0 && !apart(ratios[last], ratios[outer])) {
    kept[last] = false;
  }
  return kept;
}

void EqualAreaChart::CreateIsoRatioCircles(float Rmax) {
  iso_ratio_circles_.clear();
  iso_ratios_.clear();
  // n = ceil(Rmax), bounded; nothing for Rmax <= 1 or NaN (the comparison
  // is false for NaN) or infinity.
  if (!(Rmax > 1.0f) || !std::isfinite(Rmax)) return;
  const double n =
      std::min<double>(std::ceil(static_cast<double>(Rmax)), kLargestIsoRatio);
  const int last = static_cast<int>(n);
  for (int i = 2; i <= std::min(last, kMaxIsoRatioCircles + 1); ++i) {
    iso_ratios_.push_back(i);
  }
  // Beyond the whole ratios: 200, 500, 1000, ... below the outermost.
  for (int decade = 100; decade < last; decade *= 10) {
    for (int r : {2 * decade, 5 * decade}) {
      if (r > kMaxIsoRatioCircles + 1 && r < last) iso_ratios_.push_back(r);
    }
  }
  if (iso_ratios_.back() != last) iso_ratios_.push_back(last);
  for (const int r : iso_ratios_) {
    const double zeta = IsoRatioRadius(projection_, static_cast<float>(r));
    auto circle = std::make_unique<PolarSeries>(IsoRatioCircleStyle());
    for (int j = 0; j <= 180; ++j) circle->AddPolar(2.0 * j, zeta);
    if (r == last) {
      circle->AddPolar(0.0, 0.0);
      circle->AddPolar(0.0, zeta);
    }
    iso_ratio_circles_.push_back(std::move(circle));
  }
}

void EqualAreaChart::DestroyIsoRatioCircles() {
  iso_ratio_circles_.clear();
  iso_ratios_.clear();
}

void EqualAreaChart::ClearDataSeries() {
  bootstrap.Clear();
  measured.Clear();
  retrodeformed.Clear();
  optimal.Clear();
}

namespace {

// The chart points of data 1..count, in data order: the plot angle of psi
// and the projection's radius.
std::vector<PolarPoint> PointsOf(ChartProjection projection,
                                 const std::vector<MarkerRecord>& data,
                                 std::int32_t count) {
  std::vector<PolarPoint> points(static_cast<std::size_t>(count));
  auto compute = [&](std::int32_t first, std::int32_t last) {
    for (std::int32_t i = first; i < last; ++i) {
      const MarkerRecord& d = data[static_cast<std::size_t>(i) + 1];
      points[static_cast<std::size_t>(i)] = {
          PlotAngle(d.psi), MarkerRadius(projection, d.rho, d.zeta)};
    }
  };
  const std::int32_t half = count / 2;
  RunSideBySide(
      ThreadsFor(count, kPointsInParallelFrom / 2) > 1,
      [&] { compute(0, half); }, [&] { compute(half, count); });
  return points;
}

}  // namespace

void EqualAreaChart::PlotMeasured(const AnalysisState& state) {
  measured.Clear();
  measured.AddPolar(PointsOf(projection_, state.measured, state.count));
  // In either projection the radial maximum follows the largest measured R.
  SetRadialMaximum(RadialMaximumFor(projection_, MaxMeasuredRatio(state)));
}

void EqualAreaChart::PlotRetrodeformed(const AnalysisState& state) {
  retrodeformed.Clear();
  retrodeformed.AddPolar(
      PointsOf(projection_, state.retrodeformed, state.count));
}

void EqualAreaChart::PlotOptimal(const AnalysisState& state) {
  optimal.Clear();
  optimal.AddPolar(
      PlotAngle(state.strain.psi),
      MarkerRadius(projection_, state.strain.rho, state.strain.zeta));
  optimal.MutableStyle().line_visible = true;
}

void EqualAreaChart::PlotBootstrap(const AnalysisState& state) {
  bootstrap.Clear();
  if (state.kept.empty()) return;
  bootstrap.SetActive(true);
  // The kept solutions in their order, at the plot angle of psi and, on the
  // equal-area chart, at the zeta of their single-precision rho (as the
  // confidence stage places them), on the Elliott chart at rho itself.
  for (const BootstrapSolution& b : state.kept) {
    const double radius = projection_ == ChartProjection::kEqualArea
                              ? static_cast<double>(ZetaOfRho(b.rho))
                              : static_cast<double>(b.rho);
    bootstrap.AddPolar(PlotAngle(b.psi), radius);
  }
}

void EqualAreaChart::PlotAnalysis(const AnalysisState& state) {
  DestroyIsoRatioCircles();
  PlotMeasured(state);
  PlotOptimal(state);
  PlotRetrodeformed(state);
  CreateIsoRatioCircles(state.largest_ratio);
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

EqualAreaChart EqualAreaChart::WithoutData() const {
  EqualAreaChart c;
  PolarSeries EqualAreaChart::*const data[] = {
      &EqualAreaChart::bootstrap, &EqualAreaChart::retrodeformed,
      &EqualAreaChart::measured, &EqualAreaChart::optimal};
  for (PolarSeries EqualAreaChart::*series : data) {
    const PolarSeries& from = this->*series;
    PolarSeries& to = c.*series;
    to = PolarSeries(from.Style());
    to.SetActive(from.Active());
  }
  c.measured_highlight = measured_highlight;
  c.retrodeformed_highlight = retrodeformed_highlight;
  c.radial_maximum_ = radial_maximum_;
  c.projection_ = projection_;
  c.highlighted_ = highlighted_;
  return c;
}

EqualAreaChart EqualAreaChart::InProjection(ChartProjection projection,
                                            const AnalysisState& state,
                                            AnalysisResult result) const {
  EqualAreaChart c = WithoutData();
  c.projection_ = projection;
  c.ShowAnalysis(state, result);
  c.bootstrap.SetActive(bootstrap.Active());
  if (result != AnalysisResult::kNoData && highlighted_ >= 1 &&
      highlighted_ <= state.count) {
    c.Highlight(state, highlighted_);
    c.measured_highlight.SetActive(measured_highlight.Active());
    c.retrodeformed_highlight.SetActive(retrodeformed_highlight.Active());
  }
  return c;
}

void EqualAreaChart::StartUp() {
  CreateIsoRatioCircles(4.0f);
  ClearDataSeries();
  HideHighlight();
}

void EqualAreaChart::ShowStartUp() {
  ClearDataSeries();
  DestroyIsoRatioCircles();
  CreateIsoRatioCircles(4.0f);
  radial_maximum_ = kInitialRadialMaximum;
}

void EqualAreaChart::Highlight(const AnalysisState& state, std::int32_t i) {
  const MarkerRecord& f = state.measured[static_cast<std::size_t>(i)];
  const MarkerRecord& r = state.retrodeformed[static_cast<std::size_t>(i)];
  measured_highlight.Clear();
  measured_highlight.SetActive(true);
  measured_highlight.AddPolar(PlotAngle(f.psi),
                              MarkerRadius(projection_, f.rho, f.zeta));
  retrodeformed_highlight.Clear();
  retrodeformed_highlight.SetActive(true);
  retrodeformed_highlight.AddPolar(PlotAngle(r.psi),
                                   MarkerRadius(projection_, r.rho, r.zeta));
  highlighted_ = i;
}

void EqualAreaChart::HideHighlight() {
  measured_highlight.SetActive(false);
  retrodeformed_highlight.SetActive(false);
}

SeriesStyle PaletteStyle(const EqualAreaChart& chart, const PolarSeries& series,
                         ChartPalette palette) {
  SeriesStyle style = series.Style();
  if (palette == ChartPalette::kStandard) return style;
  // Okabe and Ito's colours: sky blue, orange, blue, vermillion, reddish
  // purple and yellow, with black outlines for the highlight.
  constexpr Rgb kSkyBlue = 0x56B4E9, kOrange = 0xE69F00, kBlue = 0x0072B2,
                kVermillion = 0xD55E00, kPurple = 0xCC79A7, kYellow = 0xF0E442,
                kDark = 0x000000;
  auto colour = [&style](Rgb main, std::optional<Rgb> fill,
                         std::optional<Rgb> outline) {
    style.color = main;
    style.line_color = main;
    if (style.fill) style.fill = fill ? *fill : main;
    if (style.outline) style.outline = outline ? *outline : main;
  };
  if (&series == &chart.bootstrap) {
    colour(kSkyBlue, kSkyBlue, std::nullopt);
  } else if (&series == &chart.retrodeformed) {
    colour(kOrange, kOrange, std::nullopt);
  } else if (&series == &chart.measured) {
    colour(kBlue, std::nullopt, kBlue);
  } else if (&series == &chart.optimal) {
    colour(kVermillion, std::nullopt, kVermillion);
  } else if (&series == &chart.measured_highlight) {
    colour(kPurple, kPurple, kDark);
  } else if (&series == &chart.retrodeformed_highlight) {
    colour(kYellow, kYellow, kDark);
  }
  return style;
}

}  // namespace orvane
