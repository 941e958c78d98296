// SPDX-License-Identifier: MIT
#include "cli/buffered_output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace orvane::cli {

BufferedOutput::BufferedOutput(int fd)
    : fd_(fd), buffer_(std::make_unique<char[]>(kCapacity)) {}

void BufferedOutput::PutLong(std::string_view text) {
  while (!text.empty()) {
    if (used_ == kCapacity) Drain();
    const std::size_t n = std::min(text.size(), kCapacity - used_);
    std::memcpy(buffer_.get() + used_, text.data(), n);
    used_ += n;
    text.remove_prefix(n);
  }
}

void BufferedOutput::Drain() {
  const char* p = buffer_.get();
  std::size_t left = used_;
  used_ = 0;
  while (left > 0 && error_ == 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0) {
      if (errno != EINTR) error_ = errno;
    } else if (n == 0) {
      error_ = EIO;  // a write that takes nothing would loop for ever
    } else {
      p += n;
      left -= static_cast<std::size_t>(n);
    }
  }
}

bool BufferedOutput::Flush() {
  if (used_ > 0) Drain();
  return !failed();
}

bool BufferedOutput::Close() {
  if (!Flush()) return false;
  // A descriptor that was never open has nothing to report when nothing
  // was written to it; a write would have failed already.
  if (::close(fd_) != 0 && errno != EBADF && errno != EINTR) error_ = errno;
  return !failed();
}

}  // namespace orvane::cli
