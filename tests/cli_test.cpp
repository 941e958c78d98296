// SPDX-License-Identifier: MIT
// The command-line tool as a user runs it: exit status, standard output and
// standard error, plain and JSON.
#include <gtest/gtest.h>
#include <locale.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "support/file_bytes.h"
#include "support/program_run.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

using RunResult = orvane::testing_support::ProgramRun;
using orvane::testing_support::ReadWholeFile;
using orvane::testing_support::RunProgram;
using orvane::testing_support::TempFolder;

class Cli : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    return folder_.Write(name, text);
  }

  // Runs the tool with `args` (already quoted) under `env`, its standard
  // output into `out` (a file of the test's folder unless given).
  RunResult Exec(const std::string& args, const std::string& env = "LC_ALL=C",
                 const std::string& out = {}) {
    return RunProgram("env " + env + " " + ORVANE_CLI + " " + args, dir_, out);
  }

  // The environment that runs the tool in the test's folder, so that
  // relative names are given.
  std::string InFolder() const {
    return "LC_ALL=C sh -c 'cd " + dir_.string() + " && exec \"$0\" \"$@\"'";
  }

  TempFolder folder_{"cli"};
  const fs::path dir_ = folder_.path();
};

// `n` data, one a line.
std::string ManyData(int n) {
  std::string text;
  for (int i = 0; i < n; ++i) {
    text += std::to_string(1 + i % 7) + ".5 1 " + std::to_string(i % 180 - 90) +
            "\n";
  }
  return text;
}

// Runs `command` in a shell and returns the largest resident size, in KiB,
// that it or any process it ran reached.
long PeakKilobytes(const std::string& command) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execl("/bin/sh", "sh", "-c", command.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid ||
      !WIFEXITED(status) || WEXITSTATUS(status) > 1) {
    return -1;
  }
  return usage.ru_maxrss;
}

const char* kSix = "3 2 30\n4 2 45\n5 1 -10\n2 1 20\n3 1 40\n2.5 1 35\n";

std::size_t Occurrences(const std::string& s, const std::string& what) {
  std::size_t n = 0;
  for (auto p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) {
    ++n;
  }
  return n;
}

TEST_F(Cli, UsageErrors) {
  EXPECT_EQ(Exec("").status, 2);
  const RunResult bad = Exec("--bogus x.txt");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("--bogus"), std::string::npos);
  const RunResult help = Exec("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: orvane-cli [--json] FILE..."),
            std::string::npos);
}

TEST_F(Cli, PlainReport) {
  const std::string six = Write("six.txt", kSix);
  const RunResult r = Exec(six);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.rfind("*** Data ***\n  file = " + six +
                            "\n  N    = 6\n\n"
                            "*** Optimal Strain ***\n",
                        0),
            0u);
  EXPECT_NE(r.out.find("\n** 95% Confidence Limits **\n  R_s = "),
            std::string::npos);
  EXPECT_EQ(Occurrences(r.out, "\n"), 18u);
}

TEST_F(Cli, RefusedFilesDoNotStopTheOthers) {
  const std::string good = Write("good.txt", kSix);
  const std::string bad = Write("bad.txt", "3 2 30\n2 3 0\n");
  const std::string few = Write("few.txt", "3 2 30\n4 2 45\n");
  const RunResult r =
      Exec(bad + " " + (dir_ / "absent.txt").string() + " " + few + " " + good);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, bad + ": Major axis is shorter than minor one.  #2\n" +
                       (dir_ / "absent.txt").string() + ": File not exits.\n" +
                       few + ": Number of data < 5\n");
  EXPECT_EQ(Occurrences(r.out, "*** Data ***"), 2u);
  // Fewer than five data is not a failure.
  const RunResult f = Exec(few);
  EXPECT_EQ(f.status, 0);
  EXPECT_EQ(f.err, few + ": Number of data < 5\n");
  EXPECT_EQ(f.out.find("Confidence"), std::string::npos);
}

TEST_F(Cli, EmptyFileHasNoData) {
  const std::string empty = Write("empty.txt", "\n \n");
  const RunResult r = Exec(empty);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, empty + ": No data.\n");
  EXPECT_EQ(r.out, "*** Data ***\n  file = " + empty + "\n  N    = 0\n");
  const RunResult j = Exec("--json " + empty);
  EXPECT_EQ(j.status, 1);
  EXPECT_EQ(j.out, "{\"file\":\"" + empty + "\",\"error\":\"No data.\"}\n");
}

TEST_F(Cli, LargeRatiosCarryAnAccuracyWarning) {
  const std::string large =
      Write("large.txt", "900 1 30\n800 1 31\n950 1 29\n700 1 30\n990 1 30\n");
  const RunResult r = Exec(large);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, large +
                       ": Axial ratios up to 990.00: above 100 the "
                       "single-precision storage of the analysis can put R_s "
                       "and its limits off by up to 2.5 %.\n");
  const RunResult j = Exec("--json " + large);
  EXPECT_EQ(j.err, "");
  EXPECT_NE(j.out.find(",\"warnings\":[\"Axial ratios up to 990.00: "),
            std::string::npos);
  EXPECT_EQ(j.out.substr(j.out.size() - 4), "\"]}\n");  // the last key
  // Usual ratios: no warning, and no "warnings" key at all.
  const RunResult usual = Exec("--json " + Write("six.txt", kSix));
  EXPECT_EQ(usual.out.find("warnings"), std::string::npos);
}

// A file of two numbers a line is read as the format says, paired across
// lines; the warning names the first such datum on standard error and in
// the JSON, as the accuracy warning is given.
TEST_F(Cli, DataAcrossLinesCarryAWarning) {
  // Read as (5, 3, 40), (6, 2, 30), ... : the second number of every even
  // line is ignored.
  const std::string pairs = Write(
      "pairs.txt", "5 3\n40 2\n6 2\n30 1\n4 3\n20 1\n7 2\n45 4\n3 2\n10 1\n");
  const std::string warning =
      "Datum 1 takes its numbers from more than one line: a data file reads "
      "major, minor and phi across line ends, so a line of fewer than three "
      "numbers is paired with the next. A table opens with File \u25B8 Import "
      "Table... (orvane-cli --import).";
  const RunResult r = Exec(pairs);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, pairs + ": " + warning + "\n");
  const RunResult j = Exec("--json " + pairs);
  EXPECT_NE(j.out.find(",\"warnings\":[\"" + warning + "\"]}"),
            std::string::npos);
}

TEST_F(Cli, JsonHasEveryKey) {
  const std::string six = Write("six.txt", kSix);
  const std::string bad = Write("bad.txt", "3 2 x\n");
  const RunResult r = Exec("--json " + six + " " + bad);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "");
  const auto nl = r.out.find('\n');
  ASSERT_NE(nl, std::string::npos);
  const std::string line = r.out.substr(0, nl);
  EXPECT_EQ(r.out.substr(nl + 1),
            "{\"file\":\"" + bad + "\",\"error\":\"Read error --- #1\"}\n");
  std::size_t at = 0;
  for (const char* key :
       {"{\"file\":", ",\"ndat\":6,",
        "\"data\":[{\"a\":3,\"b\":2,\"ph\":30,"
        "\"R\":1.5,\"rh\":",
        "\"x\":[", "],\"pre\":[{\"R\":", "\"strain\":{\"R\":", "\"Q_I2F\":[[",
        "\"Q_F2I\":[[", "\"bootstrap\":{\"solutions\":[{\"x\":[",
        "\"outcome\":\"limits\"", "\"kept\":[{\"rh\":",
        "\"report\":[\"*** Data ***\"", "\"status\":[\"N : 6\",\"  R_s = "}) {
    const auto p = line.find(key, at);
    ASSERT_NE(p, std::string::npos) << key;
    at = p;
  }
  EXPECT_EQ(Occurrences(line, "\"dist\":"), 200u + 190u);
  EXPECT_EQ(line.back(), '}');
  // Fewer than five: no bootstrap.
  const std::string few = Write("few.txt", "3 2 30\n");
  const RunResult f = Exec("--json " + few);
  EXPECT_EQ(f.status, 0);
  EXPECT_NE(f.out.find("\"bootstrap\":null,"), std::string::npos);
  EXPECT_NE(f.out.find("\"status\":[\"N : 1\",\"\"]}"), std::string::npos);
}

TEST_F(Cli, FileNamesAreEscapedInJson) {
  const std::string odd = Write("a \"quoted\"\\name.txt", "3 2 30\n");
  const RunResult r = Exec("--json '" + odd + "'");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("a \\\"quoted\\\"\\\\name.txt"), std::string::npos);
}

TEST_F(Cli, RelativePathsAreReportedInFull) {
  const std::string six = Write("six.txt", kSix);
  const RunResult r = Exec("-- six.txt", "LC_ALL=C sh -c 'cd " + dir_.string() +
                                             " && exec \"$0\" \"$@\"'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("  file = " + six + "\n"), std::string::npos);
}

TEST_F(Cli, DecimalSeparatorOfTheLocale) {
  const std::string six = Write("six.txt",
                                "3.5 2 30\n4 2 45.5\n5 1 -10\n"
                                "2 1 20\n3 1 40\n2.5 1 35\n");
  // The set-up installs the locale; without it this test must fail, not
  // pass unseen.
  const locale_t comma = newlocale(LC_ALL_MASK, "de_DE.UTF-8", locale_t{});
  ASSERT_NE(comma, locale_t{}) << "de_DE.UTF-8 is not installed: run "
                                  "scripts/setup.sh";
  freelocale(comma);
  const RunResult r = Exec(six, "LC_ALL=de_DE.UTF-8");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("  R_s    = "), std::string::npos);
  EXPECT_EQ(r.out.find("R_s    = 1."), std::string::npos);
  EXPECT_NE(r.out.find(","), std::string::npos);
  // The data file is read with full stops regardless.
  EXPECT_NE(r.out.find("N    = 6"), std::string::npos);
  const RunResult c = Exec(six);
  EXPECT_EQ(Occurrences(c.out, ","), 0u);
  std::string swapped = r.out;
  for (char& ch : swapped) {
    if (ch == ',') ch = '.';
  }
  EXPECT_EQ(swapped, c.out);
}

TEST_F(Cli, MessagesNameTheFileAsGiven) {
  Write("bad.txt", "3 2 x\n");
  Write("few.txt", "3 2 30\n");
  Write("empty.txt", "\n");
  fs::create_directory(dir_ / "folder");
  ASSERT_EQ(::mkfifo((dir_ / "pipe").c_str(), 0600), 0);
  const RunResult r =
      Exec("bad.txt ./absent.txt folder pipe few.txt empty.txt", InFolder());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "bad.txt: Read error --- #1\n"
            "./absent.txt: File not exits.\n"
            "folder: Not a regular file\n"
            "pipe: Not a regular file\n"
            "few.txt: Number of data < 5\n"
            "empty.txt: No data.\n");
  if (::geteuid() != 0) {  // root reads any file
    Write("locked.txt", kSix);
    fs::permissions(dir_ / "locked.txt", fs::perms::none);
    EXPECT_EQ(Exec("locked.txt", InFolder()).err,
              "locked.txt: Permission denied\n");
  }
  // JSON names the file in a key of its own; the messages are as they were.
  const RunResult j = Exec("--json bad.txt pipe empty.txt", InFolder());
  EXPECT_EQ(j.status, 1);
  EXPECT_EQ(j.err, "");
  EXPECT_EQ(j.out,
            "{\"file\":\"bad.txt\",\"error\":\"Read error --- #1\"}\n"
            "{\"file\":\"pipe\",\"error\":\"Not a regular file\"}\n"
            "{\"file\":\"empty.txt\",\"error\":\"No data.\"}\n");
}

// "here/link/../x.txt", with the link leading to elsewhere/inner, is
// elsewhere/x.txt to the system, and that is the file analysed and the file
// the report names, not here/x.txt, the name's lexical form; a path without
// such a link is named in its full form, links kept.
TEST_F(Cli, PathIsOpenedAsGiven) {
  fs::create_directories(dir_ / "elsewhere" / "inner");
  fs::create_directories(dir_ / "here");
  fs::create_directory_symlink(dir_ / "elsewhere" / "inner",
                               dir_ / "here" / "link");
  Write("elsewhere/x.txt", kSix);
  Write("here/x.txt", "3 2 30\n4 2 45\n");
  const std::string given = (dir_ / "here" / "link" / ".." / "x.txt").string();
  const RunResult r = Exec(given);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(
      r.out.rfind("*** Data ***\n  file = " +
                      fs::canonical(dir_ / "elsewhere" / "x.txt").string() +
                      "\n  N    = 6\n",
                  0),
      0u)
      << r.out.substr(0, 200);
  fs::create_symlink(dir_ / "elsewhere" / "x.txt", dir_ / "here" / "named.txt");
  EXPECT_NE(Exec((dir_ / "here" / "." / "named.txt").string())
                .out.find("  file = " + (dir_ / "here" / "named.txt").string() +
                          "\n"),
            std::string::npos);
  const RunResult j = Exec("--json " + given);
  EXPECT_EQ(j.out.rfind("{\"file\":\"" + given + "\",\"ndat\":6,", 0), 0u);

  fs::remove(dir_ / "elsewhere" / "x.txt");
  const RunResult gone = Exec(given);
  EXPECT_EQ(gone.status, 1);
  EXPECT_EQ(gone.err, given + ": File not exits.\n");
  EXPECT_EQ(gone.out, "");
}

TEST_F(Cli, WriteFailuresAreReported) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const std::string six = Write("six.txt", kSix);
  const std::string bad = Write("bad.txt", "3 2 x\n");
  // Its JSON line fills the output buffer many times over.
  const std::string big = Write("big.txt", ManyData(3000));
  const std::string full =
      "orvane-cli: standard output: No space left on device\n";
  // The first failure ends the run: the refused file is not reached.
  for (const std::string& args :
       {six, "--json " + six, "--json " + big, six + " " + bad,
        "--json " + six + " " + bad, std::string("--help")}) {
    const RunResult r = Exec(args, "LC_ALL=C", "/dev/full");
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_EQ(r.err, full) << args;
  }
  const RunResult closed = Exec(six, "LC_ALL=C", "&-");
  EXPECT_EQ(closed.status, 1);
  EXPECT_EQ(closed.err, "orvane-cli: standard output: Bad file descriptor\n");

  // A reader that stops early ends the tool by SIGPIPE, as any filter.
  const auto old_handler = std::signal(SIGPIPE, SIG_DFL);
  const std::string cmd = std::string("(") + ORVANE_CLI + " --json " + big +
                          " 2>" + (dir_ / "err").string() + "; echo $? >" +
                          (dir_ / "status").string() +
                          ") | head -c 1 >/dev/null";
  std::system(cmd.c_str());
  std::signal(SIGPIPE, old_handler);
  EXPECT_EQ(ReadWholeFile(dir_ / "status"),
            std::to_string(128 + SIGPIPE) + "\n");
  EXPECT_EQ(ReadWholeFile(dir_ / "err"), "");
}

TEST_F(Cli, SizeIsStrict) {
  const std::string six = Write("six.txt", kSix);
  const fs::path picture = dir_ / "chart.svg";
  const std::string refused =
      "orvane-cli: --size needs WIDTHxHEIGHT in whole pixels, each from 120 "
      "to 16384 (for example 640x362)\nTry 'orvane-cli --help'.\n";
  for (const char* size :
       {"+640x+362", "' 640x 362'", "'640x362 '", "640x362x", "0x0",
        "99999x362", "640x-362", "15x362", "119x362", "640x119", "16X16384",
        "640x16385", "99999999999x362", "640x", "x362", "6.4e2x362",
        "0x640x362", "640*362", "''"}) {
    const RunResult r =
        Exec("--chart " + picture.string() + " --size " + size + " " + six);
    EXPECT_EQ(r.status, 2) << size;
    EXPECT_EQ(r.err, refused) << size;
    EXPECT_FALSE(fs::exists(picture)) << size;
  }
  EXPECT_EQ(Exec("--chart " + picture.string() + " " + six + " --size").err,
            refused);
  for (const char* size : {"120X16384", "0640x0362", "120x120"}) {
    const RunResult r =
        Exec("--chart " + picture.string() + " --size " + size + " " + six);
    EXPECT_EQ(r.status, 0) << size << r.err;
    EXPECT_TRUE(fs::exists(picture)) << size;
  }
}

TEST_F(Cli, OptionRefusalsSayWhatIsAccepted) {
  const std::string six = Write("six.txt", kSix);
  EXPECT_EQ(Exec(six + " --chart").err,
            "orvane-cli: --chart needs a picture file: .emf, .bmp, .svg, .png "
            "or .pdf\nTry 'orvane-cli --help'.\n");
  EXPECT_EQ(
      Exec("--bogus " + six).err,
      "orvane-cli: unknown option --bogus (the options are --json, "
      "--csv, --methods, --fry, --fry-method, --study, --resamples, --seed, "
      "--chart, --size, "
      "--projection, --plot, --panels, --rf-scale, --theta-curves, "
      "--import, "
      "--columns, --angle, --radians, --degrees, --delimiter, --header, "
      "--no-header, --decimal-comma, --decimal-point, --outlines, "
      "--label-image, --pixel-size, --min-pixels, --layer, "
      "--export-ellipses, --help, "
      "--version, --figure-size, --dpi, --figure-style, --palette, "
      "--caption, --cloud, --legend, --font-size, --marker-size, "
      "--line-width, --contours, --contour-k, "
      "--contour-steps, "
      "--contour-data, --figure-settings and --)\nTry 'orvane-cli "
      "--help'.\n");
  EXPECT_EQ(Exec("--chart c.txt " + six).err,
            "orvane-cli: Invalid file extension. (.emf, .bmp, .svg, .png or "
            ".pdf)\nTry 'orvane-cli --help'.\n");
  const RunResult help = Exec("--help");
  EXPECT_NE(help.out.find("each from 120 to 16384"), std::string::npos);
}

// The width and height of a PNG file, from its header.
std::pair<int, int> PngSize(const std::string& bytes) {
  if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
  auto be32 = [&bytes](std::size_t at) {
    int v = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      v = v * 256 + static_cast<unsigned char>(bytes[at + i]);
    }
    return v;
  };
  return {be32(16), be32(20)};
}

TEST_F(Cli, FigureOptionsMakeAFigure) {
  const std::string six = Write("six.txt", kSix);
  const fs::path figure = dir_ / "figure.png";
  RunResult r = Exec("--chart " + figure.string() +
                     " --figure-size 85x60 --dpi 300 --figure-style --palette "
                     "colour-blind --caption --cloud outline " +
                     six);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(PngSize(ReadWholeFile(figure)), (std::pair<int, int>{1004, 709}));
  // The PNG records 300 dpi: 11811 pixels a metre in its pHYs chunk.
  EXPECT_NE(ReadWholeFile(figure).find(std::string("pHYs\0\0\x2e\x23", 8)),
            std::string::npos);
  // The settings file, and an option given as well wins over it.
  const std::string settings =
      Write("figure.txt", "# journal column\nfigure-size = 85x60\ndpi = 150\n");
  r = Exec("--chart " + figure.string() + " --figure-settings " + settings +
           " " + six);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(PngSize(ReadWholeFile(figure)), (std::pair<int, int>{502, 354}));
  r = Exec("--dpi 200 --chart " + figure.string() + " --figure-settings " +
           settings + " " + six);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(PngSize(ReadWholeFile(figure)), (std::pair<int, int>{669, 472}));
  // The same settings give the same file, bit for bit.
  const std::string first = ReadWholeFile(figure);
  EXPECT_EQ(Exec("--dpi 200 --chart " + figure.string() +
                 " --figure-settings " + settings + " " + six)
                .status,
            0);
  EXPECT_EQ(ReadWholeFile(figure), first);
  // A vector figure has the physical size: 85 mm wide.
  const fs::path svg = dir_ / "figure.svg";
  r = Exec("--chart " + svg.string() + " --figure-settings " + settings + " " +
           six);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(ReadWholeFile(svg).find("width=\"84.9"), std::string::npos);
  // The smallest figure keeps its plot; standard error says what went.
  r = Exec("--chart " + svg.string() + " --figure-size 32x32 " + six);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, svg.string() +
                       ": The legend is left out: beside the plot it would "
                       "leave the plot too small, inside it it would cover "
                       "more than a quarter of it.\n");
}

TEST_F(Cli, FigureOptionRefusals) {
  const std::string six = Write("six.txt", kSix);
  const std::string chart = "--chart " + (dir_ / "f.png").string() + " ";
  const std::string usage = "\nTry 'orvane-cli --help'.\n";
  const std::pair<std::string, std::string> cases[] = {
      {chart + "--dpi 50 " + six,
       "orvane-cli: --dpi needs a whole number from 96 to 1200"},
      {chart + six + " --dpi",
       "orvane-cli: --dpi needs a whole number from 96 to 1200"},
      {chart + "--figure-size 85 " + six,
       "orvane-cli: --figure-size needs WIDTHxHEIGHT in millimetres, each "
       "from 32 to 1000 (for example 85x60)"},
      {chart + "--palette grey " + six,
       "orvane-cli: --palette needs standard or colour-blind"},
      {chart + "--cloud hull " + six,
       "orvane-cli: --cloud needs below, above or outline"},
      {chart + "--legend left " + six,
       "orvane-cli: --legend needs outside, inside or none"},
      {chart + "--font-size 5 " + six,
       "orvane-cli: --font-size needs a size in points from 6 to 24"},
      {chart + "--line-width 0.5pt " + six,
       "orvane-cli: --line-width needs a size in points from 0.1 to 5"},
      {"--caption " + six, "orvane-cli: the figure options go with --chart"},
      {chart + "--size 640x362 --dpi 300 " + six,
       "orvane-cli: --size is the size of a plain picture; a figure's is "
       "--figure-size"},
      {chart + six + " --figure-settings",
       "orvane-cli: --figure-settings needs a settings file"},
  };
  for (const auto& [args, message] : cases) {
    const RunResult r = Exec(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.err, message + usage) << args;
  }
  const std::string bad = Write("bad.txt", "dpi = 300\nlines = 2\n");
  const RunResult r = Exec(chart + "--figure-settings " + bad + " " + six);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "orvane-cli: " + bad +
                       ": line 2: unknown setting \"lines\" (the settings are "
                       "figure-size, dpi, figure-style, palette, caption, "
                       "cloud, legend, projection, font-size, marker-size and "
                       "line-width)" +
                       usage);
  EXPECT_FALSE(fs::exists(dir_ / "f.png"));
  // Too many pixels for a figure: refused when it is drawn, status 1.
  const RunResult big =
      Exec(chart + "--figure-size 1000x100 --dpi 1200 " + six);
  EXPECT_EQ(big.status, 1);
  EXPECT_NE(big.err.find("more than 16384 a side"), std::string::npos);
  // The help names every figure option and its limits.
  const std::string help = Exec("--help").out;
  for (const char* text :
       {"--figure-size WxH", "each from 32 to 1000", "--dpi N",
        "from 96 to 1200", "--figure-style", "--palette standard|colour-blind",
        "--caption", "--cloud below|above|outline", "--figure-settings FILE",
        "figure-size = WxH, dpi = N, figure-style = yes|no"}) {
    EXPECT_NE(help.find(text), std::string::npos) << text;
  }
}

TEST_F(Cli, DensityContoursUnderTheMarkers) {
  const std::string data = Write("many.txt", ManyData(300));
  const fs::path plain = dir_ / "plain.svg", contoured = dir_ / "contours.svg";
  const RunResult without = Exec("--chart " + plain.string() + " " + data);
  ASSERT_EQ(without.status, 0) << without.err;
  const RunResult with =
      Exec("--chart " + contoured.string() + " --contours " + data);
  ASSERT_EQ(with.status, 0) << with.err;
  // The report is the same; the picture gains the grey bands (vector paths)
  // and the note of k = 40 / 300^(1/3).
  EXPECT_EQ(with.out, without.out);
  const std::string svg = ReadWholeFile(contoured);
  EXPECT_GT(Occurrences(svg, "<path"),
            Occurrences(ReadWholeFile(plain), "<path"));
  EXPECT_NE(svg.find("fill=\"#f0f0f0\""), std::string::npos);
  EXPECT_NE(svg.find("Density contours, k = 5.98"), std::string::npos);
  // Parameters, and the pre-strain data.
  const fs::path png = dir_ / "c.png";
  const RunResult tuned = Exec(
      "--chart " + png.string() +
      " --contour-k 2.5 --contour-steps 4 --contour-data pre-strain " + data);
  EXPECT_EQ(tuned.status, 0) << tuned.err;
  EXPECT_TRUE(fs::is_regular_file(png));

  const std::string chart = "--chart " + png.string() + " ";
  const std::string usage = "\nTry 'orvane-cli --help'.\n";
  const std::pair<std::string, std::string> cases[] = {
      {"--contours " + data, "orvane-cli: the contour options go with --chart"},
      {chart + "--contour-k 0 " + data,
       "orvane-cli: --contour-k needs a number from 0.0001 to 1000"},
      {chart + "--contour-k 1e9 " + data,
       "orvane-cli: --contour-k needs a number from 0.0001 to 1000"},
      {chart + "--contour-k nan " + data,
       "orvane-cli: --contour-k needs a number from 0.0001 to 1000"},
      {chart + data + " --contour-k",
       "orvane-cli: --contour-k needs a number from 0.0001 to 1000"},
      {chart + "--contour-steps 1 " + data,
       "orvane-cli: --contour-steps needs a whole number from 2 to 20"},
      {chart + "--contour-steps 5x " + data,
       "orvane-cli: --contour-steps needs a whole number from 2 to 20"},
      {chart + "--contour-data all " + data,
       "orvane-cli: --contour-data needs measured or pre-strain"},
  };
  for (const auto& [args, message] : cases) {
    const RunResult r = Exec(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.err, message + usage) << args;
  }
  const std::string help = Exec("--help").out;
  for (const char* text : {"--contours", "--contour-k K", "--contour-steps N",
                           "--contour-data measured|pre-strain"}) {
    EXPECT_NE(help.find(text), std::string::npos) << text;
  }
}

// The JSON of a large file is written as it is produced: it takes no more
// memory than the plain report of the same file, whose data are held either
// way, and the writer's buffers of fixed size (a few MB, more under the
// sanitizers); a line built whole would add some 24 MB here.
TEST_F(Cli, JsonIsStreamed) {
#if defined(__SANITIZE_THREAD__)
  // The shadow memory of the writer's helper thread and its buffers is
  // several times their size: the release and address-sanitizer runs measure.
  GTEST_SKIP() << "ThreadSanitizer's shadow memory outweighs the buffers";
#endif
  constexpr int kData = 100000;
  const std::string file = Write("large.txt", ManyData(kData));
  const std::string run = std::string("exec env LC_ALL=C ") + ORVANE_CLI;
  const long plain = PeakKilobytes(run + " " + file + " >/dev/null");
  const fs::path out = dir_ / "large.jsonl";
  const long json =
      PeakKilobytes(run + " --json " + file + " >" + out.string());
  ASSERT_GT(plain, 0);
  ASSERT_GT(json, 0);
  EXPECT_LT(json, plain + 12288) << "plain " << plain << " KiB";
  const std::string line = ReadWholeFile(out);
  EXPECT_EQ(Occurrences(line, "{\"a\":"), static_cast<std::size_t>(kData));
  EXPECT_EQ(Occurrences(line, "\n"), 1u);
  ASSERT_GT(line.size(), 4u);
  EXPECT_EQ(line.substr(line.size() - 4), "\"]}\n");
}

// Every figure of a set of reference files, bit for bit: the expected
// output was checked float by float against an independent implementation.
TEST_F(Cli, GoldenJson) {
  const char* source = std::getenv("ORVANE_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  const std::string inputs =
      "tests/golden/around_origin.txt tests/golden/eight.txt "
      "tests/golden/five_circles.txt "
      "tests/golden/four_circles_one_ellipse.txt tests/golden/refused.txt "
      "tests/golden/three.txt examples/sampledata.txt";
  const RunResult r =
      Exec("--json " + inputs, std::string("LC_ALL=C sh -c 'cd ") + source +
                                   " && exec \"$0\" \"$@\"'");
  EXPECT_EQ(r.status, 1);  // refused.txt
  std::string out = r.out;
  const std::string prefix = std::string(source) + "/";
  for (auto p = out.find(prefix); p != std::string::npos;
       p = out.find(prefix, p)) {
    out.replace(p, prefix.size(), "@SOURCE@/");
  }
  const std::string expected =
      ReadWholeFile(fs::path(source) / "tests/golden/expected.jsonl");
  ASSERT_FALSE(expected.empty());
  std::istringstream got(out), want(expected);
  std::string g, w;
  int line = 0;
  while (std::getline(want, w)) {
    ++line;
    ASSERT_TRUE(std::getline(got, g)) << "missing line " << line;
    EXPECT_EQ(g, w) << "line " << line;
  }
  EXPECT_FALSE(std::getline(got, g)) << "extra output";
}

}  // namespace

// A batch as a table: a header row, then one row per file in the order
// given, refused files included with their message; the messages still go
// to standard error, and the exit status is that of the plain report.
TEST_F(Cli, CsvBatchSummary) {
  const std::string six = Write("six.txt", kSix);
  const std::string bad = Write("bad.txt", "3 2 30\n2 3 0\n");
  const std::string absent = (dir_ / "absent.txt").string();
  const std::string few = Write("few.txt", "3 2 30\n4 2 45\n5 1 -10\n");
  const std::string empty = Write("empty.txt", "\n");
  const std::string large =
      Write("large.txt", "900 1 30\n800 1 31\n950 1 29\n700 1 30\n990 1 30\n");
  const RunResult r = Exec("--csv " + six + " " + bad + " " + absent + " " +
                           few + " " + empty + " " + large);
  EXPECT_EQ(r.status, 1);
  const std::string warning =
      "Axial ratios up to 990.00: above 100 the single-precision storage of "
      "the analysis can put R_s and its limits off by up to 2.5 %.";
  const std::string header =
      "file,N,R_s,phi_s,R_min,R_max,phi_min,phi_max,outcome,message\n";
  ASSERT_EQ(r.out.rfind(header, 0), 0u) << r.out;
  const std::string rows = r.out.substr(header.size());
  const std::size_t large_row = rows.find(large + ",5,");
  ASSERT_NE(large_row, std::string::npos) << rows;
  EXPECT_EQ(rows.substr(0, large_row),
            six +
                ",6,1.7583694,20.124311,1.5325351,2.3577003,-0.9067383,"
                "41.28179,limits,\n" +
                bad +
                ",,,,,,,,refused,\"Major axis is shorter than minor one.  "
                "#2\"\n" +
                absent + ",,,,,,,,refused,File not exits.\n" + few +
                ",3,1.7386003,3.356763,,,,,not run,Number of data < 5\n" +
                empty + ",,,,,,,,refused,No data.\n");
  const std::string last = rows.substr(large_row);
  EXPECT_NE(last.find(",limits," + warning + "\n"), std::string::npos) << last;
  EXPECT_EQ(Occurrences(last, "\n"), 1u);
  EXPECT_EQ(r.err, bad + ": Major axis is shorter than minor one.  #2\n" +
                       absent + ": File not exits.\n" + few +
                       ": Number of data < 5\n" + empty + ": No data.\n" +
                       large + ": " + warning + "\n");
  // Only analysed files: status 0, fewer than five included.
  const RunResult good = Exec("--csv " + six + " " + few);
  EXPECT_EQ(good.status, 0);
  EXPECT_EQ(Occurrences(good.out, "\n"), 3u);
  // Every file refused still gives the header.
  const RunResult none = Exec("--csv " + bad);
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, header + bad +
                          ",,,,,,,,refused,\"Major axis is shorter than minor "
                          "one.  #2\"\n");
}

// The table's numbers take the full stop and the same digits under a
// locale with a decimal comma, where the report takes the comma.
TEST_F(Cli, CsvIgnoresTheDecimalComma) {
  const locale_t comma = newlocale(LC_ALL_MASK, "de_DE.UTF-8", locale_t{});
  ASSERT_NE(comma, locale_t{}) << "de_DE.UTF-8 is not installed: run "
                                  "scripts/setup.sh";
  freelocale(comma);
  const std::string six = Write("six.txt", kSix);
  const std::string few = Write("few.txt", "3 2 30\n4 2 45\n");
  const RunResult c = Exec("--csv " + six + " " + few);
  const RunResult de = Exec("--csv " + six + " " + few, "LC_ALL=de_DE.UTF-8");
  EXPECT_EQ(de.status, 0);
  EXPECT_EQ(de.out, c.out);
  EXPECT_NE(de.out.find(",1.7583694,20.124311,"), std::string::npos);
  EXPECT_NE(Exec(six, "LC_ALL=de_DE.UTF-8").out.find("R_s    = 1,758"),
            std::string::npos);
}

TEST_F(Cli, CsvOptionRules) {
  const std::string six = Write("six.txt", kSix);
  const RunResult both = Exec("--csv --json " + six);
  EXPECT_EQ(both.status, 2);
  EXPECT_EQ(both.err,
            "orvane-cli: --json and --csv exclude each other\nTry "
            "'orvane-cli --help'.\n");
  EXPECT_EQ(Exec("--json --csv " + six).status, 2);
  EXPECT_EQ(Exec("--csv --csv " + six).status, 0);
  const RunResult help = Exec("--help");
  EXPECT_NE(help.out.find("orvane-cli --csv FILE...\n"), std::string::npos);
  EXPECT_NE(help.out.find(
                "file,N,R_s,phi_s,R_min,R_max,phi_min,phi_max,outcome,message"),
            std::string::npos);
  if (fs::exists("/dev/full")) {
    const RunResult full = Exec("--csv " + six, "LC_ALL=C", "/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err,
              "orvane-cli: standard output: No space left on device\n");
  }
}

// One rule for every option: a value given twice, contradicting flags and
// empty list items are refused; leading zeros are allowed in any whole
// number; a quoted option, value or setting never carries a terminal's
// controls; a settings pipe is refused, not waited on.
TEST_F(Cli, OptionRulesAndQuotedInput) {
  const std::string six = Write("six.txt", kSix);
  const std::string png = (dir_ / "c.png").string();
  const std::string usage = "\nTry 'orvane-cli --help'.\n";
  const std::string fifo = (dir_ / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Write("escape.txt", "dpi = 300\n\x1B]0;owned\x07\n");
  Write("bom.txt",
        "\xEF\xBB\xBF"
        "dpi = 600\n");
  const std::pair<std::string, std::string> refused[] = {
      {"--chart " + png + " --chart b.png " + six,
       "orvane-cli: --chart is given more than once"},
      {"--seed 1 --seed 2 " + six,
       "orvane-cli: --seed is given more than once"},
      {"--import --radians --degrees " + six,
       "orvane-cli: --radians and --degrees exclude each other"},
      {"--chart " + png + " --plot rfphi --theta-curves 1,,2 " + six,
       "orvane-cli: --theta-curves needs initial ratios Ri such as "
       "1.25,1.5,2,3,5: an empty item: give initial ratios such as 1.25, 1.5, "
       "2, 3, 5, separated by commas"},
      {"--chart " + png + " --plot rfphi --theta-curves 1,2, " + six,
       "orvane-cli: --theta-curves needs initial ratios Ri such as "
       "1.25,1.5,2,3,5: an empty item: give initial ratios such as 1.25, 1.5, "
       "2, 3, 5, separated by commas"},
      {"--chart " + png + " --contour-k 9.9e-5 " + six,
       "orvane-cli: --contour-k needs a number from 0.0001 to 1000"},
      {"--chart " + png + " --contour-k 1e-323 " + six,
       "orvane-cli: --contour-k needs a number from 0.0001 to 1000"},
      {"\"$(printf -- '--x\\033[2J')\" " + six,
       "orvane-cli: unknown option --x?[2J (the options"},
      {"--chart " + png + " --figure-settings escape.txt " + six,
       "orvane-cli: escape.txt: line 2: \"?]0;owned?\" is not a setting: key "
       "= value"},
      {"--chart " + png + " --figure-settings fifo " + six,
       "orvane-cli: Cannot read \"fifo\": Not a regular file"},
  };
  for (const auto& [args, message] : refused) {
    const RunResult r = Exec(args, InFolder());
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.err.substr(0, message.size()), message) << args;
    EXPECT_TRUE(r.err.ends_with(usage)) << r.err;
  }
  for (const std::string& args :
       {"--json --json " + six, "--chart " + png + " --dpi 000096 " + six,
        "--resamples 0000000200 " + six,
        "--chart " + png + " --contour-steps 0004 " + six,
        "--chart " + png + " --figure-settings bom.txt " + six}) {
    const RunResult r = Exec(args, InFolder());
    EXPECT_EQ(r.status, 0) << args << r.err;
  }
  const std::string svg = (dir_ / "k.svg").string();
  ASSERT_EQ(Exec("--chart " + svg + " --contour-k 0.0001 " + six).status, 0);
  EXPECT_NE(ReadWholeFile(svg).find("Density contours, k = 0.000100"),
            std::string::npos);
  const RunResult version = Exec("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "orvane-cli 1.0\n");
}

// A file name that is not UTF-8 is kept, byte by byte, as \xHH in the JSON
// (which stays UTF-8) and in the CSV; a UTF-8 name is written as it is.
TEST_F(Cli, FileNamesThatAreNotUtf8) {
  Write("bad\xFF\xFE.txt", kSix);
  Write("gr\xC3\xBCn.txt", kSix);
  const RunResult json =
      Exec("--json \"$(printf 'bad\\377\\376.txt')\"", InFolder());
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out.rfind("{\"file\":\"bad\\\\xff\\\\xfe.txt\",", 0), 0u)
      << json.out.substr(0, 40);
  const RunResult csv = Exec(
      "--csv \"$(printf 'bad\\377\\376.txt')\" gr\xC3\xBCn.txt", InFolder());
  EXPECT_EQ(csv.status, 0) << csv.err;
  EXPECT_NE(csv.out.find("\nbad\\xff\\xfe.txt,6,"), std::string::npos);
  EXPECT_NE(csv.out.find("\ngr\xC3\xBCn.txt,6,"), std::string::npos);
}

namespace {

class RfPhiCli : public Cli {};

TEST_F(RfPhiCli, PlotsInEveryFormatWithItsOptions) {
  const std::string six = Write("six.txt", kSix);
  const fs::path polar = dir_ / "polar.png", rf = dir_ / "rf.png";
  ASSERT_EQ(Exec("--chart " + polar.string() + " " + six).status, 0);
  RunResult r = Exec("--chart " + rf.string() + " --plot rfphi " + six);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(PngSize(ReadWholeFile(rf)), (std::pair<int, int>{640, 362}));
  EXPECT_NE(ReadWholeFile(rf), ReadWholeFile(polar));
  // --plot polar is today's chart.
  const fs::path same = dir_ / "same.png";
  ASSERT_EQ(Exec("--chart " + same.string() + " --plot polar " + six).status,
            0);
  EXPECT_EQ(ReadWholeFile(same), ReadWholeFile(polar));
  // The scale and the curves change the picture.
  const std::string log_png = ReadWholeFile(rf);
  ASSERT_EQ(
      Exec("--chart " + rf.string() + " --plot rfphi --rf-scale linear " + six)
          .status,
      0);
  EXPECT_NE(ReadWholeFile(rf), log_png);
  ASSERT_EQ(Exec("--chart " + rf.string() +
                 " --plot rfphi --rf-scale log --theta-curves 1.5,4 " + six)
                .status,
            0);
  EXPECT_NE(ReadWholeFile(rf), log_png);
  ASSERT_EQ(Exec("--chart " + rf.string() +
                 " --plot rfphi --theta-curves 1.25,1.5,2,3,5 " + six)
                .status,
            0);
  EXPECT_EQ(ReadWholeFile(rf), log_png);
  // Density contours under the markers, and the projection of the polar
  // chart, which this plot has not.
  ASSERT_EQ(
      Exec("--chart " + rf.string() + " --plot rfphi --contours " + six).status,
      0);
  EXPECT_NE(ReadWholeFile(rf), log_png);
  ASSERT_EQ(Exec("--chart " + rf.string() +
                 " --plot rfphi --projection elliott " + six)
                .status,
            0);
  EXPECT_EQ(ReadWholeFile(rf), log_png);
  // --size and the figure options.
  ASSERT_EQ(
      Exec("--chart " + rf.string() + " --plot rfphi --size 800x500 " + six)
          .status,
      0);
  EXPECT_EQ(PngSize(ReadWholeFile(rf)), (std::pair<int, int>{800, 500}));
  r = Exec("--chart " + rf.string() +
           " --plot rfphi --figure-size 85x60 --dpi 300 --figure-style "
           "--palette colour-blind --caption " +
           six);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(PngSize(ReadWholeFile(rf)), (std::pair<int, int>{1004, 709}));
  for (const char* ext : {"svg", "pdf", "emf", "bmp"}) {
    const fs::path picture = dir_ / (std::string("rf.") + ext);
    r = Exec("--chart " + picture.string() + " --plot rfphi " + six);
    EXPECT_EQ(r.status, 0) << ext << ": " << r.err;
    EXPECT_GT(fs::file_size(picture), 1000u) << ext;
  }
  EXPECT_NE(ReadWholeFile(dir_ / "rf.svg").find("Long-axis orientation"),
            std::string::npos);
}

}  // namespace
