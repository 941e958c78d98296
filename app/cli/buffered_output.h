// Output of any length in bounded memory: bytes gather in a buffer of fixed
// size that is written to a file descriptor whenever it fills.
#ifndef ORVANE_CLI_BUFFERED_OUTPUT_H_
#define ORVANE_CLI_BUFFERED_OUTPUT_H_

#include <cstddef>
#include <memory>
#include <string_view>

namespace orvane::cli {

class BufferedOutput {
 public:
  static constexpr std::size_t kCapacity = 64 * 1024;

  explicit BufferedOutput(int fd);
  BufferedOutput(const BufferedOutput&) = delete;
  BufferedOutput& operator=(const BufferedOutput&) = delete;

  void Put(char c) {
    if (used_ == kCapacity) Drain();
    buffer_[used_++] = c;
  }
  void Put(std::string_view text);

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

  int fd_;
  int error_ = 0;
  std::size_t used_ = 0;
  std::unique_ptr<char[]> buffer_;
};

}  // namespace orvane::cli

#endif  // ORVANE_CLI_BUFFERED_OUTPUT_H_
