// SPDX-License-Identifier: MIT
// The interface of Orvane's GDAL module: the one library that reads GIS
// files and images through GDAL, loaded only when such a file is read, so
// that every other run of the programs starts without GDAL and the many
// libraries it brings. A plain C interface: the module hands the outlines'
// rings and the image's rows to callbacks; io makes grains of them.
#ifndef ORVANE_IO_SRC_GIS_MODULE_H_
#define ORVANE_IO_SRC_GIS_MODULE_H_

#include <cstddef>
#include <cstdint>

extern "C" {

// Where the outlines of a vector file go, feature by feature.
struct OrvaneGisOutlineSink {
  void* context;
  // A polygon begins: the grain `name`.
  void (*grain)(void* context, const char* name);
  // A ring of the polygon begun: `count` vertices as x, y pairs; the first
  // ring is the outer one, the others are holes.
  void (*ring)(void* context, const double* xy, long count);
  // The polygon begun is whole.
  void (*done)(void* context);
  // A feature that is no polygon, and why ("a line").
  void (*skip)(void* context, const char* name, const char* why);
  // What the user should know of the file.
  void (*warning)(void* context, const char* text);
};

// Where the rows of an image's first band go, top to bottom.
struct OrvaneGisRasterSink {
  void* context;
  // The image's size, and its geotransform (null where it has none).
  void (*size)(void* context, long width, long height,
               const double* geotransform);
  // Row `index` of `width` values.
  void (*row)(void* context, long index, const std::uint32_t* values);
};

// Each returns 1 when the file was read whole, else 0 with the reason in
// `error` (at most `error_size` bytes, ending in a zero).
typedef int (*OrvaneGisReadOutlines)(const char* path, const char* layer,
                                     const OrvaneGisOutlineSink* sink,
                                     char* error, std::size_t error_size);
typedef int (*OrvaneGisReadRaster)(const char* path,
                                   const OrvaneGisRasterSink* sink, char* error,
                                   std::size_t error_size);

}  // extern "C"

#endif  // ORVANE_IO_SRC_GIS_MODULE_H_
