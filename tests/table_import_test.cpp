// SPDX-License-Identifier: MIT
#include "io/table_import.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/analysis.h"
#include "core/analysis_report.h"
#include "core/report.h"
#include "io/open_pipeline.h"
#include "support/piece_source.h"
#include "support/temp_folder.h"

namespace orvane {
namespace {

LoadedData LoadNative(const std::string& text) {
  MemorySource source(text);
  LoadedData data;
  const Status s = ReadDataFile(source, data);
  EXPECT_TRUE(s.ok()) << s.message();
  return data;
}

// Detects the layout of `table` (taking `choices`), then imports it.
Status Import(const std::string& table, LoadedData& data,
              const TableChoices& choices = {}, TableLayout* used = nullptr) {
  MemorySource looked(table);
  TablePreview preview;
  if (Status s = PreviewTable(looked, choices, preview); !s.ok()) return s;
  if (used != nullptr) *used = preview.layout;
  MemorySource source(table);
  return ImportTable(source, preview.layout, data);
}

LoadedData Imported(const std::string& table,
                    const TableChoices& choices = {}) {
  LoadedData data;
  const Status s = Import(table, data, choices);
  EXPECT_TRUE(s.ok()) << s.message();
  return data;
}

// Both data sets hold the same singles, and their analyses give the same
// state and the same report, bit for bit.
void ExpectSameAnalysis(LoadedData table, LoadedData native) {
  ASSERT_EQ(table.count, native.count);
  ASSERT_EQ(table.measured.size(), native.measured.size());
  for (std::size_t i = 1; i < native.measured.size(); ++i) {
    const MarkerRecord& t = table.measured[i];
    const MarkerRecord& n = native.measured[i];
    EXPECT_EQ(std::memcmp(&t, &n, sizeof t), 0)
        << "datum " << i << ": " << t.major << " " << t.minor << " " << t.phi
        << " vs " << n.major << " " << n.minor << " " << n.phi;
  }
  AnalysisState a, b;
  CommitLoadedData(a, std::move(table));
  CommitLoadedData(b, std::move(native));
  const AnalysisResult from_table = RunAnalysis(a);
  const AnalysisResult from_file = RunAnalysis(b);
  EXPECT_EQ(from_table, from_file);
  Report ra, rb;
  WriteAnalysisReport(a, from_table, ra, ".");
  WriteAnalysisReport(b, from_file, rb, ".");
  EXPECT_EQ(ra.Lines(), rb.Lines());
  EXPECT_EQ(std::memcmp(&a.strain, &b.strain, sizeof a.strain), 0);
  EXPECT_EQ(std::memcmp(a.retrodeformed.data(), b.retrodeformed.data(),
                        a.retrodeformed.size() * sizeof(MarkerRecord)),
            0);
  ASSERT_EQ(a.solutions.size(), b.solutions.size());
  EXPECT_EQ(std::memcmp(a.solutions.data(), b.solutions.data(),
                        a.solutions.size() * sizeof(BootstrapSolution)),
            0);
  EXPECT_EQ(LimitsSummary(a, "."), LimitsSummary(b, "."));
}

// The exact decimal of a long double, which reads back to it.
std::string Exact(long double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.21Lg", v);
  return text;
}

// Tables as other programs write them give the figures of the data file a
// user would write by hand from them.

TEST(TableImportRealTables, ImageAnalysisResultsWithExtraColumns) {
  // The results table of an image-analysis program: a row-number column
  // without a name, area, centroid, the fitted ellipse and shape figures.
  const std::string table =
      " ,Area,Mean,X,Y,Major,Minor,Angle,Circ.,AR\n"
      "1,412,255,101.25,40.5,31.204,14.118,35.772,0.712,2.21\n"
      "2,380,255,150.75,60.25,28.5,12.25,41.104,0.702,2.327\n"
      "3,299,255,20.5,90.75,24.031,13.9,28.003,0.833,1.729\n"
      "4,511,255,88.25,120.5,36.66,15.01,47.5,0.655,2.442\n"
      "5,275,255,60,130.25,22.874,11.402,33.09,0.77,2.006\n"
      "6,330,255,140.5,20.75,26.1,13.05,178.25,0.79,2\n"
      "7,402,255,30.25,10.5,30.012,14.871,2.5,0.81,2.018\n";
  const std::string native =
      "31.204 14.118 35.772\n28.5 12.25 41.104\n24.031 13.9 28.003\n"
      "36.66 15.01 47.5\n22.874 11.402 33.09\n26.1 13.05 178.25\n"
      "30.012 14.871 2.5\n";
  TableLayout layout;
  LoadedData data;
  ASSERT_TRUE(Import(table, data, {}, &layout).ok());
  EXPECT_EQ(layout.delimiter, Delimiter::kComma);
  EXPECT_TRUE(layout.header);
  EXPECT_EQ(layout.major_column, 5);
  EXPECT_EQ(layout.minor_column, 6);
  EXPECT_EQ(layout.angle_column, 7);
  EXPECT_EQ(layout.ratio_column, -1);  // AR beside the axes is not used
  EXPECT_EQ(layout.convention, AngleConvention{});
  // The centroid and the area come with the data.
  EXPECT_EQ(layout.x_column, 3);
  EXPECT_EQ(layout.y_column, 4);
  EXPECT_EQ(layout.area_column, 1);
  ASSERT_EQ(data.places.x.size(), 8u);
  EXPECT_EQ(data.places.x[2], 150.75);
  EXPECT_EQ(data.places.y[7], 10.5);
  EXPECT_EQ(data.places.area[4], 511.0);
  ExpectSameAnalysis(std::move(data), LoadNative(native));
}

// A centroid needs both its columns: a lone x is no centroid, and chosen
// alone it is refused. Its cells are numbers of any size, in double.
TEST(TableImportRealTables, CentroidsAndAreas) {
  LoadedData data = Imported("x,Major,Minor,Angle\n5,3,2,30\n");
  EXPECT_TRUE(data.places.Empty());
  TableChoices choices;
  choices.roles = {ColumnRole::kX,     ColumnRole::kY,     ColumnRole::kArea,
                   ColumnRole::kMajor, ColumnRole::kMinor, ColumnRole::kAngle};
  data = Imported("1e300,-612345.0625,0.5,3,2,30\n", choices);
  EXPECT_EQ(data.places.x[1], 1e300);
  EXPECT_EQ(data.places.y[1], -612345.0625);
  EXPECT_EQ(data.places.area[1], 0.5);
  EXPECT_EQ(Import("1,,2,3,2,30\n", data, choices).message(),
            "line 1, column 2: empty cell");
  EXPECT_EQ(Import("1,2,1e400,3,2,30\n", data, choices).message(),
            "line 1, column 3: beyond the range of double precision");
  choices.roles = {ColumnRole::kX, ColumnRole::kMajor, ColumnRole::kMinor,
                   ColumnRole::kAngle};
  EXPECT_EQ(Import("1,3,2,30\n", data, choices).message(),
            "No column holds the centroid's y.");
}

TEST(TableImportRealTables, RatioAndOrientationWithCrlf) {
  const std::string table =
      "R,phi\r\n2.5,30\r\n1.8,42.5\r\n3.1,25\r\n2.2,-10\r\n1.5,60\r\n"
      "2.75,33.3\r\n";
  const std::string native =
      "2.5 1 30\n1.8 1 42.5\n3.1 1 25\n2.2 1 -10\n1.5 1 60\n2.75 1 33.3\n";
  TableLayout layout;
  LoadedData data;
  ASSERT_TRUE(Import(table, data, {}, &layout).ok());
  EXPECT_EQ(layout.ratio_column, 0);
  EXPECT_EQ(layout.angle_column, 1);
  ExpectSameAnalysis(std::move(data), LoadNative(native));
}

TEST(TableImportRealTables, SemiAxesWithClockwiseAngles) {
  // A digitising tool: semi-axes, tab-separated, angles clockwise from the
  // image's x axis (its y axis points down).
  const std::string table =
      "a\tb\tphi\n15.6\t7.05\t30.5\n14.25\t6.125\t41\n12\t6.95\t-28\n"
      "18.33\t7.5\t47.75\n11.437\t5.701\t33\n13.05\t6.525\t1.25\n";
  const std::string native =
      "15.6 7.05 -30.5\n14.25 6.125 -41\n12 6.95 28\n18.33 7.5 -47.75\n"
      "11.437 5.701 -33\n13.05 6.525 -1.25\n";
  TableChoices cw;
  cw.convention = AngleConvention{AngleReference::kXAxis,
                                  AngleSense::kClockwise, AngleUnit::kDegrees};
  ExpectSameAnalysis(Imported(table, cw), LoadNative(native));

  // Azimuths (clockwise from north), told by the header.
  const std::string azimuths =
      "Max,Min,Azimuth\n15.6,7.05,30.5\n14.25,6.125,141\n12,6.95,95.25\n"
      "18.33,7.5,0\n11.437,5.701,179.9\n13.05,6.525,60\n"
      // 90 minus it lies just above the midpoint of two singles, so near
      // that a difference taken in double would round to the lower one.
      "6,2,24.99999618530273348682158\n";
  const std::string by_hand =
      "15.6 7.05 59.5\n14.25 6.125 -51\n12 6.95 -5.25\n18.33 7.5 90\n"
      "11.437 5.701 " +
      Exact(90.0L - std::strtold("179.9", nullptr)) + "\n13.05 6.525 30\n6 2 " +
      Exact(90.0L - std::strtold("24.99999618530273348682158", nullptr)) + "\n";
  const LoadedData expected = LoadNative(by_hand);
  ASSERT_EQ(expected.count, 7);
  EXPECT_EQ(expected.measured[7].phi, 65 + 0x1p-17f);
  ExpectSameAnalysis(Imported(azimuths), LoadNative(by_hand));
}

TEST(TableImportRealTables, SemicolonsAndDecimalCommas) {
  const std::string table =
      "Major;Minor;Angle\n3,5;1,25;120,5\n4;2,125;95\n2,875;1,5;110,25\n"
      "5,5;2;101\n3,125;1,75;99,5\n;;\n4,25;2,25;130\n\n\n";
  const std::string native =
      "3.5 1.25 120.5\n4 2.125 95\n2.875 1.5 110.25\n5.5 2 101\n"
      "3.125 1.75 99.5\n4.25 2.25 130\n";
  TableLayout layout;
  LoadedData data;
  ASSERT_TRUE(Import(table, data, {}, &layout).ok());
  EXPECT_EQ(layout.delimiter, Delimiter::kSemicolon);
  EXPECT_TRUE(layout.decimal_comma);
  ExpectSameAnalysis(std::move(data), LoadNative(native));
}

TEST(TableImportRealTables, RadiansColumn) {
  // The last lies where a product of the number read and 180/pi rounded
  // to double, or a 180/pi of double precision, would give another single.
  const char* const radians[] = {
      "0.5235987755982988",        "0.7330382858376184", "-0.2617993877991494",
      "1.0471975511965976",        "0.6108652381980153", "3.0543261909900767",
      "1.134464080375341437766784"};
  const double degrees[] = {30, 42, -15, 60, 35, 175, 65};
  std::string table = "long,short,phi (rad)\n";
  std::string native;
  for (int i = 0; i < 7; ++i) {
    const std::string major = std::to_string(3 + i), minor = "1.5";
    table += major + "," + minor + "," + radians[i] + "\n";
    const long double phi =
        std::strtold(radians[i], nullptr) * 57.295779513082320876798L;
    native += major + " " + minor + " " + Exact(phi) + "\n";
  }
  TableLayout layout;
  LoadedData data;
  ASSERT_TRUE(Import(table, data, {}, &layout).ok());
  EXPECT_EQ(layout.convention.unit, AngleUnit::kRadians);
  for (int i = 0; i < 7; ++i) {
    EXPECT_NEAR(data.measured[static_cast<std::size_t>(i) + 1].phi, degrees[i],
                1e-5);
  }
  ExpectSameAnalysis(std::move(data), LoadNative(native));
}

TEST(TableImportRealTables, ByteOrderMarkAndQuotedCells) {
  const std::string table =
      "\xEF\xBB\xBF\"Major\"\t\"Minor\"\t\"Angle\"\n\"3.5\"\t\"2\"\t\"30\"\n"
      "4\t2\t45\n5\t1\t40\n6\t2\t35\n2\t1\t38\n3\t1\t32\n";
  const std::string native =
      "3.5 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n3 1 32\n";
  TableLayout layout;
  LoadedData data;
  ASSERT_TRUE(Import(table, data, {}, &layout).ok());
  EXPECT_EQ(layout.delimiter, Delimiter::kTab);
  EXPECT_TRUE(layout.header);
  ExpectSameAnalysis(std::move(data), LoadNative(native));
}

TEST(TableImportRealTables, HeaderlessTablesByTheirWidth) {
  // Three numbers a row: major, minor, orientation; two: R, orientation.
  ExpectSameAnalysis(Imported("3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n"),
                     LoadNative("3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n"));
  ExpectSameAnalysis(Imported("1.5,30\n2,45\n5,40\n3,35\n2,38\n"),
                     LoadNative("1.5 1 30\n2 1 45\n5 1 40\n3 1 35\n2 1 38\n"));
  // A byte order mark before a first row of numbers: still no header.
  ExpectSameAnalysis(Imported("\xEF\xBB\xBF"
                              "3;2;30\r\n4;2;45\r\n5;1;40\r\n"),
                     LoadNative("3 2 30\n4 2 45\n5 1 40\n"));
}

// The conventions, converted to degrees counter-clockwise from the x axis.
TEST(TableImportConventions, EachConventionConverts) {
  using R = AngleReference;
  using S = AngleSense;
  using U = AngleUnit;
  struct Case {
    AngleConvention convention;
    long double in, out;
  };
  const Case cases[] = {
      {{R::kXAxis, S::kCounterClockwise, U::kDegrees}, 30, 30},
      {{R::kXAxis, S::kClockwise, U::kDegrees}, 30, -30},
      {{R::kNorth, S::kClockwise, U::kDegrees}, 30, 60},
      {{R::kNorth, S::kClockwise, U::kDegrees}, 135, -45},
      {{R::kNorth, S::kCounterClockwise, U::kDegrees}, 30, 120},
      {{R::kXAxis, S::kCounterClockwise, U::kRadians}, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToNativeOrientation(c.in, c.convention), c.out) << c.in;
  }
  const AngleConvention radians{R::kNorth, S::kClockwise, U::kRadians};
  EXPECT_NEAR(
      static_cast<double>(ToNativeOrientation(std::acos(-1.0L) / 6, radians)),
      60.0, 1e-15);
}

TEST(TableImportConventions, HeaderNamesGiveTheRoles) {
  struct Case {
    const char* table;
    int major, minor, ratio, angle;
    bool notice = false;  // Min and Max taken as the axes, and said so
  };
  const Case cases[] = {
      {"Major,Minor,Angle\n3,2,30\n", 0, 1, -1, 2},
      {"a;b;phi\n3;2;30\n", 0, 1, -1, 2},
      {"Rf\tphi\n3\t30\n", -1, -1, 0, 1},
      {"id,R,Phi\n1,3,30\n", -1, -1, 1, 2},
      {"Phi,Max,Min\n30,3,2\n", 1, 2, -1, 0, true},
      {"LONG SHORT ORIENTATION\n3 2 30\n", 0, 1, -1, 2},
      {"\"Semi-major\",\"Semi-minor\",\"Angle (deg)\"\n3,2,30\n", 0, 1, -1, 2},
      {"l.axis\ts.axis\tphi\n3\t2\t30\n", 0, 1, -1, 2},
      // ImageJ's grey values Min and Max come before the fitted ellipse's
      // axes, which win; beside R they are not axes either.
      {" ,Area,Mean,Min,Max,X,Y,Perim.,Major,Minor,Angle\n"
       "1,412,120,10,250,101,40,80,31.2,14.1,35.7\n",
       8, 9, -1, 10},
      {"R,Min,Max,phi\n3,1,2,30\n", -1, -1, 0, 3},
  };
  for (const Case& c : cases) {
    MemorySource source(c.table);
    TablePreview preview;
    const Status s = PreviewTable(source, {}, preview);
    ASSERT_TRUE(s.ok()) << c.table << ": " << s.message();
    EXPECT_TRUE(preview.layout.header) << c.table;
    EXPECT_EQ(preview.layout.major_column, c.major) << c.table;
    EXPECT_EQ(preview.layout.minor_column, c.minor) << c.table;
    EXPECT_EQ(preview.layout.ratio_column, c.ratio) << c.table;
    EXPECT_EQ(preview.layout.angle_column, c.angle) << c.table;
    EXPECT_EQ(preview.row_count, 1) << c.table;
    EXPECT_EQ(!preview.notice.empty(), c.notice) << c.table;
  }
  // Min and Max beside ImageJ's intensities are grey values, not axes.
  MemorySource grey("Label,Mean,Min,Max,Angle\n1,100,3,250,30\n");
  TablePreview grey_preview;
  EXPECT_EQ(PreviewTable(grey, {}, grey_preview).message(),
            "No column holds the major and minor axis or R.");
  // Names it does not know: the user is asked to choose.
  MemorySource unknown("foo,bar,baz\n3,2,30\n");
  TablePreview preview;
  const Status s = PreviewTable(unknown, {}, preview);
  EXPECT_EQ(s.message(),
            "No column of the header (foo, bar, baz) is known: choose the "
            "columns.");
  // Chosen roles and delimiter override what would be detected.
  TableChoices chosen;
  chosen.roles = std::vector<ColumnRole>{
      ColumnRole::kIgnored, ColumnRole::kAngle, ColumnRole::kRatio};
  chosen.header = true;
  MemorySource again("foo,bar,baz\n3,30,2\n");
  ASSERT_TRUE(PreviewTable(again, chosen, preview).ok());
  EXPECT_EQ(preview.layout.ratio_column, 2);
  EXPECT_EQ(preview.layout.angle_column, 1);
}

// Refusals name the line, the column and the fault, with the codes of the
// data file loader, and leave nothing loaded.

Status Refused(const std::string& table, const TableChoices& choices = {}) {
  LoadedData data;
  const Status s = Import(table, data, choices);
  EXPECT_FALSE(s.ok()) << table;
  EXPECT_TRUE(data.measured.empty());
  EXPECT_EQ(data.count, 0);
  return s;
}

TEST(TableImportRefusals, CellsThatAreNoNumbers) {
  const std::string head = "Major,Minor,Angle\n3,2,30\n";
  EXPECT_EQ(Refused(head + "4,two,30\n").message(),
            "line 3, column Minor: not a number");
  EXPECT_EQ(Refused(head + "4,,30\n").message(),
            "line 3, column Minor: empty cell");
  // A cell needs a digit before any exponent: "." is the missing-value
  // mark of Stata and SAS, and none of these is 0 (a data file's grammar
  // reads them so); "0." and ".5e1" are numbers.
  for (const char* cell : {".", "-.", "+.", "e5", ".e2"}) {
    EXPECT_EQ(Refused(head + "4,2," + cell + "\n").message(),
              "line 3, column Angle: not a number")
        << cell;
  }
  LoadedData data;
  ASSERT_TRUE(Import(head + "4,2,0.\n5,1,.5e1\n", data).ok());
  EXPECT_EQ(data.measured[2].phi, 0.0f);
  EXPECT_EQ(data.measured[3].phi, 5.0f);
  EXPECT_EQ(Refused(head + "4,2,\"30\n").message(),
            "line 3: a quoted cell is not closed");
  EXPECT_EQ(Refused(head + "4,2,30,5\n").message(),
            "line 3: 4 cells where the header has 3");
  EXPECT_EQ(Refused(head + "4,2\n").message(),
            "line 3: 2 cells where the header has 3");
  // A decimal comma in a table separated by commas splits the cell.
  EXPECT_EQ(Refused(head + "3,5,2,30\n").code(), StatusCode::kReadError);
  // Without a header the column is named by its number.
  const Status s = Refused("3 2 30\n4 2 x\n");
  EXPECT_EQ(s.message(), "line 2, column 3: not a number");
  EXPECT_EQ(s.datum(), 2);
  EXPECT_EQ(s.code(), StatusCode::kReadError);
  EXPECT_EQ(Refused("3 2 30\n\n\n4 2 1e99\n").message(),
            "line 4, column 3: beyond the range of single precision");
}

TEST(TableImportRefusals, TheDataFileChecksApply) {
  struct Case {
    const char* row;
    StatusCode code;
    const char* message;
  };
  const Case cases[] = {
      {"2,3,30", StatusCode::kMajorShorter,
       "line 3, column Minor: major axis is shorter than minor one"},
      {"-2,-3,30", StatusCode::kNegativeRadii,
       "line 3, column Major: both axes are negative"},
      {"0,0,30", StatusCode::kMinorNotPositive,
       "line 3, column Minor: minor axis must be positive"},
      {"3000,2,30", StatusCode::kRatioOutOfRange,
       "line 3, column Minor: axial ratio out of range (at most 1000)"},
      {"1e-44,1e-45,30", StatusCode::kReadError,
       "line 3, column Major: beyond the range of single precision"},
  };
  for (const Case& c : cases) {
    const Status s =
        Refused(std::string("Major,Minor,Angle\n3,2,30\n") + c.row + "\n");
    EXPECT_EQ(s.code(), c.code) << c.row;
    EXPECT_EQ(s.message(), c.message) << c.row;
    EXPECT_EQ(s.datum(), 2) << c.row;
  }
  EXPECT_EQ(Refused("R,phi\n0.5,30\n").message(),
            "line 2, column R: axial ratio is below 1");
  EXPECT_EQ(Refused("R,phi\n1001,30\n").code(), StatusCode::kRatioOutOfRange);
}

TEST(TableImportRefusals, HostileFiles) {
  EXPECT_EQ(Refused("Major,Minor,Angle\n\n,,\n").message(),
            "The table has a header but no data rows.");
  TableLayout given;
  given.header = true;
  given.ratio_column = 0;
  given.angle_column = 1;
  MemorySource header_only("R,phi\n");
  LoadedData none;
  EXPECT_EQ(ImportTable(header_only, given, none).message(),
            "The table has a header but no data rows.");
  // Names of any bytes show as well-formed text: control bytes, a lone
  // continuation byte and a cut sequence become '?', UTF-8 stays.
  EXPECT_EQ(Refused("\x01\x80"
                    "b\xC3,\xCF\x86,R\n1,x,3\n")
                .message(),
            "line 2, column \xCF\x86: not a number");
  EXPECT_EQ(Refused("X\tY\n1\t2\n").message(),
            "No column of the header (X, Y) is known: choose the columns.");
  EXPECT_EQ(Refused("\x01\x80"
                    "b\xC3\tz\n1\t2\n")
                .message(),
            "No column of the header (??b?, z) is known: choose the columns.");
  EXPECT_EQ(Refused("").message(), "The table holds no data rows.");
  EXPECT_EQ(Refused("\r\n\r\n").message(), "The table holds no data rows.");
  std::string garbage = "3,2,30\n";
  for (int i = 0; i < 300; ++i) {
    garbage.push_back(static_cast<char>((i * 7919 + 13) % 256));
  }
  EXPECT_FALSE(Refused(garbage).message().empty());
  EXPECT_EQ(Refused(std::string("a,b,phi\n3,2,30\n3,2\0,30\n", 23)).message(),
            "line 3: a null byte: this is no text table");
  // A line too long for any table, rather than a read of all memory.
  EXPECT_EQ(Refused("3,2,30\n" + std::string(2 << 20, '7') + "\n").message(),
            "line 2: longer than 1048576 bytes: this is no measurement table");
  // Choices that name no orientation, or one column twice.
  TableChoices twice;
  twice.roles = std::vector<ColumnRole>{ColumnRole::kRatio, ColumnRole::kRatio};
  EXPECT_EQ(Refused("3,30\n", twice).message(),
            "No column holds the orientation.");
  TableLayout layout;
  layout.ratio_column = 0;
  layout.angle_column = 0;
  EXPECT_EQ(CheckLayout(layout).message(), "Column 1 is given two roles.");
  layout.angle_column = 1;
  layout.delimiter = Delimiter::kComma;
  layout.decimal_comma = true;
  EXPECT_FALSE(CheckLayout(layout).ok());
}

TEST(TableImportRefusals, AMillionRows) {
  std::string table = "Major,Minor,Angle\n";
  table.reserve(20'000'000);
  for (int i = 0; i < 1'000'000; ++i) {
    table +=
        std::to_string(2 + i % 7) + ",1.5," + std::to_string(i % 180) + "\n";
  }
  LoadedData data;
  ASSERT_TRUE(Import(table, data).ok());
  EXPECT_EQ(data.count, 1'000'000);
  EXPECT_EQ(data.measured[1'000'000].phi, 999'999 % 180);
  const Status s = Refused(table + "3,2,thirty\n");
  EXPECT_EQ(s.message(), "line 1000002, column Angle: not a number");
  EXPECT_EQ(s.datum(), 1'000'001);
}

TEST(TableImportRefusals, AStopAskedForEndsTheImport) {
  std::string table = "R,phi\n";
  for (int i = 0; i < 20'000; ++i) table += "2.5,30\n";
  MemorySource source(table);
  TableLayout layout;
  layout.header = true;
  layout.ratio_column = 0;
  layout.angle_column = 1;
  LoadedData data;
  int calls = 0;
  const Status s = ImportTable(
      source, layout, data,
      [&calls](std::uint64_t, std::uint64_t) { return ++calls < 2; });
  EXPECT_EQ(s.code(), StatusCode::kCancelled);
  EXPECT_EQ(s.message(), "Cancelled.");
  EXPECT_TRUE(data.measured.empty());
}

TEST(TableImportProgress, BothPassesAreToldAsOneRead) {
  // Several blocks a pass: the counting pass climbs to half the size, the
  // filling pass on from there to the whole, never back.
  std::string table = "R,phi\n";
  for (int i = 0; i < 40'000; ++i) table += "2.5,30\n";
  MemorySource source(table);
  TableLayout layout;
  layout.header = true;
  layout.ratio_column = 0;
  layout.angle_column = 1;
  LoadedData data;
  std::vector<std::uint64_t> done;
  ASSERT_TRUE(ImportTable(source, layout, data,
                          [&](std::uint64_t bytes, std::uint64_t total) {
                            EXPECT_EQ(total, table.size());
                            done.push_back(bytes);
                            return true;
                          })
                  .ok());
  const std::size_t blocks =
      (table.size() + kReadBlockBytes - 1) / kReadBlockBytes;
  ASSERT_EQ(done.size(), 2 * blocks);
  EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
  EXPECT_EQ(done[blocks - 1], table.size() / 2);
  EXPECT_GT(done[blocks], table.size() / 2);
  EXPECT_EQ(done.back(), table.size());
}

// A table that another program appends `extra` to at the first read after
// the import went back to its beginning, as a file written to meanwhile. With
// `stamped` its stamp is its size; without, it has none, and only the count
// of rows tells the change.
class GrowingSource : public ByteSource {
 public:
  GrowingSource(std::string text, std::string extra, bool stamped)
      : text_(std::move(text)), extra_(std::move(extra)), stamped_(stamped) {}
  std::ptrdiff_t Read(std::uint8_t* buffer, std::size_t capacity) override {
    if (rewound_) text_ += std::exchange(extra_, {});
    const std::size_t n = std::min(capacity, text_.size() - pos_);
    std::memcpy(buffer, text_.data() + pos_, n);
    pos_ += n;
    return static_cast<std::ptrdiff_t>(n);
  }
  bool Rewind() override {
    pos_ = 0;
    rewound_ = true;
    return true;
  }
  std::optional<SourceStamp> Stamp() override {
    if (!stamped_) return std::nullopt;
    return SourceStamp{text_.size(), 0, 0};
  }

 private:
  std::string text_, extra_;
  bool stamped_;
  bool rewound_ = false;
  std::size_t pos_ = 0;
};

TEST(TableImportChanges, RowsAddedBetweenThePassesAreNeverStored) {
  // Without the refusal, the filling pass would store 200,000 rows past
  // the ten it allocated for.
  std::string table = "Major,Minor,Angle\n", extra;
  for (int i = 0; i < 10; ++i) table += "3,2,30\n";
  for (int i = 0; i < 200'000; ++i) extra += "4,2,45\n";
  TableLayout layout;
  layout.header = true;
  layout.major_column = 0;
  layout.minor_column = 1;
  layout.angle_column = 2;
  for (bool stamped : {true, false}) {
    GrowingSource source(table, extra, stamped);
    LoadedData data;
    const Status s = ImportTable(source, layout, data);
    EXPECT_EQ(s.code(), StatusCode::kReadError) << stamped;
    EXPECT_EQ(s.message(), "The file changed while it was read.") << stamped;
    EXPECT_TRUE(data.measured.empty()) << stamped;
  }
}

TEST(TableImportBlocks, LinesAcrossBlockEndsReadAsWithinOne) {
  // Whatever the blocks a source gives, a line ends, and a byte order mark
  // is dropped, as within one block: the same layout, data and refusals.
  using namespace std::string_literals;
  const std::string tables[] = {
      "\xEF\xBB\xBFMajor;Minor;Angle\r\n3,5;1,25;30\r\n4;2;45\r\n",
      "R,phi\r2.5,30\r\r1.5,\"-10\"\r",
      "a\tb\tphi\n3\t2\t30\n\n4\t2\t45",
      "R,phi\n2,30\n3,40\x1a\n9,x\n",
      "R,phi\n2,30\n3,4\0\n"s,
      "R,phi\n2,30\n3,x\r\n",
  };
  for (const std::string& table : tables) {
    MemorySource looked(table), read(table);
    TablePreview whole;
    LoadedData whole_data;
    const Status found = PreviewTable(looked, {}, whole);
    const Status imported = ImportTable(read, whole.layout, whole_data);
    for (std::size_t piece : {1, 2, 3, 5}) {
      testing_support::PieceSource looked_piece(table, piece),
          read_piece(table, piece);
      TablePreview preview;
      LoadedData data;
      EXPECT_EQ(PreviewTable(looked_piece, {}, preview).message(),
                found.message())
          << piece << ": " << table;
      EXPECT_EQ(preview.layout, whole.layout) << piece << ": " << table;
      EXPECT_EQ(preview.column_names, whole.column_names) << piece;
      const Status s = ImportTable(read_piece, whole.layout, data);
      EXPECT_EQ(s.message(), imported.message()) << piece << ": " << table;
      ASSERT_EQ(data.measured.size(), whole_data.measured.size()) << piece;
      // An empty vector may have no storage, which memcmp must not be given.
      EXPECT_TRUE(data.measured.empty() ||
                  std::memcmp(data.measured.data(), whole_data.measured.data(),
                              data.measured.size() * sizeof(MarkerRecord)) == 0)
          << piece << ": " << table;
    }
  }
}

class TableImportFiles : public ::testing::Test {
 protected:
  testing_support::TempFolder folder_{"table_files"};
};

TEST_F(TableImportFiles, CutWhileCountingIsAChangeNotACutRow) {
  // Cut a few bytes into the second block, before a row's orientation: read
  // as a shorter table, its last row would have an empty Angle cell.
  std::string table = "Major,Minor,Angle\n";
  while (table.size() < 2 * kReadBlockBytes) table += "3.5,1.25,30\n";
  const std::size_t cut = kReadBlockBytes - kReadBlockBytes % 12 + 18 + 9;
  ASSERT_EQ(table.compare(cut - 9, 10, "3.5,1.25,3"), 0);
  const std::string path = folder_.Write("cut.csv", table);
  TableLayout layout;
  ASSERT_TRUE(DetectTableLayout(path, {}, layout).ok());
  LoadedData data;
  const Status s =
      ImportTable(path, layout, data, [&](std::uint64_t, std::uint64_t) {
        EXPECT_EQ(::truncate(path.c_str(), static_cast<off_t>(cut)), 0);
        return true;
      });
  EXPECT_EQ(s.message(), "The file changed while it was read.");
  EXPECT_TRUE(data.measured.empty());
}

TEST_F(TableImportFiles, FoldersAndFailingMediaAsTheDataFileLoaderSaysThem) {
  TableLayout layout;
  EXPECT_EQ(DetectTableLayout(folder_.path().string(), {}, layout).message(),
            "Not a regular file");
  EXPECT_EQ(DetectTableLayout("/proc/self/mem", {}, layout).message(),
            "Cannot read the file: Input/output error");
  layout.ratio_column = 0;
  layout.angle_column = 1;
  LoadedData data;
  EXPECT_EQ(ImportTable("/proc/self/mem", layout, data).message(),
            "Cannot read the file: Input/output error");
}

// The import as the load stage of an Open: the same state and report as an
// Open of the hand-converted file, and no change on a refusal.

class TableOpen : public OpenFrontEnd {
 public:
  TableOpen(std::string path, bool table) : path_(path), table_(table) {}
  std::optional<std::string> ChooseFile() override { return path_; }
  Status Load(const std::string& path, LoadedData& data,
              const ReadProgress& progress) override {
    if (!table_) return OpenFrontEnd::Load(path, data, progress);
    TableLayout layout;
    if (Status s = DetectTableLayout(path, {}, layout); !s.ok()) return s;
    return ImportTable(path, layout, data, progress);
  }
  std::vector<std::string> refusals;
  void OnRefused(const Status& s) override { refusals.push_back(s.message()); }

 private:
  std::string path_;
  bool table_;
};

TEST(TableImportOpen, SameStateAndReportAsTheNativeFile) {
  testing_support::TempFolder folder("table_open");
  const std::string csv = folder.Write(
      "grains.csv",
      "Major,Minor,Angle\n3,2,30\n4,2,45\n5,1,40\n6,2,35\n2,1,38\n3,1,32\n");
  const std::string txt = folder.Write(
      "grains.txt", "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n3 1 32\n");
  AnalysisState from_table, from_file;
  Report table_report, file_report;
  std::string table_name, file_name;
  TableOpen table(csv, true), file(txt, false);
  ASSERT_TRUE(
      RunOpen(table, from_table, table_report, table_name, ".").status.ok());
  ASSERT_TRUE(
      RunOpen(file, from_file, file_report, file_name, ".").status.ok());
  EXPECT_EQ(table_report.Lines()[1], "  file = " + csv);
  table_report.Lines();
  std::vector<std::string> a = table_report.Lines(), b = file_report.Lines();
  a.erase(a.begin() + 1);
  b.erase(b.begin() + 1);
  EXPECT_EQ(a, b);
  EXPECT_EQ(std::memcmp(&from_table.strain, &from_file.strain,
                        sizeof from_file.strain),
            0);

  // A refused table leaves the state and the report as they were.
  const std::string bad =
      folder.Write("bad.csv", "Major,Minor,Angle\n3,2,30\n4,2,4 5\n");
  TableOpen refused(bad, true);
  const std::vector<std::string> before = table_report.Lines();
  const std::int32_t count = from_table.count;
  const OpenResult r =
      RunOpen(refused, from_table, table_report, table_name, ".");
  EXPECT_EQ(r.status.message(), "line 3, column Angle: not a number");
  EXPECT_EQ(refused.refusals,
            std::vector<std::string>{"line 3, column Angle: not a number"});
  EXPECT_EQ(table_report.Lines(), before);
  EXPECT_EQ(from_table.count, count);
}

}  // namespace
}  // namespace orvane
