// SPDX-License-Identifier: MIT
#include "io/data_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/analysis.h"
#include "core/analysis_report.h"
#include "core/number_format.h"
#include "io/open_pipeline.h"
#include "support/piece_source.h"
#include "support/temp_folder.h"

namespace orvane {
namespace {

using testing_support::PieceSource;

// What ReadDataFile gives for `bytes`.
struct Loaded {
  Status status;
  LoadedData data;
};
Loaded LoadFrom(ByteSource& source) {
  Loaded r;
  r.status = ReadDataFile(source, r.data);
  return r;
}
Loaded Load(const std::string& bytes) {
  MemorySource source(bytes);
  return LoadFrom(source);
}
Loaded LoadFile(const std::string& path) {
  Loaded r;
  r.status = ReadDataFile(path, r.data);
  return r;
}

// Loads `bytes` and expects a refusal with `message`.
void ExpectRefused(const std::string& bytes, const std::string& message,
                   std::int32_t datum) {
  const Loaded r = Load(bytes);
  ASSERT_FALSE(r.status.ok()) << bytes;
  EXPECT_EQ(r.status.message(), message) << bytes;
  EXPECT_EQ(r.status.datum(), datum) << bytes;
}

std::int32_t Count(const std::string& bytes) {
  const Loaded r = Load(bytes);
  EXPECT_TRUE(r.status.ok()) << r.status.message();
  return r.data.count;
}

std::vector<std::string> GridRow(const LoadedData& d, int i) {
  const MarkerRecord& t = d.measured[static_cast<std::size_t>(i)];
  return {std::to_string(i), FormatGrid(t.major, "."), FormatGrid(t.minor, "."),
          FormatGrid(t.phi, "."), FormatGrid(t.ratio, ".")};
}

TEST(Loader, ThreeData) {
  for (const char* text :
       {"3 2 30\n4 2 45\n5 1 -10\n", "3 2 30\n4 2 45\n5 1 -10",
        "3 2 30\r\n4 2 45\r\n5 1 -10\r\n"}) {
    const Loaded r = Load(text);
    ASSERT_TRUE(r.status.ok());
    ASSERT_EQ(r.data.count, 3);
    ASSERT_EQ(r.data.measured.size(), 4u);
    EXPECT_EQ(GridRow(r.data, 1),
              (std::vector<std::string>{"1", "3.00", "2.00", "30.00", "1.50"}));
    EXPECT_EQ(GridRow(r.data, 2),
              (std::vector<std::string>{"2", "4.00", "2.00", "45.00", "2.00"}));
    EXPECT_EQ(GridRow(r.data, 3), (std::vector<std::string>{"3", "5.00", "1.00",
                                                            "-10.00", "5.00"}));
    // Slot 0 and the derived fields stay zero.
    EXPECT_EQ(r.data.measured[0].major, 0.0f);
    EXPECT_EQ(r.data.measured[0].ratio, 0.0f);
    EXPECT_EQ(r.data.measured[2].rho, 0.0f);
    EXPECT_EQ(r.data.measured[2].vector, (MinkowskiVector{}));
  }
}

TEST(Loader, LineStructure) {
  // The rest of a line after the third number is never read.
  EXPECT_EQ(Count("3 2 30 measured twice\n"), 1);
  EXPECT_EQ(Count("3 2 30 ; x,y\n4 2 45 !!\n"), 2);
  // Blank lines between data are skipped.
  EXPECT_EQ(Count("3 2 30\n\n   \n4 2 45\n"), 2);
  // A datum may spread over lines; the rest of the line that held the third
  // number is skipped.
  const Loaded r = Load("3 2\n30 7\n");
  ASSERT_TRUE(r.status.ok());
  ASSERT_EQ(r.data.count, 1);
  EXPECT_EQ(r.data.measured[1].phi, 30.0f);
  // Lines ended by a carriage return alone are one line.
  EXPECT_EQ(Count("3 2 30\r4 2 45\r5 1 -10\r"), 1);
  // Tabs, vertical tabs and other control bytes separate numbers.
  EXPECT_EQ(Count("3\t2\v30\x01\n"), 1);
}

TEST(Loader, EndOfFile) {
  EXPECT_EQ(Count(""), 0);
  EXPECT_EQ(Count("\n\n"), 0);
  // Ctrl-Z ends the file: after the last line end it adds nothing, in the
  // middle it cuts the file.
  EXPECT_EQ(Count("3 2 30\n4 2 45\n\x1a"), 2);
  EXPECT_EQ(Count("3 2 30\n\x1a"
                  "4 2 45\n"),
            1);
  EXPECT_EQ(Count("3 2 30\n4 2 45 \x1a 5 1 0\n"), 2);
  // White space after the last line end is not a datum of three zeros.
  EXPECT_EQ(Count("3 2 30\n4 2 45\n\n"), 2);
  EXPECT_EQ(Count("3 2 30\n4 2 45\n   \t\n  "), 2);
  EXPECT_EQ(Count("3 2 30\n4 2 45\r\n\r\n"), 2);
}

TEST(Loader, PartialLastDatumReadsZeros) {
  const Loaded r = Load("3 2 30\n4 2");
  ASSERT_TRUE(r.status.ok());
  ASSERT_EQ(r.data.count, 2);
  EXPECT_EQ(r.data.measured[2].phi, 0.0f);
  ExpectRefused("3 2 30\n4", "Minor axis must be positive.  #2", 2);
}

TEST(Loader, LongTokensAreCut) {
  // 64 bytes make a token; the 65th byte begins the next one.
  const std::string a(63, '0');
  const Loaded r = Load(a + "32 1 0\n");
  ASSERT_TRUE(r.status.ok());
  ASSERT_EQ(r.data.count, 1);
  EXPECT_EQ(r.data.measured[1].major, 3.0f);
  EXPECT_EQ(r.data.measured[1].minor, 2.0f);
  EXPECT_EQ(r.data.measured[1].phi, 1.0f);
}

TEST(Loader, Values) {
  const Loaded r = Load("2 2 0\n0.1 0.03 1e1\n");
  ASSERT_TRUE(r.status.ok());
  EXPECT_EQ(r.data.measured[1].ratio, 1.0f);
  EXPECT_EQ(FormatGrid(r.data.measured[1].ratio, "."), "1.00");
  // R is the quotient of the two stored singles, rounded once.
  EXPECT_EQ(r.data.measured[2].ratio,
            static_cast<float>(static_cast<long double>(0.1f) / 0.03f));
  EXPECT_EQ(r.data.measured[2].phi, 10.0f);
  // The largest accepted ratio.
  EXPECT_EQ(Count("1000 1 0\n"), 1);
  EXPECT_EQ(Count("3.4028234e38 3.4028234e38 0\n"), 1);
}

TEST(LoaderRefusals, ChecksOfTheCountingPass) {
  ExpectRefused("major minor angle\n3 2 30\n", "Read error --- #1", 1);
  ExpectRefused("2,5 1 0\n", "Read error --- #1", 1);
  ExpectRefused(
      "\xEF\xBB\xBF"
      "3 2 30\n",
      "Read error --- #1", 1);
  ExpectRefused("3 2 30\n4 2 45\n5 1 0\n2 3 0\n",
                "Major axis is shorter than minor one.  #4", 4);
  ExpectRefused("-1 -2 0\n", "Neative radii.  #1", 1);
  ExpectRefused("3 2 30\n-2 -1 0\n",
                "Major axis is shorter than minor one.  #2", 2);
  // Numbers after a blank line are one lower than their line numbers.
  ExpectRefused("3 2 30\n\n2 3 0\n",
                "Major axis is shorter than minor one.  #2", 2);
  // The third number must be valid even though the count drops it.
  ExpectRefused("3 2 x\n", "Read error --- #1", 1);
  ExpectRefused("3 2 30\n4 2 4 5\n5 1 +\n", "Read error --- #3", 3);
}

TEST(LoaderRefusals, DataWithoutAValidAxialRatio) {
  ExpectRefused("3 0 45\n", "Minor axis must be positive.  #1", 1);
  ExpectRefused("3 2 30\n3 -1 45\n", "Minor axis must be positive.  #2", 2);
  ExpectRefused("0 0 0\n", "Minor axis must be positive.  #1", 1);
  ExpectRefused("3 -0 0\n", "Minor axis must be positive.  #1", 1);
  ExpectRefused("1000.001 1 0\n", "Axial ratio out of range.  #1", 1);
  ExpectRefused("1e30 1e-30 0\n", "Axial ratio out of range.  #1", 1);
  ExpectRefused("1 1e-37 0\n", "Axial ratio out of range.  #1", 1);
}

TEST(LoaderRefusals, ValuesBeyondSinglePrecision) {
  ExpectRefused("1e39 1 0\n", "Read error --- #1", 1);
  ExpectRefused("3 2 30\n2 -1e39 0\n", "Read error --- #2", 2);
  ExpectRefused("3 2 1e39\n", "Read error --- #1", 1);
  ExpectRefused("3 2 -1e5000\n", "Read error --- #1", 1);
}

// A medium that fails after `good` bytes, four bytes a read.
PieceSource FailingSource(std::string_view bytes, std::size_t good) {
  return PieceSource(bytes, 4, good);
}

// The format reads numbers across line ends and ignores the rest of a
// line, and so it stays; but the first datum taken from more than one line
// (a file of two numbers a line), and a line that goes on after a carriage
// return alone (a file of old Mac line ends: one line, one datum), are
// named in a warning, however the blocks fall.
TEST(LoaderLines, DataFromMoreThanOneLineAreNamed) {
  auto warnings_of = [](const std::string& text) {
    std::vector<std::vector<std::string>> found;
    for (std::size_t piece : {1u, 2u, 3u, 5u, 1u << 20}) {
      PieceSource source(text, piece);
      Loaded r = LoadFrom(source);
      EXPECT_TRUE(r.status.ok()) << text;
      found.push_back(r.data.warnings);
    }
    for (const auto& w : found) EXPECT_EQ(w, found.back()) << text;
    return found.back();
  };
  EXPECT_TRUE(warnings_of("3 2 30\n4 2 45 note\r\n\n  5 1 0\r\n").empty());
  const auto pairs = warnings_of("50 3\n40 2\n60 5\n30 1\n20 4\n45 5\n");
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0],
            "Datum 1 takes its numbers from more than one line: a data file "
            "reads major, minor and phi across line ends, so a line of fewer "
            "than three numbers is paired with the next. A table opens with "
            "File \u25B8 Import Table... (orvane-cli --import).");
  EXPECT_EQ(warnings_of("3 2 30\n4 2\n45\n5 1\n0\n")[0].rfind("Datum 2 ", 0),
            0u);
  const auto mac = warnings_of("3 2 30\r4 2 45\r5 1 0\r");
  ASSERT_EQ(mac.size(), 1u);
  EXPECT_EQ(mac[0].rfind("The line of datum 1 goes on after a carriage "
                         "return, which a data file does not take for a "
                         "line end",
                         0),
            0u);
}

TEST(LoaderRefusals, FailingMediumIsAReadError) {
  PieceSource mid = FailingSource("3 2 30\n4 2 45\n5 1 0\n", 10);
  Loaded r = LoadFrom(mid);
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "Read error --- #2");
  // A failure while testing for the end names the last datum read.
  PieceSource at_end = FailingSource("3 2 30\n4 2 45\n", 14);
  r = LoadFrom(at_end);
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "Read error --- #2");
}

// Bytes that change once they have been read to their end, before the
// loader has finished: the second version from then on, with a stamp of its
// own (its size, and a modification time told by its bytes).
class ChangingSource : public ByteSource {
 public:
  ChangingSource(std::string first, std::string second)
      : first_text_(std::move(first)), second_text_(std::move(second)) {}
  std::ptrdiff_t Read(std::uint8_t* buffer, std::size_t capacity) override {
    const std::ptrdiff_t n = current_->Read(buffer, capacity);
    if (n == 0) current_ = &second_;
    return n;
  }
  bool Rewind() override {
    current_ = &second_;
    return true;
  }
  std::optional<SourceStamp> Stamp() override {
    const std::string& text = current_ == &first_ ? first_text_ : second_text_;
    return SourceStamp{
        text.size(), 0,
        static_cast<std::int64_t>(std::hash<std::string>{}(text) % 1000000000)};
  }

 private:
  std::string first_text_, second_text_;
  MemorySource first_{first_text_}, second_{second_text_};
  MemorySource* current_ = &first_;
};

TEST(LoaderRefusals, FileChangedBetweenPasses) {
  ChangingSource shorter("3 2 30\n4 2 45\n", "3 2 30\n");
  Loaded r = LoadFrom(shorter);
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "Read error --- #2");
  // The bytes of the new version are never read: the change alone refuses
  // the file.
  ChangingSource worse("3 2 30\n4 2 45\n", "3 2 30\n4 0 45\n");
  r = LoadFrom(worse);
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "Read error --- #2");
  EXPECT_TRUE(r.data.measured.empty());
}

TEST(LoaderRefusals, NullBytes) {
  // "3 2 30\n" in UTF-16 without a byte-order mark: read as white space, the
  // null bytes would make it "3 2 3" with phi = 3.
  const std::string utf16("3\0 \0002\0 \0003\0000\0\n\0", 14);
  ExpectRefused(utf16, "Read error --- #1", 1);
  using namespace std::string_literals;
  // Where the null byte stands names the datum being read.
  ExpectRefused("\0"s, "Read error --- #1", 1);
  ExpectRefused("3\0 2 30\n"s, "Read error --- #1", 1);
  ExpectRefused("3 2 30\n4 2\0 45\n"s, "Read error --- #2", 2);
  ExpectRefused("3 2 30\n4 2\0"s, "Read error --- #2", 2);
  ExpectRefused("3 2 30\n4 2 45\0\n"s, "Read error --- #2", 2);
  // In the unread rest of the line too, up to and including its line end.
  ExpectRefused("3 2 30 noted\0 twice\n4 2 45\n"s, "Read error --- #1", 1);
  ExpectRefused("3 2 30\r\0\n4 2 45\n"s, "Read error --- #1", 1);
  // After a line end it stands where the next datum would begin.
  ExpectRefused("3 2 30\n\0004 2 45\n"s, "Read error --- #2", 2);
  ExpectRefused("3 2 30\n \n \0 4 2 45\n"s, "Read error --- #2", 2);
  ExpectRefused("3 2 30\n4 2 45\n\0"s, "Read error --- #3", 3);
  ExpectRefused("3 2 30\n4 2 45\n \n\0\0"s, "Read error --- #3", 3);
  // Nothing after Ctrl-Z is read.
  EXPECT_EQ(Count("3 2 30\n\x1a\0"s), 1);
}

TEST(Loader, EveryOtherControlByteIsWhiteSpace) {
  for (int c = 1; c <= 32; ++c) {
    if (c == kEndOfFileByte) continue;
    const std::string blank(1, static_cast<char>(c));
    const Loaded r =
        Load(blank + "3" + blank + "2" + blank + "30" + blank + "\n" + blank);
    ASSERT_TRUE(r.status.ok()) << c << ": " << r.status.message();
    ASSERT_EQ(r.data.count, 1) << c;
    EXPECT_EQ(r.data.measured[1].phi, 30.0f) << c;
  }
}

TEST(LoaderRefusals, SubnormalAxes) {
  // Subnormal singles keep too few bits for the axial ratio: 3e-45 and
  // 1.4e-45 would be stored as 2 and 1 ulps, R = 2 instead of 2.14.
  ExpectRefused("3e-45 1.4e-45 0\n", "Read error --- #1", 1);
  ExpectRefused("3 2 30\n1e-39 1e-39 0\n", "Read error --- #2", 2);
  ExpectRefused("1 1e-45 0\n", "Read error --- #1", 1);
  ExpectRefused("1e-40 -1e-40 0\n", "Read error --- #1", 1);
  ExpectRefused("-1e-40 -1 0\n", "Read error --- #1", 1);
  // A nonzero axis that the single rounds to zero is no zero axis.
  ExpectRefused("1 1e-50 0\n", "Read error --- #1", 1);
  ExpectRefused("1e-50 0 0\n", "Read error --- #1", 1);
  // Zero axes keep their own checks.
  ExpectRefused("3 0 45\n", "Minor axis must be positive.  #1", 1);
  ExpectRefused("0 -0 45\n", "Minor axis must be positive.  #1", 1);
  ExpectRefused("0 1 45\n", "Major axis is shorter than minor one.  #1", 1);
  // The smallest normal single is accepted, and so is a value just below it
  // that rounds to it, since its single is normal.
  const Loaded r =
      Load("1.17549435e-38 1.17549435e-38 0\n1.1754943e-38 1.1754943e-38 0\n");
  ASSERT_TRUE(r.status.ok()) << r.status.message();
  for (int i : {1, 2}) {
    EXPECT_EQ(r.data.measured[static_cast<std::size_t>(i)].minor,
              std::numeric_limits<float>::min());
    EXPECT_EQ(r.data.measured[static_cast<std::size_t>(i)].ratio, 1.0f);
  }
  // Orientations may be as small as they like.
  const Loaded tiny = Load("3 2 1e-45\n3 2 -1e-50\n");
  ASSERT_TRUE(tiny.status.ok()) << tiny.status.message();
  EXPECT_EQ(tiny.data.measured[1].phi,
            std::numeric_limits<float>::denorm_min());
  EXPECT_EQ(tiny.data.measured[2].phi, 0.0f);
}

std::uint32_t Bits(float f) {
  return std::bit_cast<std::uint32_t>(f);
}

float PhiOf(const std::string& token) {
  const Loaded r = Load("3 2 " + token + "\n");
  EXPECT_TRUE(r.status.ok()) << token << ": " << r.status.message();
  return r.status.ok() ? r.data.measured[1].phi : -999.0f;
}

TEST(Loader, OrientationsFarOutsideAFullTurnAreReduced) {
  // Exact residues modulo 180 (1e12, 1e20 and 1e25 are exact in long
  // double; each is 100 modulo 180), taken before the rounding to single.
  EXPECT_EQ(PhiOf("1e12"), 100.0f);
  EXPECT_EQ(PhiOf("-1e12"), -100.0f);
  EXPECT_EQ(PhiOf("1e20"), 100.0f);
  EXPECT_EQ(PhiOf("1e25"), 100.0f);
  EXPECT_EQ(PhiOf("360.5"), 0.5f);
  EXPECT_EQ(PhiOf("-400"), -40.0f);
  EXPECT_EQ(Bits(PhiOf("720")), Bits(0.0f));
  EXPECT_EQ(Bits(PhiOf("-720")), Bits(0.0f));
  // Within a full turn each way the single of the value read, bit for bit.
  for (const char* t : {"359.9", "-359.9", "360", "-360", "180", "-180",
                        "33.75", "-0", "0.1", "359.99999999"}) {
    EXPECT_EQ(Bits(PhiOf(t)),
              Bits(static_cast<float>(std::strtold(t, nullptr))))
        << t;
  }
  // Beyond the single range it is still a read error.
  ExpectRefused("3 2 1e39\n", "Read error --- #1", 1);
}

// The report lines of the analysis of `text`.
std::vector<std::string> AnalysisOf(const std::string& text) {
  Loaded r = Load(text);
  EXPECT_TRUE(r.status.ok()) << r.status.message();
  AnalysisState state;
  CommitLoadedData(state, std::move(r.data));
  Report report;
  WriteAnalysisReport(state, RunAnalysis(state), report, ".");
  return report.Lines();
}

TEST(Loader, ReducedOrientationGivesTheStrainOfItsResidue) {
  const std::string others = "3 2 30\n2.5 1 -20\n4 3 80\n";
  const std::vector<std::string> huge = AnalysisOf("2 1 1e12\n" + others);
  ASSERT_FALSE(huge.empty());
  EXPECT_EQ(huge, AnalysisOf("2 1 100\n" + others));
  EXPECT_EQ(AnalysisOf("2 1 -1e12\n" + others),
            AnalysisOf("2 1 -100\n" + others));
}

// A memory source whose stamp changes from the given call on (1: the one
// taken before the first block, 2: after the first block, and so on for
// each block, then one at the end: 3 for a text of one block). It holds a
// view of `bytes`, as MemorySource does.
class RestampedSource : public MemorySource {
 public:
  RestampedSource(std::string_view bytes, int changed_from)
      : MemorySource(bytes), changed_from_(changed_from) {}
  std::optional<SourceStamp> Stamp() override {
    std::optional<SourceStamp> stamp = MemorySource::Stamp();
    if (++calls_ >= changed_from_) stamp->modified_nanoseconds = 1;
    return stamp;
  }
  int calls() const { return calls_; }

 private:
  int changed_from_;
  int calls_ = 0;
};

TEST(LoaderRefusals, StampChangedBetweenOrDuringPasses) {
  const std::string text = "3 2 30\n4 2 45\n5 1 0\n";
  RestampedSource before_filling(text, 2);
  Loaded r = LoadFrom(before_filling);
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "Read error --- #1");
  EXPECT_EQ(r.data.measured.size(), 0u);
  RestampedSource while_filling(text, 3);
  r = LoadFrom(while_filling);
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "Read error --- #3");
  EXPECT_EQ(r.status.datum(), 3);
  RestampedSource empty("\n", 3);
  r = LoadFrom(empty);
  EXPECT_EQ(r.status.message(), "Read error --- #1");
  RestampedSource unchanged(text, 4);
  r = LoadFrom(unchanged);
  ASSERT_TRUE(r.status.ok()) << r.status.message();
  EXPECT_EQ(r.data.count, 3);
  EXPECT_EQ(unchanged.calls(), 3);
}

TEST(LoaderRefusals, FillingPassMustEndWhereTheCountEnded) {
  // A source that grows, or whose bytes change without a change of size,
  // after it was read to its end is refused by its stamp at the end.
  ChangingSource longer("3 2 30\n4 2 45\n", "3 2 30\n4 2 45\n5 1 0\n");
  Loaded r = LoadFrom(longer);
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "Read error --- #2");
  EXPECT_EQ(r.data.measured.size(), 0u);
  ChangingSource blanks("3 2 30\n", "3 2 30\n\n\n");
  r = LoadFrom(blanks);
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "Read error --- #1");
  ChangingSource nul("3 2 30\n  ", std::string("3 2 30\n\0 ", 9));
  r = LoadFrom(nul);
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "Read error --- #1");
  ChangingSource same("3 2 30\n4 2 45\n", "3 2 30\n4 2 45\n");
  EXPECT_TRUE(LoadFrom(same).status.ok());
}

std::string ManyData(int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += "3.5 1.25 " + std::to_string(i % 180) + ".125\n";
  return text;
}

struct ProgressCall {
  std::uint64_t done, total;
};

TEST(LoaderProgress, ReportsEachBlockOnce) {
  // The source is read once: every block is told once.
  const std::string text = ManyData(30000);  // about 480 KiB
  const std::uint64_t size = text.size();
  const std::uint64_t blocks = (size + kReadBlockBytes - 1) / kReadBlockBytes;
  std::vector<ProgressCall> calls;
  MemorySource source(text);
  LoadedData data;
  const Status status =
      ReadDataFile(source, data, [&](std::uint64_t done, std::uint64_t total) {
        calls.push_back({done, total});
        return true;
      });
  ASSERT_TRUE(status.ok()) << status.message();
  ASSERT_EQ(calls.size(), blocks);
  for (std::size_t k = 0; k < calls.size(); ++k) {
    EXPECT_EQ(calls[k].total, size) << k;
    EXPECT_EQ(calls[k].done,
              std::min<std::uint64_t>((k + 1) * kReadBlockBytes, size))
        << k;
  }
  // The hook changes nothing of what is read.
  const Loaded plain = Load(text);
  ASSERT_EQ(data.count, plain.data.count);
  EXPECT_EQ(0, std::memcmp(data.measured.data(), plain.data.measured.data(),
                           data.measured.size() * sizeof(MarkerRecord)));

  // A source of unknown size gives a total of 0; blocks are as the source
  // hands them out.
  PieceSource trickle(text, 1000);
  calls.clear();
  ASSERT_TRUE(
      ReadDataFile(trickle, data, [&](std::uint64_t done, std::uint64_t total) {
        calls.push_back({done, total});
        return true;
      }).ok());
  ASSERT_EQ(calls.size(), (size + 999) / 1000);
  EXPECT_EQ(calls.back().done, size);
  EXPECT_EQ(calls.back().total, 0u);
}

TEST(LoaderProgress, FalseCancelsTheRead) {
  const std::string text = ManyData(30000);
  // The first block, and a later one.
  for (int stop_call : {1, 3}) {
    int calls = 0;
    MemorySource source(text);
    LoadedData data;
    const Status status = ReadDataFile(
        source, data,
        [&](std::uint64_t, std::uint64_t) { return ++calls < stop_call; });
    // The cut block would read as a shorter file or a cut number: the stop
    // outweighs it.
    EXPECT_EQ(status.code(), StatusCode::kCancelled) << stop_call;
    EXPECT_EQ(status.message(), "Cancelled.");
    EXPECT_EQ(status.datum(), 0);
    EXPECT_EQ(data.count, 0);
    EXPECT_TRUE(data.measured.empty());
  }
  // A stop where the file would have been refused is a stop too.
  MemorySource bad("3 2 30\n2 3 0\n");
  LoadedData data;
  EXPECT_EQ(ReadDataFile(bad, data,
                         [](std::uint64_t, std::uint64_t) { return false; })
                .code(),
            StatusCode::kCancelled);
}

// A data file of `lines` lines, good data written in many ways, with now and
// then a blank line, a long token, a control byte or a Ctrl-Z; when `spoil`,
// also bad tokens and null bytes.
std::string RandomDataText(std::mt19937_64& rng, int lines, bool spoil) {
  static const char* const kMinor[] = {
      "1",
      "1.000",
      "0.5",
      "+2.5e-1",
      "1e0",
      "00001.25",
      "0.00000000000000000000000000000000001e35"};
  static const char* const kPhi[] = {
      "0",      "-0",     "30",
      "-45.5",  "179.99", "1e2",
      "725.25", "-1e3",   "12345678901234567890123",
      "0.1e1",  ".5",     "-."};
  static const char* const kOdd[] = {"x",    "1e39", "2,5", "+",  "\x01",
                                     "\t\t", "\r",   "\v",  "1e", "-1e5000"};
  std::string text;
  for (int i = 0; i < lines; ++i) {
    const unsigned pick = static_cast<unsigned>(rng() % 100);
    if (pick == 0) {
      text += "\n";
      continue;
    }
    const std::string major =
        std::to_string(1.5 + static_cast<double>(rng() % 100000) / 997.0);
    text += rng() % 20 == 0 ? std::string(40 + rng() % 16, '0') + major : major;
    text += rng() % 2 ? " " : "\t ";
    text += kMinor[rng() % std::size(kMinor)];
    text += " ";
    text += kPhi[rng() % std::size(kPhi)];
    if (spoil && pick < 4) {
      text += std::string(" ") + kOdd[rng() % std::size(kOdd)];
    }
    if (pick == 5) text += " trailing words";
    if (spoil && rng() % 400 == 0) text += std::string(1, '\0');
    if (rng() % 2000 == 0) text += "\x1a";
    text += rng() % 3 ? "\n" : "\r\n";
  }
  return text;
}

void ExpectSameLoad(const Loaded& a, const Loaded& b, const std::string& what) {
  EXPECT_EQ(a.status.code(), b.status.code()) << what;
  EXPECT_EQ(a.status.message(), b.status.message()) << what;
  EXPECT_EQ(a.status.datum(), b.status.datum()) << what;
  ASSERT_EQ(a.data.count, b.data.count) << what;
  ASSERT_EQ(a.data.measured.size(), b.data.measured.size()) << what;
  if (a.data.measured.empty()) return;
  EXPECT_EQ(0, std::memcmp(a.data.measured.data(), b.data.measured.data(),
                           a.data.measured.size() * sizeof(MarkerRecord)))
      << what;
}

TEST(LoaderBlocks, TokensAcrossBlockEndsReadAsWithinOne) {
  // A token within a block is converted where it stands, one across a
  // block end is gathered first: both must give the same data and the same
  // refusals, whatever the block size.
  std::mt19937_64 rng(11);
  int accepted = 0;
  for (int k = 0; k < 60; ++k) {
    const std::string text = RandomDataText(rng, 1 + k * 7, k % 2 == 1);
    const Loaded whole = Load(text);
    accepted += whole.status.ok();
    // The texts without bad tokens or null bytes are data files.
    if (k % 2 == 0) {
      EXPECT_TRUE(whole.status.ok()) << whole.status.message();
    }
    for (std::size_t piece : {1, 2, 3, 5, 7, 13, 63, 64, 65, 4096}) {
      PieceSource source(text, piece);
      ExpectSameLoad(LoadFrom(source), whole,
                     std::to_string(piece) + "-byte blocks of:\n" + text);
      if (HasFailure()) return;
    }
  }
  EXPECT_GT(accepted, 25);
}

TEST(LoaderBlocks, LongTokenCutAtEveryPlaceOfABlock) {
  // A 70-byte run is two tokens, 64 bytes and 6, wherever the block ends.
  const std::string text = std::string(62, '0') + "7.00005 2 45\n";
  const Loaded whole = Load(text);
  ASSERT_TRUE(whole.status.ok()) << whole.status.message();
  EXPECT_EQ(whole.data.measured[1].major, 7.0f);
  EXPECT_EQ(whole.data.measured[1].minor, 5.0f);
  EXPECT_EQ(whole.data.measured[1].phi, 2.0f);
  for (std::size_t piece = 1; piece <= text.size(); ++piece) {
    PieceSource source(text, piece);
    ExpectSameLoad(LoadFrom(source), whole, std::to_string(piece));
  }
}

TEST(LoaderBlocks, DataBeyondOneStagingChunkKeepTheirOrder) {
  // The values gather in chunks of 65536 data: every datum must come out
  // in its own slot, across the chunk ends too.
  const int n = 3 * 65536 + 17;
  std::string text;
  for (int i = 1; i <= n; ++i) {
    text += std::to_string(2 + i % 997) + ".5 " + std::to_string(1 + i % 2) +
            " " + std::to_string(i % 179) + "\n";
  }
  const Loaded r = Load(text);
  ASSERT_TRUE(r.status.ok()) << r.status.message();
  ASSERT_EQ(r.data.count, n);
  ASSERT_EQ(r.data.measured.size(), static_cast<std::size_t>(n) + 1);
  for (int i = 1; i <= n; ++i) {
    const MarkerRecord& d = r.data.measured[static_cast<std::size_t>(i)];
    const float major = static_cast<float>(2 + i % 997) + 0.5f;
    const float minor = static_cast<float>(1 + i % 2);
    ASSERT_EQ(d.major, major) << i;
    ASSERT_EQ(d.minor, minor) << i;
    ASSERT_EQ(d.phi, static_cast<float>(i % 179)) << i;
    ASSERT_EQ(d.ratio,
              static_cast<float>(static_cast<long double>(major) / minor))
        << i;
    ASSERT_EQ(d.rho, 0.0f) << i;
  }
}

TEST(LoaderRefusals, StampChangedAfterALaterBlock) {
  // The stamp is compared after every block: a change seen after the second
  // block names the datum that block's first byte belongs to, or the datum
  // just read when that byte begins a datum.
  const std::string text = ManyData(30000);
  ASSERT_GT(text.size(), 3 * kReadBlockBytes);
  const std::size_t end = kReadBlockBytes;  // first byte of the second block
  const auto lines = static_cast<std::int32_t>(
      std::count(text.begin(), text.begin() + static_cast<long>(end), '\n'));
  const std::int32_t expected = lines + (text[end - 1] == '\n' ? 0 : 1);
  RestampedSource source(text, 3);
  const Loaded r = LoadFrom(source);
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "Read error --- #" + std::to_string(expected));
  EXPECT_EQ(r.status.datum(), expected);
  EXPECT_TRUE(r.data.measured.empty());
  EXPECT_EQ(source.calls(), 3);
}

class LoaderFiles : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    return folder_.Write(name, text);
  }
  testing_support::TempFolder folder_{"loader"};
  const std::filesystem::path& dir_ = folder_.path();
};

TEST_F(LoaderFiles, MissingFileAndFolder) {
  Loaded r = LoadFile((dir_ / "absent.txt").string());
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "File not exits.");
  // A folder exists; it is no file to read, as a pipe is none.
  r = LoadFile(dir_.string());
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.code(), StatusCode::kCannotOpen);
  EXPECT_EQ(r.status.message(), "Not a regular file");
}

TEST_F(LoaderFiles, FailingMediumGivesTheSystemsReason) {
  // The process's own memory reads as a regular file whose first page is
  // not mapped: its first read fails with EIO.
  Loaded r = LoadFile("/proc/self/mem");
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.code(), StatusCode::kReadError);
  EXPECT_EQ(r.status.message(), "Cannot read the file: Input/output error");
  EXPECT_EQ(r.status.datum(), 0);
}

TEST_F(LoaderFiles, UnreadableFileGivesTheSystemMessage) {
  const std::string path = Write("locked.txt", "3 2 30\n");
  std::filesystem::permissions(path, std::filesystem::perms::none);
  if (::access(path.c_str(), R_OK) == 0) GTEST_SKIP() << "running as root";
  const Loaded r = LoadFile(path);
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.code(), StatusCode::kCannotOpen);
  EXPECT_EQ(r.status.message(), "Permission denied");
}

TEST_F(LoaderFiles, ReadsAFileInBlocks) {
  std::string text;
  for (int i = 0; i < 30000; ++i)
    text += "3.5 1.25 " + std::to_string(i % 180) + "\n";
  const Loaded r = LoadFile(Write("big.txt", text));
  ASSERT_TRUE(r.status.ok());
  EXPECT_EQ(r.data.count, 30000);
  EXPECT_EQ(r.data.measured[30000].phi, 29999 % 180);
  EXPECT_EQ(r.data.measured[17].ratio, 2.8f);
}

TEST_F(LoaderFiles, Utf16FileIsRefused) {
  const std::string utf16("3\0 \0002\0 \0003\0000\0\r\0\n\0", 16);
  const Loaded r = LoadFile(Write("utf16.txt", utf16));
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "Read error --- #1");
}

// A file that is changed while it is read: `change` runs on its path right
// after its first block has been read.
class FileChangedOnRewind : public FileSource {
 public:
  FileChangedOnRewind(std::string path, std::function<void(const char*)> change)
      : path_(std::move(path)), change_(std::move(change)) {}
  std::ptrdiff_t Read(std::uint8_t* buffer, std::size_t capacity) override {
    const std::ptrdiff_t n = FileSource::Read(buffer, capacity);
    if (!changed_) change_(path_.c_str());
    changed_ = true;
    return n;
  }

 private:
  std::string path_;
  std::function<void(const char*)> change_;
  bool changed_ = false;
};

Loaded LoadChanged(const std::string& path,
                   std::function<void(const char*)> change) {
  FileChangedOnRewind file(path, std::move(change));
  Loaded r;
  r.status = file.Open(path);
  if (r.status.ok()) r.status = ReadDataFile(file, r.data);
  return r;
}

TEST_F(LoaderFiles, FileChangedBetweenPassesIsRefused) {
  // Cut by five bytes, the last datum would read "4 2" with phi = 0.
  const std::string text = "3 2 30\n4 2 33.75";
  Loaded r = LoadChanged(Write("cut.txt", text), [](const char* path) {
    ASSERT_EQ(::truncate(path, 11), 0);
  });
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "Read error --- #1");
  EXPECT_EQ(r.status.datum(), 1);
  EXPECT_TRUE(r.data.measured.empty());
  // The same bytes with another modification time, one nanosecond later.
  r = LoadChanged(Write("touched.txt", text), [](const char* path) {
    struct stat st;
    ASSERT_EQ(::stat(path, &st), 0);
    timespec times[2] = {st.st_atim, st.st_mtim};
    if (++times[1].tv_nsec == 1000000000) {
      times[1].tv_nsec = 0;
      ++times[1].tv_sec;
    }
    ASSERT_EQ(::utimensat(AT_FDCWD, path, times, 0), 0);
  });
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "Read error --- #1");
  // Untouched, the file loads.
  r = LoadChanged(Write("same.txt", text), [](const char*) {});
  ASSERT_TRUE(r.status.ok()) << r.status.message();
  EXPECT_EQ(r.data.measured[2].phi, 33.75f);
}

TEST_F(LoaderFiles, FileCutWhileItIsReadIsRefused) {
  // The whole file is in the first block when it is cut: what was read is
  // whole, but the file is not what was read.
  const std::string path = Write("cut.txt", "3 2 30\n4 2 33.75\n");
  LoadedData data;
  const Status status =
      ReadDataFile(path, data, [&](std::uint64_t, std::uint64_t) {
        EXPECT_EQ(::truncate(path.c_str(), 7), 0);
        return true;
      });
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.message(), "Read error --- #2");
  EXPECT_TRUE(data.measured.empty());
}

TEST_F(LoaderFiles, FileCutAtABlockEndIsAChangeNotAShorterFile) {
  // Cut right after the first block, which ends after the major axis of
  // datum 5002: read as a shorter file, that datum would have a minor axis
  // of 0.
  const std::string first = "3 2 30" + std::string(5525, ' ') + "\n";
  std::string text = first;
  for (int i = 0; i < 10000; ++i) text += "3.5 1.25 30\n";
  ASSERT_EQ(text.compare(kReadBlockBytes - 4, 5, "3.5 1"), 0);
  const std::string path = Write("cut.txt", text);
  LoadedData data;
  const Status status =
      ReadDataFile(path, data, [&](std::uint64_t done, std::uint64_t) {
        if (done == kReadBlockBytes) {
          EXPECT_EQ(::truncate(path.c_str(), kReadBlockBytes), 0);
        }
        return true;
      });
  EXPECT_EQ(status.message(), "Read error --- #5002");
  EXPECT_EQ(status.datum(), 5002);
  EXPECT_TRUE(data.measured.empty());
}

TEST_F(LoaderFiles, ProgressOfAFile) {
  const std::string text = ManyData(10000);
  std::vector<ProgressCall> calls;
  LoadedData data;
  ASSERT_TRUE(ReadDataFile(Write("many.txt", text), data,
                           [&](std::uint64_t done, std::uint64_t total) {
                             calls.push_back({done, total});
                             return true;
                           })
                  .ok());
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().done, text.size());
  EXPECT_EQ(calls.back().total, text.size());
  const Status stopped =
      ReadDataFile(Write("many.txt", text), data,
                   [](std::uint64_t, std::uint64_t) { return false; });
  EXPECT_EQ(stopped.code(), StatusCode::kCancelled);
  EXPECT_TRUE(data.measured.empty());
}

}  // namespace
}  // namespace orvane
