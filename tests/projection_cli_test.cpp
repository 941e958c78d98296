// SPDX-License-Identifier: MIT
// orvane-cli --projection as a user runs it: the chart's picture in the
// Elliott projection, the report untouched, the refusals.
#include <gtest/gtest.h>

#include <string>

#include "support/file_bytes.h"
#include "support/program_run.h"
#include "support/temp_folder.h"

namespace {

using orvane::testing_support::ProgramRun;
using orvane::testing_support::ReadWholeFile;
using orvane::testing_support::RunInFolder;
using orvane::testing_support::TempFolder;

const char* kSix = "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n3 1 32\n";

class ProjectionCli : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    return folder_.Write(name, text);
  }
  ProgramRun Run(const std::string& args) {
    return RunInFolder(ORVANE_CLI " " + args, folder_.path());
  }
  std::string Picture(const std::string& name) {
    return ReadWholeFile(folder_.path() / name);
  }

  TempFolder folder_{"projection_cli"};
};

TEST_F(ProjectionCli, ElliottPictureBesideAnUnchangedDefault) {
  Write("six.txt", kSix);
  const ProgramRun plain = Run("--chart plain.png six.txt");
  ASSERT_EQ(plain.status, 0) << plain.err;
  const ProgramRun ea = Run("--chart ea.png --projection equal-area six.txt");
  ASSERT_EQ(ea.status, 0) << ea.err;
  const ProgramRun el = Run("--projection elliott --chart el.png six.txt");
  ASSERT_EQ(el.status, 0) << el.err;
  ASSERT_FALSE(Picture("plain.png").empty());
  EXPECT_EQ(Picture("ea.png"), Picture("plain.png"));
  EXPECT_NE(Picture("el.png"), Picture("plain.png"));
  // The analysis is the same whatever the picture's projection.
  EXPECT_EQ(el.out, plain.out);
  EXPECT_EQ(el.err, plain.err);
  const ProgramRun json =
      Run("--json --chart el.svg --projection elliott six.txt");
  EXPECT_EQ(json.out, Run("--json six.txt").out);
  EXPECT_NE(Picture("el.svg").find("Elliott projection"), std::string::npos);
}

TEST_F(ProjectionCli, SettingsFileAndOptionTogether) {
  Write("six.txt", kSix);
  Write("elliott.conf", "dpi = 96\nprojection = elliott\n");
  Write("plain.conf", "dpi = 96\n");
  ASSERT_EQ(Run("--chart a.png --figure-settings elliott.conf six.txt").status,
            0);
  ASSERT_EQ(Run("--chart b.png --figure-settings plain.conf --projection "
                "elliott six.txt")
                .status,
            0);
  ASSERT_EQ(Run("--chart c.png --figure-settings plain.conf six.txt").status,
            0);
  // The option wins over the file.
  ASSERT_EQ(Run("--chart d.png --figure-settings elliott.conf --projection "
                "equal-area six.txt")
                .status,
            0);
  EXPECT_EQ(Picture("a.png"), Picture("b.png"));
  EXPECT_NE(Picture("a.png"), Picture("c.png"));
  EXPECT_EQ(Picture("d.png"), Picture("c.png"));
}

TEST_F(ProjectionCli, Refusals) {
  Write("six.txt", kSix);
  const std::string usage = "Try 'orvane-cli --help'.\n";
  const std::pair<std::string, std::string> refused[] = {
      {"--chart x.png --projection Elliott six.txt",
       "orvane-cli: --projection needs equal-area or elliott\n"},
      {"--chart x.png six.txt --projection",
       "orvane-cli: --projection needs equal-area or elliott\n"},
      {"--projection elliott six.txt",
       "orvane-cli: --projection goes with --chart\n"},
  };
  for (const auto& [args, message] : refused) {
    const ProgramRun r = Run(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.err, message + usage) << args;
    EXPECT_TRUE(r.out.empty()) << args;
  }
  Write("bad.conf", "projection = stereographic\n");
  const ProgramRun bad =
      Run("--chart x.png --figure-settings bad.conf six.txt");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("line 1: projection needs equal-area or elliott"),
            std::string::npos)
      << bad.err;
  EXPECT_TRUE(Picture("x.png").empty());
  // The help names the option and its values.
  const ProgramRun help = Run("--help");
  EXPECT_NE(help.out.find("--projection equal-area|elliott"),
            std::string::npos);
  EXPECT_NE(help.out.find("projection = equal-area|elliott"),
            std::string::npos);
}

}  // namespace
