// SPDX-License-Identifier: MIT
// The Delaunay triangulation of the markers' centres, for the
// nearest-neighbour method of centre_strain.cpp. CGAL stays behind this
// header, in the one translation unit that triangulates.
#ifndef ORVANE_CORE_SRC_CENTRE_DELAUNAY_H_
#define ORVANE_CORE_SRC_CENTRE_DELAUNAY_H_

#include <cstdint>
#include <utility>
#include <vector>

namespace orvane::centre_internal {

struct SiteEdges {
  // The triangulation's dimension: 2 for a proper triangulation, 1 when
  // every site lies on one line, 0 for a single site, -1 for none.
  int dimension = -1;
  // Each finite edge once, as (s, t) with s < t, ascending.
  std::vector<std::pair<std::int32_t, std::int32_t>> edges;
};

// The edges of the Delaunay triangulation of the sites (x[s], y[s]), which
// must be finite and distinct. Exact predicates: collinear and cocircular
// sites are triangulated soundly.
SiteEdges DelaunayEdges(const std::vector<double>& x,
                        const std::vector<double>& y);

}  // namespace orvane::centre_internal

#endif  // ORVANE_CORE_SRC_CENTRE_DELAUNAY_H_
