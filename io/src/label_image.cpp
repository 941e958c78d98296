// SPDX-License-Identifier: MIT
// Grains from a label or binary image: the moments of each grain's pixels.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <numeric>
#include <string>
#include <vector>

#include "gis_loader.h"
#include "grain_reading.h"
#include "io/outline_file.h"

namespace orvane {
namespace {

// The sums of a grain's pixel centres, in pixels (x right, y down).
struct PixelSums {
  long count = 0;
  long double x = 0, y = 0, xx = 0, yy = 0, xy = 0;
  bool border = false;

  void Add(long column, long row, bool on_border) {
    const long double cx = column + 0.5L, cy = row + 0.5L;
    ++count;
    x += cx;
    y += cy;
    xx += cx * cx;
    yy += cy * cy;
    xy += cx * cy;
    border = border || on_border;
  }
  void Add(const PixelSums& o) {
    count += o.count;
    x += o.x;
    y += o.y;
    xx += o.xx;
    yy += o.yy;
    xy += o.xy;
    border = border || o.border;
  }
};

// The grain's moments in the coordinates the affine map (x, y) -> (g0 + g1
// x + g2 y, g3 + g4 x + g5 y) gives its pixels.
RegionMoments MomentsOfPixels(const PixelSums& s, const double g[6]) {
  const long double n = static_cast<long double>(s.count);
  const long double mx = s.x / n, my = s.y / n;
  // Each pixel a unit square: 1/12 about its own centre.
  const long double sxx = s.xx / n - mx * mx + 1.0L / 12;
  const long double syy = s.yy / n - my * my + 1.0L / 12;
  const long double sxy = s.xy / n - mx * my;
  RegionMoments m;
  m.area =
      static_cast<double>(n * std::abs(static_cast<long double>(g[1]) * g[5] -
                                       static_cast<long double>(g[2]) * g[4]));
  m.cx = static_cast<double>(g[0] + g[1] * mx + g[2] * my);
  m.cy = static_cast<double>(g[3] + g[4] * mx + g[5] * my);
  // A S A^T with A = [[g1, g2], [g4, g5]].
  const long double a = g[1], b = g[2], c = g[4], d = g[5];
  m.mu_xx = static_cast<double>(a * a * sxx + 2 * a * b * sxy + b * b * syy);
  m.mu_yy = static_cast<double>(c * c * sxx + 2 * c * d * sxy + d * d * syy);
  m.mu_xy =
      static_cast<double>(a * c * sxx + (a * d + b * c) * sxy + b * d * syy);
  return m;
}

// Connected components of the non-zero pixels (8 neighbours), one row at a
// time: provisional labels joined through a union-find, each gathering the
// sums of its pixels, merged into their roots at the end.
class Components {
 public:
  explicit Components(long width)
      : above_(static_cast<std::size_t>(width), -1),
        here_(static_cast<std::size_t>(width), -1) {}

  void AddRow(const std::uint32_t* row, long r, long height) {
    const long width = static_cast<long>(here_.size());
    for (long c = 0; c < width; ++c) {
      const auto i = static_cast<std::size_t>(c);
      if (row[i] == 0) {
        here_[i] = -1;
        continue;
      }
      long label = -1;
      auto meet = [&](long other) {
        if (other < 0) return;
        if (label < 0) {
          label = Root(other);
        } else {
          label = Join(label, other);
        }
      };
      if (c > 0) meet(here_[i - 1]);
      if (c > 0) meet(above_[i - 1]);
      meet(above_[i]);
      if (c + 1 < width) meet(above_[i + 1]);
      if (label < 0) {
        label = static_cast<long>(parent_.size());
        parent_.push_back(label);
        sums_.emplace_back();
      }
      here_[i] = label;
      sums_[static_cast<std::size_t>(label)].Add(
          c, r, c == 0 || r == 0 || c == width - 1 || r == height - 1);
    }
    std::swap(above_, here_);
  }

  // The components in the order their first pixel comes in the raster.
  std::vector<PixelSums> Result() {
    std::vector<PixelSums> out;
    std::vector<long> index(parent_.size(), -1);
    for (std::size_t l = 0; l < parent_.size(); ++l) {
      const auto root = static_cast<std::size_t>(Root(static_cast<long>(l)));
      if (index[root] < 0) {
        index[root] = static_cast<long>(out.size());
        out.emplace_back();
      }
      out[static_cast<std::size_t>(index[root])].Add(sums_[l]);
    }
    return out;
  }

 private:
  long Root(long l) {
    while (parent_[static_cast<std::size_t>(l)] != l) {
      auto& p = parent_[static_cast<std::size_t>(l)];
      p = parent_[static_cast<std::size_t>(p)];
      l = p;
    }
    return l;
  }
  // The smaller root of the two becomes the root of both.
  long Join(long a, long b) {
    a = Root(a);
    b = Root(b);
    if (a > b) std::swap(a, b);
    parent_[static_cast<std::size_t>(b)] = a;
    return a;
  }

  std::vector<long> above_, here_;
  std::vector<long> parent_;
  std::vector<PixelSums> sums_;
};

}  // namespace

Status ReadLabelImage(const std::string& path, const LabelImageOptions& options,
                      OutlineReading& reading) {
  reading = OutlineReading();
  struct stat info {};
  if (Status found = StatOfGrainFile(path, info); !found.ok()) return found;
  const GisModule& module = LoadGisModule();
  if (!module.error.empty()) {
    return Status(StatusCode::kReadError, module.error);
  }
  // One read gathers both: the sums of each value (a label image's grains)
  // and of each connected component of the non-zero pixels (a binary
  // image's, where no value but 0 and one other occurs).
  struct Gathered {
    long width = 0, height = 0;
    // Pixels to coordinates, y upwards: the pixel size asked for, else the
    // image's own geotransform, else pixels.
    double g[6] = {0, 1, 0, 0, 0, -1};
    double pixel_size = 0;
    std::map<std::uint32_t, PixelSums> by_label;
    std::unique_ptr<Components> components;
    // The labels of every step-th pixel of every step-th row, where asked.
    bool keep_raster = false;
    long step = 1;
    LabelRaster raster;
  } gathered;
  gathered.pixel_size = options.pixel_size;
  gathered.keep_raster = options.keep_raster;
  OrvaneGisRasterSink sink;
  sink.context = &gathered;
  sink.size = [](void* c, long width, long height, const double* own) {
    auto* p = static_cast<Gathered*>(c);
    p->width = width;
    p->height = height;
    if (p->pixel_size > 0) {
      p->g[1] = p->pixel_size;
      p->g[5] = -p->pixel_size;
    } else if (own != nullptr) {
      std::copy(own, own + 6, p->g);
    }
    p->components = std::make_unique<Components>(width);
    if (p->keep_raster && width > 0 && height > 0) {
      p->step =
          (std::max(width, height) + kLabelRasterSide - 1) / kLabelRasterSide;
      LabelRaster& r = p->raster;
      r.width = (width + p->step - 1) / p->step;
      r.height = (height + p->step - 1) / p->step;
      r.labels.assign(static_cast<std::size_t>(r.width * r.height), 0);
      const auto step = static_cast<double>(p->step);
      const double t[6] = {p->g[0], p->g[1] * step, p->g[2] * step,
                           p->g[3], p->g[4] * step, p->g[5] * step};
      std::copy(t, t + 6, r.transform);
    }
  };
  sink.row = [](void* c, long r, const std::uint32_t* row) {
    auto* p = static_cast<Gathered*>(c);
    p->components->AddRow(row, r, p->height);
    if (!p->raster.labels.empty() && r % p->step == 0) {
      std::uint32_t* kept = p->raster.labels.data() +
                            static_cast<std::size_t>(r / p->step) *
                                static_cast<std::size_t>(p->raster.width);
      for (long col = 0; col < p->raster.width; ++col) {
        kept[col] = row[col * p->step];
      }
    }
    for (long col = 0; col < p->width; ++col) {
      const std::uint32_t v = row[col];
      if (v == 0) continue;
      p->by_label[v].Add(
          col, r,
          col == 0 || r == 0 || col == p->width - 1 || r == p->height - 1);
    }
  };
  char error[1024] = "";
  try {
    if (module.read_raster(path.c_str(), &sink, error, sizeof error) == 0) {
      return Status(StatusCode::kReadError, error);
    }
  } catch (const std::bad_alloc&) {
    return Refusal(StatusCode::kOutOfMemory, 0);
  }
  std::vector<std::pair<std::string, PixelSums>> grains;
  if (gathered.by_label.size() > 1) {
    for (const auto& [label, sums] : gathered.by_label) {
      grains.push_back({"label " + std::to_string(label), sums});
    }
  } else if (gathered.components) {
    const std::vector<PixelSums> found = gathered.components->Result();
    for (std::size_t k = 0; k < found.size(); ++k) {
      grains.push_back({"component " + std::to_string(k + 1), found[k]});
    }
  }
  for (const auto& [name, sums] : grains) {
    if (sums.border) {
      SkipGrain(reading, name, "touches the border");
    } else if (sums.count < options.min_pixels) {
      SkipGrain(reading, name,
                std::to_string(sums.count) + " pixels, fewer than " +
                    std::to_string(options.min_pixels));
    } else {
      reading.grains.push_back(
          {name, EllipseOfMoments(MomentsOfPixels(sums, gathered.g))});
    }
  }
  reading.raster = std::move(gathered.raster);
  if (reading.grains.empty()) {
    std::string why = "The image holds no grain.";
    if (reading.skipped > 0) why += " " + SkippedGrainsText(reading);
    return Status(StatusCode::kReadError, why);
  }
  return Status();
}

}  // namespace orvane
