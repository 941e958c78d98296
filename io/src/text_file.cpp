// SPDX-License-Identifier: MIT
#include "io/text_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

#include "core/utf8_text.h"
#include "io/byte_source.h"

namespace orvane {

Status ReadTextFileStart(const std::string& path, std::size_t max_bytes,
                         std::string& text) {
  FileSource file;
  if (Status opened = file.Open(path); !opened.ok()) return opened;
  std::string read(max_bytes, '\0');
  std::size_t size = 0;
  while (size < max_bytes) {
    const std::ptrdiff_t n = file.Read(
        reinterpret_cast<std::uint8_t*>(read.data()) + size, max_bytes - size);
    if (n < 0) return Status(StatusCode::kReadError, std::strerror(errno));
    if (n == 0) break;
    size += static_cast<std::size_t>(n);
  }
  read.resize(size);
  text = std::move(read);
  return Status();
}

Status ReadSmallTextFile(const std::string& path, std::string_view what,
                         std::string& text) {
  const std::string shown = PrintableText(path);
  std::string bytes;
  if (const Status read = ReadTextFileStart(path, kMaxTextBytes + 1, bytes);
      !read.ok()) {
    return Status(StatusCode::kCannotOpen,
                  "Cannot read \"" + shown + "\": " + read.message());
  }
  if (bytes.size() > kMaxTextBytes) {
    return Status(StatusCode::kReadError,
                  "\"" + shown + "\" is too large for " + std::string(what));
  }
  text = std::move(bytes);
  return Status();
}

}  // namespace orvane
