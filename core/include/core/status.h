// SPDX-License-Identifier: MIT
// The outcome of an operation that can fail. core, io and render never show
// or print a failure: they return a Status, which holds what went wrong, the
// text to show the user and, for a refused data file, the number of the
// datum where the fault was found. The window turns it into a message box,
// the command-line tool into a line on standard error and an exit status.
#ifndef ORVANE_CORE_STATUS_H_
#define ORVANE_CORE_STATUS_H_

#include <cstdint>
#include <string>
#include <utility>

namespace orvane {

enum class StatusCode {
  kOk,
  // Reading a data file.
  kFileMissing,       // the name names no existing file
  kCannotOpen,        // the system refused to open it
  kMajorShorter,      // a datum's major axis is shorter than its minor one
  kNegativeRadii,     // both axes negative
  kMinorNotPositive,  // the minor axis is zero or negative
  kRatioOutOfRange,   // the axial ratio is not finite or above the limit
  kReadError,         // an invalid number, a failing medium, a value too large
  kOutOfMemory,       // the dataset cannot be allocated
  kCancelled,         // the user stopped a long read or analysis
  // Writing a picture.
  kInvalidExtension,  // the name has no extension of a known picture format
  kWriteFailed,       // the picture could not be drawn or written
  // Settings of the analysis.
  kInvalidSettings,  // a setting outside its limits
};

class Status {
 public:
  // Success.
  Status() = default;
  Status(StatusCode code, std::string message, std::int32_t datum = 0)
      : code_(code), message_(std::move(message)), datum_(datum) {}

  bool ok() const { return code_ == StatusCode::kOk; }
  StatusCode code() const { return code_; }
  // The text for the user, datum number included where there is one.
  const std::string& message() const { return message_; }
  // The datum (from 1) where a data file was refused; 0 when none.
  std::int32_t datum() const { return datum_; }

 private:
  StatusCode code_ = StatusCode::kOk;
  std::string message_;
  std::int32_t datum_ = 0;
};

}  // namespace orvane

#endif  // ORVANE_CORE_STATUS_H_
