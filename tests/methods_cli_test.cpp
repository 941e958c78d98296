// SPDX-License-Identifier: MIT
// orvane-cli --methods as a user runs it: the report as without the option,
// then the table of estimators; with --json a "methods" object.
#include <gtest/gtest.h>

#include <string>

#include "support/program_run.h"
#include "support/temp_folder.h"

namespace {

using orvane::testing_support::ProgramRun;
using orvane::testing_support::RunProgram;
using orvane::testing_support::TempFolder;

class MethodsCli : public ::testing::Test {
 protected:
  ProgramRun Run(const std::string& args,
                 const std::string& locale = "LC_ALL=C") {
    return RunProgram("env " + locale + " " + ORVANE_CLI + " " + args,
                      folder_.path());
  }
  std::string Write(const std::string& name, const std::string& text) {
    return "'" + folder_.Write(name, text) + "'";
  }
  TempFolder folder_{"methods_cli"};
};

const char* kSample = "'examples/sampledata.txt'";

TEST_F(MethodsCli, ReportThenTable) {
  const ProgramRun plain = Run(kSample);
  const ProgramRun with = Run(std::string("--methods ") + kSample);
  ASSERT_EQ(plain.status, 0) << plain.err;
  ASSERT_EQ(with.status, 0) << with.err;
  ASSERT_EQ(with.out.compare(0, plain.out.size(), plain.out), 0);
  const std::string table = with.out.substr(plain.out.size());
  EXPECT_EQ(table.rfind("\n*** Other Estimators ***\n  Method ", 0), 0u)
      << table;
  for (const char* row :
       {"Hyperbolic vector mean, R_s    1.628 ", "Harmonic mean of Rf",
        "Axial vector mean of phi", "Fluctuation F of phi", "Ramsay, R_s",
        "Ramsay, R_i", "Chi-square of theta",
        "Degrees of freedom             17",
        "95% critical value             27.587", "Uniformity of theta"}) {
    EXPECT_NE(table.find(row), std::string::npos) << row << "\n" << table;
  }
  // The locale's decimal separator, as in the report.
  const ProgramRun comma =
      Run(std::string("--methods ") + kSample, "LC_ALL=de_DE.UTF-8");
  ASSERT_EQ(comma.status, 0) << comma.err;
  EXPECT_NE(comma.out.find("95% critical value             27,587"),
            std::string::npos)
      << comma.out;
}

TEST_F(MethodsCli, JsonGetsAMethodsObjectOnlyWhenAsked) {
  const ProgramRun plain = Run(std::string("--json ") + kSample);
  const ProgramRun with = Run(std::string("--methods --json ") + kSample);
  ASSERT_EQ(plain.status, 0) << plain.err;
  ASSERT_EQ(with.status, 0) << with.err;
  EXPECT_EQ(plain.out.find("\"methods\""), std::string::npos);
  // The same object, with "methods" last.
  const std::size_t end = plain.out.size() - 2;  // the closing brace
  ASSERT_EQ(plain.out.substr(end), "}\n");
  ASSERT_EQ(with.out.compare(0, end, plain.out, 0, end), 0);
  const std::string methods = with.out.substr(end);
  EXPECT_EQ(methods.rfind(",\"methods\":{\"R_s\":1.6281383,", 0), 0u)
      << methods;
  EXPECT_NE(methods.find("\"F_below_90\":true,"), std::string::npos);
  EXPECT_NE(methods.find("\"uniformity\":{\"classes\":18,\"df\":17,"),
            std::string::npos)
      << methods;
  EXPECT_NE(methods.find("\"critical\":27.587112,\"result\":\"uniform\","
                         "\"reason\":\"\"}}}\n"),
            std::string::npos)
      << methods;

  // Four data: no test of theta; the other figures are there.
  const std::string four =
      Write("four.txt", "3 2 30\n4 2 45\n5 1 -10\n2 1 0\n");
  const ProgramRun small = Run("--methods --json " + four);
  EXPECT_EQ(small.status, 0) << small.err;
  EXPECT_NE(small.out.find("\"Rf_max\":5,\"Rf_min\":1.5,"), std::string::npos)
      << small.out;
  EXPECT_NE(small.out.find("\"uniformity\":{\"classes\":null,\"df\":null,"
                           "\"chi2\":null,\"critical\":null,\"result\":\"not "
                           "tested\",\"reason\":\"fewer than 10 data"),
            std::string::npos)
      << small.out;
}

TEST_F(MethodsCli, NoDataNoTableAndNotWithCsv) {
  const std::string empty = Write("empty.txt", "");
  const ProgramRun none = Run("--methods " + empty);
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out.find("Other Estimators"), std::string::npos);
  const ProgramRun csv = Run(std::string("--methods --csv ") + kSample);
  EXPECT_EQ(csv.status, 2);
  EXPECT_NE(csv.err.find("--methods"), std::string::npos) << csv.err;
  const ProgramRun help = Run("--help");
  EXPECT_NE(help.out.find("  --methods\n"), std::string::npos);
}

}  // namespace
