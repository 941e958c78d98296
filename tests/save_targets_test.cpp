// SPDX-License-Identifier: MIT
// What every save of the program (pictures, figures, the results table, the
// report, the figure settings, orvane-cli --chart) replaces: regular files
// only, through a link the file it reaches, the link kept.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QImage>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>

#include "render/figure_export.h"
#include "render/picture_export.h"
#include "support/analysed_chart.h"
#include "support/file_bytes.h"
#include "support/program_run.h"
#include "support/temp_folder.h"
#include "window/figure_dialog.h"
#include "window/text_save.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadWholeFile;
using testing_support::TempFolder;

const QSize kSize(640, 362);

class SaveTargets : public ::testing::Test {
 protected:
  void SetUp() override {
    // A character device of our own where root may make one: root may
    // write over /dev/null itself, and a fault here must not take it.
    if (::geteuid() == 0) {
      ASSERT_EQ(
          ::mknod((dir() / "mynull").c_str(), S_IFCHR | 0666, makedev(1, 3)),
          0);
      device_ = (dir() / "mynull").string();
    }
    ASSERT_EQ(::mkfifo((dir() / "fifo.png").c_str(), 0644), 0);
  }
  const fs::path& dir() const { return folder_.path(); }
  static QString Q(const fs::path& p) { return QString::fromStdString(p); }

  // Every save of the program, to `path`.
  std::vector<std::pair<const char*, std::function<Status(const QString&)>>>
  Saves() {
    return {
        {"picture",
         [this](const QString& p) {
           return SaveChartPictureFile(chart_, kSize, p);
         }},
        {"figure",
         [this](const QString& p) {
           return SaveFigureFile(chart_, FigureSettings(), "N = 6", p);
         }},
        {"text",
         [](const QString& p) {
           return SaveTextFile(p, [](const TextSink& s) { return s("a,b\n"); });
         }},
        {"settings",
         [this](const QString& p) { return dialog_.SaveSettingsFile(p); }},
    };
  }

  TempFolder folder_{"targets"};
  std::string device_ = "/dev/null";
  EqualAreaChart chart_ =
      testing_support::AnalysedChart(testing_support::kSixMarkers);
  FigureDialog dialog_{chart_, "N = 6", FigureSettings()};
};

TEST_F(SaveTargets, OnlyRegularFilesAreReplaced) {
  fs::create_symlink(device_, dir() / "to_device.png");
  fs::create_symlink("fifo.png", dir() / "to_fifo.png");
  fs::create_directories(dir() / "folder.png");
  for (const auto& [kind, save] : Saves()) {
    for (const char* name : {"to_device.png", "to_fifo.png", "fifo.png"}) {
      const QString path = Q(dir() / name);
      EXPECT_EQ(save(path).message(), "Cannot write \"" + path.toStdString() +
                                          "\": it is not a regular file.")
          << kind << " " << name;
    }
    const QString folder = Q(dir() / "folder.png");
    EXPECT_EQ(save(folder).message(),
              "Cannot write \"" + folder.toStdString() + "\": it is a folder.")
        << kind;
  }
  EXPECT_TRUE(fs::is_character_file(device_));
  EXPECT_TRUE(fs::is_fifo(dir() / "fifo.png"));
  EXPECT_TRUE(fs::is_symlink(dir() / "to_device.png"));
  EXPECT_TRUE(fs::is_empty(dir() / "folder.png"));
}

TEST_F(SaveTargets, ThroughALinkTheFileIsReplacedAndTheLinkStays) {
  fs::create_directories(dir() / "real");
  for (const auto& [kind, save] : Saves()) {
    const std::string real = folder_.Write("real/file.png", "old");
    fs::remove(dir() / "link.png");
    fs::create_symlink("real/file.png", dir() / "link.png");
    ASSERT_TRUE(save(Q(dir() / "link.png")).ok()) << kind;
    EXPECT_TRUE(fs::is_symlink(dir() / "link.png")) << kind;
    EXPECT_NE(ReadWholeFile(real), "old") << kind;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir() / "real"),
                            fs::directory_iterator()),
              1)
        << kind;
  }
  ASSERT_TRUE(SaveChartPictureFile(chart_, kSize, Q(dir() / "link.png")).ok());
  EXPECT_EQ(QImage(Q(dir() / "link.png")).size(), kSize);
}

// Qt installs no handler of its own for the signals that end the program,
// and a save leaves them as it found them.
TEST_F(SaveTargets, SignalActionsStayTheDefault) {
  auto defaults = [] {
    for (int s : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
      struct sigaction action {};
      ::sigaction(s, nullptr, &action);
      if (action.sa_handler != SIG_DFL) return false;
    }
    return true;
  };
  EXPECT_TRUE(defaults());
  for (const auto& [kind, save] : Saves()) {
    EXPECT_TRUE(save(Q(dir() / "saved.png")).ok()) << kind;
  }
  EXPECT_TRUE(defaults());
}

// The case of the report: orvane-cli --chart through a link to a device.
TEST_F(SaveTargets, CliRefusesALinkToADevice) {
  fs::create_symlink(device_, dir() / "pic.png");
  folder_.Write("sample", "3 2 30\n4 2 45\n5 1 -10\n2 1 20\n3 1 40\n");
  const auto r = testing_support::RunInFolder(
      ORVANE_CLI " --chart pic.png sample", dir(), "LC_ALL=C");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Cannot write \"pic.png\": it is not a regular file.\n");
  EXPECT_TRUE(fs::is_character_file(device_));
  EXPECT_TRUE(fs::is_symlink(dir() / "pic.png"));
}

}  // namespace
}  // namespace orvane
