// SPDX-License-Identifier: MIT
// The release as a user and a packager meet it: both programs' --version
// (the window program's without a display), CITATION.cff, the AppStream
// description, the manual pages and the Debian changelog all name the
// project's version and release date; and the manual page orvane-cli(1)
// holds every option of --help with its help text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "support/file_bytes.h"
#include "support/program_run.h"
#include "support/temp_folder.h"

namespace {

using orvane::testing_support::ProgramRun;
using orvane::testing_support::ReadWholeFile;
using orvane::testing_support::RunProgram;
using orvane::testing_support::TempFolder;

// The first line of `text` that begins with `prefix`, without the prefix;
// "(none)" where there is none.
std::string LineAfter(const std::string& text, std::string_view prefix) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line(text.data() + at, end - at);
    if (line.starts_with(prefix)) {
      return std::string(line.substr(prefix.size()));
    }
    at = end + 1;
  }
  return "(none)";
}

// Words apart by single blanks, as roff fills a paragraph.
std::string Words(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const bool blank = c == ' ' || c == '\n' || c == '\t';
    if (blank) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// A manual page's source as the reader sees its words: the font changes,
// the zero-width marks and the requests' dots gone, "\-" a '-'.
std::string PageText(const std::string& roff) {
  std::string out;
  std::size_t at = 0;
  while (at < roff.size()) {
    const std::size_t end = std::min(roff.find('\n', at), roff.size());
    std::string line = roff.substr(at, end - at);
    at = end + 1;
    if (line.starts_with(".\\\"")) continue;  // a comment
    if (line.starts_with(".TP") || line.starts_with(".PP")) line.clear();
    for (const std::string_view request : {".SH ", ".SS ", ".B ", ".I "}) {
      if (!line.starts_with(request)) continue;
      // A request's argument, its quotes gone: ".SH \"SEE ALSO\"".
      line.erase(0, request.size());
      std::erase(line, '"');
    }
    std::string plain;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) {
        const char next = line[i + 1];
        if (next == 'f' && i + 2 < line.size()) {
          i += 2;  // \fB, \fI, \fR
        } else if (next == '-') {
          plain += '-';
          ++i;
        } else if (next == 'e') {
          plain += '\\';
          ++i;
        } else if (next == '&') {
          ++i;
        } else {
          plain += line[i];
        }
      } else {
        plain += line[i];
      }
    }
    out += plain + '\n';
  }
  return Words(out);
}

struct HelpEntry {
  std::string heading;  // "--chart PICTURE", "--header, --no-header"
  std::string help;     // its text, lines joined
};

// The options --help lists: a heading indented by two blanks, its text
// beside it or on the lines below, indented further.
std::vector<HelpEntry> HelpEntries(const std::string& help) {
  std::vector<HelpEntry> entries;
  std::size_t at = 0;
  while (at < help.size()) {
    const std::size_t end = std::min(help.find('\n', at), help.size());
    const std::string line = help.substr(at, end - at);
    at = end + 1;
    if (line.starts_with("  -")) {
      // A short heading shares its line with the text, after blanks.
      const std::size_t gap = line.find("  ", 2);
      HelpEntry entry{
          line.substr(2,
                      gap == std::string::npos ? std::string::npos : gap - 2),
          {}};
      if (gap != std::string::npos) entry.help = line.substr(gap);
      entries.push_back(entry);
    } else if (line.starts_with("     ") && !entries.empty()) {
      entries.back().help += '\n' + line;
    } else if (!entries.empty() && !line.empty() && line[0] != ' ' &&
               !line.ends_with(':')) {
      break;  // the notes after the options (not a section's heading)
    }
  }
  return entries;
}

class Release : public ::testing::Test {
 protected:
  ProgramRun Run(const std::string& command) {
    return RunProgram(command, folder_.path());
  }
  TempFolder folder_{"release"};
};

TEST_F(Release, EveryPlaceNamesTheProjectsVersionAndDate) {
  const std::string version = ORVANE_VERSION;
  const std::string date = ORVANE_RELEASE_DATE;
  const ProgramRun cli = Run(std::string(ORVANE_CLI) + " --version");
  EXPECT_EQ(cli.status, 0) << cli.err;
  EXPECT_EQ(cli.out, "orvane-cli " + version + "\n");
  // Without any display, and without Qt's offscreen platform.
  const ProgramRun gui =
      Run(std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ") +
          ORVANE_GUI + " --version");
  EXPECT_EQ(gui.status, 0) << gui.err;
  EXPECT_EQ(gui.out, "orvane " + version + "\n");
  EXPECT_EQ(gui.err, "");
  const ProgramRun help =
      Run(std::string("env -u DISPLAY -u WAYLAND_DISPLAY ") + ORVANE_GUI +
          " --help");
  EXPECT_EQ(help.status, 0) << help.err;
  EXPECT_TRUE(help.out.starts_with("Usage: orvane [FILE]\n")) << help.out;

  const std::string citation = ReadWholeFile("CITATION.cff");
  EXPECT_EQ(LineAfter(citation, "version: "), '"' + version + '"');
  EXPECT_EQ(LineAfter(citation, "date-released: "), '"' + date + '"');
  EXPECT_EQ(LineAfter(citation, "license: "), "MIT");

  const std::string metainfo = ReadWholeFile(ORVANE_METAINFO);
  EXPECT_NE(metainfo.find("<releases>\n    <release version=\"" + version +
                          "\" date=\"" + date + "\"/>"),
            std::string::npos)
      << metainfo;

  for (const char* page : {"orvane.1", "orvane-cli.1"}) {
    const std::string roff =
        ReadWholeFile(std::string(ORVANE_MAN_DIR) + "/" + page);
    EXPECT_NE(LineAfter(roff, ".TH ")
                  .find(" 1 " + date + " \"Orvane " + version + "\""),
              std::string::npos)
        << page << ": " << LineAfter(roff, ".TH ");
  }

  const std::string changelog = ReadWholeFile(ORVANE_CHANGELOG);
  EXPECT_TRUE(changelog.starts_with("orvane (" + version + "-1) unstable; "))
      << changelog;
  // 2011-12-01 was a Thursday.
  EXPECT_NE(
      LineAfter(changelog, " -- ").find(">  Thu, 01 Dec 2011 00:00:00 +0000"),
      std::string::npos)
      << changelog;
}

TEST_F(Release, ManualPageHoldsEveryOptionOfHelpWithItsText) {
  const ProgramRun help = Run(std::string(ORVANE_CLI) + " --help");
  ASSERT_EQ(help.status, 0) << help.err;
  const std::string page =
      PageText(ReadWholeFile(std::string(ORVANE_MAN_DIR) + "/orvane-cli.1"));
  ASSERT_FALSE(page.empty());

  const std::vector<HelpEntry> entries = HelpEntries(help.out);
  // Every option of the table, counted once: from --json to
  // --figure-settings, with "-h, --help" and "--header, --no-header".
  ASSERT_GE(entries.size(), 45u);
  for (const HelpEntry& entry : entries) {
    const std::string text = Words(entry.help);
    SCOPED_TRACE(entry.heading);
    // The heading, then the text, as one paragraph of the page.
    const std::string wanted =
        Words(entry.heading) + (text.empty() ? "" : " " + text);
    EXPECT_NE(page.find(wanted), std::string::npos) << wanted;
  }
  // And every option named anywhere in --help, the ones described with
  // another (--degrees) included.
  for (std::size_t at = help.out.find("--"); at != std::string::npos;
       at = help.out.find("--", at + 2)) {
    std::size_t end = at + 2;
    while (end < help.out.size() &&
           (std::isalnum(static_cast<unsigned char>(help.out[end])) ||
            help.out[end] == '-')) {
      ++end;
    }
    const std::string name = help.out.substr(at, end - at);
    EXPECT_NE(page.find(name), std::string::npos) << name;
    at = end - 2;
  }
  // The page is the tool's, and sends the reader to the window program.
  EXPECT_NE(page.find("NAME orvane-cli - "), std::string::npos);
  EXPECT_NE(page.find("EXIT STATUS 0 when every file was analysed"),
            std::string::npos);
  EXPECT_NE(page.find("SEE ALSO .BR orvane (1)"), std::string::npos);
}

}  // namespace
