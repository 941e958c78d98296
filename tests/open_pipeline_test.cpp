#include "io/open_pipeline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_folder.h"

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
  void RunStage(OpenStage stage, const std::function<void()>& work) override {
    calls.push_back(stage == OpenStage::kRead ? "read" : "analyse");
    work();
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
            (std::vector<std::string>{"choose", "read", "committed 6",
                                      "analyse", "analysed, 18 lines"}));
  EXPECT_EQ(file_name_, six);
  EXPECT_EQ(report_.Lines()[1], "  file = " + six);
  EXPECT_EQ(AnalysisNotice(r), "");
  EXPECT_FALSE(state_.limits_summary.empty());
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
  EXPECT_EQ(cancel.calls, (std::vector<std::string>{"choose", "analyse",
                                                    "analysed, 3 lines"}));
  EXPECT_EQ(
      report_.Lines(),
      (std::vector<std::string>{
          "*** Data ***", "  file = /preset/sampledata.txt", "  N    = 0"}));

  ScriptedFrontEnd load(
      Write("five.txt", "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n"));
  Open(load);
  const std::vector<std::string> first = report_.Lines();
  const std::string limits = state_.limits_summary;
  ScriptedFrontEnd again(std::nullopt);
  r = Open(again);
  EXPECT_EQ(r.analysis, AnalysisResult::kBootstrapped);
  EXPECT_EQ(report_.Lines(), first);
  EXPECT_EQ(state_.limits_summary, limits);
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
