#include "io/data_file.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <optional>
#include <utility>

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

// Reads one datum (three numbers, then the rest of the line that held the
// third) and checks it.
StatusCode ReadDatum(DataReader& reader, MarkerRecord& d) {
  long double major, minor, phi;
  const bool read = reader.ReadNumber(major) && reader.ReadNumber(minor) &&
                    reader.ReadNumber(phi) && reader.SkipLine();
  if (!read || reader.Failed()) return StatusCode::kReadError;
  return CheckDatum(major, minor, phi, d);
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

Status ReadDataFile(ByteSource& source, LoadedData& data,
                    const ReadProgress& progress) {
  data = LoadedData{};
  DataReader reader(source);
  const std::optional<SourceStamp> stamp = source.Stamp();
  const std::uint64_t total = stamp ? stamp->size : 0;
  // A stop asked for by the progress hook outweighs whatever the cut reading
  // would have found.
  auto refuse = [&reader](StatusCode code, std::int32_t datum) {
    if (reader.Cancelled()) return Status(StatusCode::kCancelled, "Cancelled.");
    return Refusal(code, datum);
  };

  // Counting pass: every datum is checked; nothing is stored.
  reader.SetProgress(&progress, total, 1);
  std::int32_t n = 0;
  while (NextDatum(reader)) {
    if (n == std::numeric_limits<std::int32_t>::max() - 1) {
      return refuse(StatusCode::kOutOfMemory, n);
    }
    ++n;
    MarkerRecord d;
    const StatusCode f = ReadDatum(reader, d);
    if (f != StatusCode::kOk) return refuse(f, n);
  }
  // A null byte after the last datum stands where the next would begin.
  if (reader.AtNullByte()) return refuse(StatusCode::kReadError, n + 1);
  if (reader.Failed() || reader.Cancelled()) {
    return refuse(StatusCode::kReadError, n);
  }
  const std::uint64_t end = reader.Offset();

  LoadedData loaded;
  try {
    loaded.measured.assign(static_cast<std::size_t>(n) + 1, MarkerRecord{});
  } catch (const std::bad_alloc&) {
    return Refusal(StatusCode::kOutOfMemory, n);
  }
  loaded.count = n;

  // Filling pass. It reads what the counting pass accepted, from a source
  // with the same stamp; should the bytes have changed all the same, the
  // same checks refuse them rather than store unchecked values.
  if (!reader.Restart() || source.Stamp() != stamp) {
    return Refusal(StatusCode::kReadError, 1);
  }
  reader.SetProgress(&progress, total, 2);
  for (std::int32_t i = 1; i <= n; ++i) {
    if (!NextDatum(reader)) return refuse(StatusCode::kReadError, i);
    const StatusCode f =
        ReadDatum(reader, loaded.measured[static_cast<std::size_t>(i)]);
    if (f != StatusCode::kOk) return refuse(f, i);
  }
  // After the last datum the pass must end where the counting pass ended,
  // on a source still of the same stamp.
  const bool more = NextDatum(reader);
  if (more || reader.AtNullByte() || reader.Failed() || reader.Cancelled() ||
      reader.Offset() != end || source.Stamp() != stamp) {
    return refuse(StatusCode::kReadError, std::max(n, std::int32_t{1}));
  }
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
