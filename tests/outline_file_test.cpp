// SPDX-License-Identifier: MIT
// Grain outlines read from files: a vertex table, GeoJSON, CSV with WKT and
// KML, the same outlines converted by GDAL's own ogr2ogr to a GeoPackage and
// a Shapefile, the outlines skipped and the files refused.
#include "io/outline_file.h"

#include <gtest/gtest.h>

#include <gdal_priv.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "support/file_bytes.h"
#include "support/temp_folder.h"

namespace orvane {
namespace {

using testing_support::ReadWholeFile;
using testing_support::TempFolder;

// Three grains and three that are skipped: a rectangle with a square hole,
// a triangle, a multipolygon of two squares, a point, a line and a bow tie.
const char* kGeoJson = R"({"type": "FeatureCollection", "features": [
 {"type": "Feature", "properties": {"n": 1}, "geometry": {"type": "Polygon",
  "coordinates": [[[200,0],[208,0],[208,4],[200,4],[200,0]], [[201,1],[202,1],[202,2],[201,2],[201,1]]]}},
 {"type": "Feature", "properties": {"n": 2}, "geometry": {"type": "Point",
  "coordinates": [3, 3]}},
 {"type": "Feature", "properties": {"n": 3}, "geometry": {"type": "Polygon",
  "coordinates": [[[210,0],[215,1],[212,4],[210,0]]]}},
 {"type": "Feature", "properties": {"n": 4}, "geometry": {"type": "LineString",
  "coordinates": [[200,0],[205,5]]}},
 {"type": "Feature", "properties": {"n": 5}, "geometry": {"type": "MultiPolygon",
  "coordinates": [[[[220,0],[222,0],[222,2],[220,2],[220,0]]],
                  [[[230,0],[233,0],[233,3],[230,3],[230,0]]]]}},
 {"type": "Feature", "properties": {"n": 6}, "geometry": {"type": "Polygon",
  "coordinates": [[[200,0],[204,4],[204,0],[200,2],[200,0]]]}}
]})";

// The polygons alone, for the formats that hold one kind of geometry.
const char* kPolygons = R"({"type": "FeatureCollection", "features": [
 {"type": "Feature", "properties": {"n": 1}, "geometry": {"type": "Polygon",
  "coordinates": [[[0,0],[8,0],[8,4],[0,4],[0,0]], [[1,1],[2,1],[2,2],[1,2],[1,1]]]}},
 {"type": "Feature", "properties": {"n": 3}, "geometry": {"type": "Polygon",
  "coordinates": [[[10,0],[15,1],[12,4],[10,0]]]}},
 {"type": "Feature", "properties": {"n": 5}, "geometry": {"type": "Polygon",
  "coordinates": [[[1000000,2000000],[1000000,2000003],[1000007,2000003],[1000007,2000000],[1000000,2000000]]]}}
]})";

// Reads the outlines of `path`, failing the test with the refusal.
void ReadOk(const std::string& path, const std::string& layer,
            OutlineReading& r) {
  const Status read = ReadOutlineFile(path, layer, r);
  ASSERT_TRUE(read.ok()) << path << ": " << read.message();
}

void ExpectSameEllipses(const OutlineReading& a, const OutlineReading& b) {
  ASSERT_EQ(a.grains.size(), b.grains.size());
  for (std::size_t i = 0; i < a.grains.size(); ++i) {
    const GrainEllipse& p = a.grains[i].ellipse;
    const GrainEllipse& q = b.grains[i].ellipse;
    EXPECT_NEAR(p.major, q.major, 1e-12 * p.major) << i;
    EXPECT_NEAR(p.minor, q.minor, 1e-12 * p.major) << i;
    EXPECT_NEAR(p.area, q.area, 1e-12 * p.area) << i;
    EXPECT_NEAR(p.cx, q.cx, 1e-9) << i;
    EXPECT_NEAR(p.angle, q.angle, 1e-9) << i;
  }
}

TEST(OutlineFiles, GeoJsonGrainsAndWhatIsSkipped) {
  TempFolder folder("outlines");
  const std::string path = folder.Write("grains.geojson", kGeoJson);
  OutlineReading r;
  ASSERT_NO_FATAL_FAILURE(ReadOk(path, "", r));
  ASSERT_EQ(r.grains.size(), 4u);
  EXPECT_EQ(r.grains[0].name, "feature 0");
  EXPECT_EQ(r.grains[2].name, "feature 4, part 1");
  // The rectangle less its hole: area 31, the hole pulling the centroid.
  EXPECT_DOUBLE_EQ(r.grains[0].ellipse.area, 31);
  EXPECT_NEAR(r.grains[0].ellipse.cx, 200 + (32 * 4 - 1.5) / 31, 1e-12);
  EXPECT_DOUBLE_EQ(r.grains[3].ellipse.major, r.grains[3].ellipse.minor);
  EXPECT_EQ(r.skipped, 3u);
  EXPECT_EQ(SkippedGrainsText(r),
            "3 outlines were skipped: feature 1: a point; feature 3: a line; "
            "feature 5: self-intersecting.");
  // As the data of an analysis, the skipped said beside it.
  LoadedData data;
  ASSERT_TRUE(OutlineData(r, data).ok());
  EXPECT_EQ(data.count, 4);
  EXPECT_FLOAT_EQ(data.measured[1].major,
                  static_cast<float>(r.grains[0].ellipse.major));
  // Each datum keeps its grain's centroid and area, in double.
  EXPECT_EQ(data.places.x[1], r.grains[0].ellipse.cx);
  EXPECT_EQ(data.places.y[4], r.grains[3].ellipse.cy);
  EXPECT_EQ(data.places.area[1], 31.0);
  ASSERT_EQ(data.warnings.size(), 1u);
  EXPECT_EQ(data.warnings[0], SkippedGrainsText(r));
  // The ellipses as a table.
  std::string error;
  ASSERT_TRUE(WriteEllipseTable(r, folder.path() / "e.csv", error)) << error;
  const std::string table = ReadWholeFile(folder.path() / "e.csv");
  EXPECT_EQ(table.substr(0, table.find('\n')), "id,x,y,area,major,minor,angle");
  EXPECT_NE(table.find("\n\"feature 4, part 1\",221"), std::string::npos)
      << table;
}

// The same outlines through GDAL's own conversions, a vertex table, a CSV
// with a WKT column: the same ellipses.
TEST(OutlineFiles, EveryFormatReadsTheSame) {
  TempFolder folder("outline_formats");
  const std::string json = folder.Write("p.geojson", kPolygons);
  OutlineReading expected;
  ASSERT_NO_FATAL_FAILURE(ReadOk(json, "", expected));
  ASSERT_EQ(expected.grains.size(), 3u);

  if (std::system("command -v ogr2ogr > /dev/null") != 0) {
    GTEST_SKIP() << "ogr2ogr is missing (apt-get install gdal-bin)";
  }
  for (const char* target : {"p.gpkg", "p.shp"}) {
    const std::string out = (folder.path() / target).string();
    const std::string format =
        std::string(target).ends_with("gpkg") ? "GPKG" : "ESRI Shapefile";
    ASSERT_EQ(std::system(("ogr2ogr -f '" + format + "' '" + out + "' '" +
                           json + "' 2>/dev/null")
                              .c_str()),
              0)
        << target;
    OutlineReading r;
    ASSERT_NO_FATAL_FAILURE(ReadOk(out, "", r)) << target;
    ExpectSameEllipses(expected, r);
  }
  // The GeoPackage's layer by its name, and one it has not.
  OutlineReading named;
  EXPECT_TRUE(
      ReadOutlineFile((folder.path() / "p.gpkg").string(), "p", named).ok());
  const Status missing =
      ReadOutlineFile((folder.path() / "p.gpkg").string(), "q", named);
  EXPECT_EQ(missing.message(), "The file has no layer q (it has p).");

  const std::string vertices = folder.Write(
      "v.csv",
      "id,x,y\nA,0,0\nA,8,0\nA,8,4\nA,0,4\nB,10,0\nB,15,1\nB,12,4\n"
      "C,1000000,2000000\nC,1000000,2000003\nC,1000007,2000003\n"
      "C,1000007,2000000\nD,0,0\nD,1,1\n");
  OutlineReading table;
  ASSERT_NO_FATAL_FAILURE(ReadOk(vertices, "", table));
  EXPECT_EQ(table.grains[2].name, "grain C");
  EXPECT_EQ(
      table.skipped_named,
      std::vector<std::string>{"grain D: fewer than 3 distinct vertices"});
  // The first grain has no hole here: a rectangle's moments; the others
  // as before.
  EXPECT_NEAR(table.grains[0].ellipse.major, 4 * 8 / std::sqrt(12.0), 1e-12);
  table.grains.erase(table.grains.begin());
  expected.grains.erase(expected.grains.begin());
  ExpectSameEllipses(expected, table);

  const std::string wkt = folder.Write(
      "w.csv",
      "name,WKT\n"
      "a,\"POLYGON ((0 0,8 0,8 4,0 4,0 0),(1 1,2 1,2 2,1 2,1 1))\"\n"
      "b,\"POLYGON ((10 0,15 1,12 4,10 0))\"\n"
      "c,\"POLYGON ((1000000 2000000,1000000 2000003,1000007 2000003,"
      "1000007 2000000,1000000 2000000))\"\n");
  OutlineReading from_wkt;
  ASSERT_NO_FATAL_FAILURE(ReadOk(wkt, "", from_wkt));
  from_wkt.grains.erase(from_wkt.grains.begin());
  ExpectSameEllipses(expected, from_wkt);
}

TEST(OutlineFiles, KmlIsInDegreesAndRefusalsSayWhy) {
  TempFolder folder("outline_refusals");
  const std::string kml = folder.Write("g.kml",
                                       R"(<?xml version="1.0" encoding="UTF-8"?>
<kml xmlns="http://www.opengis.net/kml/2.2"><Document><Placemark>
<Polygon><outerBoundaryIs><LinearRing><coordinates>
7,46 7.001,46 7.001,46.0005 7,46.0005 7,46
</coordinates></LinearRing></outerBoundaryIs></Polygon>
</Placemark></Document></kml>)");
  OutlineReading r;
  ASSERT_NO_FATAL_FAILURE(ReadOk(kml, "", r));
  ASSERT_EQ(r.grains.size(), 1u);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_NE(r.warnings[0].find("degrees of longitude and latitude"),
            std::string::npos);

  EXPECT_EQ(
      ReadOutlineFile((folder.path() / "none.shp").string(), "", r).message(),
      "File not exits.");
  const Status text =
      ReadOutlineFile(folder.Write("notes.txt", "3 2 30\n4 2 45\n"), "", r);
  EXPECT_FALSE(text.ok());
  EXPECT_EQ(text.message().rfind("Not a file of outlines", 0), 0u)
      << text.message();
  const Status lines = ReadOutlineFile(
      folder.Write("l.geojson",
                   R"({"type": "FeatureCollection", "features": [
 {"type": "Feature", "properties": {}, "geometry": {"type": "LineString",
  "coordinates": [[0,0],[5,5]]}}]})"),
      "", r);
  EXPECT_EQ(lines.message(),
            "The file holds no outline of a grain. 1 outline was skipped: "
            "feature 0: a line.");
  const Status bad_row =
      ReadOutlineFile(folder.Write("b.csv", "id,x,y\nA,0,0\nA,1,x\n"), "", r);
  EXPECT_EQ(bad_row.message(),
            "line 3: a vertex needs an id and the numbers x and y");
}

// A label image of drawn ellipses (y upwards, so a row r lies at y =
// -(r + 1/2)): full axes, orientation and centre of each.
struct DrawnEllipse {
  double major, minor, angle, cx, cy;
};

const DrawnEllipse kDrawn[] = {{80, 30, 30, 60, -60},
                               {60, 24, -50, 170, -70},
                               {50, 40, 90, 270, -120},
                               {40, 30, 0, 5, -200},   // cut by the border
                               {3, 3, 0, 200, -220}};  // 7 pixels

// Writes the image of kDrawn, labelled 1, 2, ... (or all `binary`), in
// the format of GDAL's driver `format`, with the geotransform where one is
// given; the pixels of each label counted into `counts`.
void WriteLabelImage(const std::string& path, const char* format, bool binary,
                     const double* geotransform,
                     std::vector<long>* counts = nullptr) {
  constexpr int kWidth = 320, kHeight = 240;
  std::vector<GByte> pixels(kWidth * kHeight, 0);
  if (counts) counts->assign(std::size(kDrawn), 0);
  for (int r = 0; r < kHeight; ++r) {
    for (int c = 0; c < kWidth; ++c) {
      for (std::size_t k = 0; k < std::size(kDrawn); ++k) {
        const DrawnEllipse& e = kDrawn[k];
        const double t = e.angle * std::numbers::pi / 180;
        const double dx = c + 0.5 - e.cx, dy = -(r + 0.5) - e.cy;
        const double u = (dx * std::cos(t) + dy * std::sin(t)) / (e.major / 2);
        const double v = (-dx * std::sin(t) + dy * std::cos(t)) / (e.minor / 2);
        if (u * u + v * v > 1) continue;
        pixels[static_cast<std::size_t>(r * kWidth + c)] =
            binary ? 255 : static_cast<GByte>(k + 1);
        if (counts) ++(*counts)[k];
      }
    }
  }
  GDALAllRegister();
  GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("MEM");
  GDALDataset* image =
      memory->Create("", kWidth, kHeight, 1, GDT_Byte, nullptr);
  ASSERT_EQ(image->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, kWidth, kHeight,
                                              pixels.data(), kWidth, kHeight,
                                              GDT_Byte, 0, 0, nullptr),
            CE_None);
  if (geotransform) {
    double g[6];
    std::copy(geotransform, geotransform + 6, g);
    image->SetGeoTransform(g);
  }
  GDALDataset* copy =
      GetGDALDriverManager()->GetDriverByName(format)->CreateCopy(
          path.c_str(), image, FALSE, nullptr, nullptr, nullptr);
  ASSERT_NE(copy, nullptr);
  GDALClose(copy);
  GDALClose(image);
}

TEST(LabelImages, DrawnEllipsesComeBackInTheirUnits) {
  TempFolder folder("label_images");
  for (const bool binary : {false, true}) {
    const std::string png =
        (folder.path() / (binary ? "b.png" : "l.png")).string();
    WriteLabelImage(png, "PNG", binary, nullptr);
    OutlineReading r;
    ASSERT_TRUE(ReadLabelImage(png, {}, r).ok())
        << ReadLabelImage(png, {}, r).message();
    ASSERT_EQ(r.grains.size(), 3u) << binary;
    for (std::size_t k = 0; k < 3; ++k) {
      const GrainEllipse& e = r.grains[k].ellipse;
      const DrawnEllipse& d = kDrawn[k];
      EXPECT_NEAR(e.major / e.minor, d.major / d.minor,
                  0.02 * d.major / d.minor)
          << k;
      const double turn = std::remainder(e.angle - d.angle, 180.0);
      EXPECT_LT(std::abs(turn), 1.0) << k << " " << e.angle;
      EXPECT_NEAR(e.cx, d.cx, 0.5) << k;
      EXPECT_NEAR(e.cy, d.cy, 0.5) << k;
    }
    EXPECT_EQ(r.skipped, 2u);
    EXPECT_EQ(r.skipped_named[0], binary ? "component 4: touches the border"
                                         : "label 4: touches the border");
    EXPECT_EQ(r.grains[0].name, binary ? "component 1" : "label 1");
  }
  // A GeoTIFF's geotransform gives the map's units; a pixel size given
  // wins over it.
  const double transform[6] = {1000, 0.01, 0, 2000, 0, -0.01};
  const std::string tif = (folder.path() / "g.tif").string();
  std::vector<long> counts;
  WriteLabelImage(tif, "GTiff", false, transform, &counts);
  OutlineReading geo;
  ASSERT_TRUE(ReadLabelImage(tif, {}, geo).ok());
  EXPECT_NEAR(geo.grains[0].ellipse.area, static_cast<double>(counts[0]) * 1e-4,
              1e-12);
  EXPECT_NEAR(geo.grains[0].ellipse.cx, 1000 + 0.01 * kDrawn[0].cx, 0.005);
  EXPECT_NEAR(geo.grains[0].ellipse.cy, 2000 + 0.01 * kDrawn[0].cy, 0.005);
  EXPECT_NEAR(geo.grains[0].ellipse.angle, kDrawn[0].angle, 1.0);
  OutlineReading sized;
  ASSERT_TRUE(
      ReadLabelImage(tif, {.pixel_size = 0.5, .min_pixels = 20}, sized).ok());
  EXPECT_NEAR(sized.grains[0].ellipse.area,
              static_cast<double>(counts[0]) * 0.25, 1e-9);
  // A minimum above the largest grain leaves none.
  const Status none = ReadLabelImage(tif, {.min_pixels = 100000}, sized);
  EXPECT_EQ(none.message().rfind("The image holds no grain. 5 outlines", 0), 0u)
      << none.message();
}

}  // namespace
}  // namespace orvane
