// SPDX-License-Identifier: MIT
#include "render/plot_render_cache.h"

#include <algorithm>

namespace orvane {

const QImage& PlotRenderCache::Layer(const void* series, const Key& key,
                                     const std::function<QImage()>& draw) {
  const auto found = layers_.find(series);
  if (found != layers_.end() && found->second.key == key) {
    return found->second.image;
  }
  Held& held = layers_[series];
  // The old drawing goes first, so that the two are never held at once.
  held.image = QImage();
  held.image = draw();
  held.key = key;
  ++rebuilt_;
  return held.image;
}

void PlotRenderCache::Prune(const std::vector<const void*>& live) {
  for (auto it = layers_.begin(); it != layers_.end();) {
    if (std::find(live.begin(), live.end(), it->first) == live.end()) {
      it = layers_.erase(it);
    } else {
      ++it;
    }
  }
}

const QImage* PlotRenderCache::LayerImage(const void* series) const {
  const auto it = layers_.find(series);
  return it == layers_.end() ? nullptr : &it->second.image;
}

}  // namespace orvane
