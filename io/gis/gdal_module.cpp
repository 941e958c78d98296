// SPDX-License-Identifier: MIT
// Orvane's GDAL module: vector files' polygons and images' rows read
// through GDAL and handed to io's callbacks (io/src/gis_module.h).
#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gis_module.h"

namespace {

// GDAL's drivers registered once, and its messages kept off the standard
// error while a file is read: they come back as the refusal's words.
class QuietGdal {
 public:
  QuietGdal() {
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
  }
  ~QuietGdal() { CPLPopErrorHandler(); }
  QuietGdal(const QuietGdal&) = delete;
  QuietGdal& operator=(const QuietGdal&) = delete;

  static std::string LastMessage() {
    const char* message = CPLGetLastErrorMsg();
    return message != nullptr ? message : "";
  }
};

int Fail(const std::string& why, char* error, std::size_t size) {
  if (size > 0) {
    const std::size_t n = std::min(why.size(), size - 1);
    std::memcpy(error, why.data(), n);
    error[n] = '\0';
  }
  return 0;
}

std::string WithReason(const std::string& what) {
  const std::string why = QuietGdal::LastMessage();
  return what + (why.empty() ? std::string(".") : ": " + why);
}

void SendRing(const OrvaneGisOutlineSink& sink, const OGRLinearRing& ring) {
  std::vector<double> xy;
  xy.reserve(2 * static_cast<std::size_t>(ring.getNumPoints()));
  for (int i = 0; i < ring.getNumPoints(); ++i) {
    xy.push_back(ring.getX(i));
    xy.push_back(ring.getY(i));
  }
  sink.ring(sink.context, xy.data(), ring.getNumPoints());
}

void SendPolygon(const OrvaneGisOutlineSink& sink, const std::string& name,
                 const OGRPolygon& polygon) {
  const OGRLinearRing* outer = polygon.getExteriorRing();
  if (outer == nullptr) {
    sink.skip(sink.context, name.c_str(), "an empty polygon");
    return;
  }
  sink.grain(sink.context, name.c_str());
  SendRing(sink, *outer);
  for (int k = 0; k < polygon.getNumInteriorRings(); ++k) {
    SendRing(sink, *polygon.getInteriorRing(k));
  }
  sink.done(sink.context);
}

void SendGeometry(const OrvaneGisOutlineSink& sink, const std::string& name,
                  const OGRGeometry* geometry) {
  if (geometry == nullptr || geometry->IsEmpty()) {
    sink.skip(sink.context, name.c_str(), "no geometry");
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
      SendPolygon(sink, name, *geometry->toPolygon());
      return;
    case wkbMultiPolygon: {
      const OGRMultiPolygon* parts = geometry->toMultiPolygon();
      const int count = parts->getNumGeometries();
      for (int k = 0; k < count; ++k) {
        SendPolygon(
            sink, count == 1 ? name : name + ", part " + std::to_string(k + 1),
            *parts->getGeometryRef(k));
      }
      return;
    }
    case wkbPoint:
    case wkbMultiPoint:
      sink.skip(sink.context, name.c_str(), "a point");
      return;
    case wkbLineString:
    case wkbMultiLineString:
      sink.skip(sink.context, name.c_str(), "a line");
      return;
    default:
      sink.skip(sink.context, name.c_str(),
                (std::string("a ") +
                 OGRGeometryTypeToName(geometry->getGeometryType()))
                    .c_str());
      return;
  }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int orvane_gis_read_outlines(
    const char* path, const char* layer_name, const OrvaneGisOutlineSink* sink,
    char* error, std::size_t error_size) {
  const QuietGdal quiet;
  GDALDatasetUniquePtr dataset(GDALDataset::Open(
      path, GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
  if (dataset == nullptr) {
    return Fail(WithReason("Not a file of outlines that can be read"), error,
                error_size);
  }
  OGRLayer* layer = nullptr;
  if (layer_name == nullptr || layer_name[0] == '\0') {
    if (dataset->GetLayerCount() < 1) {
      return Fail("The file holds no layer.", error, error_size);
    }
    layer = dataset->GetLayer(0);
    if (dataset->GetLayerCount() > 1) {
      sink->warning(
          sink->context,
          ("The file holds " + std::to_string(dataset->GetLayerCount()) +
           " layers; the first, " + layer->GetName() +
           ", was read (another is chosen by its name).")
              .c_str());
    }
  } else {
    layer = dataset->GetLayerByName(layer_name);
    if (layer == nullptr) {
      std::string names;
      for (int i = 0; i < dataset->GetLayerCount(); ++i) {
        names +=
            (i > 0 ? ", " : "") + std::string(dataset->GetLayer(i)->GetName());
      }
      return Fail("The file has no layer " + std::string(layer_name) +
                      " (it has " + names + ").",
                  error, error_size);
    }
  }
  // Degrees where the layer says so and every vertex could be one (GeoJSON
  // says so of every file, also of outlines in an image's pixels).
  OGREnvelope extent;
  if (const OGRSpatialReference* srs = layer->GetSpatialRef();
      srs != nullptr && srs->IsGeographic() &&
      layer->GetExtent(&extent, TRUE) == OGRERR_NONE && extent.MinX >= -180 &&
      extent.MaxX <= 180 && extent.MinY >= -90 && extent.MaxY <= 90) {
    sink->warning(sink->context,
                  "The outlines are in degrees of longitude and latitude, "
                  "which distort their shapes: project them to a plane "
                  "first.");
  }
  for (const auto& feature : *layer) {
    SendGeometry(*sink, "feature " + std::to_string(feature->GetFID()),
                 feature->GetGeometryRef());
  }
  if (CPLGetLastErrorType() >= CE_Failure) {
    return Fail("The file could not be read whole: " + QuietGdal::LastMessage(),
                error, error_size);
  }
  return 1;
}

extern "C" __attribute__((visibility("default"))) int orvane_gis_read_raster(
    const char* path, const OrvaneGisRasterSink* sink, char* error,
    std::size_t error_size) {
  const QuietGdal quiet;
  GDALDatasetUniquePtr image(GDALDataset::Open(
      path, GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
  if (image == nullptr) {
    return Fail(WithReason("Not an image that can be read"), error, error_size);
  }
  if (image->GetRasterCount() < 1) {
    return Fail("The image has no band.", error, error_size);
  }
  GDALRasterBand* band = image->GetRasterBand(1);
  switch (band->GetRasterDataType()) {
    case GDT_Byte:
    case GDT_UInt16:
    case GDT_Int16:
    case GDT_UInt32:
    case GDT_Int32:
      break;
    default:
      return Fail(
          "The image's values are not whole numbers of 8 to 32 bits, as "
          "labels are.",
          error, error_size);
  }
  const int width = image->GetRasterXSize();
  const int height = image->GetRasterYSize();
  double geotransform[6];
  const bool geo = image->GetGeoTransform(geotransform) == CE_None;
  sink->size(sink->context, width, height, geo ? geotransform : nullptr);
  std::vector<std::uint32_t> row;
  try {
    row.resize(static_cast<std::size_t>(width));
  } catch (const std::bad_alloc&) {
    return Fail("Not enough memory for a row of the image.", error, error_size);
  }
  for (int r = 0; r < height; ++r) {
    if (band->RasterIO(GF_Read, 0, r, width, 1, row.data(), width, 1,
                       GDT_UInt32, 0, 0, nullptr) != CE_None) {
      return Fail("The image could not be read: " + QuietGdal::LastMessage(),
                  error, error_size);
    }
    sink->row(sink->context, r, row.data());
  }
  return 1;
}
