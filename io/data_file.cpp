#include "io/data_file.h"

#include <cmath>
#include <limits>
#include <new>

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
LoadFailure ReadDatum(DataReader& reader, Tdata& d) {
  long double a, b, ph;
  const bool read =
      reader.ReadNumber(a) && reader.ReadNumber(b) && reader.ReadNumber(ph);
  reader.SkipLine();
  if (!read || reader.Failed() || !ToSingle(a, d.a) || !ToSingle(b, d.b) ||
      !ToSingle(ph, d.ph)) {
    return LoadFailure::kReadError;
  }
  if (d.a < d.b) return LoadFailure::kMajorShorter;
  if (d.a < 0) return LoadFailure::kNegativeRadii;
  // A zero or negative minor axis gives no axial ratio whose logarithm the
  // analysis could take.
  if (!(d.b > 0)) return LoadFailure::kMinorNotPositive;
  d.R = static_cast<float>(static_cast<long double>(d.a) / d.b);
  if (!std::isfinite(d.R) || d.R > kMaxAxialRatio) {
    return LoadFailure::kRatioOutOfRange;
  }
  return LoadFailure::kNone;
}

LoadResult Refuse(LoadFailure failure, std::int32_t datum) {
  LoadResult r;
  r.error.failure = failure;
  r.error.datum = datum;
  r.error.message = RefusalMessage(failure, datum);
  return r;
}

// Moves to the next datum: false at the end of the data. White space after
// the last datum is not a datum of its own.
bool NextDatum(DataReader& reader) {
  if (reader.AtEnd()) return false;
  reader.SkipWhiteSpace();
  return !reader.AtEnd();
}

}  // namespace

std::string RefusalMessage(LoadFailure failure, std::int32_t datum) {
  const std::string n = std::to_string(datum);
  switch (failure) {
    case LoadFailure::kNone:
      return "";
    case LoadFailure::kFileMissing:
      return "File not exits.";
    case LoadFailure::kCannotOpen:
      return "The file cannot be opened.";
    case LoadFailure::kMajorShorter:
      return "Major axis is shorter than minor one.  #" + n;
    case LoadFailure::kNegativeRadii:
      return "Neative radii.  #" + n;
    case LoadFailure::kMinorNotPositive:
      return "Minor axis must be positive.  #" + n;
    case LoadFailure::kRatioOutOfRange:
      return "Axial ratio out of range.  #" + n;
    case LoadFailure::kReadError:
      return "Read error --- #" + n;
    case LoadFailure::kOutOfMemory:
      return "Not enough memory for " + n + " data.";
  }
  return "";
}

LoadResult ReadDataFile(ByteSource& source) {
  DataReader reader(source);

  // Counting pass: every datum is checked; nothing is stored.
  std::int32_t n = 0;
  while (NextDatum(reader)) {
    if (n == std::numeric_limits<std::int32_t>::max() - 1) {
      return Refuse(LoadFailure::kOutOfMemory, n);
    }
    ++n;
    Tdata d;
    const LoadFailure f = ReadDatum(reader, d);
    if (f != LoadFailure::kNone) return Refuse(f, n);
  }
  if (reader.Failed()) return Refuse(LoadFailure::kReadError, n);

  LoadResult result;
  try {
    result.data.DatF.assign(static_cast<std::size_t>(n) + 1, Tdata{});
  } catch (const std::bad_alloc&) {
    return Refuse(LoadFailure::kOutOfMemory, n);
  }
  result.data.Ndat = n;

  // Filling pass. It reads what the counting pass accepted; should the file
  // have changed in between, the same checks refuse it rather than store
  // unchecked values.
  if (!reader.Restart()) return Refuse(LoadFailure::kReadError, 1);
  for (std::int32_t i = 1; i <= n; ++i) {
    if (!NextDatum(reader)) return Refuse(LoadFailure::kReadError, i);
    const LoadFailure f =
        ReadDatum(reader, result.data.DatF[static_cast<std::size_t>(i)]);
    if (f != LoadFailure::kNone) return Refuse(f, i);
  }
  result.ok = true;
  return result;
}

LoadResult ReadDataFile(const std::string& path) {
  if (!FileExists(path)) return Refuse(LoadFailure::kFileMissing, 0);
  FileSource file;
  std::string error;
  if (!file.Open(path, error)) {
    LoadResult r = Refuse(LoadFailure::kCannotOpen, 0);
    r.error.message = error;
    return r;
  }
  return ReadDataFile(file);
}

}  // namespace orvane
