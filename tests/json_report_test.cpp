// SPDX-License-Identifier: MIT
#include "cli/json_report.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "cli/buffered_output.h"

namespace orvane::cli {
namespace {

// A BufferedOutput whose bytes can be read back.
class CapturedOutput {
 public:
  CapturedOutput() : fd_(::memfd_create("json_report_test", 0)), out_(fd_) {}
  ~CapturedOutput() { ::close(fd_); }
  BufferedOutput& out() { return out_; }
  std::string Text() {
    EXPECT_TRUE(out_.Flush());
    std::string text(static_cast<std::size_t>(::lseek(fd_, 0, SEEK_END)), '\0');
    EXPECT_EQ(::pread(fd_, text.data(), text.size(), 0),
              static_cast<ssize_t>(text.size()));
    return text;
  }

 private:
  int fd_;
  BufferedOutput out_;
};

std::string Shortest(float v) {
  if (!std::isfinite(v)) return "null";
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

// Singles of every kind: random bit patterns (subnormals, NaNs and
// infinities among them), and the values with the longest shortest form.
std::vector<float> AllSortsOfSingles(int count) {
  std::vector<float> v = {
      0.0f,
      -0.0f,
      std::numeric_limits<float>::denorm_min(),
      -std::numeric_limits<float>::min(),
      std::nextafter(-std::numeric_limits<float>::min(), -1.0f),
      -std::numeric_limits<float>::max(),
      std::numeric_limits<float>::infinity(),
      std::numeric_limits<float>::quiet_NaN(),
      -1.17549435e-38f,
      -1.23456789e-10f,
      1e-5f,
      123456.789f,
      16777216.0f};
  std::mt19937 rng(3);
  while (static_cast<int>(v.size()) < count) {
    v.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(rng())));
  }
  return v;
}

TEST(JsonFloat, ShortestDecimalOfEverySortOfSingle) {
  // Written one after another, the values cross the output buffer's end
  // again and again, at every offset.
  const std::vector<float> values = AllSortsOfSingles(400000);
  CapturedOutput captured;
  std::string expected;
  for (std::size_t i = 0; i < values.size(); ++i) {
    WriteJsonFloat(captured.out(), values[i]);
    expected += Shortest(values[i]);
    const std::string gap(i % 3, ' ');
    captured.out().Put(gap);
    expected += gap;
  }
  const std::string text = captured.Text();
  ASSERT_EQ(text.size(), expected.size());
  EXPECT_TRUE(text == expected);
}

TEST(JsonFloat, RoomAtTheVeryEndOfTheBuffer) {
  // A value that does not fit in what is left of the buffer goes whole
  // into the next one, whatever is left.
  for (std::size_t left = 0; left <= 40; ++left) {
    CapturedOutput captured;
    const std::string filler(BufferedOutput::kCapacity - left, 'f');
    captured.out().Put(filler);
    WriteJsonFloat(captured.out(), -1.17549435e-38f);
    captured.out().Put(",");
    WriteJsonFloat(captured.out(), std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(captured.Text(), filler + "-1.1754944e-38,null") << left;
  }
}

TEST(BufferedOutputTest, LongTextAndFailedWrites) {
  // A text longer than the buffer goes out whole, in order.
  CapturedOutput captured;
  std::string text;
  for (std::size_t i = 0; i < 3 * BufferedOutput::kCapacity + 7; ++i) {
    text.push_back(static_cast<char>('a' + i % 26));
  }
  captured.out().Put("<");
  captured.out().Put(text);
  captured.out().Put('>');
  EXPECT_EQ(captured.Text(), "<" + text + ">");
  // A descriptor that cannot be written: the error is kept and the rest
  // of the output is dropped, records reserved in place included.
  BufferedOutput bad(-1);
  bad.Put(text);
  EXPECT_TRUE(bad.failed());
  EXPECT_EQ(bad.error(), EBADF);
  for (int i = 0; i < 200000; ++i) WriteJsonFloat(bad, 1.5f);
  EXPECT_FALSE(bad.Flush());
  EXPECT_EQ(bad.error(), EBADF);
}

// The record of a datum as the JSON result gives it.
std::string DatumRecord(const MarkerRecord& d) {
  return "{\"a\":" + Shortest(d.major) + ",\"b\":" + Shortest(d.minor) +
         ",\"ph\":" + Shortest(d.phi) + ",\"R\":" + Shortest(d.ratio) +
         ",\"rh\":" + Shortest(d.rho) + ",\"ps\":" + Shortest(d.psi) +
         ",\"zt\":" + Shortest(d.zeta) + ",\"x\":[" + Shortest(d.vector[0]) +
         "," + Shortest(d.vector[1]) + "," + Shortest(d.vector[2]) + "]}";
}

std::string PointRecord(const MarkerRecord& d) {
  return "{\"R\":" + Shortest(d.ratio) + ",\"ph\":" + Shortest(d.phi) +
         ",\"rh\":" + Shortest(d.rho) + ",\"ps\":" + Shortest(d.psi) +
         ",\"zt\":" + Shortest(d.zeta) + ",\"x\":[" + Shortest(d.vector[0]) +
         "," + Shortest(d.vector[1]) + "," + Shortest(d.vector[2]) + "]}";
}

// Writes the JSON result of `count` data whose values take the longest
// forms (and now and then null), and expects every datum and pre-strain
// point whole and in order.
void ExpectRecordsOf(std::size_t count) {
  const std::vector<float> values = AllSortsOfSingles(400009);
  AnalysisState state;
  state.count = static_cast<std::int32_t>(count);
  state.measured.assign(count + 1, MarkerRecord{});
  state.retrodeformed.assign(count + 1, MarkerRecord{});
  std::size_t k = 0;
  for (std::size_t i = 1; i <= count; ++i) {
    for (MarkerRecord* d : {&state.measured[i], &state.retrodeformed[i]}) {
      for (float* f :
           {&d->major, &d->minor, &d->ratio, &d->phi, &d->rho, &d->zeta,
            &d->psi, &d->vector[0], &d->vector[1], &d->vector[2]}) {
        *f = values[k++ % values.size()];
      }
    }
  }
  Report report;
  report.Append("*** Data ***");
  CapturedOutput captured;
  WriteJsonResult(captured.out(), "many.txt", state,
                  AnalysisResult::kFewerThanFive, report, ".");
  const std::string text = captured.Text();

  std::string data = "\"data\":[";
  std::string pre = "\"pre\":[";
  for (std::size_t i = 1; i <= count; ++i) {
    if (i > 1) data += ',', pre += ',';
    data += DatumRecord(state.measured[i]);
    pre += PointRecord(state.retrodeformed[i]);
  }
  const std::string expected =
      "{\"file\":\"many.txt\",\"ndat\":" + std::to_string(count) + "," + data +
      "]," + pre + "],\"strain\":" + PointRecord(state.strain) + ",";
  ASSERT_GT(text.size(), expected.size()) << count;
  EXPECT_TRUE(text.compare(0, expected.size(), expected) == 0) << count;
  EXPECT_EQ(text.back(), '}') << count;
}

TEST(JsonRecords, EveryDatumWholeAndInOrder) {
  // Large arrays are formatted in batches of 8192 records, two at a time:
  // below one pair, exactly one pair, a pair and one more record, and
  // several pairs with a short last batch.
  for (std::size_t count : {1, 2, 16383, 16384, 16385, 24577, 40000}) {
    ExpectRecordsOf(count);
  }
}

}  // namespace
}  // namespace orvane::cli
