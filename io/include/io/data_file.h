// SPDX-License-Identifier: MIT
// The data file: one ellipse per line, given by its major axis, its minor
// axis and the orientation of the major axis in degrees, separated by white
// space; the rest of a line after the third number is ignored.
//
// The file is read once, in blocks, and never held in memory: every datum
// is checked and converted as it is read, and its values gather in chunks
// that are copied into the dataset, allocated once at its final length, when
// the whole file has been accepted. The source's stamp (size and
// modification time) is taken before the first block and compared after
// each block read and once more at the end, so that a file changed while it
// is read is refused as a read error instead of leaving cut values behind.
// A file cut while it is read is such a change, never a shorter file.
//
// A medium that fails while it is read refuses the file with the system's
// reason when the source tells it ("Cannot read the file: Input/output
// error"), as a read error of the datum being read when it does not.
//
// Each datum is checked, in this order:
// - a read error: an invalid token, a null byte, a failing medium, a value
//   beyond the single-precision range, or a nonzero axis whose single would
//   be subnormal (or zero), since such an axis has lost the precision of its
//   axial ratio ("3e-45 1.4e-45" would give R = 2 instead of 2.14). A zero
//   axis is a number like any other and meets the checks below. An axis too
//   small even for long double (an exponent below about -4950) reads as 0;
// - a major axis shorter than the minor one;
// - both axes negative;
// - a minor axis that is not positive;
// - an axial ratio that is not finite or above kMaxAxialRatio.
//
// A null byte names the datum being read where it stands, up to and
// including the line end after the datum's third number; in the white
// space after that line end it names the datum that would begin there (the
// number of data read so far + 1).
//
// Orientations beyond +-360 degrees are reduced modulo 180, exactly (on the
// long double read, before the rounding to single), so that the analysis
// never takes the sine of a huge single-precision angle; the value stored,
// and so the grid, is the reduced one. Orientations within +-360 are stored
// as read.
#ifndef ORVANE_IO_DATA_FILE_H_
#define ORVANE_IO_DATA_FILE_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/analysis_state.h"
#include "core/hyperbolic.h"
#include "core/status.h"
#include "io/byte_source.h"
#include "io/data_reader.h"

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
  // phi as read (phi reduced when beyond +-360) and ratio = major / minor
  // (the quotient of the singles, rounded once); the other fields are zero.
  std::vector<MarkerRecord> measured;
  // The markers' centroids and areas where the source gives them (grain
  // outlines, label images, a table's X, Y and Area); a data file gives none.
  MarkerPlaces places;
  // What the user should know of how the file's lines gave the data (a
  // datum from more than one line, a line going on after a carriage return
  // alone), said beside the analysis' warnings; empty for most files.
  std::vector<std::string> warnings;
};

// Reads and checks the data of `source` into `data`. A refusal names the
// datum: for example "Read error --- #5" with datum 5; `data` is then left
// empty. A source whose stamp differs after a block or at the end is a read
// error of the datum being read (the last one read when found between data,
// the last of all at the end), or of datum 1 when found before the first.
// `progress`, when given, is called after each block read and its false stops
// the read: the result is then kCancelled ("Cancelled."), `data` is left empty.
// It never changes what is read.
Status ReadDataFile(ByteSource& source, LoadedData& data,
                    const ReadProgress& progress = {});

// Tests that `path` names something that exists ("File not exits." when
// not), opens it for reading and reads it; the file is closed again on every
// path. A file that cannot be opened gives the system's description of the
// failure, a folder, a pipe or a device "Not a regular file".
Status ReadDataFile(const std::string& path, LoadedData& data,
                    const ReadProgress& progress = {});

// Rounds one datum, as converted to long double, to single precision and
// checks it as the loader checks the data of a file, in the order above
// (the read error here being a value beyond the single range or a
// subnormal axis); fills major, minor, phi and ratio of `d`. Returns kOk or
// the code of the first check that fails. The table import stores its data
// through it, so that both loaders accept and store the same values.
StatusCode CheckDatum(long double major, long double minor, long double phi,
                      MarkerRecord& d);

// The refusal of a source whose medium failed with the system's error
// `error_number` (errno): for example "Cannot read the file: Input/output
// error", a kReadError that names no datum. Both loaders give it.
Status ReadFailure(int error_number);

// The refusal of datum `datum` for a loader's code: for example
// Refusal(StatusCode::kReadError, 5) says "Read error --- #5".
Status Refusal(StatusCode code, std::int32_t datum);

}  // namespace orvane

#endif  // ORVANE_IO_DATA_FILE_H_
