// SPDX-License-Identifier: MIT
// Byte-level reading of the loaders' sources, in blocks of at most 64 KiB,
// for the data file (white space, number tokens, line ends) and for the
// table import (lines of text): one block reader for both, which also
// watches the source's stamp, tells the progress hook of each block and
// starts again from the first byte.
//
// White space is any byte 1..32. A line of a data file ends at a line feed
// (a table's line, read by ReadTextLine, at a carriage return too). The
// byte 26 (Ctrl-Z) ends the file: nothing at or after it is read. A null
// byte is not white space: text with null bytes is not a data file of this
// program (a UTF-16 file, say, would otherwise read "30" as "3", then a
// blank), so the reader stops at it and the loader refuses the file.
#ifndef ORVANE_IO_DATA_READER_H_
#define ORVANE_IO_DATA_READER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "io/byte_source.h"

namespace orvane {

inline constexpr std::size_t kMaxTokenBytes = 64;
inline constexpr int kEndOfFileByte = 26;
inline constexpr std::size_t kReadBlockBytes = std::size_t{1} << 16;

// Told, after each block of at most 64 KiB is read (a file and a buffer give
// full blocks but the last), how many bytes of the source have been read and
// the size of the source (0 when unknown). Returning false stops the read.
// It is called on the thread that reads.
using ReadProgress =
    std::function<bool(std::uint64_t bytes_done, std::uint64_t bytes_total)>;

class DataReader {
 public:
  explicit DataReader(ByteSource& source);

  // True when no byte remains, the next byte is 26 or the reader stands at
  // a null byte; white space is not the end.
  bool AtEnd() {
    const int c = Peek();
    return c <= 0 || c == kEndOfFileByte;
  }

  // True when the reader stands at a null byte. It never reads past one.
  bool AtNullByte() { return Peek() == 0; }

  // True once the medium has failed; the reader then behaves as at its end.
  bool Failed() const { return failed_; }

  // True once the progress hook has stopped the read; the reader then
  // behaves as at its end.
  bool Cancelled() const { return cancelled_; }

  // True once a block was read, or the end of the source met, while the
  // source's stamp was no longer the one given to WatchStamp; the reader has
  // then failed, and nothing of that block is used. A file cut while it is
  // read ends early: its end is a change, never a shorter file.
  bool StampChanged() const { return stamp_changed_; }

  // The system's error number of the read that failed (see
  // ByteSource::ReadErrorNumber), or 0 when the medium has not failed, the
  // source cannot tell why, or the failure was a change of stamp.
  int ReadErrorNumber() const { return read_error_; }

  // Compares the source's stamp with the watched one once more, unless the
  // reader has already done so at the end of the source; a change makes the
  // reader fail as StampChanged says. True when the stamp still holds (or
  // none is watched).
  bool StampHolds();

  // The number of bytes read over since the first byte.
  std::uint64_t Offset() const { return consumed_ + pos_; }

  // Skips white space (line ends included) up to the next token or the end.
  void SkipWhiteSpace();

  // Skips white space, then reads one token of at most 64 bytes (a longer
  // run of non-blank bytes is cut; its remainder is the next token) and
  // converts it. A number asked for where only white space remains before
  // the end is 0. Returns false for an invalid token, a failed medium or a
  // null byte where the number would begin.
  bool ReadNumber(long double& value);

  // Reads up to and including the next line feed, or up to the end. False
  // when a null byte stands in the way.
  bool SkipLine();

  // Whether white space skipped since ForgetLineEnds() held a line feed:
  // the numbers read since came from more than one line.
  bool LineFeedSkipped() const { return line_feed_skipped_; }
  // Whether a line skipped since held a carriage return that ends no line
  // (one followed by anything but a line feed): a file whose lines end in
  // carriage returns alone, whose lines after the first go unread.
  bool LoneCarriageReturnSkipped() const { return lone_cr_skipped_; }
  void ForgetLineEnds() { line_feed_skipped_ = lone_cr_skipped_ = false; }

  // How ReadTextLine ended.
  enum class TextLine {
    kLine,      // at a line end, which was read over
    kEnd,       // at the end of the source, a byte 26, a failure or a stop
    kNullByte,  // at a null byte, which was read over
    kTooLong,   // after `max_bytes` bytes, with more before the line end
  };

  // Reads a line of text into `line` (its bytes without the line end): up to
  // a line feed, a carriage return and a line feed, or a carriage return
  // alone. At most `max_bytes` bytes are kept.
  TextLine ReadTextLine(std::string& line, std::size_t max_bytes);

  // Starts again from the first byte; false when the medium fails. The stamp
  // watched and the progress hook stay.
  bool Restart();

  // Compares the source's stamp with `stamp` after each block read, before
  // the block is used or the progress hook told of it.
  void WatchStamp(const std::optional<SourceStamp>& stamp) { stamp_ = stamp; }

  // Calls `progress` (which must outlive the reading; null or empty: none)
  // after each block read, with `total` as its last argument.
  void SetProgress(const ReadProgress* progress, std::uint64_t total) {
    progress_ = progress != nullptr && *progress ? progress : nullptr;
    total_ = total;
  }

 private:
  int Peek() {
    if (pos_ == len_ && !Fill()) return -1;
    return buffer_[pos_];
  }
  bool Fill();
  // The bytes of the current block from the reader's position on.
  const std::uint8_t* Here() const { return buffer_.get() + pos_; }
  const std::uint8_t* BlockEnd() const { return buffer_.get() + len_; }
  void MoveTo(const std::uint8_t* p) {
    pos_ = static_cast<std::size_t>(p - buffer_.get());
  }
  bool ReadNumberAcrossBlocks(long double& value);

  ByteSource& source_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  std::uint64_t consumed_ = 0;  // bytes of the blocks before this one
  bool ended_ = false;
  bool failed_ = false;
  bool cancelled_ = false;
  bool stamp_changed_ = false;
  bool end_stamped_ = false;  // the stamp was compared at the end
  bool line_feed_skipped_ = false;
  bool lone_cr_skipped_ = false;
  int read_error_ = 0;
  std::optional<SourceStamp> stamp_;
  const ReadProgress* progress_ = nullptr;
  std::uint64_t total_ = 0;
};

}  // namespace orvane

#endif  // ORVANE_IO_DATA_READER_H_
