// SPDX-License-Identifier: MIT
// orvane-cli --resamples and --seed as a user runs them: the defaults given
// explicitly change no byte, other settings are named, bad values refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/file_bytes.h"
#include "support/program_run.h"
#include "support/temp_folder.h"

namespace {

using orvane::testing_support::ProgramRun;
using orvane::testing_support::ReadWholeFile;
using orvane::testing_support::RunProgram;
using orvane::testing_support::TempFolder;

const char* kSix = "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n3 1 32\n";

std::size_t Occurrences(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto p = text.find(what); p != std::string::npos;
       p = text.find(what, p + what.size())) {
    ++n;
  }
  return n;
}

class BootstrapCli : public ::testing::Test {
 protected:
  // Runs the tool in the source folder, where the reference files lie.
  ProgramRun Run(const std::string& args,
                 const std::string& locale = "LC_ALL=C") {
    const char* source = std::getenv("ORVANE_SOURCE_DIR");
    EXPECT_NE(source, nullptr);
    return RunProgram("cd '" + std::string(source ? source : ".") +
                          "' && env " + locale + " " + ORVANE_CLI + " " + args,
                      folder_.path());
  }

  TempFolder folder_{"bootstrap_cli"};
  const std::string six_ = folder_.Write("six.txt", kSix);
  const std::string inputs_ =
      "tests/golden/around_origin.txt tests/golden/eight.txt "
      "tests/golden/five_circles.txt "
      "tests/golden/four_circles_one_ellipse.txt tests/golden/refused.txt "
      "tests/golden/three.txt examples/sampledata.txt";
};

// The defaults given as options: byte for byte today's report, JSON and
// CSV of the reference files, under a decimal comma as well.
TEST_F(BootstrapCli, DefaultsGivenExplicitlyChangeNothing) {
  for (const char* form : {"", "--json ", "--csv "}) {
    for (const char* locale : {"LC_ALL=C", "LC_ALL=de_DE.UTF-8"}) {
      const ProgramRun today = Run(form + inputs_, locale);
      const ProgramRun given = Run(
          std::string("--resamples 200 --seed 1 ") + form + inputs_, locale);
      EXPECT_EQ(given.status, today.status) << form;
      EXPECT_EQ(given.out, today.out) << form << locale;
      EXPECT_EQ(given.err, today.err) << form << locale;
      EXPECT_FALSE(today.out.empty());
    }
  }
  // And the JSON still that of the reference implementation.
  const char* source = std::getenv("ORVANE_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::string out = Run("--seed 1 --json --resamples 200 " + inputs_).out;
  const std::string prefix = std::string(source) + "/";
  for (auto p = out.find(prefix); p != std::string::npos;
       p = out.find(prefix, p)) {
    out.replace(p, prefix.size(), "@SOURCE@/");
  }
  EXPECT_EQ(
      out, ReadWholeFile(std::string(source) + "/tests/golden/expected.jsonl"));
}

TEST_F(BootstrapCli, OtherSettingsAreNamedInEveryForm) {
  const ProgramRun plain = Run("--resamples 500 --seed 7 '" + six_ + "'");
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_NE(plain.out.find("** 95% Confidence Limits **\n"
                           "  (500 resamples, seed 7)\n  R_s = "),
            std::string::npos)
      << plain.out;

  const ProgramRun json = Run("--json --resamples 500 --seed 7 '" + six_ + "'");
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(Occurrences(json.out, "{\"x\":"), 500u);
  EXPECT_EQ(Occurrences(json.out, "{\"rh\":"), 475u);
  EXPECT_NE(json.out.find("}],\"resamples\":500,\"seed\":7},\"report\":"),
            std::string::npos);
  EXPECT_NE(json.out.find("  (500 resamples, seed 7)\"]"), std::string::npos);

  // Only the seed: both are named; the seed 0 is a seed like any other.
  const ProgramRun seeded = Run("--json --seed 0 '" + six_ + "'");
  EXPECT_EQ(Occurrences(seeded.out, "{\"x\":"), 200u);
  EXPECT_NE(seeded.out.find("],\"resamples\":200,\"seed\":0}"),
            std::string::npos);
  const ProgramRun today = Run("--json '" + six_ + "'");
  EXPECT_EQ(today.out.find("\"resamples\""), std::string::npos);
  EXPECT_NE(seeded.out, today.out);

  const ProgramRun csv = Run("--csv --resamples 20 '" + six_ + "'");
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_TRUE(csv.out.ends_with(",limits,\"20 resamples, seed 1\"\n"))
      << csv.out;
}

TEST_F(BootstrapCli, RefusedValuesSayWhatIsAccepted) {
  const std::string resamples =
      "orvane-cli: --resamples needs a whole number of resamples from 20 to "
      "100000 (default 200), written with digits only\n"
      "Try 'orvane-cli --help'.\n";
  for (const char* bad : {"19", "100001", "2e2", "+200", "-200", "''", "abc",
                          "99999999999999999999"}) {
    const ProgramRun r =
        Run("--resamples " + std::string(bad) + " '" + six_ + "'");
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_EQ(r.err, resamples) << bad;
    EXPECT_EQ(r.out, "") << bad;
  }
  const std::string seed =
      "orvane-cli: --seed needs a whole number from 0 to 4294967295 (default "
      "1), written with digits only\n"
      "Try 'orvane-cli --help'.\n";
  for (const char* bad : {"4294967296", "-1", "+1", "0x10", "''", "1.5"}) {
    const ProgramRun r = Run("--seed " + std::string(bad) + " '" + six_ + "'");
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_EQ(r.err, seed) << bad;
  }
  // A value missing at the end.
  EXPECT_EQ(Run("'" + six_ + "' --seed").err, seed);
  EXPECT_EQ(Run("'" + six_ + "' --resamples").err, resamples);
  // The limits themselves are accepted.
  EXPECT_EQ(Run("--resamples 20 --seed 4294967295 '" + six_ + "'").status, 0);
}

TEST_F(BootstrapCli, HelpSaysOnlyTheDefaultsReproduceThePublishedFigures) {
  const ProgramRun help = Run("--help");
  ASSERT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--resamples N"), std::string::npos);
  EXPECT_NE(help.out.find("--seed S"), std::string::npos);
  std::string text = help.out;
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  std::string flat;  // runs of blanks as one
  for (const char c : text) {
    if (!(c == ' ' && !flat.empty() && flat.back() == ' ')) flat += c;
  }
  EXPECT_NE(flat.find("Only the defaults, 200 resamples from the seed 1, "
                      "reproduce the published figures of this method"),
            std::string::npos)
      << flat;
}

}  // namespace
