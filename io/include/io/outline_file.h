// SPDX-License-Identifier: MIT
// Grain outlines as people trace them, read into ellipses of their moments
// (io/outline_ellipse.h): the vector files every GIS writes, through GDAL's
// OGR (Shapefile, GeoPackage, GeoJSON, KML, and CSV with a WKT geometry
// column, among the others GDAL reads), and a plain vertex table of the
// columns id, x, y (a header row naming them, one row per vertex, the rows
// of a grain in the order of its outline).
//
// Each polygon is a grain (each part of a multipolygon one of its own), its
// holes subtracted. Points, lines, features without a geometry and
// outlines that bound no region (fewer than 3 distinct vertices, no area,
// a ring crossing itself or another) are skipped and counted, the first
// few named with the reason. No Qt.
#ifndef ORVANE_IO_OUTLINE_FILE_H_
#define ORVANE_IO_OUTLINE_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/status.h"
#include "io/data_file.h"
#include "io/outline_ellipse.h"

namespace orvane {

// A grain read: its name in the file ("feature 12", "feature 12, part 2",
// "grain A7") and its ellipse.
struct GrainRecord {
  std::string name;
  GrainEllipse ellipse;
};

// A label image's labels downsampled for a look at the grains: every
// step-th pixel of every step-th row, top row first, 0 where no grain is.
// `transform` maps a pixel corner (column, row) of this raster to the
// image's coordinates as the grains have them, y upwards:
//   x = t0 + t1 column + t2 row,  y = t3 + t4 column + t5 row.
struct LabelRaster {
  long width = 0;
  long height = 0;
  std::vector<std::uint32_t> labels;
  double transform[6] = {0, 1, 0, 0, 0, -1};
};

// A downsampled raster is at most this many pixels on a side.
inline constexpr long kLabelRasterSide = 1024;

// At most this many skipped grains are named.
inline constexpr std::size_t kSkippedGrainsNamed = 5;

struct OutlineReading {
  std::vector<GrainRecord> grains;
  std::size_t skipped = 0;
  // The first skipped, "feature 3: a line", in file order.
  std::vector<std::string> skipped_named;
  // What the user should know of the file beside the analysis: the layer
  // read where there are several, coordinates in degrees.
  std::vector<std::string> warnings;
  // Only where asked for, to draw the grains: each grain's outline, in the
  // order of `grains`, and a label image's downsampled labels.
  std::vector<GrainOutline> outlines;
  LabelRaster raster;
};

// Reads the outlines of `path` (of its layer `layer`, or its first where
// that is empty). A file that is missing, unreadable, of no kind GDAL reads,
// without the layer asked for, or without a single grain is refused with a
// message that says so. With `keep_outlines` the outlines of the grains
// are kept in `reading.outlines`.
Status ReadOutlineFile(const std::string& path, const std::string& layer,
                       OutlineReading& reading, bool keep_outlines = false);

// How a label image gives its grains.
struct LabelImageOptions {
  // The side of a pixel in the units wanted, overriding a GeoTIFF's
  // geotransform; 0: the geotransform's, or 1 (pixels) without one.
  double pixel_size = 0;
  // Grains of fewer pixels are left out.
  long min_pixels = 20;
  // The labels downsampled into `OutlineReading::raster`, to draw them.
  bool keep_raster = false;
};

// Reads a label or binary image (TIFF, GeoTIFF, PNG and any other raster
// GDAL reads; its first band, 8 to 32 bits): in a label image each
// non-zero value is a grain, in a binary image (no value but 0 and one
// other) each 8-connected component of the non-zero pixels. A grain's
// moments are those of its pixels as squares (each adds 1/12 of its side
// squared to mu_xx and mu_yy about its centre), with y upwards: image rows
// run downwards, and a geotransform maps the pixels to its coordinates.
// Grains touching the image's border and grains below the minimum are left
// out, counted and the first named.
Status ReadLabelImage(const std::string& path, const LabelImageOptions& options,
                      OutlineReading& reading);

// The count of skipped grains and the first named, as one line: "2 outlines
// were skipped: feature 3: a line; feature 9: self-intersecting." Empty
// when none was.
std::string SkippedGrainsText(const OutlineReading& reading);

// The grains' ellipses as the data of an analysis, each major, minor and
// angle checked and rounded as a data file's are, with their centroids and
// areas; the skipped grains and
// the reading's warnings become the data's warnings. A grain the checks
// refuse refuses the whole, naming the grain.
Status OutlineData(const OutlineReading& reading, LoadedData& data);

// The ellipses as a CSV table: a header "id,x,y,area,major,minor,angle",
// then a row a grain, the numbers as the shortest decimals that read back
// to them. False, with the system's reason in `error`, when the file could
// not be written.
bool WriteEllipseTable(const OutlineReading& reading, const std::string& path,
                       std::string& error);

}  // namespace orvane

#endif  // ORVANE_IO_OUTLINE_FILE_H_
