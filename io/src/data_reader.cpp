// SPDX-License-Identifier: MIT
#include "io/data_reader.h"

#include <algorithm>
#include <string_view>

#include "io/number_token.h"

namespace orvane {
namespace {

bool IsWhiteSpace(std::uint8_t c) {
  return c > 0 && c <= 32 && c != kEndOfFileByte;
}

}  // namespace

DataReader::DataReader(ByteSource& source)
    : source_(source), buffer_(new std::uint8_t[kReadBlockBytes]) {}

bool DataReader::Fill() {
  if (ended_) return false;
  consumed_ += len_;
  pos_ = len_ = 0;
  const std::ptrdiff_t n = source_.Read(buffer_.get(), kReadBlockBytes);
  if (n < 0) {
    ended_ = failed_ = true;
    read_error_ = source_.ReadErrorNumber();
    return false;
  }
  if (n == 0) {
    // A file cut after the last block read ends here: only its stamp tells
    // the cut from the end.
    ended_ = true;
    StampHolds();
    return false;
  }
  if (stamp_ && source_.Stamp() != stamp_) {
    // The bytes may belong to another version of the source: none is used.
    ended_ = failed_ = stamp_changed_ = true;
    return false;
  }
  len_ = static_cast<std::size_t>(n);
  if (progress_ != nullptr && !(*progress_)(consumed_ + len_, total_)) {
    // Nothing of a block read after the stop is used.
    len_ = 0;
    ended_ = cancelled_ = true;
    return false;
  }
  return true;
}

void DataReader::SkipWhiteSpace() {
  for (;;) {
    const std::uint8_t* const begin = Here();
    const std::uint8_t* const end = BlockEnd();
    const std::uint8_t* p = begin;
    while (p != end && IsWhiteSpace(*p)) ++p;
    // Most runs are a blank or two: the look for a line feed costs little.
    if (!line_feed_skipped_ && p != begin) {
      line_feed_skipped_ = std::find(begin, p, '\n') != p;
    }
    MoveTo(p);
    if (p != end || !Fill()) return;
  }
}

bool DataReader::ReadNumber(long double& value) {
  SkipWhiteSpace();
  // A token that ends inside the current block is converted where it
  // stands; one that may run on into the next block is gathered first.
  const std::uint8_t* const begin = Here();
  const std::uint8_t* const end = BlockEnd();
  if (begin != end && *begin > 32) {
    const std::uint8_t* const limit =
        end - begin > static_cast<std::ptrdiff_t>(kMaxTokenBytes)
            ? begin + kMaxTokenBytes
            : end;
    const std::uint8_t* p = begin;
    while (p != limit && *p > 32) ++p;
    if (p != end) {
      MoveTo(p);
      const char* const first = reinterpret_cast<const char*>(begin);
      const char* const last = reinterpret_cast<const char*>(p);
      return ConvertCommonNumberToken(first, last, value) ||
             ConvertNumberToken(
                 std::string_view(first, static_cast<std::size_t>(p - begin)),
                 value);
    }
  }
  return ReadNumberAcrossBlocks(value);
}

bool DataReader::ReadNumberAcrossBlocks(long double& value) {
  if (AtNullByte()) return false;
  if (AtEnd()) {
    value = 0;
    return !failed_;
  }
  char token[kMaxTokenBytes];
  std::size_t n = 0;
  for (int c = Peek(); c > 32 && n < kMaxTokenBytes; c = Peek()) {
    token[n++] = static_cast<char>(c);
    ++pos_;
  }
  if (failed_) return false;
  return ConvertNumberToken(std::string_view(token, n), value);
}

bool DataReader::SkipLine() {
  // A carriage return is read over like any other byte, so a line ends at
  // its line feed whether or not a carriage return precedes it; one
  // followed by anything else is noted. At a block's end, the byte after it
  // is the next block's first.
  bool carriage_return_last = false;
  for (;;) {
    const std::uint8_t* p = Here();
    const std::uint8_t* const end = BlockEnd();
    if (carriage_return_last && p != end && *p != '\n') {
      lone_cr_skipped_ = true;
    }
    carriage_return_last = false;
    while (p != end) {
      const std::uint8_t c = *p;
      if (c == 0 || c == kEndOfFileByte) {
        MoveTo(p);
        return c != 0;
      }
      ++p;
      if (c == '\n') {
        MoveTo(p);
        return true;
      }
      if (c == '\r') {
        if (p == end) {
          carriage_return_last = true;
        } else if (*p != '\n') {
          lone_cr_skipped_ = true;
        }
      }
    }
    MoveTo(end);
    if (!Fill()) return true;
  }
}

bool DataReader::StampHolds() {
  if (!end_stamped_ && !stamp_changed_) {
    end_stamped_ = ended_;
    if (stamp_ && source_.Stamp() != stamp_) failed_ = stamp_changed_ = true;
  }
  return !stamp_changed_;
}

DataReader::TextLine DataReader::ReadTextLine(std::string& line,
                                              std::size_t max_bytes) {
  line.clear();
  for (;;) {
    const std::uint8_t* const begin = Here();
    const std::uint8_t* const end = BlockEnd();
    const std::uint8_t* p = begin;
    while (p != end && *p != '\n' && *p != '\r' && *p != 0 &&
           *p != kEndOfFileByte) {
      ++p;
    }
    const auto room = max_bytes - line.size();
    if (static_cast<std::size_t>(p - begin) > room) {
      line.append(reinterpret_cast<const char*>(begin), room);
      MoveTo(begin + room + 1);
      return TextLine::kTooLong;
    }
    line.append(reinterpret_cast<const char*>(begin),
                static_cast<std::size_t>(p - begin));
    MoveTo(p);
    if (p == end) {
      if (!Fill()) return TextLine::kEnd;
      continue;
    }
    const std::uint8_t c = *p;
    if (c == kEndOfFileByte) return TextLine::kEnd;
    MoveTo(p + 1);
    if (c == 0) return TextLine::kNullByte;
    if (c == '\r' && Peek() == '\n') ++pos_;
    return TextLine::kLine;
  }
}

bool DataReader::Restart() {
  pos_ = len_ = 0;
  consumed_ = 0;
  ended_ = false;
  failed_ = false;
  cancelled_ = false;
  stamp_changed_ = false;
  end_stamped_ = false;
  read_error_ = 0;
  if (!source_.Rewind()) {
    ended_ = failed_ = true;
    return false;
  }
  return true;
}

}  // namespace orvane
