// SPDX-License-Identifier: MIT
// Output of any length in bounded memory: bytes gather in a buffer of fixed
// size that is written to a file descriptor whenever it fills.
#ifndef ORVANE_CLI_BUFFERED_OUTPUT_H_
#define ORVANE_CLI_BUFFERED_OUTPUT_H_

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace orvane::cli {

class BufferedOutput {
 public:
  static constexpr std::size_t kCapacity = 1024 * 1024;

  explicit BufferedOutput(int fd);
  BufferedOutput(const BufferedOutput&) = delete;
  BufferedOutput& operator=(const BufferedOutput&) = delete;

  void Put(char c) {
    if (used_ == kCapacity) Drain();
    buffer_[used_++] = c;
  }
  void Put(std::string_view text) {
    if (text.size() <= kCapacity - used_) {
      std::memcpy(buffer_.get() + used_, text.data(), text.size());
      used_ += text.size();
    } else {
      PutLong(text);
    }
  }

  // Room for `n` bytes (n <= kCapacity) to be written in place: the first of
  // them. Commit then takes what was written, up to `end`.
  char* Reserve(std::size_t n) {
    if (n > kCapacity - used_) Drain();
    return buffer_.get() + used_;
  }
  void Commit(const char* end) {
    used_ = static_cast<std::size_t>(end - buffer_.get());
  }

  // Writes out what is buffered; false once any write has failed.
  bool Flush();
  // Flushes and closes the descriptor; false when either failed.
  bool Close();

  bool failed() const { return error_ != 0; }
  // The errno value of the first failed write or close, or 0. After a
  // failure the rest of the output is dropped.
  int error() const { return error_; }

 private:
  void Drain();
  void PutLong(std::string_view text);

  int fd_;
  int error_ = 0;
  std::size_t used_ = 0;
  std::unique_ptr<char[]> buffer_;
};

}  // namespace orvane::cli

#endif  // ORVANE_CLI_BUFFERED_OUTPUT_H_
