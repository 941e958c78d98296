// What the readers of grains share: GDAL opened quietly, and the count of
// the grains they leave out.
#ifndef ORVANE_IO_SRC_GRAIN_READING_H_
#define ORVANE_IO_SRC_GRAIN_READING_H_

#include <cpl_error.h>
#include <gdal_priv.h>

#include <mutex>
#include <string>

#include "io/outline_file.h"

namespace orvane {

// GDAL's drivers registered once, and its messages kept off the standard
// error while a file is read: they come back as the refusal's words.
class QuietGdal {
 public:
  QuietGdal() {
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
  }
  ~QuietGdal() { CPLPopErrorHandler(); }
  QuietGdal(const QuietGdal&) = delete;
  QuietGdal& operator=(const QuietGdal&) = delete;

  static std::string LastMessage() {
    const char* message = CPLGetLastErrorMsg();
    return message != nullptr ? message : "";
  }
};

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
