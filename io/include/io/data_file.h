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
#include <functional>
#include <string>
#include <vector>

#include "core/hyperbolic.h"
#include "core/status.h"
#include "io/byte_source.h"

namespace orvane {

// The largest accepted axial ratio. Single-precision storage drifts off the
// hyperboloid as the ratios grow: R_s can be off by 0.2 % at R = 200, 2 % at
// 700 and 2.5 % at 1000 (bench/accuracy.py), and by 7 % at R = 3000. Above
// R = 100 an analysis warns of it (AnalysisWarnings); real strain markers
// stay far below.
inline constexpr float kMaxAxialRatio = 1000.0f;

// The data of an accepted file.
struct LoadedData {
  std::int32_t count = 0;
  // count + 1 records, slot 0 all zero; slots 1..count hold major, minor and
  // phi as read and ratio = major / minor (the quotient of the singles,
  // rounded once); the other fields are zero.
  std::vector<MarkerRecord> measured;
};

// Progress of a long read: called now and then with the bytes read so far
// and the size of the source (0 when unknown) in the current pass (1 the
// counting pass, 2 the filling pass). Returning false stops the read.
using ReadProgress = std::function<bool(std::uint64_t bytes_done,
                                        std::uint64_t bytes_total, int pass)>;

// Reads and checks the data of `source` (both passes) into `data`. A refusal
// names the datum: for example "Read error --- #5" with datum 5; `data` is
// then left empty. A read stopped through `progress` is kCancelled.
Status ReadDataFile(ByteSource& source, LoadedData& data,
                    const ReadProgress& progress = {});

// Tests that `path` names an existing file, opens it for reading and reads
// it; the file is closed again on every path. A file that cannot be opened
// gives the system's description of the failure.
Status ReadDataFile(const std::string& path, LoadedData& data,
                    const ReadProgress& progress = {});

// The refusal of datum `datum` for a loader's code: for example
// Refusal(StatusCode::kReadError, 5) says "Read error --- #5".
Status Refusal(StatusCode code, std::int32_t datum);

}  // namespace orvane

#endif  // ORVANE_IO_DATA_FILE_H_
