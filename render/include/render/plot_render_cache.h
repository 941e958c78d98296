// SPDX-License-Identifier: MIT
// Drawings of a plot's large series kept between repaints of the window:
// a repaint that changes only the highlight or a legend check reuses them.
// One cache serves every plot; each plot says what a drawing of a series
// depends on (its key), and a drawing is redone only when that changed.
#ifndef ORVANE_RENDER_PLOT_RENDER_CACHE_H_
#define ORVANE_RENDER_PLOT_RENDER_CACHE_H_

#include <QImage>
#include <QSize>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace orvane {

class PlotRenderCache {
 public:
  // Series with more points than this are drawn into a cached layer.
  static constexpr std::size_t kLayerThreshold = 2000;

  // What the drawing of a series depends on: the series' revision, the
  // plot's size in its own pixels, the device pixels a plot pixel, and the
  // numbers that place the data and colour them (the plot's choice).
  struct Key {
    std::uint64_t revision = ~0ull;
    QSize size;
    double pixel_ratio = 0;
    std::array<double, 6> placement{};
    bool operator==(const Key&) const = default;
  };

  // The layer of `series` drawn for `key`: the one held when it was drawn
  // for that key, else `draw()`'s, kept (null when there was no memory).
  const QImage& Layer(const void* series, const Key& key,
                      const std::function<QImage()>& draw);
  // Forgets the layers of series other than `live`.
  void Prune(const std::vector<const void*>& live);

  // The series' layer as last drawn, or nullptr.
  const QImage* LayerImage(const void* series) const;
  // How many layers were drawn (not reused) so far.
  int RebuiltLayers() const { return rebuilt_; }

 private:
  struct Held {
    Key key;
    QImage image;
  };
  std::map<const void*, Held> layers_;
  int rebuilt_ = 0;
};

}  // namespace orvane

#endif  // ORVANE_RENDER_PLOT_RENDER_CACHE_H_
