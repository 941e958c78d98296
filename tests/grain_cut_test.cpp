// SPDX-License-Identifier: MIT
// Grain ellipsoids of a micro-CT table cut by a section's plane: the cut
// against the form's own section, the table read into a section's data,
// and a study of sections that all cut one table giving back its grains'
// shape.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "core/ellipsoid.h"
#include "io/study.h"
#include "support/study_data.h"
#include "support/temp_folder.h"

namespace orvane {
namespace {

using namespace std::string_literals;
using testing_support::CutEllipsoid;
using testing_support::ExpectedPlane;
using testing_support::KnownEllipsoid;
using testing_support::TempFolder;
using testing_support::TestPlanes;

// The known ellipsoid as a grain: its stretches as radii along its axes,
// the axes given in the order `order`, scaled by `scale` (the sign turns
// an axis round).
GrainEllipsoid GrainOf(const KnownEllipsoid& known,
                       std::array<int, 3> order = {0, 1, 2}, double scale = 1) {
  const double radii[] = {known.x, known.y, known.z};
  GrainEllipsoid grain;
  for (std::size_t i = 0; i < 3; ++i) {
    const auto k = static_cast<std::size_t>(order[i]);
    grain.radii[i] = radii[k];
    for (std::size_t c = 0; c < 3; ++c) {
      grain.axes[i][c] = scale * known.Axes()[k][c];
    }
  }
  return grain;
}

// A table row of the grain, with `sep` between its twelve numbers.
std::string RowOf(const GrainEllipsoid& g, const char* sep) {
  std::string row;
  char number[32];
  for (std::size_t i = 0; i < 12; ++i) {
    const double v = i < 3 ? g.radii[i] : g.axes[(i - 3) / 3][(i - 3) % 3];
    std::snprintf(number, sizeof number, "%.17g", v);
    row += (i > 0 ? sep : "") + std::string(number);
  }
  return row;
}

// The difference of two orientations of axes, degrees, modulo 180.
double AngleOff(double a, double b) {
  const double d = std::fmod(std::fabs(a - b), 180.0);
  return std::min(d, 180 - d);
}

TEST(GrainCut, CutsTheGrainAsItsFormIsCut) {
  const KnownEllipsoid known;
  for (const auto& test_plane : TestPlanes()) {
    SCOPED_TRACE(test_plane.json);
    SectionPlane plane;
    ASSERT_TRUE(PlaneOf(test_plane.orientation, plane).ok());
    const SectionShape expected = CutEllipsoid(known.Form(), plane);
    // The axes in any order, either way round and of any length.
    for (const auto& [order, scale] :
         {std::pair{std::array{0, 1, 2}, 1.0}, {std::array{2, 0, 1}, -3.5}}) {
      double major = 0, minor = 0, phi = 0;
      const Status cut =
          CutGrain(GrainOf(known, order, scale), plane, major, minor, phi);
      ASSERT_TRUE(cut.ok()) << cut.message();
      EXPECT_NEAR(major / minor, expected.ratio, 1e-12);
      EXPECT_LT(AngleOff(phi, expected.phi), 1e-9);
      EXPECT_GT(phi, -90);
      EXPECT_LE(phi, 90);
    }
  }

  // Full axes, twice the radii of a grain cut along its own axes; a long
  // axis along Across is +90, never -90.
  const GrainEllipsoid upright{{3, 2, 1}, {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}};
  const struct {
    SectionPlane plane;
    double major, minor, phi;
  } cases[] = {{{{0, 0, 1}, {1, 0, 0}}, 6, 4, 0},
               {{{0, 0, 1}, {0, 1, 0}}, 6, 4, 90},
               {{{1, 0, 0}, {0, 0, 1}}, 4, 2, 90},
               {{{0, -1, 0}, {0, 0, 1}}, 6, 2, 90}};
  for (const auto& c : cases) {
    double major = 0, minor = 0, phi = 0;
    ASSERT_TRUE(CutGrain(upright, c.plane, major, minor, phi).ok());
    EXPECT_NEAR(major, c.major, 1e-12);
    EXPECT_NEAR(minor, c.minor, 1e-12);
    EXPECT_NEAR(phi, c.phi, 1e-12);
  }

  // What is no grain, and axes that are close enough to perpendicular.
  const SectionPlane level;
  auto refusal = [&level](GrainEllipsoid g) {
    double major = 0, minor = 0, phi = 0;
    return CutGrain(g, level, major, minor, phi).message();
  };
  GrainEllipsoid g = upright;
  g.radii[1] = 0;
  EXPECT_EQ(refusal(g), "the grain's second radius 0 is not a positive number");
  g = upright;
  g.axes[2] = {0, 0, 0};
  EXPECT_EQ(refusal(g),
            "the grain's third axis (0, 0, 0) is zero and gives no direction");
  const double off = std::tan(1.5 * std::numbers::pi / 180);
  g = upright;
  g.axes[0] = {1, off, 0};
  EXPECT_EQ(refusal(g),
            "the grain's first and second axes are 88.50 degrees apart, not "
            "perpendicular (within 1 degree)");
  g.axes[0] = {1, off / 3, 0};
  EXPECT_EQ(refusal(g), "");
}

class GrainTable : public ::testing::Test {
 protected:
  Status Load(const std::string& text, LoadedData& data) {
    SourceChoices choices;
    choices.kind = SourceChoices::Kind::kEllipsoids;
    choices.plane = plane_;
    return LoadSource(folder_.Write("grains.csv", text), choices, data, {});
  }
  TempFolder folder_{"grain_table"};
  SectionPlane plane_ = ExpectedPlane(TestPlanes()[4].orientation);
};

// Every separator, a quoted header after a byte order mark, blank lines
// and a closing delimiter: each grain's record is the data file's datum
// of its cut, and slot 0 is empty.
TEST_F(GrainTable, ReadsEachGrainAsTheDatumOfItsCut) {
  const KnownEllipsoid known;
  const GrainEllipsoid grains[] = {
      GrainOf(known), GrainOf(known, {1, 2, 0}, -2),
      GrainOf(KnownEllipsoid{1.5, 1, 1 / 1.5, 300, 10, -40}),
      GrainOf(KnownEllipsoid{3, 0.5, 1 / 1.5, 10, 80, 5}, {2, 1, 0}, 0.1)};
  const std::string text =
      "\xEF\xBB\xBF\"r1\",\"r2\",r3,a1x,a1y,a1z,a2x,a2y,"
      "a2z,a3x,a3y,a3z\r\n" +
      RowOf(grains[0], ", ") + ",\r\n\r\n" + RowOf(grains[1], ";") +
      "\n  \t\n" + RowOf(grains[2], "\t") + "\n" + RowOf(grains[3], "   ");
  LoadedData data;
  const Status read = Load(text, data);
  ASSERT_TRUE(read.ok()) << read.message();
  ASSERT_EQ(data.count, 4);
  ASSERT_EQ(data.measured.size(), 5u);
  EXPECT_EQ(data.measured[0].major, 0);
  EXPECT_EQ(data.measured[0].ratio, 0);
  EXPECT_FALSE(data.places.HasCentroids());
  for (std::size_t i = 0; i < 4; ++i) {
    double major = 0, minor = 0, phi = 0;
    ASSERT_TRUE(CutGrain(grains[i], plane_, major, minor, phi).ok());
    MarkerRecord expected;
    ASSERT_EQ(CheckDatum(major, minor, phi, expected), StatusCode::kOk);
    const MarkerRecord& d = data.measured[i + 1];
    EXPECT_EQ(d.major, expected.major) << i;
    EXPECT_EQ(d.minor, expected.minor) << i;
    EXPECT_EQ(d.phi, expected.phi) << i;
    EXPECT_EQ(d.ratio,
              static_cast<float>(static_cast<long double>(d.major) / d.minor))
        << i;
  }
}

// A bad row names its line, with the grain's number as the datum.
TEST_F(GrainTable, BadRowsAreRefusedByTheirLine) {
  const std::string good = RowOf(GrainOf(KnownEllipsoid{}), ",");
  // Long along the plane's reference, so that its section is as long.
  const GrainEllipsoid needle{
      {1000.5, 1, 1}, {plane_.reference, plane_.Across(), plane_.normal}};
  const struct {
    std::string text;
    StatusCode code;
    std::int32_t datum;
    std::string message;
  } cases[] = {
      {"r1,r2\n" + good + "\n\n1,2,3,1,0,0,0,1,0,0,0\n", StatusCode::kReadError,
       2,
       "line 4: 11 cells where a grain has 12: r1, r2, r3 and the x, y and z "
       "of each axis"},
      {good + "\n1 2 3 1 0 0 0 1 0 0 0 1x\n", StatusCode::kReadError, 2,
       "line 2, column 12: not a number"},
      // A first row with a number in it is no header.
      {"r1,2,3,1,0,0,0,1,0,0,0,1\n" + good, StatusCode::kReadError, 1,
       "line 1, column 1: not a number"},
      {good + "\n1,-2,3,1,0,0,0,1,0,0,0,1\n", StatusCode::kReadError, 2,
       "line 2: the grain's second radius -2 is not a positive number"},
      {good + "\n1,2,3,1,0,0,1,1,0,0,0,1\n", StatusCode::kReadError, 2,
       "line 2: the grain's first and second axes are 45.00 degrees apart, "
       "not perpendicular (within 1 degree)"},
      {good + "\n" + RowOf(needle, ",") + "\n", StatusCode::kRatioOutOfRange, 2,
       "line 2: axial ratio out of range (at most 1000)"},
      {good + "\n1,2\0003,1,0,0,0,1,0,0,0,1\n"s, StatusCode::kReadError, 2,
       "line 2: a null byte: this is no text table"},
  };
  for (const auto& c : cases) {
    LoadedData data;
    const Status read = Load(c.text, data);
    EXPECT_EQ(read.message(), c.message) << c.text;
    EXPECT_EQ(read.code(), c.code) << c.text;
    EXPECT_EQ(read.datum(), c.datum) << c.text;
    EXPECT_EQ(data.count, 0);
  }

  // Read only in a study, which gives the plane.
  SourceChoices choices;
  choices.kind = SourceChoices::Kind::kEllipsoids;
  LoadedData data;
  EXPECT_EQ(LoadSource(folder_.Write("grains.csv", good), choices, data, {})
                .message(),
            "a table of ellipsoids is read in a study, cut by its section's "
            "plane");
}

// Sections that all cut one table of grains of one shape and orientation:
// each section's mean is the grains' cut, so the study's ellipsoid is the
// grains' own shape. The study file names the source and writes it back.
TEST(GrainStudy, SectionsOfOneTableGiveTheGrainsShape) {
  TempFolder folder("grain_study");
  const KnownEllipsoid known;
  std::string table = "r1 r2 r3 a1x a1y a1z a2x a2y a2z a3x a3y a3z\n";
  for (int i = 0; i < 8; ++i) {
    table +=
        RowOf(GrainOf(known, i % 2 ? std::array{1, 2, 0} : std::array{0, 1, 2},
                      i % 3 ? 1.0 : -0.5),
              " ") +
        "\n";
  }
  folder.Write("grains.csv", table);
  const std::vector<testing_support::TestPlane> planes = {
      TestPlanes()[0], TestPlanes()[3], TestPlanes()[4]};
  std::string text = "{\"sections\": [";
  for (std::size_t i = 0; i < planes.size(); ++i) {
    text += std::string(i > 0 ? ", " : "") +
            "{\"source\": {\"ellipsoids\": \"grains.csv\"}, " + planes[i].json +
            "}";
  }
  const std::string path = folder.Write("study.json", text + "]}");
  Study study;
  ASSERT_TRUE(ReadStudyFile(path, study).ok());
  ASSERT_EQ(study.sections.size(), 3u);
  EXPECT_EQ(study.sections[1].choices.kind, SourceChoices::Kind::kEllipsoids);
  EXPECT_EQ(study.sections[1].source, "grains.csv");

  const StudyResult result = AnalyseStudy(study, path, {50, 7}, ".");
  ASSERT_TRUE(result.status.ok()) << result.status.message();
  const Ellipsoid& e = result.ellipsoid.estimate;
  EXPECT_NEAR(e.x / known.x, 1, 1e-4);
  EXPECT_NEAR(e.y / known.y, 1, 1e-4);
  EXPECT_NEAR(e.z / known.z, 1, 1e-4);
  const std::array<Vector3, 3> axes = known.Axes();
  for (std::size_t k = 0; k < 3; ++k) {
    const Vector3& a = e.axes[k].vector;
    const Vector3& b = axes[k];
    const double cos = std::fabs(a[0] * b[0] + a[1] * b[1] + a[2] * b[2]);
    EXPECT_LT(std::acos(std::min(1.0, cos)) * 180 / std::numbers::pi, 0.1) << k;
  }
  EXPECT_EQ(result.sections[2].state.count, 8);

  // Back to JSON and in again; the source takes no options.
  EXPECT_NE(
      StudyJson(study).find("\"source\": {\"ellipsoids\": \"grains.csv\"},\n"),
      std::string::npos)
      << StudyJson(study);
  folder.Write("study.json", StudyJson(study));
  Study again;
  ASSERT_TRUE(ReadStudyFile(path, again).ok());
  EXPECT_EQ(StudyJson(again), StudyJson(study));
  EXPECT_EQ(again.sections[0].choices.kind, SourceChoices::Kind::kEllipsoids);
  folder.Write("study.json",
               R"({"sections": [{"name": "CT", "source": {"ellipsoids":
                 "g.csv", "layer": "a"}, "normal": [0, 0, 1],
                 "reference": [1, 0, 0]}]})");
  EXPECT_EQ(ReadStudyFile(path, again).message(),
            path +
                ": section \"CT\": source: unknown key \"layer\" (a table "
                "of ellipsoids has no options)");
}

}  // namespace
}  // namespace orvane
