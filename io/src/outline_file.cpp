#include "io/outline_file.h"

#include "grain_reading.h"

#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <new>

namespace orvane {
namespace {

// The outline as a grain, or skipped with the reason.
void AddOutline(OutlineReading& reading, std::string name,
                const GrainOutline& outline) {
  const OutlineFault fault = CheckOutline(outline);
  if (fault != OutlineFault::kNone) {
    SkipGrain(reading, name, OutlineFaultText(fault));
    return;
  }
  reading.grains.push_back(
      {std::move(name), EllipseOfMoments(MomentsOf(outline))});
}

OutlineRing RingOf(const OGRLinearRing& ring) {
  OutlineRing out;
  out.reserve(static_cast<std::size_t>(ring.getNumPoints()));
  for (int i = 0; i < ring.getNumPoints(); ++i) {
    out.push_back({ring.getX(i), ring.getY(i)});
  }
  return out;
}

void AddPolygon(OutlineReading& reading, const std::string& name,
                const OGRPolygon& polygon) {
  const OGRLinearRing* outer = polygon.getExteriorRing();
  if (outer == nullptr) {
    SkipGrain(reading, name, "an empty polygon");
    return;
  }
  GrainOutline outline{RingOf(*outer), {}};
  for (int k = 0; k < polygon.getNumInteriorRings(); ++k) {
    outline.holes.push_back(RingOf(*polygon.getInteriorRing(k)));
  }
  AddOutline(reading, name, outline);
}

void AddGeometry(OutlineReading& reading, const std::string& name,
                 const OGRGeometry* geometry) {
  if (geometry == nullptr || geometry->IsEmpty()) {
    SkipGrain(reading, name, "no geometry");
    return;
  }
  // Curved rings (arcs) as the straight pieces GDAL approximates them by.
  std::unique_ptr<OGRGeometry> linear;
  if (geometry->hasCurveGeometry()) {
    linear.reset(geometry->getLinearGeometry());
    if (linear != nullptr) geometry = linear.get();
  }
  switch (wkbFlatten(geometry->getGeometryType())) {
    case wkbPolygon:
      AddPolygon(reading, name, *geometry->toPolygon());
      return;
    case wkbMultiPolygon: {
      const OGRMultiPolygon* parts = geometry->toMultiPolygon();
      const int count = parts->getNumGeometries();
      for (int k = 0; k < count; ++k) {
        AddPolygon(reading,
                   count == 1 ? name : name + ", part " + std::to_string(k + 1),
                   *parts->getGeometryRef(k));
      }
      return;
    }
    case wkbPoint:
    case wkbMultiPoint:
      SkipGrain(reading, name, "a point");
      return;
    case wkbLineString:
    case wkbMultiLineString:
      SkipGrain(reading, name, "a line");
      return;
    default:
      SkipGrain(reading, name,
                std::string("a ") +
                    OGRGeometryTypeToName(geometry->getGeometryType()));
      return;
  }
}

std::string Lower(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

// The fields of a line of a comma-separated vertex table, unquoted.
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else {
        quoted = !quoted;
      }
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else if (c != '\r' || quoted) {
      fields.back() += c;
    }
  }
  for (std::string& f : fields) {
    const std::size_t first = f.find_first_not_of(" \t");
    const std::size_t last = f.find_last_not_of(" \t");
    f = first == std::string::npos ? "" : f.substr(first, last - first + 1);
  }
  return fields;
}

// The header of a vertex table: the columns named id, x and y.
bool IsVertexHeader(const std::vector<std::string>& fields, std::size_t& id,
                    std::size_t& x, std::size_t& y) {
  id = x = y = fields.size();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::string name = Lower(fields[i]);
    if (i == 0 && name.starts_with("\xEF\xBB\xBF")) name.erase(0, 3);
    if (name == "id") id = i;
    if (name == "x") x = i;
    if (name == "y") y = i;
  }
  return id < fields.size() && x < fields.size() && y < fields.size();
}

bool ParseCoordinate(const std::string& text, double& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && ptr == end && std::isfinite(value);
}

// A vertex table: the grains in the order of their first row.
Status ReadVertexTable(std::ifstream& in, std::size_t id_column,
                       std::size_t x_column, std::size_t y_column,
                       OutlineReading& reading) {
  std::map<std::string, std::size_t> index;
  std::vector<std::pair<std::string, OutlineRing>> rings;
  std::string line;
  long line_number = 1;
  const std::size_t needed = std::max({id_column, x_column, y_column}) + 1;
  while (std::getline(in, line)) {
    ++line_number;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    const std::vector<std::string> fields = Fields(line);
    OutlinePoint p;
    if (fields.size() < needed || !ParseCoordinate(fields[x_column], p.x) ||
        !ParseCoordinate(fields[y_column], p.y)) {
      return Status(StatusCode::kReadError,
                    "line " + std::to_string(line_number) +
                        ": a vertex needs an id and the numbers x and y");
    }
    const auto [at, added] = index.emplace(fields[id_column], rings.size());
    if (added) rings.push_back({fields[id_column], {}});
    rings[at->second].second.push_back(p);
  }
  if (in.bad()) return ReadFailure(errno);
  for (auto& [id, ring] : rings) {
    AddOutline(reading, "grain " + id, GrainOutline{std::move(ring), {}});
  }
  return Status();
}

Status ReadWithGdal(const std::string& path, const std::string& layer_name,
                    OutlineReading& reading) {
  const QuietGdal quiet;
  GDALDatasetUniquePtr dataset(
      GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY,
                        nullptr, nullptr, nullptr));
  if (dataset == nullptr) {
    std::string why = QuietGdal::LastMessage();
    return Status(StatusCode::kReadError,
                  "Not a file of outlines that can be read" +
                      (why.empty() ? std::string(".") : ": " + why));
  }
  OGRLayer* layer = nullptr;
  if (layer_name.empty()) {
    if (dataset->GetLayerCount() < 1) {
      return Status(StatusCode::kReadError, "The file holds no layer.");
    }
    layer = dataset->GetLayer(0);
    if (dataset->GetLayerCount() > 1) {
      reading.warnings.push_back("The file holds " +
                                 std::to_string(dataset->GetLayerCount()) +
                                 " layers; the first, " + layer->GetName() +
                                 ", was read (another is chosen by its name).");
    }
  } else {
    layer = dataset->GetLayerByName(layer_name.c_str());
    if (layer == nullptr) {
      std::string names;
      for (int i = 0; i < dataset->GetLayerCount(); ++i) {
        names +=
            (i > 0 ? ", " : "") + std::string(dataset->GetLayer(i)->GetName());
      }
      return Status(
          StatusCode::kReadError,
          "The file has no layer " + layer_name + " (it has " + names + ").");
    }
  }
  // Degrees where the layer says so and every vertex could be one (GeoJSON
  // says so of every file, also of outlines in an image's pixels).
  OGREnvelope extent;
  if (const OGRSpatialReference* srs = layer->GetSpatialRef();
      srs != nullptr && srs->IsGeographic() &&
      layer->GetExtent(&extent, TRUE) == OGRERR_NONE && extent.MinX >= -180 &&
      extent.MaxX <= 180 && extent.MinY >= -90 && extent.MaxY <= 90) {
    reading.warnings.push_back(
        "The outlines are in degrees of longitude and latitude, which "
        "distort their shapes: project them to a plane first.");
  }
  for (const auto& feature : *layer) {
    AddGeometry(reading, "feature " + std::to_string(feature->GetFID()),
                feature->GetGeometryRef());
  }
  if (CPLGetLastErrorType() >= CE_Failure) {
    return Status(StatusCode::kReadError, "The file could not be read whole: " +
                                              QuietGdal::LastMessage());
  }
  return Status();
}

std::string Shortest(double v) {
  char buffer[32];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return error == std::errc() ? std::string(buffer, end) : "nan";
}

}  // namespace

Status ReadOutlineFile(const std::string& path, const std::string& layer,
                       OutlineReading& reading) {
  reading = OutlineReading();
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return Refusal(StatusCode::kFileMissing, 0);
    return ReadFailure(errno);
  }
  Status read;
  std::ifstream in;
  std::string first;
  if (S_ISREG(info.st_mode)) {
    in.open(path, std::ios::binary);
    if (!in) return ReadFailure(errno);
    std::getline(in, first);
  }
  std::size_t id = 0, x = 0, y = 0;
  if (in.is_open() && IsVertexHeader(Fields(first), id, x, y)) {
    read = ReadVertexTable(in, id, x, y, reading);
  } else {
    in.close();
    read = ReadWithGdal(path, layer, reading);
  }
  if (!read.ok()) return read;
  if (reading.grains.empty()) {
    std::string why = "The file holds no outline of a grain.";
    if (reading.skipped > 0) why += " " + SkippedGrainsText(reading);
    return Status(StatusCode::kReadError, why);
  }
  return Status();
}

std::string SkippedGrainsText(const OutlineReading& reading) {
  if (reading.skipped == 0) return {};
  std::string text =
      reading.skipped == 1
          ? std::string("1 outline was skipped: ")
          : std::to_string(reading.skipped) + " outlines were skipped: ";
  for (std::size_t i = 0; i < reading.skipped_named.size(); ++i) {
    text += (i > 0 ? "; " : "") + reading.skipped_named[i];
  }
  if (reading.skipped > reading.skipped_named.size()) text += "; ...";
  return text + ".";
}

Status OutlineData(const OutlineReading& reading, LoadedData& data) {
  data = LoadedData();
  const std::size_t n = reading.grains.size();
  if (n >
      static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() - 1)) {
    return Status(StatusCode::kOutOfMemory, "Too many grains.");
  }
  try {
    data.measured.assign(n + 1, MarkerRecord{});
  } catch (const std::bad_alloc&) {
    return Refusal(StatusCode::kOutOfMemory, 0);
  }
  for (std::size_t i = 0; i < n; ++i) {
    const GrainEllipse& e = reading.grains[i].ellipse;
    const StatusCode code =
        CheckDatum(e.major, e.minor, e.angle, data.measured[i + 1]);
    if (code != StatusCode::kOk) {
      const Status refused = Refusal(code, static_cast<std::int32_t>(i + 1));
      data = LoadedData();
      return Status(code, reading.grains[i].name + ": " + refused.message(),
                    static_cast<std::int32_t>(i + 1));
    }
  }
  data.count = static_cast<std::int32_t>(n);
  data.warnings = reading.warnings;
  if (reading.skipped > 0) data.warnings.push_back(SkippedGrainsText(reading));
  return Status();
}

bool WriteEllipseTable(const OutlineReading& reading, const std::string& path,
                       std::string& error) {
  std::string text = "id,x,y,area,major,minor,angle\n";
  for (const GrainRecord& g : reading.grains) {
    std::string id = g.name;
    if (id.find_first_of(",\"\n") != std::string::npos) {
      std::string quoted = "\"";
      for (char c : id)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
      id = quoted + "\"";
    }
    const GrainEllipse& e = g.ellipse;
    text += id + "," + Shortest(e.cx) + "," + Shortest(e.cy) + "," +
            Shortest(e.area) + "," + Shortest(e.major) + "," +
            Shortest(e.minor) + "," + Shortest(e.angle) + "\n";
  }
  // Written beside the target and put in its place whole, so that a failed
  // write leaves any file of that name as it was.
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  const char* at = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, at, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      ::close(fd);
      ::unlink(temporary.c_str());
      return false;
    }
    at += written;
    left -= static_cast<std::size_t>(written);
  }
  // The permissions a new file gets (mkstemp gives the owner's alone).
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::fchmod(fd, 0666 & ~mask) != 0 || ::close(fd) != 0 ||
      std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace orvane
