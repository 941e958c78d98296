// SPDX-License-Identifier: MIT
// orvane-cli --fry: the strain from the markers' centres beside the
// hyperbolic vector mean, in the report, the JSON, the CSV and the Fry plot.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/centre_data.h"
#include "support/program_run.h"
#include "support/temp_folder.h"

namespace {

using orvane::testing_support::DiscTable;
using orvane::testing_support::HardCoreDiscs;
using orvane::testing_support::ProgramRun;
using orvane::testing_support::RunInFolder;
using orvane::testing_support::TempFolder;

class CentreCli : public ::testing::Test {
 protected:
  ProgramRun Run(const std::string& args) {
    return RunInFolder(ORVANE_CLI " " + args, folder_.path());
  }
  // The number after "key": in a JSON object; NaN where it is not a number.
  static double Figure(const std::string& json, const std::string& key) {
    const std::string tag = "\"" + key + "\":";
    const std::size_t at = json.find(tag);
    if (at == std::string::npos) return std::nan("");
    const char* begin = json.c_str() + at + tag.size();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    return end == begin ? std::nan("") : v;
  }
  TempFolder folder_{"centre_cli"};
};

TEST_F(CentreCli, StrainedCentresGiveTheStrainInEveryForm) {
  const std::string table =
      folder_.Write("discs.csv", DiscTable(HardCoreDiscs(1500, 2, 30)));

  const ProgramRun json = Run("--import --fry --json discs.csv");
  ASSERT_EQ(json.status, 0) << json.err;
  const std::size_t at = json.out.find("\"centre_strain\":{");
  ASSERT_NE(at, std::string::npos) << json.out.substr(0, 200);
  const std::string centres = json.out.substr(at);
  EXPECT_NE(centres.find("\"method\":\"normalised\""), std::string::npos);
  EXPECT_NEAR(Figure(centres, "R"), 2, 0.1);
  EXPECT_NEAR(Figure(centres, "phi"), 30, 3);
  EXPECT_LE(Figure(centres, "R_min"), 2);
  EXPECT_GE(Figure(centres, "R_max"), 2);
  EXPECT_LE(Figure(centres, "phi_min"), 30);
  EXPECT_GE(Figure(centres, "phi_max"), 30);
  EXPECT_GT(Figure(centres, "pairs"), 1500);
  EXPECT_EQ(Figure(centres, "resamples"), 200);
  EXPECT_EQ(Figure(centres, "seed"), 1);

  const ProgramRun report =
      Run("--import --fry --fry-method delaunay --methods discs.csv");
  ASSERT_EQ(report.status, 0) << report.err;
  EXPECT_NE(report.out.find("*** Centre-Based Strain ***"), std::string::npos);
  EXPECT_NE(report.out.find("Delaunay nearest neighbours (Mulchrone 2003)"),
            std::string::npos);
  EXPECT_NE(report.out.find("Centres: Delaunay"), std::string::npos)
      << "the table of estimators gains the row";

  const ProgramRun csv = Run("--import --fry --csv discs.csv");
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_NE(csv.out.find(",message,centre_method,centre_R,centre_phi,"),
            std::string::npos);
  EXPECT_NE(csv.out.find(",normalised,"), std::string::npos);
  EXPECT_NE(csv.out.find(",limits,"), std::string::npos);

  // The same seed gives the same limits; the plot is drawn beside.
  const ProgramRun again =
      Run("--import --fry --json --chart fry.svg "
          "--plot fry --figure-size 85x85 discs.csv");
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out.substr(again.out.find("\"centre_strain\"")),
            json.out.substr(at));
  EXPECT_GT(std::filesystem::file_size(folder_.path() / "fry.svg"), 1000u);
}

TEST_F(CentreCli, DataWithoutCentresOrTooFewAreRefusedWithAMessage) {
  folder_.Write("axes.csv",
                "major,minor,angle\n3,1,10\n2,1,20\n4,2,30\n5,2,40\n3,2,50\n"
                "4,1,60\n");
  const ProgramRun none = Run("--import --chart fry.png --plot fry axes.csv");
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.out.find("*** Optimal Strain ***"), std::string::npos)
      << "the shape-based report still stands";
  EXPECT_NE(none.err.find("columns x and y"), std::string::npos) << none.err;
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "fry.png"))
      << "no empty Fry plot is drawn";

  folder_.Write("few.csv", DiscTable(HardCoreDiscs(8, 2, 30)));
  const ProgramRun few = Run("--import --fry --json few.csv");
  EXPECT_EQ(few.status, 1);
  EXPECT_NE(few.out.find("\"outcome\":\"refused\""), std::string::npos);
  EXPECT_NE(few.out.find("\"R\":null"), std::string::npos);
  EXPECT_EQ(few.out.find("nan"), std::string::npos);
  EXPECT_NE(few.err.find("10"), std::string::npos) << few.err;

  const ProgramRun lone = Run("--import --fry-method fry few.csv");
  EXPECT_EQ(lone.status, 2);
  EXPECT_NE(lone.err.find("--fry-method goes with --fry"), std::string::npos)
      << lone.err;
  const ProgramRun bad = Run("--import --fry --fry-method best few.csv");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("fry, normalised, enhanced or delaunay"),
            std::string::npos);
}

}  // namespace
