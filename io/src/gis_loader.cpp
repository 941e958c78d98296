// SPDX-License-Identifier: MIT
#include "gis_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <vector>

namespace orvane {
namespace {

// The folder of the running program.
std::string ProgramFolder() {
  std::vector<char> buffer(PATH_MAX + 1);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), PATH_MAX);
  if (n <= 0) return ".";
  const std::string path(buffer.data(), static_cast<std::size_t>(n));
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

GisModule Load() {
  GisModule module;
  const std::string folder = ProgramFolder();
  // The build tree keeps it in io/, a sibling of app/ and tests/; an
  // installation in the library folder's orvane/, at the same place
  // relative to bin/ wherever the programs are installed.
  const std::string places[] = {folder + "/../io/orvane_gis.so",
                                folder + "/" + ORVANE_GIS_FROM_BINDIR};
  std::string tried;
  for (const std::string& place : places) {
    void* handle = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      if (::access(place.c_str(), F_OK) == 0) {
        const char* why = ::dlerror();
        module.error = "Orvane's GDAL module could not be loaded: " +
                       std::string(why ? why : place);
        return module;
      }
      tried += (tried.empty() ? "" : ", ") + place;
      continue;
    }
    module.read_outlines = reinterpret_cast<OrvaneGisReadOutlines>(
        ::dlsym(handle, "orvane_gis_read_outlines"));
    module.read_raster = reinterpret_cast<OrvaneGisReadRaster>(
        ::dlsym(handle, "orvane_gis_read_raster"));
    if (module.read_outlines == nullptr || module.read_raster == nullptr) {
      module.error = "Orvane's GDAL module at " + place + " is not whole.";
    }
    return module;
  }
  module.error =
      "Reading GIS files and images needs Orvane's GDAL module, "
      "orvane_gis.so, which is not installed (looked for " +
      tried + ").";
  return module;
}

}  // namespace

const GisModule& LoadGisModule() {
  static const GisModule module = Load();
  return module;
}

}  // namespace orvane
