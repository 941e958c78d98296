// SPDX-License-Identifier: MIT
#include "io/open_pipeline.h"

#include <gtest/gtest.h>

#include <new>
#include <optional>
#include <string>
#include <vector>

#include "core/analysis_report.h"
#include "support/temp_folder.h"

namespace orvane {
namespace {

// A front end that chooses a given file (or cancels) and records the hooks
// in the order the pipeline calls them.
class ScriptedFrontEnd : public OpenFrontEnd {
 public:
  explicit ScriptedFrontEnd(std::optional<std::string> choice)
      : choice_(std::move(choice)) {}
  std::optional<std::string> ChooseFile() override {
    calls.push_back("choose");
    return choice_;
  }
  void RunStage(OpenStage stage, StageProgress& progress,
                const std::function<void()>& work) override {
    calls.push_back(stage == OpenStage::kRead ? "read" : "analyse");
    if (stage == cancel_in) progress.Cancel();
    work();
  }
  void Prepare(const AnalysisState& next, const OpenResult&) override {
    calls.push_back("prepare " + std::to_string(next.count));
    if (no_memory_to_show) throw std::bad_alloc();
  }
  void OnRefused(const Status& status) override {
    calls.push_back("refused: " + status.message());
  }
  void OnCommitted(const AnalysisState& state) override {
    calls.push_back("committed " + std::to_string(state.count));
  }
  void OnAnalysed(const AnalysisState&, const Report& report,
                  const OpenResult&) override {
    calls.push_back("analysed, " + std::to_string(report.Lines().size()) +
                    " lines");
  }
  std::vector<std::string> calls;
  // The stage whose Cancel button the user presses, if any.
  std::optional<OpenStage> cancel_in;
  bool no_memory_to_show = false;

 private:
  std::optional<std::string> choice_;
};

class OpenPipeline : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    return folder_.Write(name, text);
  }
  OpenResult Open(ScriptedFrontEnd& front_end) {
    return RunOpen(front_end, state_, report_, file_name_, ".");
  }

  testing_support::TempFolder folder_{"open"};
  AnalysisState state_;
  Report report_;
  std::string file_name_ = "/preset/sampledata.txt";
};

TEST_F(OpenPipeline, StagesRunInOrder) {
  const std::string six =
      Write("six.txt", "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n3 1 32\n");
  ScriptedFrontEnd front_end(six);
  const OpenResult r = Open(front_end);
  EXPECT_TRUE(r.chosen);
  EXPECT_TRUE(r.status.ok());
  EXPECT_EQ(r.analysis, AnalysisResult::kBootstrapped);
  EXPECT_EQ(front_end.calls,
            (std::vector<std::string>{"choose", "read", "analyse", "prepare 6",
                                      "committed 6", "analysed, 18 lines"}));
  EXPECT_EQ(file_name_, six);
  EXPECT_EQ(report_.Lines()[1], "  file = " + six);
  EXPECT_EQ(AnalysisNotice(r), "");
  EXPECT_FALSE(LimitsSummary(state_, ".").empty());
}

TEST_F(OpenPipeline, RefusalChangesNothingButTheFileName) {
  report_.Append("earlier");
  const std::string bad = Write("bad.txt", "3 2 30\n2 3 0\n");
  ScriptedFrontEnd front_end(bad);
  const OpenResult r = Open(front_end);
  EXPECT_EQ(r.status.code(), StatusCode::kMajorShorter);
  EXPECT_EQ(r.status.datum(), 2);
  EXPECT_EQ(front_end.calls,
            (std::vector<std::string>{
                "choose", "read",
                "refused: Major axis is shorter than minor one.  #2"}));
  EXPECT_EQ(report_.Lines(), std::vector<std::string>{"earlier"});
  EXPECT_EQ(state_.count, 0);
  EXPECT_EQ(state_.measured.size(), 2u);
  EXPECT_EQ(AnalysisNotice(r), "");
  // The dialog's name is the last one chosen, refused or not.
  EXPECT_EQ(file_name_, bad);
}

TEST_F(OpenPipeline, CancelledChoiceRerunsOnTheDataHeld) {
  // Before any file: the preset name and no data; no notice.
  ScriptedFrontEnd cancel(std::nullopt);
  OpenResult r = Open(cancel);
  EXPECT_FALSE(r.chosen);
  EXPECT_EQ(r.analysis, AnalysisResult::kNoData);
  EXPECT_EQ(AnalysisNotice(r), "");
  EXPECT_EQ(cancel.calls,
            (std::vector<std::string>{"choose", "analyse", "prepare 0",
                                      "analysed, 3 lines"}));
  EXPECT_EQ(
      report_.Lines(),
      (std::vector<std::string>{
          "*** Data ***", "  file = /preset/sampledata.txt", "  N    = 0"}));

  ScriptedFrontEnd load(
      Write("five.txt", "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n"));
  Open(load);
  const std::vector<std::string> first = report_.Lines();
  const std::string limits = LimitsSummary(state_, ".");
  ScriptedFrontEnd again(std::nullopt);
  r = Open(again);
  EXPECT_EQ(r.analysis, AnalysisResult::kBootstrapped);
  EXPECT_EQ(report_.Lines(), first);
  EXPECT_EQ(LimitsSummary(state_, "."), limits);
  EXPECT_FALSE(limits.empty());
}

TEST_F(OpenPipeline, Notices) {
  ScriptedFrontEnd empty(Write("empty.txt", "\n  \n"));
  EXPECT_EQ(AnalysisNotice(Open(empty)), "No data.");
  ScriptedFrontEnd four(Write("four.txt", "3 2 30\n4 2 45\n5 1 40\n6 2 35\n"));
  const OpenResult r = Open(four);
  EXPECT_EQ(r.analysis, AnalysisResult::kFewerThanFive);
  EXPECT_EQ(AnalysisNotice(r), "Number of data < 5");
  EXPECT_EQ(state_.retrodeformed.size(), 5u);
}

// What an Open leaves for the user to see.
struct Shown {
  std::vector<std::string> report;
  std::string limits;
  MarkerRecord strain;
  std::size_t kept = 0;
  std::int32_t count = 0;
  float first_ratio = 0;
  bool operator==(const Shown& o) const {
    return report == o.report && limits == o.limits &&
           strain.ratio == o.strain.ratio && strain.phi == o.strain.phi &&
           kept == o.kept && count == o.count && first_ratio == o.first_ratio;
  }
};

class OpenPipelineStops : public OpenPipeline {
 protected:
  void SetUp() override {
    ScriptedFrontEnd first(
        Write("six.txt", "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n3 1 32\n"));
    ASSERT_TRUE(Open(first).status.ok());
    before_ = Now();
    other_ = Write("other.txt", "9 1 10\n8 1 12\n7 1 14\n6 1 16\n5 1 18\n");
  }
  Shown Now() const {
    return {report_.Lines(), LimitsSummary(state_, "."),
            state_.strain,   state_.kept.size(),
            state_.count,    state_.measured[1].ratio};
  }
  Shown before_;
  std::string other_;
};

TEST_F(OpenPipelineStops, CancelledStagesChangeNothing) {
  for (OpenStage stage : {OpenStage::kRead, OpenStage::kAnalyse}) {
    ScriptedFrontEnd front_end(other_);
    front_end.cancel_in = stage;
    const OpenResult r = Open(front_end);
    EXPECT_EQ(r.status.code(), StatusCode::kCancelled);
    EXPECT_EQ(front_end.calls.back(), "refused: Cancelled.");
    EXPECT_TRUE(Now() == before_);
  }
  // A rerun on the data held, stopped, keeps the results it began with.
  ScriptedFrontEnd rerun(std::nullopt);
  rerun.cancel_in = OpenStage::kAnalyse;
  EXPECT_EQ(Open(rerun).status.code(), StatusCode::kCancelled);
  EXPECT_TRUE(Now() == before_);
  EXPECT_EQ(state_.kept.size(), 190u);
}

// Where the markers lie stays with the data through reruns, stopped or not,
// and the data block gives its ranges.
TEST_F(OpenPipelineStops, ReRunsKeepTheMarkersCentroidsAndAreas) {
  state_.places.x = {0, 1, 2, 3, 4, 5, 6.5};
  state_.places.y = {0, -1, -2, -3, -4, -5, -6};
  state_.places.area = {0, 10, 10, 10, 10, 10, 12.25};
  const MarkerPlaces places = state_.places;
  ScriptedFrontEnd stopped(std::nullopt);
  stopped.cancel_in = OpenStage::kAnalyse;
  EXPECT_EQ(Open(stopped).status.code(), StatusCode::kCancelled);
  ScriptedFrontEnd rerun(std::nullopt);
  ASSERT_TRUE(Open(rerun).status.ok());
  EXPECT_EQ(state_.places.x, places.x);
  EXPECT_EQ(state_.places.y, places.y);
  EXPECT_EQ(state_.places.area, places.area);
  const std::vector<std::string> block(report_.Lines().begin() + 3,
                                       report_.Lines().begin() + 6);
  EXPECT_EQ(block,
            (std::vector<std::string>{"  x    = 1 .. 6.5", "  y    = -6 .. -1",
                                      "  area = 10 .. 12.25, total "
                                      "62.25"}));
  // A data file gives none.
  ScriptedFrontEnd other(other_);
  ASSERT_TRUE(Open(other).status.ok());
  EXPECT_TRUE(state_.places.Empty());
  EXPECT_EQ(report_.Lines()[3], "");
}

TEST_F(OpenPipelineStops, NoMemoryToShowTheResultsChangesNothing) {
  ScriptedFrontEnd front_end(other_);
  front_end.no_memory_to_show = true;
  const OpenResult r = Open(front_end);
  EXPECT_EQ(r.status.code(), StatusCode::kOutOfMemory);
  EXPECT_EQ(r.status.message(), "Not enough memory for 5 data.");
  EXPECT_TRUE(Now() == before_);
  ScriptedFrontEnd rerun(std::nullopt);
  rerun.no_memory_to_show = true;
  EXPECT_EQ(Open(rerun).status.message(), "Not enough memory for 6 data.");
  EXPECT_TRUE(Now() == before_);
}

// Opens one path and gives the report another name for it.
class RenamingFrontEnd : public ScriptedFrontEnd {
 public:
  RenamingFrontEnd(std::string path, std::string name)
      : ScriptedFrontEnd(std::move(path)), name_(std::move(name)) {}
  std::string ReportName(const std::string& path) override {
    calls.push_back("name " + path);
    return name_;
  }

 private:
  std::string name_;
};

TEST_F(OpenPipeline, OpensTheChosenPathUnderItsReportName) {
  const std::string six =
      Write("six.txt", "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n3 1 32\n");
  // The name shown is never opened, even when it names other data.
  const std::string shown = Write("shown.txt", "3 2 30\n");
  RenamingFrontEnd front_end(six, shown);
  const OpenResult r = Open(front_end);
  EXPECT_TRUE(r.status.ok());
  EXPECT_EQ(state_.count, 6);
  EXPECT_EQ(front_end.calls[1], "name " + six);
  EXPECT_EQ(report_.Lines()[1], "  file = " + shown);
  EXPECT_EQ(file_name_, shown);

  RenamingFrontEnd refused(Write("bad.txt", "3 2 x\n"), "/shown/bad.txt");
  EXPECT_EQ(Open(refused).status.code(), StatusCode::kReadError);
  EXPECT_EQ(file_name_, "/shown/bad.txt");
  EXPECT_EQ(state_.count, 6);
}

TEST(DataBlock, NamesTheFileAndTheCount) {
  Report report;
  report.Append("old");
  WriteDataBlock(report, "/home/geo/rocks/sample 1.txt", 3);
  EXPECT_EQ(report.Lines(),
            (std::vector<std::string>{"*** Data ***",
                                      "  file = /home/geo/rocks/sample 1.txt",
                                      "  N    = 3"}));
}

}  // namespace
}  // namespace orvane
