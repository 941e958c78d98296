// SPDX-License-Identifier: MIT
// The command-line tool under the limits a shared machine may set: no more
// threads for the user. The results must be those of an unlimited run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/file_bytes.h"
#include "support/program_run.h"
#include "support/temp_folder.h"

namespace orvane {
namespace {

using testing_support::RunProgram;

// The command that runs what follows it as a user who may start no further
// process or thread, or "" where that cannot be arranged. Root is not held
// to a process limit, so root runs it as the user nobody.
std::string WithoutThreads(const testing_support::TempFolder& folder) {
  const std::string limit = "prlimit --nproc=1 ";
  std::string prefix = limit;
  if (::geteuid() == 0) {
    prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups " + limit;
  }
  const std::string check =
      prefix + "test -x " ORVANE_CLI " -a -r '" + folder.path().string() + "'";
  if (RunProgram(check, folder.path()).status != 0) return "";
  return prefix;
}

// 150,000 data: enough for every parallel stage to ask for threads, and
// for the data to go into a vector picture as one image.
std::string ManyData(const testing_support::TempFolder& folder) {
  std::string text;
  for (int i = 0; i < 150000; ++i) {
    text += std::to_string(1.2 + (i % 97) / 40.0) + " 1 " +
            std::to_string(i % 40 + 10) + "\n";
  }
  return folder.Write("many.txt", text);
}

// Runs `command` in the folder, where it writes its pictures.
testing_support::ProgramRun RunIn(const testing_support::TempFolder& folder,
                                  const std::string& command) {
  return RunProgram("cd '" + folder.path().string() + "' && " + command,
                    folder.path());
}

// A PDF without the second it was made in.
std::string WithoutDate(std::string pdf) {
  const std::size_t date = pdf.find("/CreationDate (");
  if (date != std::string::npos) {
    pdf.erase(date, pdf.find(')', date) - date);
  }
  return pdf;
}

// Serial and parallel runs must agree in every float, and draw the same
// PDF: its large series' image is converted without Qt's thread pool,
// which would wait for good for a thread that cannot be started.
TEST(ResourceLimits, NoThreadsGiveTheSameResults) {
  testing_support::TempFolder folder("limits");
  ::chmod(folder.path().c_str(), 0777);  // the scratch files of nobody
  const std::string prefix = WithoutThreads(folder);
  if (prefix.empty()) GTEST_SKIP() << "setpriv or prlimit cannot limit here";
  const std::string data = ManyData(folder);
  const std::string free_pdf = (folder.path() / "free.pdf").string();
  const std::string limited_pdf = (folder.path() / "limited.pdf").string();
  const auto free =
      RunProgram(ORVANE_CLI " --json --chart '" + free_pdf + "' '" + data + "'",
                 folder.path());
  ASSERT_EQ(free.status, 0) << free.err;
  // A hang is ended well before the test's own limit, with its status.
  const auto limited = RunProgram("timeout -s KILL 90 " + prefix +
                                      ORVANE_CLI " --json --chart '" +
                                      limited_pdf + "' '" + data + "'",
                                  folder.path());
  ::chmod(folder.path().c_str(), 0700);
  EXPECT_EQ(limited.status, 0) << limited.err;
  EXPECT_TRUE(limited.out == free.out);  // tens of megabytes: no dump
  EXPECT_NE(limited.out.find("\"outcome\":\"limits\""), std::string::npos);
  const std::string pdf =
      WithoutDate(testing_support::ReadWholeFile(limited_pdf));
  EXPECT_TRUE(pdf == WithoutDate(testing_support::ReadWholeFile(free_pdf)));
  EXPECT_GT(pdf.size(), 10000u);
}

// Under a limit of the address space the tool refuses a large file with
// "Not enough memory for n data." instead of aborting, wherever the
// allocation fails: the dataset, the retrodeformed markers or the bootstrap.
TEST(ResourceLimits, OutOfMemoryIsAMessageNotACrash) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "sanitizers need the whole address space";
#endif
  testing_support::TempFolder folder("memory");
  std::string text;
  constexpr int kCount = 3000000;
  text.reserve(static_cast<std::size_t>(kCount) * 12);
  for (int i = 0; i < kCount; ++i) {
    text += std::to_string(1 + (i % 200) / 100.0).substr(0, 4) + " 1 " +
            std::to_string(20 + i % 20) + "\n";
  }
  const std::string data = folder.Write("large.txt", text);
  int refused = 0;
  for (int kib : {150000, 200000, 250000, 300000, 350000}) {
    const auto r = RunProgram("ulimit -v " + std::to_string(kib) + " && " +
                                  ORVANE_CLI " '" + data + "'",
                              folder.path());
    ASSERT_TRUE(r.status == 0 || r.status == 1)
        << "limit " << kib << " KiB: status " << r.status << " " << r.err;
    if (r.status == 1) {
      ++refused;
      EXPECT_EQ(r.err, data + ": Not enough memory for 3000000 data.\n");
      EXPECT_EQ(r.out, "");
    }
  }
  EXPECT_GT(refused, 0) << "no limit was tight enough to test";
}

// A picture whose raster, or the image of its large series, cannot be
// allocated is not written in any format: the old file stays, the reason is
// the memory, and no library floods standard error. The same picture at the
// usual size fits under the same limit.
TEST(ResourceLimits, PicturesWithoutMemoryAreNotWritten) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "sanitizers need the whole address space";
#endif
  testing_support::TempFolder folder("picture-memory");
  const std::string data = ManyData(folder);
  // 16384 x 16384 pixels of four bytes: 1 GiB for the raster or the layer.
  const std::string limit = "ulimit -v 900000 && ";
  const auto fits =
      RunIn(folder, limit + ORVANE_CLI " --chart small.png '" + data + "'");
  EXPECT_EQ(fits.status, 0) << fits.err;
  for (const char* format : {"bmp", "png", "svg", "pdf", "emf"}) {
    const std::string name = std::string("large.") + format;
    const std::string old = folder.Write(name, "the picture made before");
    const auto r = RunIn(folder, limit + ORVANE_CLI " --chart " + name +
                                     " --size 16384x16384 '" + data + "'");
    EXPECT_EQ(r.status, 1) << format << ": " << r.err.substr(0, 500);
    EXPECT_EQ(r.err, "Cannot write \"" + name +
                         "\": Not enough memory to draw the picture.\n");
    EXPECT_EQ(testing_support::ReadWholeFile(old), "the picture made before")
        << format;
  }
}

// Qt, fontconfig and the fonts need descriptors of their own. A soft limit
// that leaves too few is raised, to the same picture as without it; a hard
// one is a message, never a picture whose text is empty boxes.
TEST(ResourceLimits, TooFewDescriptorsAreRaisedOrNamed) {
#if defined(__SANITIZE_ADDRESS__)
  // UndefinedBehaviorSanitizer checks memory through a pipe, and without
  // one reports every virtual call as on an invalid object.
  GTEST_SKIP() << "the sanitizers' runtime needs descriptors of its own";
#endif
  testing_support::TempFolder folder("descriptors");
  const std::string data = folder.Write("sample.txt",
                                        "1.5 1 10\n2.0 1 30\n1.7 1 -20\n"
                                        "2.4 1 15\n1.3 1 40\n1.9 1 0\n");
  const auto free =
      RunIn(folder, ORVANE_CLI " --chart free.png '" + data + "'");
  ASSERT_EQ(free.status, 0) << free.err;
  // In a subshell, whose output is set up before the limit: the shell
  // itself needs descriptors above ten to redirect.
  const auto soft = RunIn(folder, "(ulimit -S -n 5 && exec " ORVANE_CLI
                                  " --chart soft.png '" +
                                      data + "')");
  EXPECT_EQ(soft.status, 0) << soft.err;
  EXPECT_TRUE(testing_support::ReadWholeFile(folder.path() / "soft.png") ==
              testing_support::ReadWholeFile(folder.path() / "free.png"));
  const auto hard =
      RunIn(folder, "(ulimit -n 5 && exec " ORVANE_CLI " --chart hard.png '" +
                        data + "')");
  EXPECT_EQ(hard.status, 1);
  EXPECT_NE(hard.err.find("Too few file descriptors to draw a picture"),
            std::string::npos)
      << hard.err;
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "hard.png"));
  // A font configuration that finds no font: no glyphs to draw.
  const std::string config = folder.Write(
      "fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig><dir>" +
                        folder.path().string() + "/none</dir><cachedir>" +
                        folder.path().string() +
                        "/cache</cachedir></fontconfig>\n");
  const auto no_fonts =
      RunIn(folder, "FONTCONFIG_FILE='" + config +
                        "' " ORVANE_CLI " --chart nofont.png '" + data + "'");
  EXPECT_EQ(no_fonts.status, 1);
  EXPECT_NE(
      no_fonts.err.find("No font could be loaded for the picture's text."),
      std::string::npos)
      << no_fonts.err;
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "nofont.png"));
}

}  // namespace
}  // namespace orvane
