// Byte-level reading of a data file: white space, number tokens, line ends
// and the end of the file.
//
// White space is any byte 0..32. A line ends at a line feed. The byte 26
// (Ctrl-Z) ends the file: nothing at or after it is read.
#ifndef ORVANE_IO_DATA_READER_H_
#define ORVANE_IO_DATA_READER_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "io/byte_source.h"

namespace orvane {

inline constexpr std::size_t kMaxTokenBytes = 64;
inline constexpr int kEndOfFileByte = 26;

class DataReader {
 public:
  explicit DataReader(ByteSource& source);

  // True when no byte remains or the next byte is 26; white space is not
  // the end.
  bool AtEnd() { return Peek() < 0 || Peek() == kEndOfFileByte; }

  // True once the medium has failed; the reader then behaves as at its end.
  bool Failed() const { return failed_; }

  // Skips white space (line ends included) up to the next token or the end.
  void SkipWhiteSpace();

  // Skips white space, then reads one token of at most 64 bytes (a longer
  // run of non-blank bytes is cut; its remainder is the next token) and
  // converts it. A number asked for where only white space remains before
  // the end is 0. Returns false for an invalid token or a failed medium.
  bool ReadNumber(long double& value);

  // Reads up to and including the next line feed, or up to the end.
  void SkipLine();

  // Starts again from the first byte; false when the medium fails.
  bool Restart();

 private:
  int Peek() {
    if (pos_ == len_ && !Fill()) return -1;
    return buffer_[pos_];
  }
  bool Fill();

  static constexpr std::size_t kBufferSize = 1 << 16;
  ByteSource& source_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  bool ended_ = false;
  bool failed_ = false;
};

}  // namespace orvane

#endif  // ORVANE_IO_DATA_READER_H_
