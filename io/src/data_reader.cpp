#include "io/data_reader.h"

#include <string_view>

#include "io/number_token.h"

namespace orvane {

DataReader::DataReader(ByteSource& source)
    : source_(source), buffer_(new std::uint8_t[kReadBlockBytes]) {}

bool DataReader::Fill() {
  if (ended_) return false;
  consumed_ += len_;
  pos_ = len_ = 0;
  const std::ptrdiff_t n = source_.Read(buffer_.get(), kReadBlockBytes);
  if (n <= 0) {
    ended_ = true;
    failed_ = n < 0;
    return false;
  }
  len_ = static_cast<std::size_t>(n);
  if (progress_ != nullptr && !(*progress_)(consumed_ + len_, total_, pass_)) {
    // Nothing of a block read after the stop is used.
    len_ = 0;
    ended_ = cancelled_ = true;
    return false;
  }
  return true;
}

void DataReader::SkipWhiteSpace() {
  for (int c = Peek(); c > 0 && c <= 32 && c != kEndOfFileByte; c = Peek()) {
    ++pos_;
  }
}

bool DataReader::ReadNumber(long double& value) {
  SkipWhiteSpace();
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
  // its line feed whether or not a carriage return precedes it.
  for (int c = Peek(); c > 0 && c != kEndOfFileByte; c = Peek()) {
    ++pos_;
    if (c == '\n') return true;
  }
  return !AtNullByte();
}

bool DataReader::Restart() {
  pos_ = len_ = 0;
  consumed_ = 0;
  ended_ = false;
  failed_ = false;
  cancelled_ = false;
  if (!source_.Rewind()) {
    ended_ = failed_ = true;
    return false;
  }
  return true;
}

}  // namespace orvane
