// SPDX-License-Identifier: MIT
// Where the loader's bytes come from: a file, read in blocks and never held
// whole in memory, or a buffer (for tests and for data already in memory).
#ifndef ORVANE_IO_BYTE_SOURCE_H_
#define ORVANE_IO_BYTE_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/status.h"

namespace orvane {

// What tells one version of a source's bytes from another: its size and
// the time it was last modified, to the nanosecond. The loader takes it
// before it reads and compares it after each block and at the end, so that
// a file changed while it is read is refused rather than half stored.
struct SourceStamp {
  std::uint64_t size = 0;
  std::int64_t modified_seconds = 0;
  std::int64_t modified_nanoseconds = 0;  // within the second
  bool operator==(const SourceStamp&) const = default;
};

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `capacity` bytes into `buffer`: the count, 0 at the end,
  // or -1 when the medium fails.
  virtual std::ptrdiff_t Read(std::uint8_t* buffer, std::size_t capacity) = 0;
  // Goes back to the first byte; false when the medium fails.
  virtual bool Rewind() = 0;
  // The current stamp of the bytes, or nothing when the source has none
  // (or cannot tell it now).
  virtual std::optional<SourceStamp> Stamp() { return std::nullopt; }
  // The system's error number (errno) of the last Read that failed, or 0
  // when the source cannot tell why it failed.
  virtual int ReadErrorNumber() const { return 0; }
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::ptrdiff_t Read(std::uint8_t* buffer, std::size_t capacity) override;
  bool Rewind() override {
    pos_ = 0;
    return true;
  }
  // The size of the buffer; a buffer has no modification time.
  std::optional<SourceStamp> Stamp() override {
    return SourceStamp{bytes_.size(), 0, 0};
  }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

// A file opened for reading only.
class FileSource : public ByteSource {
 public:
  FileSource() = default;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  ~FileSource() override { Close(); }

  // Opens `path`. A failure is kCannotOpen with the system's description
  // (for instance "Permission denied"); a folder, a pipe or a device cannot
  // be read twice from its beginning and is refused as "Not a regular file".
  Status Open(const std::string& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  std::ptrdiff_t Read(std::uint8_t* buffer, std::size_t capacity) override;
  bool Rewind() override;
  // The file's size and modification time as the system has them now;
  // nothing when the file is not open or cannot be examined.
  std::optional<SourceStamp> Stamp() override;
  int ReadErrorNumber() const override { return read_error_; }

 private:
  int fd_ = -1;
  int read_error_ = 0;
};

// True when `path` names something that exists, whatever it is: a file, a
// folder, a pipe or a device (FileSource::Open refuses all but a file).
bool FileExists(const std::string& path);

}  // namespace orvane

#endif  // ORVANE_IO_BYTE_SOURCE_H_
