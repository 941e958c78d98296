// SPDX-License-Identifier: MIT
// orvane-cli --outlines as a user runs it: grain outlines analysed as their
// moment ellipses, the ellipses exported, the skipped outlines named, and
// the options refused where they do not fit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

#include "support/file_bytes.h"
#include "support/program_run.h"
#include "support/temp_folder.h"

namespace {

using orvane::testing_support::ProgramRun;
using orvane::testing_support::ReadWholeFile;
using orvane::testing_support::RunInFolder;
using orvane::testing_support::TempFolder;

// Six elliptical grains of full axes 6 and 3 at 10, 20, ... 60 degrees,
// as GeoJSON polygons of 720 vertices, and a line that is no grain.
std::string Grains() {
  std::string json = R"({"type": "FeatureCollection", "features": [)";
  for (int g = 1; g <= 6; ++g) {
    const double t = g * 10 * std::numbers::pi / 180;
    json += R"({"type": "Feature", "properties": {}, "geometry": )"
            R"({"type": "Polygon", "coordinates": [[)";
    for (int k = 0; k <= 720; ++k) {
      const double s = 2 * std::numbers::pi * (k % 720) / 720;
      const double x = 3 * std::cos(s), y = 1.5 * std::sin(s);
      json += (k > 0 ? "," : "") + std::string("[") +
              std::to_string(500 + 20 * g + x * std::cos(t) - y * std::sin(t)) +
              "," + std::to_string(300 + x * std::sin(t) + y * std::cos(t)) +
              "]";
    }
    json += "]]}},";
  }
  json += R"({"type": "Feature", "properties": {}, "geometry": )"
          R"({"type": "LineString", "coordinates": [[0,0],[5,5]]}}]})";
  return json;
}

class OutlineCli : public ::testing::Test {
 protected:
  ProgramRun Run(const std::string& args) {
    return RunInFolder(ORVANE_CLI " " + args, folder_.path());
  }
  TempFolder folder_{"outline_cli"};
};

TEST_F(OutlineCli, GrainsAreAnalysedAsTheirMomentEllipses) {
  folder_.Write("grains.geojson", Grains());
  const ProgramRun r =
      Run("--outlines --export-ellipses e.csv --json grains.geojson");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"ndat\":6"), std::string::npos);
  // Said among the JSON's warnings.
  EXPECT_NE(r.out.find("1 outline was skipped: feature 6: a line."),
            std::string::npos);
  // Every grain is the ellipse it was drawn as: R = 2 at its angle.
  const std::string table = ReadWholeFile(folder_.path() / "e.csv");
  EXPECT_EQ(table.substr(0, table.find('\n')), "id,x,y,area,major,minor,angle");
  std::size_t at = table.find('\n') + 1;
  for (int g = 1; g <= 6; ++g) {
    const std::string row = table.substr(at, table.find('\n', at) - at);
    at = table.find('\n', at) + 1;
    double v[6];
    ASSERT_EQ(std::sscanf(row.c_str(), "feature %*d,%lf,%lf,%lf,%lf,%lf,%lf",
                          &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]),
              6)
        << row;
    EXPECT_NEAR(v[0], 500 + 20 * g, 1e-5) << row;
    EXPECT_NEAR(v[3] / v[4], 2, 1e-4) << row;
    EXPECT_NEAR(v[5], 10 * g, 1e-3) << row;
  }
  // The plain report and the summary row of the same grains.
  const ProgramRun csv = Run("--outlines --csv grains.geojson");
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_NE(csv.out.find("\ngrains.geojson,6,"), std::string::npos) << csv.out;
  EXPECT_NE(csv.out.find(",limits,1 outline was skipped: feature 6: a line."),
            std::string::npos)
      << csv.out;
}

// Six grains labelled 1 to 6 in a binary PGM (a format GDAL reads): full
// axes 44 and 22 pixels at 10, 20, ... 60 degrees, y upwards.
std::string LabelImage() {
  constexpr int kWidth = 390, kHeight = 70;
  std::string pgm = "P5\n390 70\n255\n";
  for (int r = 0; r < kHeight; ++r) {
    for (int c = 0; c < kWidth; ++c) {
      char value = 0;
      for (int g = 1; g <= 6; ++g) {
        const double t = g * 10 * std::numbers::pi / 180;
        const double dx = c + 0.5 - (g * 60 - 20), dy = -(r + 0.5) + 35;
        const double u = (dx * std::cos(t) + dy * std::sin(t)) / 22;
        const double v = (-dx * std::sin(t) + dy * std::cos(t)) / 11;
        if (u * u + v * v <= 1) value = static_cast<char>(g);
      }
      pgm += value;
    }
  }
  return pgm;
}

TEST_F(OutlineCli, LabelImagesGiveTheirGrains) {
  folder_.Write("grains.pgm", LabelImage());
  const ProgramRun r =
      Run("--label-image --pixel-size 0.1 --export-ellipses e.csv grains.pgm");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("N    = 6"), std::string::npos) << r.out;
  const std::string table = ReadWholeFile(folder_.path() / "e.csv");
  std::size_t at = table.find('\n') + 1;
  for (int g = 1; g <= 6; ++g) {
    const std::string row = table.substr(at, table.find('\n', at) - at);
    at = table.find('\n', at) + 1;
    double v[6];
    ASSERT_EQ(std::sscanf(row.c_str(), "label %*d,%lf,%lf,%lf,%lf,%lf,%lf",
                          &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]),
              6)
        << row;
    EXPECT_NEAR(v[0], (g * 60 - 20) * 0.1, 0.05) << row;
    EXPECT_NEAR(v[3] / v[4], 2, 0.04) << row;
    EXPECT_NEAR(v[5], 10 * g, 1.0) << row;
  }
  const ProgramRun small = Run("--label-image --min-pixels 2000 grains.pgm");
  EXPECT_EQ(small.status, 1);
  EXPECT_NE(small.err.find("The image holds no grain. 6 outlines were "
                           "skipped: label 1: 7"),
            std::string::npos)
      << small.err;
}

TEST_F(OutlineCli, RefusalsSayWhatIsWrong) {
  folder_.Write("grains.geojson", Grains());
  const struct {
    std::string args, message;
  } cases[] = {
      {"--layer x grains.geojson", "--layer goes with --outlines"},
      {"--export-ellipses e.csv grains.geojson",
       "--export-ellipses goes with --outlines or --label-image"},
      {"--label-image --layer x grains.geojson",
       "--layer goes with --outlines"},
      {"--pixel-size 2 grains.geojson",
       "--pixel-size and --min-pixels go with --label-image"},
      {"--label-image --min-pixels 0 grains.geojson",
       "--min-pixels needs a whole number"},
      {"--label-image --pixel-size -1 grains.geojson",
       "--pixel-size needs the side of a pixel"},
      {"--label-image --outlines grains.geojson",
       "--outlines and --label-image exclude each other"},
      {"--outlines --import grains.geojson",
       "--import and --outlines exclude each other"},
      {"--outlines --export-ellipses e.csv grains.geojson grains.geojson",
       "--export-ellipses writes the ellipses of one file"},
  };
  for (const auto& c : cases) {
    const ProgramRun r = Run(c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << r.err;
  }
  const ProgramRun missing = Run("--outlines none.gpkg");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "none.gpkg: File not exits.\n");
  const ProgramRun layer = Run("--outlines --layer rocks grains.geojson");
  EXPECT_EQ(layer.status, 1);
  EXPECT_NE(layer.err.find("The file has no layer rocks (it has grains)."),
            std::string::npos)
      << layer.err;
  const ProgramRun help = Run("--help");
  EXPECT_NE(help.out.find("--outlines"), std::string::npos);
  EXPECT_NE(help.out.find("--export-ellipses OUT.csv"), std::string::npos);
}

}  // namespace
