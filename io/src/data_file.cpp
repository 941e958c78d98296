#include "io/data_file.h"

#include <cmath>
#include <limits>
#include <new>
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

// Reads one datum (three numbers, then the rest of the line that held the
// third) and checks it, in the order: read error, major axis shorter than
// minor one, negative radii, minor axis not positive, ratio out of range.
StatusCode ReadDatum(DataReader& reader, MarkerRecord& d) {
  long double major, minor, phi;
  const bool read = reader.ReadNumber(major) && reader.ReadNumber(minor) &&
                    reader.ReadNumber(phi);
  reader.SkipLine();
  if (!read || reader.Failed() || !ToSingle(major, d.major) ||
      !ToSingle(minor, d.minor) || !ToSingle(phi, d.phi)) {
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

// Moves to the next datum: false at the end of the data. White space after
// the last datum is not a datum of its own.
bool NextDatum(DataReader& reader) {
  if (reader.AtEnd()) return false;
  reader.SkipWhiteSpace();
  return !reader.AtEnd();
}

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

Status ReadDataFile(ByteSource& source, LoadedData& data,
                    const ReadProgress& progress) {
  data = LoadedData{};
  DataReader reader(source);
  // Asked every so many data, so that an empty hook costs nothing.
  constexpr std::int32_t kProgressEvery = 1 << 16;
  auto keep_going = [&](std::int32_t i, int pass) {
    return !progress || i % kProgressEvery != 0 || progress(0, 0, pass);
  };
  const Status cancelled(StatusCode::kCancelled, "Cancelled.");

  // Counting pass: every datum is checked; nothing is stored.
  std::int32_t n = 0;
  while (NextDatum(reader)) {
    if (n == std::numeric_limits<std::int32_t>::max() - 1) {
      return Refusal(StatusCode::kOutOfMemory, n);
    }
    ++n;
    if (!keep_going(n, 1)) return cancelled;
    MarkerRecord d;
    const StatusCode f = ReadDatum(reader, d);
    if (f != StatusCode::kOk) return Refusal(f, n);
  }
  if (reader.Failed()) return Refusal(StatusCode::kReadError, n);

  LoadedData loaded;
  try {
    loaded.measured.assign(static_cast<std::size_t>(n) + 1, MarkerRecord{});
  } catch (const std::bad_alloc&) {
    return Refusal(StatusCode::kOutOfMemory, n);
  }
  loaded.count = n;

  // Filling pass. It reads what the counting pass accepted; should the file
  // have changed in between, the same checks refuse it rather than store
  // unchecked values.
  if (!reader.Restart()) return Refusal(StatusCode::kReadError, 1);
  for (std::int32_t i = 1; i <= n; ++i) {
    if (!keep_going(i, 2)) return cancelled;
    if (!NextDatum(reader)) return Refusal(StatusCode::kReadError, i);
    const StatusCode f =
        ReadDatum(reader, loaded.measured[static_cast<std::size_t>(i)]);
    if (f != StatusCode::kOk) return Refusal(f, i);
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
