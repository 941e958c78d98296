// SPDX-License-Identifier: MIT
// What the readers of grains share: the check of the path, and the count
// of the grains they leave out.
#ifndef ORVANE_IO_SRC_GRAIN_READING_H_
#define ORVANE_IO_SRC_GRAIN_READING_H_

#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "io/data_file.h"
#include "io/outline_file.h"

namespace orvane {

// Whether `path` names something to read: "File not exits." where nothing
// is, the system's reason where it cannot be examined; `info` says what it
// is.
inline Status StatOfGrainFile(const std::string& path, struct stat& info) {
  if (::stat(path.c_str(), &info) == 0) return Status();
  if (errno == ENOENT) return Refusal(StatusCode::kFileMissing, 0);
  return ReadFailure(errno);
}

// A grain left out, counted, and named among the first few.
inline void SkipGrain(OutlineReading& reading, const std::string& name,
                      const std::string& why) {
  ++reading.skipped;
  if (reading.skipped_named.size() < kSkippedGrainsNamed) {
    reading.skipped_named.push_back(name + ": " + why);
  }
}

}  // namespace orvane

#endif  // ORVANE_IO_SRC_GRAIN_READING_H_
