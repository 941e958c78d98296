// SPDX-License-Identifier: MIT
// Small text inputs read whole, such as a figure's settings file: opened
// as the loader opens a data file, so that a folder, a pipe or a device is
// refused rather than waited on, and read only up to a limit.
#ifndef ORVANE_IO_TEXT_FILE_H_
#define ORVANE_IO_TEXT_FILE_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "core/status.h"

namespace orvane {

// The longest text taken in one piece: a line of a measurement table, or a
// whole settings file.
inline constexpr std::size_t kMaxTextBytes = std::size_t{1} << 20;

// Reads the first `max_bytes` bytes of the file `path` (all of a shorter
// one) into `text`. Refused as FileSource::Open refuses (kCannotOpen with
// the system's reason, or "Not a regular file"); a failing read is
// kReadError. Read max_bytes + 1 to tell a file that is too long.
Status ReadTextFileStart(const std::string& path, std::size_t max_bytes,
                         std::string& text);

// Reads the whole of a small text file such as a figure's settings file,
// of at most kMaxTextBytes. A refusal names the file, made printable:
// "Cannot read \"NAME\": " and the reason (kCannotOpen), or "\"NAME\" is too
// large for " and `what` ("a settings file"; kReadError).
Status ReadSmallTextFile(const std::string& path, std::string_view what,
                         std::string& text);

}  // namespace orvane

#endif  // ORVANE_IO_TEXT_FILE_H_
