#include "io/data_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/number_format.h"
#include "temp_folder.h"

namespace orvane {
namespace {

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
  ExpectRefused("1 1e-45 0\n", "Axial ratio out of range.  #1", 1);
}

TEST(LoaderRefusals, ValuesBeyondSinglePrecision) {
  ExpectRefused("1e39 1 0\n", "Read error --- #1", 1);
  ExpectRefused("3 2 30\n2 -1e39 0\n", "Read error --- #2", 2);
  ExpectRefused("3 2 1e39\n", "Read error --- #1", 1);
  ExpectRefused("3 2 -1e5000\n", "Read error --- #1", 1);
}

// A medium that fails after `good` bytes.
class FailingSource : public ByteSource {
 public:
  FailingSource(std::string bytes, std::size_t good)
      : bytes_(std::move(bytes)), good_(good) {}
  std::ptrdiff_t Read(std::uint8_t* buffer, std::size_t capacity) override {
    if (pos_ >= good_) return -1;
    const std::size_t n = std::min({capacity, good_ - pos_, std::size_t{4}});
    std::copy_n(bytes_.data() + pos_, n, buffer);
    pos_ += n;
    return static_cast<std::ptrdiff_t>(n);
  }
  bool Rewind() override {
    pos_ = 0;
    return true;
  }

 private:
  std::string bytes_;
  std::size_t good_, pos_ = 0;
};

TEST(LoaderRefusals, FailingMediumIsAReadError) {
  FailingSource mid("3 2 30\n4 2 45\n5 1 0\n", 10);
  Loaded r = LoadFrom(mid);
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "Read error --- #2");
  // A failure while testing for the end names the last datum read.
  FailingSource at_end("3 2 30\n4 2 45\n", 14);
  r = LoadFrom(at_end);
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "Read error --- #2");
}

// Bytes that change between the two passes.
class ChangingSource : public ByteSource {
 public:
  ChangingSource(std::string first, std::string second)
      : first_text_(std::move(first)), second_text_(std::move(second)) {}
  std::ptrdiff_t Read(std::uint8_t* buffer, std::size_t capacity) override {
    return current_->Read(buffer, capacity);
  }
  bool Rewind() override {
    current_ = &second_;
    return true;
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
  ChangingSource worse("3 2 30\n4 2 45\n", "3 2 30\n4 0 45\n");
  r = LoadFrom(worse);
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "Minor axis must be positive.  #2");
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
  r = LoadFile(dir_.string());
  ASSERT_FALSE(r.status.ok());
  EXPECT_EQ(r.status.message(), "File not exits.");
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

}  // namespace
}  // namespace orvane
