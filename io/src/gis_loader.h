// SPDX-License-Identifier: MIT
// Orvane's GDAL module (gis_module.h), loaded the first time a GIS file or
// an image is read: from beside the program in the build tree, or from
// the installed library folder's orvane/.
#ifndef ORVANE_IO_SRC_GIS_LOADER_H_
#define ORVANE_IO_SRC_GIS_LOADER_H_

#include <string>

#include "gis_module.h"

namespace orvane {

struct GisModule {
  OrvaneGisReadOutlines read_outlines = nullptr;
  OrvaneGisReadRaster read_raster = nullptr;
  // Why the module could not be had (empty when it was).
  std::string error;
};

// The module, loaded once.
const GisModule& LoadGisModule();

}  // namespace orvane

#endif  // ORVANE_IO_SRC_GIS_LOADER_H_
