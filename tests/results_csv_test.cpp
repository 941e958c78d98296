// SPDX-License-Identifier: MIT
// The results as CSV: the exact text of a sample, the quoting of names,
// figures that read back bit for bit, whatever the locale, and the writing
// in bounded pieces.
#include "io/results_csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/analysis.h"
#include "core/analysis_report.h"
#include "core/number_format.h"
#include "support/test_data.h"

namespace orvane {
namespace {

using testing_support::Ellipse;
using testing_support::StateOf;

// The six data the command-line tests use, analysed.
AnalysisState AnalysedSix(Report* report_out = nullptr) {
  AnalysisState state = StateOf({{3, 2, 30},
                                 {4, 2, 45},
                                 {5, 1, -10},
                                 {2, 1, 20},
                                 {3, 1, 40},
                                 {2.5f, 1, 35}});
  const AnalysisResult result = RunAnalysis(state);
  EXPECT_EQ(result, AnalysisResult::kBootstrapped);
  EXPECT_EQ(state.outcome, ConfidenceOutcome::kLimits);
  if (report_out != nullptr)
    WriteAnalysisReport(state, result, *report_out, ".");
  return state;
}

std::string WholeCsv(const AnalysisState& state, const std::string& file) {
  std::string text;
  EXPECT_TRUE(WriteResultsCsv(file, state, [&text](std::string_view piece) {
    text.append(piece);
    return true;
  }));
  return text;
}

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, by)) parts.push_back(part);
  if (!text.empty() && text.back() == by) parts.push_back("");
  return parts;
}

// The single a field reads back to, through the standard parser.
float ReadBack(const std::string& field) {
  float v = -1;
  const auto r = std::from_chars(field.data(), field.data() + field.size(), v);
  EXPECT_EQ(r.ec, std::errc()) << field;
  EXPECT_EQ(r.ptr, field.data() + field.size()) << field;
  return v;
}

void ExpectSameBits(const std::string& field, float expected) {
  EXPECT_EQ(std::bit_cast<std::uint32_t>(ReadBack(field)),
            std::bit_cast<std::uint32_t>(expected))
      << field << " for " << expected;
}

TEST(ResultsCsv, SampleTableExactText) {
  const AnalysisState state = AnalysedSix();
  EXPECT_EQ(WholeCsv(state, "/data/six.txt"),
            "# file,/data/six.txt\n"
            "# N,6\n"
            "# R_s,1.7583694\n"
            "# phi_s,20.124311\n"
            "# R_min,1.5325351\n"
            "# R_max,2.3577003\n"
            "# phi_min,-0.9067383\n"
            "# phi_max,41.28179\n"
            "# outcome,limits\n"
            "number,a,b,phi,R,R_pre,phi_pre\n"
            "1,3,2,30,1.5,1.262212,-88.283585\n"
            "2,4,2,45,2,1.766164,73.83891\n"
            "3,5,1,-10,5,4.4066224,-27.0824\n"
            "4,2,1,20,2,1.1374545,19.40231\n"
            "5,3,1,40,3,2.2055352,58.480236\n"
            "6,2.5,1,35,2.5,1.7023497,54.712498\n");
}

// Data that give their centroids and areas get columns for them, in the
// shortest decimals that read back to the doubles; a centroid alone gets
// its two.
TEST(ResultsCsv, CentroidAndAreaColumnsWhereTheDataGiveThem) {
  AnalysisState state = AnalysedSix();
  state.places.x = {0, 612345.125, 2, 3, 4, 5, 6};
  state.places.y = {0, 0.1, 2, 3, 4, 5, 6};
  state.places.area = {0, 1e-7, 1, 1, 1, 1, 2.5};
  std::string csv = WholeCsv(state, "/data/six.txt");
  const std::size_t header = csv.find("number,");
  EXPECT_EQ(csv.substr(header, csv.find('\n', header) - header),
            "number,a,b,phi,R,R_pre,phi_pre,x,y,area");
  EXPECT_NE(
      csv.find("\n1,3,2,30,1.5,1.262212,-88.283585,612345.125,0.1,1e-07\n"),
      std::string::npos);
  EXPECT_NE(csv.find("\n6,2.5,1,35,2.5,1.7023497,54.712498,6,6,2.5\n"),
            std::string::npos);
  state.places.area.clear();
  csv = WholeCsv(state, "/data/six.txt");
  EXPECT_NE(csv.find("phi_pre,x,y\n"), std::string::npos);
  EXPECT_NE(csv.find("54.712498,6,6\n"), std::string::npos);
}

// Each figure of the table, parsed back, is the single the analysis holds:
// the comment block's figures and every datum's six values.
TEST(ResultsCsv, EveryFigureReadsBackToItsSingle) {
  const AnalysisState state = AnalysedSix();
  const std::vector<std::string> lines =
      Split(WholeCsv(state, "six.txt"), '\n');
  // Nine comment lines, the header row, six rows and the empty rest.
  ASSERT_EQ(lines.size(), 9u + 1 + 6 + 1);
  EXPECT_EQ(lines[0], "# file,six.txt");
  EXPECT_EQ(lines[1], "# N,6");
  EXPECT_EQ(lines[8], "# outcome,limits");
  EXPECT_EQ(lines[9] + "\n", kDataCsvHeader);
  const std::vector<std::pair<std::string, float>> figures = {
      {"R_s", state.strain.ratio},
      {"phi_s", state.strain.phi},
      {"R_min", static_cast<float>(state.limits.ratio_min)},
      {"R_max", static_cast<float>(state.limits.ratio_max)},
      {"phi_min", static_cast<float>(state.limits.phi_min)},
      {"phi_max", static_cast<float>(state.limits.phi_max)}};
  for (std::size_t k = 0; k < figures.size(); ++k) {
    const std::vector<std::string> f = Split(lines[2 + k], ',');
    ASSERT_EQ(f.size(), 2u) << lines[2 + k];
    EXPECT_EQ(f[0], "# " + figures[k].first);
    ExpectSameBits(f[1], figures[k].second);
  }
  for (std::int32_t i = 1; i <= state.count; ++i) {
    const std::vector<std::string> f =
        Split(lines[static_cast<std::size_t>(9 + i)], ',');
    ASSERT_EQ(f.size(), 7u);
    EXPECT_EQ(f[0], std::to_string(i));
    const MarkerRecord& d = state.measured[static_cast<std::size_t>(i)];
    const MarkerRecord& pre = state.retrodeformed[static_cast<std::size_t>(i)];
    ExpectSameBits(f[1], d.major);
    ExpectSameBits(f[2], d.minor);
    ExpectSameBits(f[3], d.phi);
    ExpectSameBits(f[4], d.ratio);
    ExpectSameBits(f[5], pre.ratio);
    ExpectSameBits(f[6], pre.phi);
  }
}

// The shortest form: no digit more than reading back needs, the extremes
// and the sign of zero kept, nothing for values that are not finite.
TEST(ResultsCsv, ShortestFormOfExtremes) {
  for (const float v : {std::numeric_limits<float>::max(),
                        std::numeric_limits<float>::denorm_min(), -0.0f}) {
    ExpectSameBits(std::string(FormatShortest(v).view()), v);
  }
  EXPECT_EQ(FormatShortest(0.1f).view(), "0.1");
  EXPECT_EQ(FormatShortest(-37.0f).view(), "-37");
  EXPECT_EQ(FormatShortest(1e21f).view(), "1e+21");
  EXPECT_EQ(FormatShortest(1.7583694f).view(), "1.7583694");
  EXPECT_EQ(FormatShortest(std::numeric_limits<float>::infinity()).size, 0u);
  EXPECT_EQ(FormatShortest(std::numeric_limits<float>::quiet_NaN()).size, 0u);
}

// The limits the table gives are those the report's confidence block
// printed, not some other figure of the bootstrap.
TEST(ResultsCsv, LimitsAreThoseOfTheReport) {
  Report report;
  const AnalysisState state = AnalysedSix(&report);
  const std::vector<std::string>& lines = report.Lines();
  const auto at =
      std::find(lines.begin(), lines.end(), "** 95% Confidence Limits **");
  ASSERT_NE(at, lines.end());
  EXPECT_EQ(*(at + 2),
            "      min = " + FormatLimit(state.limits.ratio_min, "."));
  EXPECT_EQ(*(at + 3),
            "      max = " + FormatLimit(state.limits.ratio_max, "."));
  EXPECT_EQ(*(at + 5), "      min = " + FormatLimit(state.limits.phi_min, "."));
  EXPECT_EQ(*(at + 6), "      max = " + FormatLimit(state.limits.phi_max, "."));
  EXPECT_LT(state.limits.ratio_min, state.strain.ratio);
  EXPECT_GT(state.limits.ratio_max, state.strain.ratio);
  EXPECT_LT(state.limits.phi_min, state.strain.phi);
  EXPECT_GT(state.limits.phi_max, state.strain.phi);
  // A later analysis without limits leaves none behind.
  AnalysisState again = state;
  again.count = 3;
  EXPECT_EQ(RunAnalysis(again), AnalysisResult::kFewerThanFive);
  EXPECT_EQ(again.limits.ratio_min, 0);
  EXPECT_EQ(again.limits.phi_max, 0);
}

// The batch rows of the outcomes the command-line tests do not reach: a
// null strain, and rows as wide as the header whatever the outcome.
TEST(ResultsCsv, SummaryRowsWithoutLimits) {
  AnalysisState circles =
      StateOf({{1, 1, 0}, {2, 2, 10}, {1, 1, 20}, {3, 3, 30}, {1, 1, 40}});
  ASSERT_EQ(RunAnalysis(circles), AnalysisResult::kBootstrapped);
  ASSERT_EQ(circles.outcome, ConfidenceOutcome::kNullStrain);
  EXPECT_EQ(SummaryCsvRow("circles.txt", circles, ""),
            "circles.txt,5,1,0,,,,,null strain,\n");
  const std::size_t columns = Split(kSummaryCsvHeader, ',').size();
  EXPECT_EQ(Split(RefusedCsvRow("x", "y"), ',').size(), columns);
  EXPECT_EQ(Split(SummaryCsvRow("x", AnalysedSix(), "y"), ',').size(), columns);
}

// Names and messages with the characters CSV gives a meaning are quoted,
// so that each stays one field; a '#' anywhere would start a comment for
// readers told to skip them, and cut the row there.
TEST(ResultsCsv, FieldsAreQuotedWhenTheyMust) {
  auto field = [](std::string_view text) {
    std::string line;
    AppendCsvField(line, text);
    return line;
  };
  EXPECT_EQ(field("plain name.txt"), "plain name.txt");
  EXPECT_EQ(field("a,b.txt"), "\"a,b.txt\"");
  EXPECT_EQ(field("say \"x\".txt"), "\"say \"\"x\"\".txt\"");
  EXPECT_EQ(field("two\nlines"), "\"two\nlines\"");
  EXPECT_EQ(field("#1.txt"), "\"#1.txt\"");
  EXPECT_EQ(field("sample #3.txt"), "\"sample #3.txt\"");
  const AnalysisState six = AnalysedSix();
  EXPECT_EQ(WholeCsv(six, "/d/a,\"b\".txt")
                .rfind("# file,\"/d/a,\"\"b\"\".txt\"\n", 0),
            0u);
}

// However many data, the table goes out in pieces of about the size asked
// for, which together are the whole text; a refused piece stops the
// writing at once.
TEST(ResultsCsv, WrittenInBoundedPiecesUntilTheSinkRefuses) {
  std::vector<Ellipse> data;
  for (int i = 0; i < 3000; ++i) {
    data.push_back({1.5f + static_cast<float>(i % 17) / 7, 1,
                    static_cast<float>(i % 180 - 90)});
  }
  AnalysisState state = StateOf(data);
  RunAnalysis(state);
  const std::string whole = WholeCsv(state, "many.txt");
  std::string joined;
  std::size_t pieces = 0;
  EXPECT_TRUE(WriteResultsCsv(
      "many.txt", state,
      [&](std::string_view piece) {
        EXPECT_LE(piece.size(), 1000u + 128u);
        EXPECT_FALSE(piece.empty());
        joined.append(piece);
        ++pieces;
        return true;
      },
      1000));
  EXPECT_EQ(joined, whole);
  EXPECT_GT(pieces, whole.size() / 1128);

  std::size_t calls = 0;
  EXPECT_FALSE(WriteResultsCsv(
      "many.txt", state, [&calls](std::string_view) { return ++calls < 3; },
      1000));
  EXPECT_EQ(calls, 3u);
}

// The table is the same text under a locale with a decimal comma, while the
// report takes the comma.
TEST(ResultsCsv, SameTextUnderADecimalComma) {
  const std::string before = WholeCsv(AnalysedSix(), "six.txt");
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
      << "de_DE.UTF-8 is not installed: run scripts/setup.sh";
  ASSERT_EQ(LocaleDecimalSeparator(), ",");
  AnalysisState state = StateOf({{3, 2, 30},
                                 {4, 2, 45},
                                 {5, 1, -10},
                                 {2, 1, 20},
                                 {3, 1, 40},
                                 {2.5f, 1, 35}});
  Report report;
  WriteAnalysisReport(state, RunAnalysis(state), report,
                      LocaleDecimalSeparator());
  const std::string after = WholeCsv(state, "six.txt");
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(after, before);
  EXPECT_NE(report.Lines()[4].find(','), std::string::npos)
      << report.Lines()[4];
}

}  // namespace
}  // namespace orvane
