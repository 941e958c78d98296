// SPDX-License-Identifier: MIT
// orvane-cli --plot rfphi as a user runs it: the theta-curves' labels in
// the locale, and the options it refuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/file_bytes.h"
#include "support/program_run.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

using orvane::testing_support::ProgramRun;
using orvane::testing_support::ReadWholeFile;
using orvane::testing_support::RunInFolder;
using orvane::testing_support::TempFolder;

const char* kSix = "3 2 30\n4 2 45\n5 1 -10\n2 1 20\n3 1 40\n2.5 1 35\n";

class RfPhiCli : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    return folder_.Write(name, text);
  }
  ProgramRun Exec(const std::string& args,
                  const std::string& locale = "LC_ALL=C") {
    return RunInFolder(ORVANE_CLI " " + args, dir_, locale);
  }

  TempFolder folder_{"rf_phi_cli"};
  const fs::path dir_ = folder_.path();
};

// The theta-curves' labels take the locale's decimal separator, as the
// ticks do; the option's list is always written with full stops.
TEST_F(RfPhiCli, CurveLabelsInTheLocale) {
  const std::string six = Write("six.txt", kSix);
  const fs::path svg = dir_ / "rf.svg";
  const std::string args =
      "--chart " + svg.string() + " --plot rfphi --theta-curves 1.25,2 " + six;
  ASSERT_EQ(Exec(args, "LC_ALL=de_DE.UTF-8").status, 0);
  EXPECT_NE(ReadWholeFile(svg).find(">Ri = 1,25<"), std::string::npos);
  ASSERT_EQ(Exec(args).status, 0);
  EXPECT_NE(ReadWholeFile(svg).find(">Ri = 1.25<"), std::string::npos);
}

TEST_F(RfPhiCli, OptionRefusals) {
  const std::string six = Write("six.txt", kSix);
  const std::string rf = (dir_ / "rf.png").string();
  struct Case {
    std::string args, message;
  } cases[] = {
      {"--chart " + rf + " --plot bogus", "--plot needs polar"},
      {"--chart " + rf + " --plot", "--plot needs polar"},
      {"--chart " + rf + " --plot rfphi --rf-scale ln", "log or linear"},
      {"--chart " + rf + " --plot rfphi --theta-curves 0.5,2",
       "\"0.5\" is out of range"},
      {"--chart " + rf + " --plot rfphi --theta-curves 2,x",
       "\"x\" is not a number"},
      {"--chart " + rf + " --rf-scale linear", "go with --plot rfphi"},
      {"--plot rfphi", "go with --chart"},
  };
  for (const Case& c : cases) {
    const ProgramRun r = Exec(c.args + " " + six);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << r.err;
    EXPECT_FALSE(fs::exists(rf)) << c.args;
  }
  const ProgramRun help = Exec("--help");
  EXPECT_NE(help.out.find("--plot polar|rfphi"), std::string::npos);
  EXPECT_NE(help.out.find("--theta-curves LIST"), std::string::npos);
}

}  // namespace
