// SPDX-License-Identifier: MIT
#include "io/data_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "io/data_reader.h"

namespace orvane {
namespace {

// Rounds a converted number to single precision; false when it lies beyond
// the single-precision range.
bool ToSingle(long double v, float& out) {
  out = static_cast<float>(v);
  return std::isfinite(out);
}

// Rounds an axis to single precision; false beyond the single range and for
// a nonzero axis whose single is below the smallest normal one.
bool AxisToSingle(long double v, float& out) {
  return ToSingle(v, out) &&
         (v == 0 || std::fabs(out) >= std::numeric_limits<float>::min());
}

// Rounds an orientation to single precision; false beyond the single range.
// Beyond +-360 degrees it is first reduced modulo 180, which fmodl does
// exactly; within, it is rounded as read.
bool OrientationToSingle(long double v, float& out) {
  if (!ToSingle(v, out)) return false;
  if (std::fabs(v) > 360) {
    // Adding zero makes a zero residue of a negative angle +0.
    out = static_cast<float>(std::fmod(v, 180.0L) + 0.0L);
  }
  return true;
}

// How the lines of a file gave their data, where a user may not have meant
// it: the first datum whose numbers came from more than one line, and the
// first whose line went on after a carriage return alone (0: none).
struct LineNotes {
  std::int32_t across_lines = 0;
  std::int32_t lone_carriage_return = 0;
};

// Reads datum `n` (three numbers, then the rest of the line that held the
// third) and checks it.
StatusCode ReadDatum(DataReader& reader, std::int32_t n, MarkerRecord& d,
                     LineNotes& notes) {
  long double major, minor, phi;
  bool read = reader.ReadNumber(major);
  reader.ForgetLineEnds();
  read = read && reader.ReadNumber(minor) && reader.ReadNumber(phi);
  if (read && notes.across_lines == 0 && reader.LineFeedSkipped()) {
    notes.across_lines = n;
  }
  read = read && reader.SkipLine();
  if (read && notes.lone_carriage_return == 0 &&
      reader.LoneCarriageReturnSkipped()) {
    notes.lone_carriage_return = n;
  }
  if (!read || reader.Failed()) return StatusCode::kReadError;
  return CheckDatum(major, minor, phi, d);
}

// The warnings of the notes, for the analysis to give beside its own.
std::vector<std::string> LineWarnings(const LineNotes& notes) {
  std::vector<std::string> warnings;
  const char* const table =
      " A table opens with File \u25B8 Import Table... (orvane-cli --import).";
  if (notes.across_lines != 0) {
    warnings.push_back(
        "Datum " + std::to_string(notes.across_lines) +
        " takes its numbers from more than one line: a data file reads "
        "major, minor and phi across line ends, so a line of fewer than "
        "three numbers is paired with the next." +
        table);
  }
  if (notes.lone_carriage_return != 0) {
    warnings.push_back(
        "The line of datum " + std::to_string(notes.lone_carriage_return) +
        " goes on after a carriage return, which a data file does not take "
        "for a line end: what follows it on that line was not read." +
        table);
  }
  return warnings;
}

// Moves to the next datum: false at the end of the data. White space after
// the last datum is not a datum of its own.
bool NextDatum(DataReader& reader) {
  if (reader.AtEnd()) return false;
  reader.SkipWhiteSpace();
  return !reader.AtEnd();
}

}  // namespace

StatusCode CheckDatum(long double major, long double minor, long double phi,
                      MarkerRecord& d) {
  if (!AxisToSingle(major, d.major) || !AxisToSingle(minor, d.minor) ||
      !OrientationToSingle(phi, d.phi)) {
    return StatusCode::kReadError;
  }
  if (d.major < d.minor) return StatusCode::kMajorShorter;
  if (d.major < 0) return StatusCode::kNegativeRadii;
  // A zero or negative minor axis gives no axial ratio whose logarithm the
  // analysis could take.
  if (!(d.minor > 0)) return StatusCode::kMinorNotPositive;
  d.ratio = static_cast<float>(static_cast<long double>(d.major) / d.minor);
  if (!std::isfinite(d.ratio) || d.ratio > kMaxAxialRatio) {
    return StatusCode::kRatioOutOfRange;
  }
  return StatusCode::kOk;
}

namespace {

// The values of the data read so far, in chunks of fixed size, so that
// neither the growth nor the final length of the dataset needs a copy of
// all of it at once beside it.
class StagedData {
 public:
  void Add(const MarkerRecord& d) {
    if (used_ == kChunkData) {
      // Left uninitialised: every value is written before it is read.
      chunks_.push_back(std::unique_ptr<Values[]>(new Values[kChunkData]));
      used_ = 0;
    }
    chunks_.back()[used_++] = Values{d.major, d.minor, d.phi, d.ratio};
  }

  // Writes the data in the order read to `out` (all other fields zero) and
  // frees each chunk once copied.
  void MoveTo(MarkerRecord* out) {
    for (std::size_t c = 0; c < chunks_.size(); ++c) {
      const std::size_t count =
          c + 1 == chunks_.size() ? used_ : std::size_t{kChunkData};
      const Values* v = chunks_[c].get();
      for (std::size_t i = 0; i < count; ++i, ++out) {
        out->major = v[i].major;
        out->minor = v[i].minor;
        out->phi = v[i].phi;
        out->ratio = v[i].ratio;
      }
      chunks_[c].reset();
    }
    chunks_.clear();
    used_ = kChunkData;
  }

 private:
  struct Values {
    float major, minor, phi, ratio;
  };
  static constexpr std::size_t kChunkData = std::size_t{1} << 16;

  std::vector<std::unique_ptr<Values[]>> chunks_;
  std::size_t used_ = kChunkData;  // in the last chunk
};

}  // namespace

Status Refusal(StatusCode code, std::int32_t datum) {
  const std::string n = std::to_string(datum);
  switch (code) {
    case StatusCode::kFileMissing:
      return Status(code, "File not exits.");
    case StatusCode::kMajorShorter:
      return Status(code, "Major axis is shorter than minor one.  #" + n,
                    datum);
    case StatusCode::kNegativeRadii:
      return Status(code, "Neative radii.  #" + n, datum);
    case StatusCode::kMinorNotPositive:
      return Status(code, "Minor axis must be positive.  #" + n, datum);
    case StatusCode::kRatioOutOfRange:
      return Status(code, "Axial ratio out of range.  #" + n, datum);
    case StatusCode::kReadError:
      return Status(code, "Read error --- #" + n, datum);
    case StatusCode::kOutOfMemory:
      return Status(code, "Not enough memory for " + n + " data.", datum);
    default:
      return Status(code, "", datum);
  }
}

Status ReadFailure(int error_number) {
  return Status(StatusCode::kReadError, std::string("Cannot read the file: ") +
                                            std::strerror(error_number));
}

Status ReadDataFile(ByteSource& source, LoadedData& data,
                    const ReadProgress& progress) {
  data = LoadedData{};
  DataReader reader(source);
  const std::optional<SourceStamp> stamp = source.Stamp();
  const std::uint64_t total = stamp ? stamp->size : 0;
  // A stop asked for by the progress hook outweighs whatever the cut reading
  // would have found; bytes of another version of the source are a read
  // error of the datum being read, of the last one read when found between
  // data, or of datum 1 when found before the first.
  auto refuse = [&reader](StatusCode code, std::int32_t datum) {
    if (reader.Cancelled()) return Status(StatusCode::kCancelled, "Cancelled.");
    if (reader.StampChanged()) {
      return Refusal(StatusCode::kReadError, std::max(datum, std::int32_t{1}));
    }
    if (reader.ReadErrorNumber() != 0) {
      return ReadFailure(reader.ReadErrorNumber());
    }
    return Refusal(code, datum);
  };

  // One pass: every datum is checked and its values go to the staging
  // chunks. Should they not fit in memory, the rest is still checked, so
  // that a bad datum is named before the lack of memory is.
  reader.SetProgress(&progress, total);
  reader.WatchStamp(stamp);
  StagedData staged;
  bool out_of_memory = false;
  LineNotes notes;
  std::int32_t n = 0;
  while (NextDatum(reader)) {
    if (n == std::numeric_limits<std::int32_t>::max() - 1) {
      return refuse(StatusCode::kOutOfMemory, n);
    }
    ++n;
    MarkerRecord d;
    const StatusCode f = ReadDatum(reader, n, d, notes);
    if (f != StatusCode::kOk) return refuse(f, n);
    if (!out_of_memory) {
      try {
        staged.Add(d);
      } catch (const std::bad_alloc&) {
        staged = StagedData{};
        out_of_memory = true;
      }
    }
  }
  // A null byte after the last datum stands where the next would begin.
  if (reader.AtNullByte()) return refuse(StatusCode::kReadError, n + 1);
  if (reader.Failed() || reader.Cancelled()) {
    return refuse(StatusCode::kReadError, n);
  }
  // The bytes read since the last block must still be those of the stamp
  // (compared already where the reading met the end of the source).
  if (!reader.StampHolds()) {
    return Refusal(StatusCode::kReadError, std::max(n, std::int32_t{1}));
  }
  if (out_of_memory) return Refusal(StatusCode::kOutOfMemory, n);

  LoadedData loaded;
  try {
    loaded.measured.resize(static_cast<std::size_t>(n) + 1);
  } catch (const std::bad_alloc&) {
    return Refusal(StatusCode::kOutOfMemory, n);
  }
  loaded.count = n;
  loaded.warnings = LineWarnings(notes);
  staged.MoveTo(loaded.measured.data() + 1);
  data = std::move(loaded);
  return Status();
}

Status ReadDataFile(const std::string& path, LoadedData& data,
                    const ReadProgress& progress) {
  data = LoadedData{};
  if (!FileExists(path)) return Refusal(StatusCode::kFileMissing, 0);
  FileSource file;
  if (Status opened = file.Open(path); !opened.ok()) return opened;
  return ReadDataFile(file, data, progress);
}

}  // namespace orvane
