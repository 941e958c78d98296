// SPDX-License-Identifier: MIT
#include "centre_delaunay.h"

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <algorithm>

namespace orvane::centre_internal {
namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase =
    CGAL::Triangulation_vertex_base_with_info_2<std::int32_t, Kernel>;
using DataStructure = CGAL::Triangulation_data_structure_2<VertexBase>;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, DataStructure>;

}  // namespace

SiteEdges DelaunayEdges(const std::vector<double>& x,
                        const std::vector<double>& y) {
  std::vector<std::pair<Kernel::Point_2, std::int32_t>> sites;
  sites.reserve(x.size());
  for (std::size_t s = 0; s < x.size(); ++s) {
    sites.emplace_back(Kernel::Point_2(x[s], y[s]),
                       static_cast<std::int32_t>(s));
  }
  // The range insertion sorts the sites along a space-filling curve first,
  // deterministically, and keeps each site's number with its vertex.
  const Delaunay triangulation(sites.begin(), sites.end());
  SiteEdges result;
  result.dimension = triangulation.dimension();
  result.edges.reserve(3 * x.size());
  for (auto e = triangulation.finite_edges_begin();
       e != triangulation.finite_edges_end(); ++e) {
    const auto face = e->first;
    const int i = e->second;
    std::int32_t s = face->vertex(Delaunay::cw(i))->info();
    std::int32_t t = face->vertex(Delaunay::ccw(i))->info();
    if (s > t) std::swap(s, t);
    result.edges.emplace_back(s, t);
  }
  std::sort(result.edges.begin(), result.edges.end());
  return result;
}

}  // namespace orvane::centre_internal
