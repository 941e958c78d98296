// SPDX-License-Identifier: MIT
// A strain study in io: its file read, refused and written back, each
// section read as its source says and analysed with its own bootstrap, and
// the ellipsoid of sections cut from a known one.
#include "io/study.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "support/file_bytes.h"
#include "support/study_data.h"
#include "support/temp_folder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing_support::CutEllipsoid;
using testing_support::ExpectedPlane;
using testing_support::KnownEllipsoid;
using testing_support::SectionFile;
using testing_support::TempFolder;
using testing_support::TestPlane;
using testing_support::TestPlanes;
using testing_support::WriteExactStudy;

// The angle between two axes, degrees, whichever way each points.
double AxisAngle(const Vector3& a, const Vector3& b) {
  const double cos = std::fabs(a[0] * b[0] + a[1] * b[1] + a[2] * b[2]);
  return std::acos(std::min(1.0, cos)) * 180 / std::numbers::pi;
}

class StudyAnalysis : public ::testing::Test {
 protected:
  // The sections of `planes` cut from the known ellipsoid, analysed.
  StudyResult Analyse(const std::vector<TestPlane>& planes,
                      StageProgress* progress = nullptr) {
    path_ = WriteExactStudy(folder_.path(), planes, known_).string();
    Study study;
    const Status read = ReadStudyFile(path_, study);
    EXPECT_TRUE(read.ok()) << read.message();
    return AnalyseStudy(study, path_, bootstrap_, ".", progress);
  }
  std::string File(const std::string& name) const {
    return (folder_.path() / name).string();
  }

  TempFolder folder_{"study"};
  KnownEllipsoid known_;
  BootstrapSettings bootstrap_{50, 7};
  std::string path_;
  std::vector<TestPlane> planes_ = TestPlanes();
  // Three planes as vectors, and three by strike and dip.
  std::vector<TestPlane> vectors_ = {planes_[0], planes_[1], planes_[2]};
  std::vector<TestPlane> attitudes_ = {
      planes_[3],
      planes_[4],
      {{true, {}, {}, 250, 30, 100},
       "\"strike\": 250, \"dip\": 30, \"reference_rake\": 100"}};
};

TEST_F(StudyAnalysis, ExactSectionsGiveTheKnownEllipsoidInBothForms) {
  for (const auto& planes : {vectors_, attitudes_}) {
    SCOPED_TRACE(planes.front().json);
    StageProgress progress;
    const StudyResult result = Analyse(planes, &progress);
    ASSERT_TRUE(result.status.ok()) << result.status.message();
    ASSERT_TRUE(result.ellipsoid.status.ok())
        << result.ellipsoid.status.message();
    const Ellipsoid& e = result.ellipsoid.estimate;
    EXPECT_NEAR(e.x / known_.x, 1, 1e-4);
    EXPECT_NEAR(e.y / known_.y, 1, 1e-4);
    EXPECT_NEAR(e.z / known_.z, 1, 1e-4);
    for (int k = 0; k < 3; ++k) {
      EXPECT_LT(AxisAngle(e.axes[k].vector, known_.Axes()[k]), 0.1) << k;
    }
    // Every section bootstrapped from its own stretch of the stream, and
    // its resamples refitted.
    EXPECT_TRUE(result.ellipsoid.has_limits);
    EXPECT_EQ(result.ellipsoid.resamples, 50);
    EXPECT_EQ(result.ellipsoid.cloud.size() + result.ellipsoid.failed, 50u);
    EXPECT_EQ(progress.Fraction(), 1.0);
    ASSERT_EQ(result.sections.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
      const SectionResult& s = result.sections[i];
      const std::string name = "s" + std::to_string(i + 1) + ".txt";
      EXPECT_EQ(s.name, "S" + std::to_string(i + 1));
      EXPECT_EQ(s.path, File(name));
      EXPECT_TRUE(s.status.ok()) << s.status.message();
      EXPECT_EQ(s.opened.analysis, AnalysisResult::kBootstrapped);
      EXPECT_EQ(s.state.bootstrap,
                (BootstrapSettings{50, SectionSeed(7, static_cast<int>(i))}));
      EXPECT_EQ(s.notice, "");
      ASSERT_GE(s.report.Lines().size(), 3u);
      EXPECT_EQ(s.report.Lines()[1], "  file = " + FullPathOfFile(File(name)));
      EXPECT_EQ(s.report.Lines()[2], "  N    = 20");
      const SectionPlane expected = ExpectedPlane(planes[i].orientation);
      for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(s.plane.normal[c], expected.normal[c], 1e-12);
        EXPECT_NEAR(s.plane.reference[c], expected.reference[c], 1e-12);
      }
    }
  }
}

// A table's options reach its reading: a table of the second section's
// markers with the angles clockwise, in columns named Max and Min, gives
// the same singles, so the same strain and the same ellipsoid, as the data
// file, and the reading's notice about the columns.
TEST_F(StudyAnalysis, TableSourceReadsAsItsOptionsSay) {
  const StudyResult native = Analyse(vectors_);
  ASSERT_TRUE(native.status.ok()) << native.status.message();

  const SectionShape shape =
      CutEllipsoid(known_.Form(), ExpectedPlane(vectors_[1].orientation));
  std::string table = "Max;Min;Angle\r\n";
  char row[96];
  std::snprintf(row, sizeof row, "%.9g;1;%.9g\r\n", shape.ratio, -shape.phi);
  for (int i = 0; i < 20; ++i) table += row;
  folder_.Write("s2.csv", table);
  std::string text = testing_support::ReadWholeFile(path_);
  const std::string native_source = "\"source\": \"s2.txt\"";
  text.replace(text.find(native_source), native_source.size(),
               "\"source\": {\"table\": \"s2.csv\", \"angle\": \"cw-x\", "
               "\"delimiter\": \"semicolon\", \"header\": true}");
  folder_.Write("study.json", text);
  Study study;
  ASSERT_TRUE(ReadStudyFile(path_, study).ok());
  const StudyResult imported = AnalyseStudy(study, path_, bootstrap_, ".");
  ASSERT_TRUE(imported.status.ok()) << imported.status.message();

  const SectionResult& s = imported.sections[1];
  EXPECT_EQ(s.path, File("s2.csv"));
  EXPECT_EQ(s.state.strain.ratio, native.sections[1].state.strain.ratio);
  EXPECT_EQ(s.state.strain.phi, native.sections[1].state.strain.phi);
  EXPECT_EQ(imported.ellipsoid.estimate.x, native.ellipsoid.estimate.x);
  EXPECT_EQ(imported.ellipsoid.estimate.z, native.ellipsoid.estimate.z);
  EXPECT_EQ(s.notice,
            "The columns Min and Max are taken as the minor and major axes: "
            "choose the columns if they hold anything else.");
}

// A section that cannot be read, or holds no data, refuses the study under
// its name; the first refusal is the study's, the other sections are still
// analysed and no ellipsoid is fitted. A section of fewer than five data is
// analysed without a bootstrap, and the ellipsoid then has no limits.
TEST_F(StudyAnalysis, SectionsThatFailAreNamed) {
  std::vector<TestPlane> planes = vectors_;
  planes.push_back(planes_[3]);
  Analyse(planes);
  fs::remove(File("s2.txt"));
  folder_.Write("s3.txt", "");
  Study study;
  ASSERT_TRUE(ReadStudyFile(path_, study).ok());
  StudyResult result = AnalyseStudy(study, path_, bootstrap_, ".");
  EXPECT_EQ(result.status.message(), "section \"S2\": File not exits.");
  EXPECT_EQ(result.status.code(), StatusCode::kFileMissing);
  EXPECT_FALSE(result.ellipsoid.status.ok());
  ASSERT_EQ(result.sections.size(), 4u);
  EXPECT_TRUE(result.sections[0].status.ok());
  EXPECT_EQ(result.sections[1].status.message(),
            "section \"S2\": File not exits.");
  EXPECT_EQ(result.sections[2].status.message(), "section \"S3\": No data.");
  EXPECT_EQ(result.sections[2].notice, "No data.");
  EXPECT_EQ(result.sections[3].opened.analysis, AnalysisResult::kBootstrapped);

  // Unnamed, the section is numbered; three data give no bootstrap.
  study.sections[1].name.clear();
  folder_.Write("s2.txt", SectionFile({{}, 2, 10}, 3));
  folder_.Write("s3.txt", SectionFile({{}, 1.5, -20}, 20));
  result = AnalyseStudy(study, path_, bootstrap_, ".");
  ASSERT_TRUE(result.status.ok()) << result.status.message();
  EXPECT_EQ(result.sections[1].notice, "Number of data < 5");
  EXPECT_EQ(result.sections[1].opened.analysis, AnalysisResult::kFewerThanFive);
  EXPECT_FALSE(result.ellipsoid.has_limits);
  EXPECT_TRUE(result.ellipsoid.cloud.empty());
  std::string warnings;
  for (const std::string& w : result.ellipsoid.warnings) warnings += w + "\n";
  EXPECT_NE(warnings.find("section 2 has fewer than five data"),
            std::string::npos)
      << warnings;

  // A study cancelled before it begins analyses nothing.
  StageProgress progress;
  progress.Cancel();
  result = AnalyseStudy(study, path_, bootstrap_, ".", &progress);
  EXPECT_EQ(result.status.code(), StatusCode::kCancelled);
  EXPECT_TRUE(result.sections.empty());
}

// A cancel reaches the section under way: its bootstrap stops, and the
// study ends there rather than after the section (whose 20000 data take
// seconds to bootstrap).
TEST_F(StudyAnalysis, CancelStopsTheSectionUnderWay) {
  Analyse(vectors_);
  folder_.Write("s1.txt", SectionFile({{}, 2, 30}, 20000));
  Study study;
  ASSERT_TRUE(ReadStudyFile(path_, study).ok());
  StageProgress progress;
  std::thread user([&progress] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    progress.Cancel();
  });
  const StudyResult result =
      AnalyseStudy(study, path_, {kMaxBootstrapResamples, 1}, ".", &progress);
  user.join();
  EXPECT_EQ(result.status.code(), StatusCode::kCancelled);
  ASSERT_EQ(result.sections.size(), 1u);
  EXPECT_EQ(result.sections[0].opened.status.code(), StatusCode::kCancelled);
}

class StudyFile : public ::testing::Test {
 protected:
  Status Read(const std::string& text, Study& study) {
    return ReadStudyFile(folder_.Write("study.json", text), study);
  }
  std::string Path() const { return (folder_.path() / "study.json").string(); }
  TempFolder folder_{"study_file"};
};

TEST_F(StudyFile, WritesBackTheFormsAndOptionsItRead) {
  Study study;
  ASSERT_TRUE(Read(R"({"name": "HT-17", "sections": [
  {"name": "XZ", "source": "xz.txt", "normal": [0, 1, 0], "reference": [1, 0, 0]},
  {"name": "YZ", "source": {"table": "yz.csv", "columns": "major,minor,angle"},
   "strike": 120, "dip": 60.5, "reference_rake": 0}]})",
                   study)
                  .ok());
  EXPECT_EQ(StudyJson(study), R"({
  "name": "HT-17",
  "sections": [
    {
      "name": "XZ",
      "source": "xz.txt",
      "normal": [0, 1, 0],
      "reference": [1, 0, 0]
    },
    {
      "name": "YZ",
      "source": {"table": "yz.csv", "columns": "major,minor,angle"},
      "strike": 120,
      "dip": 60.5,
      "reference_rake": 0
    }
  ]
}
)");

  // Every kind of source with every option, an unnamed section and
  // numbers without a short decimal form, through the file and back.
  Study all;
  StudySection table{"T", "sub/t.txt", {}, {}};
  table.choices.kind = SourceChoices::Kind::kTable;
  ASSERT_TRUE(ParseColumnRoles("-,A,b,Phi,x,Y,area,Rf",
                               table.choices.table.roles.emplace()));
  table.choices.table.convention = AngleConvention{
      AngleReference::kNorth, AngleSense::kClockwise, AngleUnit::kRadians};
  table.choices.table.delimiter = Delimiter::kTab;
  table.choices.table.header = false;
  table.choices.table.decimal_comma = true;
  table.orientation = {false, {0.1, -1e-20, 3}, {1.0 / 3, 2, 0}, 0, 0, 0};
  StudySection outlines{
      "", "/abs/grains.gpkg", {}, {true, {}, {}, 359.5, 89, -45}};
  outlines.choices.kind = SourceChoices::Kind::kOutlines;
  outlines.choices.layer = "grains 2";
  StudySection image{"Bild ü", "labels.tif", {}, {true, {}, {}, 10, 0, 0}};
  image.choices.kind = SourceChoices::Kind::kLabelImage;
  image.choices.image.pixel_size = 0.25;
  image.choices.image.min_pixels = 5;
  all.sections = {table, outlines, image};
  ASSERT_TRUE(WriteStudyFile(Path(), all).ok());
  Study read;
  const Status reread = ReadStudyFile(Path(), read);
  ASSERT_TRUE(reread.ok()) << reread.message();
  EXPECT_EQ(StudyJson(read), StudyJson(all));
  ASSERT_EQ(read.sections.size(), 3u);
  const SourceChoices& t = read.sections[0].choices;
  EXPECT_EQ(t.kind, SourceChoices::Kind::kTable);
  EXPECT_EQ(*t.table.roles, *table.choices.table.roles);
  EXPECT_EQ(t.table.convention, table.choices.table.convention);
  EXPECT_EQ(t.table.delimiter, Delimiter::kTab);
  EXPECT_EQ(t.table.header, false);
  EXPECT_EQ(t.table.decimal_comma, true);
  EXPECT_EQ(read.sections[0].orientation.normal, table.orientation.normal);
  EXPECT_EQ(read.sections[0].orientation.reference,
            table.orientation.reference);
  EXPECT_EQ(read.sections[1].name, "");
  EXPECT_EQ(read.sections[1].choices.layer, "grains 2");
  EXPECT_TRUE(read.sections[1].orientation.geological);
  EXPECT_EQ(read.sections[1].orientation.reference_rake, -45);
  EXPECT_EQ(read.sections[2].choices.kind, SourceChoices::Kind::kLabelImage);
  EXPECT_EQ(read.sections[2].choices.image.pixel_size, 0.25);
  EXPECT_EQ(read.sections[2].choices.image.min_pixels, 5);
  EXPECT_EQ(SectionPath(Path(), read.sections[0].source),
            (folder_.path() / "sub/t.txt").string());
  EXPECT_EQ(SectionPath(Path(), read.sections[1].source), "/abs/grains.gpkg");
  EXPECT_EQ(SectionPath("study.json", "a.txt"), "a.txt");

  // What a study file cannot hold is refused, and the file kept.
  all.sections[0].source = "bad\xff.txt";
  EXPECT_EQ(WriteStudyFile(Path(), all).message(),
            "Cannot write \"" + Path() +
                "\": section \"T\": a name that is not UTF-8 text");
  EXPECT_EQ(
      WriteStudyFile(folder_.path().string(), study).message(),
      "Cannot write \"" + folder_.path().string() + "\": it is a folder.");
  EXPECT_TRUE(ReadStudyFile(Path(), read).ok());
}

// Each fault of a study file, with the message that names its place: the
// line and column of bad JSON (in characters), the section by its name or
// number, and the key.
TEST_F(StudyFile, FaultsAreRefusedWithWhereAndWhat) {
  const std::string ok_section =
      R"({"source": "a.txt", "normal": [0, 0, 1], "reference": [1, 0, 0]})";
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"{\"sections\": [\n  {\"name\": \"S\xC3\xBC\x64\", \"source\": "
       "\"a.txt\",}]}",
       "line 2, column 37: syntax error while parsing object key - unexpected "
       "'}'; expected string literal"},
      {"",
       "line 1, column 1: syntax error while parsing value - unexpected "
       "end of input; expected '[', '{', or a literal"},
      {"[]",
       "a study file holds one object: {\"name\": ..., \"sections\": "
       "[...]}"},
      {R"({"name": "A"})",
       "no \"sections\": give the list of the study's sections"},
      {R"({"sections": [], "author": "me"})",
       "unknown key \"author\" (a study has name and sections)"},
      {"{\"sections\": [" + ok_section + ", 3]}",
       "section 2: not an object: a section is {\"name\": ..., \"source\": "
       "..., ...}"},
      {R"({"sections": [{"name": "XZ", "source": "a.txt", "colour": 1}]})",
       "section \"XZ\": unknown key \"colour\" (a section has name, source, "
       "and normal and reference or strike, dip and reference_rake)"},
      {R"({"sections": [{"name": "XZ", "normal": [0, 0, 1]}]})",
       "section \"XZ\": no \"source\": give the file the section's data are "
       "read from"},
      {R"({"sections": [{"name": "YZ", "source": "a.txt", "strike": 10,
           "dip": "60"}]})",
       "section \"YZ\": \"dip\" needs a number"},
      {R"({"sections": [{"name": "YZ", "source": "a.txt", "strike": 10}]})",
       "section \"YZ\": no \"dip\": the plane's attitude is \"strike\" and "
       "\"dip\""},
      {R"({"sections": [{"source": "a.txt", "normal": [0, 0, 1],
           "reference": [1, 0, 0], "dip": 30}]})",
       "section 1: the orientation is given twice: either \"normal\" and "
       "\"reference\", or \"strike\" and \"dip\""},
      {R"({"sections": [{"name": "XZ", "source": "a.txt"}]})",
       "section \"XZ\": no orientation: give \"normal\" and \"reference\", or "
       "\"strike\" and \"dip\""},
      {R"({"sections": [{"name": "XZ", "source": "a.txt",
           "normal": [0, 1], "reference": [1, 0, 0]}]})",
       "section \"XZ\": \"normal\" needs three numbers"},
      {R"({"sections": [{"name": "T", "source": {"table": "t.csv",
           "angle": "north"}, "normal": [0, 0, 1], "reference": [1, 0, 0]}]})",
       "section \"T\": source: \"angle\" needs \"ccw-x\", \"cw-x\", "
       "\"cw-north\" or \"ccw-north\""},
      {R"({"sections": [{"name": "T", "source": {"table": "t.csv",
           "layer": "a"}, "normal": [0, 0, 1], "reference": [1, 0, 0]}]})",
       "section \"T\": source: unknown key \"layer\" (a table's options are "
       "columns, angle, radians, delimiter, header and decimal_comma)"},
      {R"({"sections": [{"name": "T", "source": {"table": "t.csv",
           "outlines": "o.shp"}, "normal": [0, 0, 1], "reference": [1, 0, 0]}]})",
       "section \"T\": source: \"table\" and \"outlines\" exclude each other"},
      {R"({"sections": [{"name": "L", "source": {"label_image": "l.tif",
           "min_pixels": -3}, "normal": [0, 0, 1], "reference": [1, 0, 0]}]})",
       "section \"L\": source: \"min_pixels\" needs a whole number from 1 to "
       "1000000000"},
  };
  for (const auto& c : cases) {
    Study study;
    const Status read = Read(c.text, study);
    EXPECT_EQ(read.message(), Path() + ": " + c.message) << c.text;
    EXPECT_EQ(read.code(), StatusCode::kReadError);
  }

  // A plane its section's orientation does not give: PlaneOf's reason,
  // under the section's name.
  SectionOrientation off;
  off.normal = {0, 0, 1};
  off.reference = {1, 0, 1};
  SectionPlane plane;
  const Status refused = PlaneOf(off, plane);
  ASSERT_FALSE(refused.ok());
  Study study;
  EXPECT_EQ(Read(R"({"sections": [{"name": "XZ", "source": "a.txt",
                 "normal": [0, 0, 1], "reference": [1, 0, 1]}]})",
                 study)
                .message(),
            Path() + ": section \"XZ\": " + refused.message());

  // An empty list reads; a missing file says so.
  EXPECT_TRUE(Read(R"({"sections": []})", study).ok());
  EXPECT_TRUE(study.sections.empty());
  const std::string missing = (folder_.path() / "none.json").string();
  const Status none = ReadStudyFile(missing, study);
  EXPECT_EQ(none.message(), missing + ": the study file does not exist");
  EXPECT_EQ(none.code(), StatusCode::kFileMissing);
}

}  // namespace
}  // namespace orvane
