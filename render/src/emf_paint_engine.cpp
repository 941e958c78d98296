#include "render/emf_paint_engine.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainterPath>
#include <QPixmap>
#include <QTextItem>
#include <algorithm>
#include <cmath>

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
  // Text is placed by its baseline, as QPainter places it.
  writer_->SetTextAlign(emf::kTextAlignBaseline);
  writer_->SelectObject(emf::kNullPen);
  writer_->SelectObject(emf::kNullBrush);
  setActive(true);
  return true;
}

bool EmfPaintEngine::end() {
  writer_->SelectObject(emf::kNullPen);
  writer_->SelectObject(emf::kNullBrush);
  if (pen_handle_) writer_->DeleteObject(pen_handle_);
  if (brush_handle_) writer_->DeleteObject(brush_handle_);
  if (!fonts_.empty()) {
    writer_->SelectObject(emf::kSystemFont);
    for (const auto& [key, handle] : fonts_) writer_->DeleteObject(handle);
  }
  const bool written = writer_->Finish();
  if (!written) error_ = QString::fromStdString(writer_->Error());
  writer_.reset();
  device_sink_.reset();
  setActive(false);
  return written;
}

void EmfPaintEngine::updateState(const QPaintEngineState& state) {
  const DirtyFlags flags = state.state();
  if (flags & DirtyPen) pen_ = state.pen();
  if (flags & DirtyBrush) brush_ = state.brush();
  if (flags & DirtyTransform) transform_ = state.transform();
  if (flags & DirtyOpacity) opacity_ = state.opacity();
}

std::uint32_t EmfPaintEngine::Blend(const QColor& c) const {
  const double a = c.alphaF() * opacity_;
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
  if (brush_.style() != Qt::NoBrush) {
    std::vector<QPolygonF> polygons;
    for (const QPolygonF& p : path.toFillPolygons(transform_)) {
      polygons.push_back(p);
    }
    Fill(polygons, path.fillRule());
  }
  if (pen_.style() != Qt::NoPen) {
    for (const QPolygonF& p : path.toSubpathPolygons(transform_)) {
      const bool closed = p.size() > 2 && p.first() == p.last();
      Stroke(p, closed);
    }
  }
}

void EmfPaintEngine::drawPolygon(const QPointF* points, int count,
                                 PolygonDrawMode mode) {
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
  const QRect source = sr.toAlignedRect().intersected(image.rect());
  const QRect dest = transform_.mapRect(r).toAlignedRect();
  if (source.isEmpty() || dest.isEmpty()) return;
  // Each pixel blended with white by its alpha and the painter's opacity,
  // as the engine blends every colour.
  QImage bits = image.copy(source).convertToFormat(QImage::Format_ARGB32);
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
  writer_->StretchBits(dest.x(), dest.y(), dest.width(), dest.height(),
                       bits.width(), bits.height(), bits.constBits(),
                       bits.bytesPerLine());
}

void EmfPaintEngine::drawTextItem(const QPointF& p, const QTextItem& item) {
  const QString text = item.text();
  if (text.isEmpty()) return;
  const QFont font = item.font();
  const QFontMetricsF metrics(font);
  emf::FontSpec gdi_font;
  gdi_font.height = -static_cast<std::int32_t>(std::lround(
      font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * 96 / 72));
  gdi_font.weight = font.bold() ? 700 : 400;
  gdi_font.italic = font.italic();
  // The family that the font actually resolved to, so that readers pick the
  // same face where they have it.
  gdi_font.face = QFontInfo(font).family().toStdU16String();
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
    x += metrics.horizontalAdvance(text.at(i));
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
