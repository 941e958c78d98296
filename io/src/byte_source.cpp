// SPDX-License-Identifier: MIT
#include "io/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orvane {

std::ptrdiff_t MemorySource::Read(std::uint8_t* buffer, std::size_t capacity) {
  const std::size_t n = std::min(capacity, bytes_.size() - pos_);
  std::memcpy(buffer, bytes_.data() + pos_, n);
  pos_ += n;
  return static_cast<std::ptrdiff_t>(n);
}

Status FileSource::Open(const std::string& path) {
  Close();
  auto refused = [](const char* why) {
    return Status(StatusCode::kCannotOpen, why);
  };
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return refused(std::strerror(errno));
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    return refused(std::strerror(error));
  }
  if (!S_ISREG(st.st_mode)) {
    // A device or a pipe cannot be read twice from its beginning, and a
    // folder holds no bytes of its own to read.
    ::close(fd);
    return refused("Not a regular file");
  }
  // Regular files never block; the flag only kept open() from waiting on a
  // pipe.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  fd_ = fd;
  read_error_ = 0;
  return Status();
}

void FileSource::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

std::ptrdiff_t FileSource::Read(std::uint8_t* buffer, std::size_t capacity) {
  if (fd_ < 0) return -1;
  ssize_t n;
  do {
    n = ::read(fd_, buffer, capacity);
  } while (n < 0 && errno == EINTR);
  if (n < 0) read_error_ = errno;
  return n;
}

bool FileSource::Rewind() {
  return fd_ >= 0 && ::lseek(fd_, 0, SEEK_SET) == 0;
}

std::optional<SourceStamp> FileSource::Stamp() {
  struct stat st;
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return std::nullopt;
  return SourceStamp{static_cast<std::uint64_t>(st.st_size),
                     static_cast<std::int64_t>(st.st_mtim.tv_sec),
                     static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace orvane
