// SPDX-License-Identifier: MIT
// Bootstrap settings on their way through an Open and into the results
// table: the front end's settings reach the analysis and stay with the
// results they gave; other settings than the defaults are named.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/analysis_report.h"
#include "io/open_pipeline.h"
#include "io/results_csv.h"
#include "support/temp_folder.h"

namespace orvane {
namespace {

class SettingsFrontEnd : public OpenFrontEnd {
 public:
  SettingsFrontEnd(std::optional<std::string> choice,
                   const BootstrapSettings& settings)
      : choice_(std::move(choice)), settings_(settings) {}
  std::optional<std::string> ChooseFile() override {
    chosen = true;
    return choice_;
  }
  BootstrapSettings Bootstrap() override { return settings_; }
  void RunStage(OpenStage stage, StageProgress& progress,
                const std::function<void()>& work) override {
    if (cancel_analysis && stage == OpenStage::kAnalyse) progress.Cancel();
    work();
  }
  void OnRefused(const Status& status) override { refused = status; }

  bool chosen = false;
  bool cancel_analysis = false;
  std::optional<Status> refused;

 private:
  std::optional<std::string> choice_;
  BootstrapSettings settings_;
};

class BootstrapOpen : public ::testing::Test {
 protected:
  OpenResult Open(SettingsFrontEnd& front_end) {
    return RunOpen(front_end, state_, report_, file_name_, ".");
  }

  testing_support::TempFolder folder_{"bootstrap_open"};
  const std::string six_ = folder_.Write(
      "six.txt", "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n3 1 32\n");
  AnalysisState state_;
  Report report_;
  std::string file_name_ = "/preset/sampledata.txt";
};

TEST_F(BootstrapOpen, SettingsReachTheFileAndTheRerun) {
  SettingsFrontEnd chosen(six_, {300, 5});
  ASSERT_TRUE(Open(chosen).status.ok());
  EXPECT_EQ(state_.bootstrap, (BootstrapSettings{300, 5}));
  EXPECT_EQ(state_.solutions.size(), 301u);
  EXPECT_EQ(state_.kept.size(), 285u);
  EXPECT_EQ(report_.Lines()[12], "  (300 resamples, seed 5)");

  // The data held, drawn again with the defaults: today's figures.
  SettingsFrontEnd rerun(std::nullopt, {});
  ASSERT_TRUE(Open(rerun).status.ok());
  EXPECT_TRUE(state_.bootstrap.IsDefault());
  EXPECT_EQ(state_.solutions.size(), 201u);
  EXPECT_EQ(state_.kept.size(), 190u);
  SettingsFrontEnd plain(six_, {});
  AnalysisState fresh;
  Report fresh_report;
  std::string name = file_name_;
  ASSERT_TRUE(RunOpen(plain, fresh, fresh_report, name, ".").status.ok());
  EXPECT_EQ(report_.Lines(), fresh_report.Lines());
  EXPECT_EQ(LimitsSummary(state_, "."), LimitsSummary(fresh, "."));
}

TEST_F(BootstrapOpen, SettingsOutsideTheLimitsRefuseTheOpen) {
  SettingsFrontEnd first(six_, {});
  ASSERT_TRUE(Open(first).status.ok());
  const std::vector<std::string> before = report_.Lines();
  for (const int resamples : {19, 100001, 0, -5}) {
    SettingsFrontEnd bad(six_, {resamples, 1});
    const OpenResult r = Open(bad);
    EXPECT_EQ(r.status.code(), StatusCode::kInvalidSettings) << resamples;
    ASSERT_TRUE(bad.refused.has_value());
    EXPECT_EQ(bad.refused->code(), StatusCode::kInvalidSettings);
    EXPECT_FALSE(bad.chosen) << "refused before a file is asked for";
    EXPECT_EQ(report_.Lines(), before);
    EXPECT_TRUE(state_.bootstrap.IsDefault());
  }
}

TEST_F(BootstrapOpen, StoppedRerunKeepsTheSettingsOfTheResultsShown) {
  SettingsFrontEnd first(six_, {250, 9});
  ASSERT_TRUE(Open(first).status.ok());
  const std::vector<std::string> before = report_.Lines();
  const std::string limits = LimitsSummary(state_, ".");
  SettingsFrontEnd rerun(std::nullopt, {1000, 2});
  rerun.cancel_analysis = true;
  EXPECT_EQ(Open(rerun).status.code(), StatusCode::kCancelled);
  EXPECT_EQ(state_.bootstrap, (BootstrapSettings{250, 9}));
  EXPECT_EQ(state_.solutions.size(), 251u);
  EXPECT_EQ(LimitsSummary(state_, "."), limits);
  EXPECT_EQ(report_.Lines(), before);
}

TEST_F(BootstrapOpen, ResultsTableNamesOtherSettings) {
  SettingsFrontEnd defaults(six_, {});
  ASSERT_TRUE(Open(defaults).status.ok());
  const std::string row = SummaryCsvRow("six.txt", state_, "");
  EXPECT_TRUE(row.ends_with(",limits,\n")) << row;
  std::string table;
  ASSERT_TRUE(WriteResultsCsv("six.txt", state_, [&](std::string_view p) {
    table.append(p);
    return true;
  }));
  EXPECT_EQ(table.find("# resamples"), std::string::npos);

  SettingsFrontEnd other(six_, {500, 7});
  ASSERT_TRUE(Open(other).status.ok());
  const std::string named = SummaryCsvRow("six.txt", state_, "");
  EXPECT_TRUE(named.ends_with(",limits,\"500 resamples, seed 7\"\n")) << named;
  const std::string with_notice = SummaryCsvRow("six.txt", state_, "a note");
  EXPECT_TRUE(
      with_notice.ends_with(",limits,\"500 resamples, seed 7; a note\"\n"))
      << with_notice;
  table.clear();
  ASSERT_TRUE(WriteResultsCsv("six.txt", state_, [&](std::string_view p) {
    table.append(p);
    return true;
  }));
  EXPECT_NE(table.find("# outcome,limits\n# resamples,500\n# seed,7\n"
                       "number,a,b,phi,R,R_pre,phi_pre\n"),
            std::string::npos)
      << table;
}

}  // namespace
}  // namespace orvane
