// The data file: one ellipse per line, given by its major axis, its minor
// axis and the orientation of the major axis in degrees, separated by white
// space; the rest of a line after the third number is ignored.
//
// The file is read twice: a counting pass checks every datum and fixes the
// number of data, so that the dataset is allocated once at its final length;
// a filling pass then stores the values. Neither pass holds the file in
// memory.
#ifndef ORVANE_IO_DATA_FILE_H_
#define ORVANE_IO_DATA_FILE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "core/hyperbolic.h"
#include "io/byte_source.h"

namespace orvane {

// The largest accepted axial ratio. Single-precision storage drifts off the
// hyperboloid as the ratios grow (R_s is off by 3e-3 at R = 1000 and by 7 %
// at R = 3000); real strain markers stay far below.
inline constexpr float kMaxAxialRatio = 1000.0f;

// Why a file was refused.
enum class LoadFailure {
  kNone,
  kFileMissing,       // "File not exits."
  kCannotOpen,        // the system's description of the failure
  kMajorShorter,      // a < b
  kNegativeRadii,     // b <= a < 0
  kMinorNotPositive,  // b <= 0
  kRatioOutOfRange,   // a / b not finite, or above kMaxAxialRatio
  kReadError,         // invalid token, failing medium, value out of range
  kOutOfMemory,       // the dataset cannot be allocated
};

struct LoadError {
  LoadFailure failure = LoadFailure::kNone;
  std::string message;     // the text shown to the user, datum number included
  std::int32_t datum = 0;  // the datum being read (0 when none)
};

struct LoadedData {
  std::int32_t Ndat = 0;
  // Ndat + 1 records, slot 0 all zero; slots 1..Ndat hold a, b, ph as read
  // and R = a / b (the quotient of the singles, rounded once); the other
  // fields are zero.
  std::vector<Tdata> DatF;
};

struct LoadResult {
  bool ok = false;
  LoadedData data;  // when ok
  LoadError error;  // when not ok
};

// Reads and checks the data of `source` (both passes).
LoadResult ReadDataFile(ByteSource& source);

// Tests that `path` names an existing file, opens it for reading and reads
// it; the file is closed again on every path.
LoadResult ReadDataFile(const std::string& path);

// The refusal text for a datum: for example "Read error --- #5".
std::string RefusalMessage(LoadFailure failure, std::int32_t datum);

}  // namespace orvane

#endif  // ORVANE_IO_DATA_FILE_H_
