// SPDX-License-Identifier: MIT
#include "io/outline_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cerrno>
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

#include "core/number_format.h"
#include "gis_loader.h"
#include "grain_reading.h"

namespace orvane {
namespace {

// The outline as a grain, or skipped with the reason; the outline itself
// kept beside the grain where `keep` asks for it.
void AddOutline(OutlineReading& reading, std::string name,
                GrainOutline&& outline, bool keep) {
  RegionMoments moments;
  const OutlineFault fault = CheckOutline(outline, &moments);
  if (fault != OutlineFault::kNone) {
    SkipGrain(reading, name, OutlineFaultText(fault));
    return;
  }
  reading.grains.push_back({std::move(name), EllipseOfMoments(moments)});
  if (keep) reading.outlines.push_back(std::move(outline));
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
                       OutlineReading& reading, bool keep) {
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
    AddOutline(reading, "grain " + id, GrainOutline{std::move(ring), {}}, keep);
  }
  return Status();
}

// The polygons of a vector file, through Orvane's GDAL module.
Status ReadWithGdal(const std::string& path, const std::string& layer_name,
                    OutlineReading& reading, bool keep) {
  const GisModule& module = LoadGisModule();
  if (!module.error.empty()) {
    return Status(StatusCode::kReadError, module.error);
  }
  struct Polygon {
    OutlineReading* reading;
    std::string name;
    GrainOutline outline;
    bool outer = true;
    bool keep = false;
  } polygon{&reading, {}, {}, true, keep};
  OrvaneGisOutlineSink sink;
  sink.context = &polygon;
  sink.grain = [](void* c, const char* name) {
    auto* p = static_cast<Polygon*>(c);
    p->name = name;
    p->outline = GrainOutline();
    p->outer = true;
  };
  sink.ring = [](void* c, const double* xy, long count) {
    auto* p = static_cast<Polygon*>(c);
    OutlineRing ring(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < ring.size(); ++i) {
      ring[i] = {xy[2 * i], xy[2 * i + 1]};
    }
    if (p->outer) {
      p->outline.outer = std::move(ring);
      p->outer = false;
    } else {
      p->outline.holes.push_back(std::move(ring));
    }
  };
  sink.done = [](void* c) {
    auto* p = static_cast<Polygon*>(c);
    AddOutline(*p->reading, p->name, std::move(p->outline), p->keep);
  };
  sink.skip = [](void* c, const char* name, const char* why) {
    SkipGrain(*static_cast<Polygon*>(c)->reading, name, why);
  };
  sink.warning = [](void* c, const char* text) {
    static_cast<Polygon*>(c)->reading->warnings.push_back(text);
  };
  char error[1024] = "";
  if (module.read_outlines(path.c_str(), layer_name.c_str(), &sink, error,
                           sizeof error) == 0) {
    return Status(StatusCode::kReadError, error);
  }
  return Status();
}

std::string Shortest(double v) {
  const ShortestDecimal d = FormatShortestDouble(v);
  return d.size > 0 ? std::string(d.view()) : "nan";
}

}  // namespace

Status ReadOutlineFile(const std::string& path, const std::string& layer,
                       OutlineReading& reading, bool keep_outlines) {
  reading = OutlineReading();
  struct stat info {};
  if (Status found = StatOfGrainFile(path, info); !found.ok()) return found;
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
    read = ReadVertexTable(in, id, x, y, reading, keep_outlines);
  } else {
    in.close();
    read = ReadWithGdal(path, layer, reading, keep_outlines);
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
    data.places.x.assign(n + 1, 0.0);
    data.places.y.assign(n + 1, 0.0);
    data.places.area.assign(n + 1, 0.0);
  } catch (const std::bad_alloc&) {
    data = LoadedData();
    return Refusal(StatusCode::kOutOfMemory, 0);
  }
  for (std::size_t i = 0; i < n; ++i) {
    const GrainEllipse& e = reading.grains[i].ellipse;
    data.places.x[i + 1] = e.cx;
    data.places.y[i + 1] = e.cy;
    data.places.area[i + 1] = e.area;
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
