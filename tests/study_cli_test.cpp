// SPDX-License-Identifier: MIT
// orvane-cli --study: the sections' reports and the strain ellipsoid of a
// study, in the report, the JSON, the CSV and the plots, and the messages
// of a study that cannot be fitted or read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "support/study_data.h"
#include "support/temp_folder.h"

namespace {

using orvane::testing_support::KnownEllipsoid;
using orvane::testing_support::ProgramRun;
using orvane::testing_support::RunInFolder;
using orvane::testing_support::TempFolder;
using orvane::testing_support::TestPlanes;
using orvane::testing_support::WriteExactStudy;

class StudyCli : public ::testing::Test {
 protected:
  ProgramRun Run(const std::string& args) {
    return RunInFolder(ORVANE_CLI " " + args, folder_.path());
  }
  // The number after the first "key": at or after `from` in a JSON text;
  // NaN where there is none.
  static double Figure(const std::string& json, const std::string& key,
                       std::size_t from = 0) {
    const std::string tag = "\"" + key + "\":";
    const std::size_t at = json.find(tag, from);
    if (at == std::string::npos) return std::nan("");
    const char* begin = json.c_str() + at + tag.size();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    return end == begin ? std::nan("") : v;
  }
  TempFolder folder_{"study_cli"};
};

TEST_F(StudyCli, ExactSectionsGiveTheEllipsoidInEveryForm) {
  // Five sections: three as vectors, two by strike and dip.
  const KnownEllipsoid known;
  WriteExactStudy(folder_.path(), TestPlanes(), known);

  const ProgramRun json = Run("--study --json study.json");
  ASSERT_EQ(json.status, 0) << json.err;
  const std::size_t at = json.out.find("\"ellipsoid\":{");
  ASSERT_NE(at, std::string::npos) << json.out.substr(0, 300);
  EXPECT_NE(json.out.find("\"name\":\"S5\""), std::string::npos);
  const double x = Figure(json.out, "X", at), y = Figure(json.out, "Y", at),
               z = Figure(json.out, "Z", at);
  EXPECT_NEAR(x / y, known.x / known.y, 1e-4 * known.x / known.y);
  EXPECT_NEAR(y / z, known.y / known.z, 1e-4 * known.y / known.z);
  EXPECT_NEAR(x * y * z, 1, 1e-9);
  EXPECT_NEAR(Figure(json.out, "trend", at), known.x_trend, 0.1);
  EXPECT_NEAR(Figure(json.out, "plunge", at), known.x_plunge, 0.1);
  EXPECT_LT(Figure(json.out, "incompatibility", at), 1e-5);
  const double k = (known.x / known.y - 1) / (known.y / known.z - 1);
  EXPECT_NEAR(Figure(json.out, "k", at), k, 1e-3);

  const ProgramRun report = Run("--study study.json");
  ASSERT_EQ(report.status, 0) << report.err;
  EXPECT_NE(report.out.find("##### Section 1 of 5: S1"), std::string::npos);
  EXPECT_NE(report.out.find("*** Strain Ellipsoid ***"), std::string::npos);
  EXPECT_LT(report.out.find("##### Section 5 of 5: S5"),
            report.out.find("*** Strain Ellipsoid ***"));

  const ProgramRun csv = Run("--study --csv study.json study.json");
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_EQ(csv.out.rfind("study,name,sections,X,Y,Z,", 0), 0u);
  EXPECT_NE(csv.out.find("study.json,known,5,"), std::string::npos);
  EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 3);

  for (const char* plot : {"flinn", "hsu", "axes"}) {
    const std::string picture = std::string(plot) + ".png";
    const ProgramRun drawn =
        Run("--study --chart " + picture + " --plot " + plot + " study.json");
    ASSERT_EQ(drawn.status, 0) << plot << ": " << drawn.err;
    EXPECT_GT(std::filesystem::file_size(folder_.path() / picture), 1000u)
        << plot;
  }
  const ProgramRun figure =
      Run("--study --chart axes.pdf --plot axes --figure-size 85x85 "
          "--caption study.json");
  EXPECT_EQ(figure.status, 0) << figure.err;
}

TEST_F(StudyCli, StudiesThatCannotBeFittedOrReadSaySo) {
  // The three vertical planes all contain the vertical line.
  std::vector<orvane::testing_support::TestPlane> planes = TestPlanes();
  planes[2] = planes[0];
  planes[2].orientation.normal = {1, 1, 0};
  planes[2].json = "\"normal\": [1, 1, 0], \"reference\": [0, 0, 1]";
  planes[2].orientation.reference = {0, 0, 1};
  planes.resize(3);
  WriteExactStudy(folder_.path(), planes);
  const ProgramRun line = Run("--study study.json");
  EXPECT_EQ(line.status, 1);
  EXPECT_NE(line.err.find("contain one line"), std::string::npos) << line.err;
  EXPECT_NE(line.out.find("##### Section 3 of 3: S3"), std::string::npos)
      << "the sections are still reported";
  const ProgramRun line_csv = Run("--study --csv study.json");
  EXPECT_EQ(line_csv.status, 1);
  EXPECT_NE(line_csv.out.find("contain one line"), std::string::npos);

  folder_.Write("bad.json", "{\"name\": \"x\",\n \"sections\": [}\n");
  const ProgramRun bad = Run("--study --json bad.json");
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("\"error\":"), std::string::npos) << bad.out;
  EXPECT_NE(bad.out.find("line 2"), std::string::npos) << bad.out;

  std::filesystem::remove(folder_.path() / "s2.txt");
  const ProgramRun missing = Run("--study study.json");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("\"S2\""), std::string::npos) << missing.err;

  EXPECT_EQ(Run("--chart f.png --plot flinn study.json").status, 2);
  EXPECT_EQ(Run("--study --import study.json").status, 2);
  EXPECT_EQ(Run("--study --chart f.png --plot rfphi study.json").status, 2);
}

}  // namespace
