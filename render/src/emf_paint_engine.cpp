// SPDX-License-Identifier: MIT
#include "render/emf_paint_engine.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPixmap>
#include <QTextItem>
#include <algorithm>
#include <cmath>
#include <new>

#include "render/bitmap_file.h"
#include "render/picture_memory.h"
#include "render/vector_fonts.h"

namespace orvane {
namespace {

emf::Point16 ToPoint16(const QPointF& p) {
  auto clamp = [](qreal v) {
    return static_cast<std::int16_t>(
        std::clamp<long>(std::lround(v), -32767, 32767));
  };
  return {clamp(p.x()), clamp(p.y())};
}

std::vector<emf::Point16> ToPoints(const QPolygonF& polygon) {
  std::vector<emf::Point16> out;
  out.reserve(static_cast<std::size_t>(polygon.size()));
  for (const QPointF& p : polygon) {
    const emf::Point16 q = ToPoint16(p);
    if (out.empty() || out.back().x != q.x || out.back().y != q.y) {
      out.push_back(q);
    }
  }
  return out;
}

// Shapes up to this size (pixels a side) with curves, the markers, go in
// as EMF+ paths with a PNG fallback: GDI's whole-pixel points would make a
// circle of a few pixels lopsided.
constexpr qreal kSmallShape = 40;

// The largest PNG fallback, in pixels (16 MB while it is drawn).
constexpr qint64 kLargestFallbackImage = 4096 * 1024;

bool HasCurves(const QPainterPath& path) {
  for (int i = 0; i < path.elementCount(); ++i) {
    if (path.elementAt(i).isCurveTo()) return true;
  }
  return false;
}

// The path's figures as points typed line, curve and start, each figure
// closed where it ends at its start.
emf::PathF ToPathF(const QPainterPath& path) {
  emf::PathF out;
  std::size_t start = 0;
  auto close_figure = [&out, &start] {
    const std::size_t last = out.points.size();
    if (last > start + 1 && out.points[start].x == out.points[last - 1].x &&
        out.points[start].y == out.points[last - 1].y) {
      out.types[last - 1] |= emf::PathF::kCloseFigure;
    }
  };
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPainterPath::Element e = path.elementAt(i);
    std::uint8_t type = emf::PathF::kLine;
    if (e.isMoveTo()) {
      close_figure();
      start = out.points.size();
      type = emf::PathF::kStart;
    } else if (e.isCurveTo() || e.type == QPainterPath::CurveToDataElement) {
      type = emf::PathF::kBezier;
    }
    out.points.push_back({static_cast<float>(e.x), static_cast<float>(e.y)});
    out.types.push_back(type);
  }
  close_figure();
  return out;
}

std::uint32_t ArgbOf(const QColor& c, qreal opacity) {
  const int a = static_cast<int>(
      std::lround(static_cast<double>(c.alphaF()) * opacity * 255));
  return emf::Argb(static_cast<std::uint8_t>(std::clamp(a, 0, 255)),
                   static_cast<std::uint8_t>(c.red()),
                   static_cast<std::uint8_t>(c.green()),
                   static_cast<std::uint8_t>(c.blue()));
}

// Records into a QIODevice; the header goes back to where they began.
class DeviceSink : public emf::RecordSink {
 public:
  explicit DeviceSink(QIODevice* device)
      : device_(device), start_(device->pos()) {}
  bool Append(const std::uint8_t* data, std::size_t size) override {
    return device_->write(reinterpret_cast<const char*>(data),
                          static_cast<qint64>(size)) ==
           static_cast<qint64>(size);
  }
  bool Overwrite(std::uint64_t offset, const std::uint8_t* data,
                 std::size_t size) override {
    const qint64 end = device_->pos();
    return !device_->isSequential() &&
           device_->seek(start_ + static_cast<qint64>(offset)) &&
           Append(data, size) && device_->seek(end);
  }
  std::string Error() const override {
    const QString reason = device_->errorString();
    return reason.isEmpty() || reason == "Unknown error"
               ? std::string("the device refused the data.")
               : reason.toStdString();
  }

 private:
  QIODevice* device_;
  qint64 start_;
};

}  // namespace

EmfDevice::EmfDevice(int width, int height)
    : width_(width),
      height_(height),
      engine_(std::make_unique<EmfPaintEngine>(width, height)) {}

EmfDevice::EmfDevice(int width, int height, QIODevice* out)
    : width_(width),
      height_(height),
      engine_(std::make_unique<EmfPaintEngine>(width, height, out)) {}

EmfDevice::~EmfDevice() = default;

QPaintEngine* EmfDevice::paintEngine() const {
  return engine_.get();
}

const std::vector<std::uint8_t>& EmfDevice::Bytes() const {
  return engine_->Bytes();
}

bool EmfDevice::Ok() const {
  return engine_->Ok();
}

QString EmfDevice::Error() const {
  return engine_->Error();
}

int EmfDevice::metric(PaintDeviceMetric metric) const {
  switch (metric) {
    case PdmWidth:
      return width_;
    case PdmHeight:
      return height_;
    case PdmWidthMM:
      return static_cast<int>(std::lround(width_ * 25.4 / 96));
    case PdmHeightMM:
      return static_cast<int>(std::lround(height_ * 25.4 / 96));
    case PdmNumColors:
      return 0x7FFFFFFF;
    case PdmDepth:
      return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
      return 96;
    case PdmDevicePixelRatio:
      return 1;
    case PdmDevicePixelRatioScaled:
      return static_cast<int>(QPaintDevice::devicePixelRatioFScale());
  }
  return 0;
}

EmfPaintEngine::EmfPaintEngine(int width, int height, QIODevice* out)
    : QPaintEngine(QPaintEngine::AllFeatures),
      width_(width),
      height_(height),
      out_(out) {}

EmfPaintEngine::~EmfPaintEngine() = default;

bool EmfPaintEngine::begin(QPaintDevice*) {
  memory_ = emf::MemorySink();
  error_.clear();
  no_memory_ = false;
  emf::RecordSink* sink = &memory_;
  if (out_ != nullptr) {
    device_sink_ = std::make_unique<DeviceSink>(out_);
    sink = device_sink_.get();
  }
  writer_ = std::make_unique<emf::RecordWriter>(*sink, width_, height_);
  pen_selected_ = brush_selected_ = false;
  pen_handle_ = brush_handle_ = 0;
  fill_mode_ = 0;
  fonts_.clear();
  font_selected_ = 0;
  text_color_ = 0xFFFFFFFF;
  gdi_run_ = true;
  pngs_.clear();
  // Text is placed by its baseline, as QPainter places it.
  writer_->SetTextAlign(emf::kTextAlignBaseline);
  writer_->SelectObject(emf::kNullPen);
  writer_->SelectObject(emf::kNullBrush);
  setActive(true);
  return true;
}

void EmfPaintEngine::EndGdiRun() {
  if (!gdi_run_) return;
  writer_->SelectObject(emf::kNullPen);
  writer_->SelectObject(emf::kNullBrush);
  if (pen_handle_) writer_->DeleteObject(pen_handle_);
  if (brush_handle_) writer_->DeleteObject(brush_handle_);
  if (!fonts_.empty()) {
    writer_->SelectObject(emf::kSystemFont);
    for (const auto& [key, handle] : fonts_) writer_->DeleteObject(handle);
  }
  pen_handle_ = brush_handle_ = 0;
  pen_selected_ = brush_selected_ = false;
  fonts_.clear();
  font_selected_ = 0;
  gdi_run_ = false;
}

void EmfPaintEngine::GdiRun() {
  if (gdi_run_) return;
  writer_->PlusGetDC();
  gdi_run_ = true;
  fill_mode_ = 0;
  text_color_ = 0xFFFFFFFF;
  writer_->SetTextAlign(emf::kTextAlignBaseline);
  writer_->SelectObject(emf::kNullPen);
  writer_->SelectObject(emf::kNullBrush);
}

bool EmfPaintEngine::end() {
  EndGdiRun();
  const bool written = writer_->Finish();
  // The first failure is the one reported.
  if (!written && error_.isEmpty()) {
    error_ = QString::fromStdString(writer_->Error());
  }
  writer_.reset();
  device_sink_.reset();
  setActive(false);
  return written;
}

void EmfPaintEngine::updateState(const QPaintEngineState& changed) {
  const DirtyFlags flags = changed.state();
  if (flags & DirtyPen) pen_ = changed.pen();
  if (flags & DirtyBrush) brush_ = changed.brush();
  if (flags & DirtyTransform) transform_ = changed.transform();
  if (flags & DirtyOpacity) opacity_ = changed.opacity();
  if (flags & DirtyHints) hints_ = changed.renderHints();
}

bool EmfPaintEngine::Translucent(const QColor& c) const {
  return c.alpha() < 255 || opacity_ < 1;
}

std::uint32_t EmfPaintEngine::Blend(const QColor& c) const {
  const double a = static_cast<double>(c.alphaF()) * opacity_;
  auto mix = [a](int v) {
    return static_cast<std::uint8_t>(std::lround(v * a + 255 * (1 - a)));
  };
  return emf::ColorRef(mix(c.red()), mix(c.green()), mix(c.blue()));
}

void EmfPaintEngine::UsePen(bool on) {
  if (!on) {
    if (pen_selected_) {
      writer_->SelectObject(emf::kNullPen);
      pen_selected_ = false;
    }
    return;
  }
  const std::uint32_t color = Blend(pen_.color());
  // A cosmetic pen (width 0) is one pixel wide; a geometric one scales.
  const qreal scale = std::sqrt(std::abs(transform_.determinant()));
  const std::uint32_t width = static_cast<std::uint32_t>(std::max<long>(
      1, std::lround(pen_.widthF() * (pen_.isCosmetic() ? 1 : scale))));
  if (pen_handle_ && color == pen_color_ && width == pen_width_ &&
      pen_.capStyle() == pen_cap_) {
    if (!pen_selected_) writer_->SelectObject(pen_handle_);
    pen_selected_ = true;
    return;
  }
  emf::PenSpec gdi_pen;
  gdi_pen.width = width;
  gdi_pen.color = color;
  gdi_pen.square_caps = pen_.capStyle() == Qt::SquareCap;
  gdi_pen.flat_caps = pen_.capStyle() == Qt::FlatCap;
  const std::uint32_t old = pen_handle_;
  pen_handle_ = writer_->CreatePen(gdi_pen);
  writer_->SelectObject(pen_handle_);
  if (old) writer_->DeleteObject(old);
  pen_color_ = color;
  pen_width_ = width;
  pen_cap_ = pen_.capStyle();
  pen_selected_ = true;
}

void EmfPaintEngine::UseBrush(bool on) {
  if (!on) {
    if (brush_selected_) {
      writer_->SelectObject(emf::kNullBrush);
      brush_selected_ = false;
    }
    return;
  }
  const std::uint32_t color = Blend(brush_.color());
  if (brush_handle_ && color == brush_color_) {
    if (!brush_selected_) writer_->SelectObject(brush_handle_);
    brush_selected_ = true;
    return;
  }
  const std::uint32_t old = brush_handle_;
  brush_handle_ = writer_->CreateBrush(color);
  writer_->SelectObject(brush_handle_);
  if (old) writer_->DeleteObject(old);
  brush_color_ = color;
  brush_selected_ = true;
}

void EmfPaintEngine::Fill(const std::vector<QPolygonF>& polygons,
                          Qt::FillRule rule) {
  if (brush_.style() == Qt::NoBrush || polygons.empty()) return;
  const std::uint32_t mode =
      rule == Qt::WindingFill ? emf::kWinding : emf::kAlternate;
  if (mode != fill_mode_) {
    writer_->SetPolyFillMode(mode);
    fill_mode_ = mode;
  }
  UsePen(false);
  UseBrush(true);
  std::vector<std::vector<emf::Point16>> parts;
  for (const QPolygonF& p : polygons) parts.push_back(ToPoints(p));
  writer_->PolyPolygon(parts);
}

void EmfPaintEngine::Stroke(const QPolygonF& polyline, bool closed) {
  if (pen_.style() == Qt::NoPen) return;
  std::vector<emf::Point16> points = ToPoints(polyline);
  if (points.size() == 1) points.push_back(points[0]);  // a dot
  UseBrush(false);
  UsePen(true);
  if (closed && points.size() > 2) {
    writer_->Polygon(points);
  } else {
    writer_->Polyline(points);
  }
}

void EmfPaintEngine::drawPath(const QPainterPath& path) {
  const bool fill = brush_.style() != Qt::NoBrush;
  const bool stroke = pen_.style() != Qt::NoPen;
  if ((!fill && !stroke) || NoMemory()) return;
  const bool curved = HasCurves(path);
  const QRectF bounds = transform_.map(path).boundingRect();
  if ((fill && Translucent(brush_.color())) ||
      (stroke && Translucent(pen_.color())) ||
      (curved && bounds.width() <= kSmallShape &&
       bounds.height() <= kSmallShape)) {
    DrawBlended(path);
    return;
  }
  GdiRun();
  if (curved) {
    DrawCurves(path);
    return;
  }
  if (fill) {
    std::vector<QPolygonF> polygons;
    for (const QPolygonF& p : path.toFillPolygons(transform_)) {
      polygons.push_back(p);
    }
    Fill(polygons, path.fillRule());
  }
  if (stroke) {
    for (const QPolygonF& p : path.toSubpathPolygons(transform_)) {
      const bool closed = p.size() > 2 && p.first() == p.last();
      Stroke(p, closed);
    }
  }
}

void EmfPaintEngine::DrawCurves(const QPainterPath& path) {
  const bool fill = brush_.style() != Qt::NoBrush;
  const bool stroke = pen_.style() != Qt::NoPen;
  if (fill) {
    const std::uint32_t mode =
        path.fillRule() == Qt::WindingFill ? emf::kWinding : emf::kAlternate;
    if (mode != fill_mode_) {
      writer_->SetPolyFillMode(mode);
      fill_mode_ = mode;
    }
  }
  UsePen(stroke);
  UseBrush(fill);
  writer_->Path(ToPathF(transform_.map(path)),
                !stroke ? emf::RecordWriter::PathDraw::kFill
                : !fill ? emf::RecordWriter::PathDraw::kStroke
                        : emf::RecordWriter::PathDraw::kStrokeAndFill);
}

void EmfPaintEngine::DrawBlended(const QPainterPath& path) {
  EndGdiRun();
  const QPainterPath mapped = transform_.map(path);
  QRectF extent = mapped.boundingRect();
  if (brush_.style() != Qt::NoBrush) {
    writer_->PlusFillPath(ToPathF(mapped), ArgbOf(brush_.color(), opacity_));
  }
  if (pen_.style() != Qt::NoPen) {
    // The stroke as the area it covers, in one piece, so that where the
    // line crosses itself it is blended once.
    QPainterPathStroker stroker(pen_);
    QPainterPath area;
    if (pen_.isCosmetic()) {
      stroker.setWidth(std::max<qreal>(1, pen_.widthF()));
      area = stroker.createStroke(mapped);
    } else {
      stroker.setWidth(pen_.widthF() > 0 ? pen_.widthF() : 1);
      area = transform_.map(stroker.createStroke(path));
    }
    area = area.simplified();
    area.setFillRule(Qt::OddEvenFill);
    writer_->PlusFillPath(ToPathF(area), ArgbOf(pen_.color(), opacity_));
    extent = extent.united(area.boundingRect());
  }
  const QRect pixels = extent.adjusted(-2, -2, 2, 2)
                           .toAlignedRect()
                           .intersected(QRect(0, 0, width_, height_));
  if (pixels.isEmpty()) return;
  if (static_cast<qint64>(pixels.width()) * pixels.height() >
      kLargestFallbackImage) {
    // Too large a picture to hold: for readers without EMF+ the shape is
    // mixed with the white ground instead, in GDI records that readers of
    // EMF+ skip (they are outside a run), with objects of their own.
    gdi_run_ = true;
    if (brush_.style() != Qt::NoBrush) {
      std::vector<QPolygonF> polygons;
      for (const QPolygonF& p : path.toFillPolygons(transform_)) {
        polygons.push_back(p);
      }
      Fill(polygons, path.fillRule());
    }
    if (pen_.style() != Qt::NoPen) {
      for (const QPolygonF& p : path.toSubpathPolygons(transform_)) {
        Stroke(p, p.size() > 2 && p.first() == p.last());
      }
    }
    EndGdiRun();
    return;
  }
  const std::vector<std::uint8_t>& png = PngOf(path, pixels);
  if (png.empty()) return;
  writer_->StretchPng(pixels.x(), pixels.y(), pixels.width(), pixels.height(),
                      pixels.width(), pixels.height(), png);
}

const std::vector<std::uint8_t>& EmfPaintEngine::MemoryLacks() {
  if (error_.isEmpty()) error_ = kMessagePictureMemory;
  no_memory_ = true;
  static const std::vector<std::uint8_t> none;
  return none;
}

const std::vector<std::uint8_t>& EmfPaintEngine::PngOf(const QPainterPath& path,
                                                       const QRect& area) {
  // The shape relative to the image, and the painter's state without the
  // translation to the image: the same marker at another point has the
  // same picture.
  const QTransform to_image =
      transform_ * QTransform::fromTranslate(-area.x(), -area.y());
  const QPainterPath shape = to_image.map(path);
  QTransform linear = transform_;
  linear.setMatrix(linear.m11(), linear.m12(), linear.m13(), linear.m21(),
                   linear.m22(), linear.m23(), 0, 0, linear.m33());
  for (const PngEntry& e : pngs_) {
    if (e.size == area.size() && e.opacity == opacity_ && e.pen == pen_ &&
        e.brush == brush_ && e.linear == linear && e.shape == shape) {
      return e.png;
    }
  }
  QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return MemoryLacks();
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHints(hints_);
    p.setTransform(to_image);
    p.setOpacity(opacity_);
    p.setPen(pen_);
    p.setBrush(brush_);
    p.drawPath(path);
  }
  bool covered = false;
  for (int y = 0; y < image.height() && !covered; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(row[x]) != 0) {
        covered = true;
        break;
      }
    }
  }
  PngEntry entry{shape, area.size(), pen_, brush_, opacity_, linear, {}};
  if (covered) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    if (argb.isNull() || !argb.save(&buffer, "PNG")) return MemoryLacks();
    entry.png.assign(bytes.begin(), bytes.end());
  }
  if (pngs_.size() >= 8) pngs_.pop_back();
  pngs_.push_front(std::move(entry));
  return pngs_.front().png;
}

void EmfPaintEngine::drawPolygon(const QPointF* points, int count,
                                 PolygonDrawMode mode) {
  if (NoMemory()) return;
  const bool translucent =
      (mode != PolylineMode && brush_.style() != Qt::NoBrush &&
       Translucent(brush_.color())) ||
      (pen_.style() != Qt::NoPen && Translucent(pen_.color()));
  if (translucent && count > 0) {
    QPainterPath path;
    path.moveTo(points[0]);
    for (int i = 1; i < count; ++i) path.lineTo(points[i]);
    if (mode == PolylineMode) {
      const QBrush brush = brush_;
      brush_ = QBrush(Qt::NoBrush);
      DrawBlended(path);
      brush_ = brush;
    } else {
      path.closeSubpath();
      path.setFillRule(mode == OddEvenMode ? Qt::OddEvenFill : Qt::WindingFill);
      DrawBlended(path);
    }
    return;
  }
  GdiRun();
  QPolygonF polygon;
  polygon.reserve(count);
  for (int i = 0; i < count; ++i) polygon.append(transform_.map(points[i]));
  if (mode != PolylineMode) {
    Fill({polygon}, mode == OddEvenMode ? Qt::OddEvenFill : Qt::WindingFill);
    Stroke(polygon, true);
  } else {
    Stroke(polygon, false);
  }
}

void EmfPaintEngine::drawPixmap(const QRectF& r, const QPixmap& pm,
                                const QRectF& sr) {
  drawImage(r, pm.toImage(), sr, Qt::AutoColor);
}

void EmfPaintEngine::drawImage(const QRectF& r, const QImage& image,
                               const QRectF& sr, Qt::ImageConversionFlags) {
  if (NoMemory()) return;
  GdiRun();
  const QRect source = sr.toAlignedRect().intersected(image.rect());
  const QRect dest = transform_.mapRect(r).toAlignedRect();
  if (source.isEmpty() || dest.isEmpty()) return;
  // Each pixel blended with white by its alpha and the painter's opacity,
  // as the engine blends every colour.
  // Converted a strip at a time: Qt would share a large image's conversion
  // among threads, and wait forever where none can be started.
  QImage bits =
      ConvertedOnThisThread(image.copy(source), QImage::Format_ARGB32);
  if (bits.isNull()) {
    MemoryLacks();
    return;
  }
  const int opacity = static_cast<int>(std::lround(opacity_ * 255));
  for (int y = 0; y < bits.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(bits.scanLine(y));
    for (int x = 0; x < bits.width(); ++x) {
      const QRgb c = row[x];
      const int a = (qAlpha(c) * opacity + 127) / 255;
      auto mix = [a](int v) { return (v * a + 255 * (255 - a) + 127) / 255; };
      row[x] = qRgb(mix(qRed(c)), mix(qGreen(c)), mix(qBlue(c)));
    }
  }
  try {
    writer_->StretchBits(dest.x(), dest.y(), dest.width(), dest.height(),
                         bits.width(), bits.height(), bits.constBits(),
                         bits.bytesPerLine());
  } catch (const std::bad_alloc&) {
    // The record is built whole before it is written; an exception would
    // not pass the painter that called this.
    MemoryLacks();
  }
}

void EmfPaintEngine::drawTextItem(const QPointF& p, const QTextItem& item) {
  const QString text = item.text();
  if (text.isEmpty() || NoMemory()) return;
  GdiRun();
  const QFont font = item.font();
  const QFontMetricsF metrics(font);
  // Text drawn under a scaling transform (a figure's text in points) gets
  // a font of the scaled size; GDI text keeps upright glyphs.
  const qreal scale = std::sqrt(std::abs(transform_.determinant()));
  emf::FontSpec gdi_font;
  gdi_font.height = -static_cast<std::int32_t>(std::lround(
      (font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * 96 / 72) *
      scale));
  gdi_font.weight = font.bold() ? 700 : 400;
  gdi_font.italic = font.italic();
  // A face that readers everywhere resolve to the metrics of ours (not the
  // name of the face this machine happened to have).
  gdi_font.face = PortableFamilies(font).front().toStdU16String();
  const auto key = std::make_tuple(gdi_font.face, gdi_font.height,
                                   gdi_font.weight, gdi_font.italic);
  auto found = fonts_.find(key);
  if (found == fonts_.end()) {
    found = fonts_.emplace(key, writer_->CreateFont(gdi_font)).first;
  }
  if (font_selected_ != found->second) {
    writer_->SelectObject(found->second);
    font_selected_ = found->second;
  }
  const std::uint32_t color = Blend(pen_.color());
  if (color != text_color_) {
    writer_->SetTextColor(color);
    text_color_ = color;
  }
  // Advances of each UTF-16 unit, in whole pixels that add up to the run.
  std::vector<std::int32_t> advances;
  qreal x = 0;
  long placed = 0;
  for (int i = 0; i < text.size(); ++i) {
    x += metrics.horizontalAdvance(text.at(i)) * scale;
    const long next = std::lround(x);
    advances.push_back(static_cast<std::int32_t>(next - placed));
    placed = next;
  }
  const QPointF at = transform_.map(p);
  writer_->TextOut(static_cast<int>(std::lround(at.x())),
                   static_cast<int>(std::lround(at.y())), text.toStdU16String(),
                   advances);
}

}  // namespace orvane
