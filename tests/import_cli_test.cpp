// SPDX-License-Identifier: MIT
// orvane-cli --import as a user runs it on the tables other programs write.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "support/program_run.h"
#include "support/temp_folder.h"

namespace {

using orvane::testing_support::ProgramRun;
using orvane::testing_support::RunInFolder;
using orvane::testing_support::TempFolder;

class ImportCli : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    return folder_.Write(name, text);
  }
  ProgramRun Run(const std::string& args) {
    return RunInFolder(ORVANE_CLI " " + args, folder_.path());
  }
  // The output with the line that names the file taken out.
  static std::string WithoutFileLine(std::string out) {
    const std::size_t at = out.find("  file = ");
    if (at != std::string::npos) out.erase(at, out.find('\n', at) - at + 1);
    return out;
  }
  // The JSON object with the file's name taken out of its "file" member
  // and of the report's line that names it.
  static std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at + part.size())) {
      ++n;
    }
    return n;
  }
  static void Erase(std::string& text, const std::string& part) {
    for (std::size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at)) {
      text.erase(at, part.size());
    }
  }
  static std::string WithoutFileName(std::string json) {
    for (const std::string key : {"\"file\":\"", "  file = "}) {
      const std::size_t at = json.find(key);
      if (at == std::string::npos) continue;
      json.erase(at + key.size(),
                 json.find('"', at + key.size()) - at - key.size());
    }
    return json;
  }

  TempFolder folder_{"import_cli"};
};

TEST_F(ImportCli, TablesGiveTheFiguresOfTheHandConvertedFile) {
  const std::string native =
      Write("grains.txt",
            "3.5 1.25 120.5\n4 2.125 95\n2.875 1.5 110.25\n5.5 2 101\n"
            "3.125 1.75 99.5\n4.25 2.25 130\n");
  const ProgramRun expected = Run("--json '" + native + "'");
  ASSERT_EQ(expected.status, 0) << expected.err;

  // Found from the table: semicolons, decimal commas, the header's names.
  const std::string detected =
      Write("grains.csv",
            "Major;Minor;Angle\r\n3,5;1,25;120,5\r\n4;2,125;95\r\n2,875;1,5;"
            "110,25\r\n"
            "5,5;2;101\r\n3,125;1,75;99,5\r\n4,25;2,25;130\r\n");
  const ProgramRun a = Run("--import --json '" + detected + "'");
  EXPECT_EQ(a.status, 0) << a.err;
  EXPECT_EQ(WithoutFileName(a.out), WithoutFileName(expected.out));

  // Given on the command line: no header, an id column, azimuths.
  const std::string given =
      Write("azimuths.dat",
            "1 3.5 1.25 -30.5\n2 4 2.125 -5\n3 2.875 1.5 -20.25\n4 5.5 2 -11\n"
            "5 3.125 1.75 -9.5\n6 4.25 2.25 -40\n");
  const ProgramRun b =
      Run("--import --no-header --delimiter space --columns -,major,minor,angle"
          " --angle cw-north --json '" +
          given + "'");
  EXPECT_EQ(b.status, 0) << b.err;
  EXPECT_EQ(WithoutFileName(b.out), WithoutFileName(expected.out));

  // The report names the table by its full path.
  const ProgramRun report = Run("--import '" + detected + "'");
  EXPECT_NE(report.out.find("  file = " + detected + "\n"), std::string::npos);
  EXPECT_EQ(WithoutFileLine(report.out),
            WithoutFileLine(Run("'" + native + "'").out));
}

// ImageJ's grey values Min and Max come before the fitted ellipse's Major
// and Minor, which are the axes; where Min and Max are all there is they
// are taken, and standard error says so; a header that names no column
// says how to name them.
TEST_F(ImportCli, ColumnsNamedAsAxesWinAndGuessesAreSaid) {
  const std::string rows[] = {"31.2,14.1,35.7", "28.5,12.25,41.1",
                              "24,13.9,28",     "36.6,15,47.5",
                              "22.8,11.4,33",   "26.1,13,178.25"};
  std::string imagej = " ,Area,Mean,Min,Max,X,Y,Major,Minor,Angle\n";
  std::string guessed = "Max,Min,Angle\n";
  std::string native;
  for (const std::string& row : rows) {
    imagej += "1,412,120,10,250,1000000.25,-7," + row + "\n";
    guessed += row + "\n";
    std::string line = row;
    std::replace(line.begin(), line.end(), ',', ' ');
    native += line + "\n";
  }
  Write("imagej.csv", imagej);
  Write("native.txt", native);
  Write("guessed.csv", guessed);
  const ProgramRun expected = Run("--json native.txt");
  ASSERT_EQ(expected.status, 0) << expected.err;
  const ProgramRun from_imagej = Run("--import --json imagej.csv");
  EXPECT_EQ(from_imagej.err, "");
  // Beside the same analysis, each datum carries ImageJ's centroid and
  // area, and the report's data block their ranges.
  std::string places = from_imagej.out;
  const std::string datum_places =
      ",\"centroid\":[1000000.25,-7],\"area\":412}";
  EXPECT_EQ(Count(places, datum_places), 6u);
  Erase(places, datum_places.substr(0, datum_places.size() - 1));
  Erase(places,
        "\"  x    = 1000000.25 .. 1000000.25\",\"  y    = -7 .. -7\",\"  "
        "area = 412 .. 412, total 2472\",");
  EXPECT_EQ(WithoutFileName(places), WithoutFileName(expected.out));
  const ProgramRun from_guess = Run("--import --json guessed.csv");
  EXPECT_EQ(from_guess.err,
            "guessed.csv: The columns Min and Max are taken as the minor and "
            "major axes: choose the columns if they hold anything else.\n");
  EXPECT_EQ(WithoutFileName(from_guess.out), WithoutFileName(expected.out));
  Write("unknown.csv", "foo,bar,baz\n3,2,30\n");
  EXPECT_EQ(Run("--import unknown.csv").err,
            "unknown.csv: No column of the header (foo, bar, baz) is known: "
            "choose the columns. Give the columns with --columns, for example "
            "--columns major,minor,angle or --columns -,-,a,b,phi.\n");
}

TEST_F(ImportCli, RefusalsNameTheLineAndColumn) {
  const std::string bad = Write("bad.csv", "a,b,phi\n3,2,30\n3,x,1\n");
  const std::string good = Write("good.csv", "R,phi\n2,30\n3,40\n");
  const ProgramRun r = Run("--import bad.csv good.csv");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "bad.csv: line 3, column b: not a number\n"
            "good.csv: Number of data < 5\n");
  EXPECT_NE(r.out.find("  N    = 2\n"), std::string::npos);
  const ProgramRun json = Run("--import --json bad.csv");
  EXPECT_EQ(json.out,
            "{\"file\":\"bad.csv\",\"error\":\"line 3, column b: not a "
            "number\"}\n");
  const ProgramRun unknown =
      Run("--import '" + Write("u.csv", "x,y,z\n1,2,3\n") + "'");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("choose the columns"), std::string::npos);
  // Without --import a table is a data file, refused as it always was.
  EXPECT_EQ(Run("bad.csv").err, "bad.csv: Read error --- #1\n");
}

TEST_F(ImportCli, FoldersAndFailingMediaAreNamedAsSuch) {
  ASSERT_TRUE(std::filesystem::create_directory(folder_.path() / "folder"));
  const ProgramRun r = Run("--import folder /proc/self/mem");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "folder: Not a regular file\n"
            "/proc/self/mem: Cannot read the file: Input/output error\n");
  // A data file says the same.
  EXPECT_EQ(Run("folder /proc/self/mem").err, r.err);
}

TEST_F(ImportCli, UsageErrors) {
  Write("t.csv", "R,phi\n2,30\n");
  const char* const wrong[] = {
      "--import --angle north t.csv",
      "--import --columns major,size t.csv",
      "--import --delimiter pipe t.csv",
      "--columns R,angle t.csv",
      "--radians t.csv",
      "--import --columns",
  };
  for (const char* args : wrong) {
    const ProgramRun r = Run(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find("Try 'orvane-cli --help'."), std::string::npos)
        << args;
    EXPECT_TRUE(r.out.empty()) << args;
  }
  const ProgramRun help = Run("--help");
  EXPECT_NE(help.out.find("--import"), std::string::npos);
  EXPECT_NE(help.out.find("cw-north"), std::string::npos);
}

}  // namespace
