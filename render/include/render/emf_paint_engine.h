// SPDX-License-Identifier: MIT
// A QPaintDevice whose paint engine writes an Enhanced Metafile, so that the
// chart's QPainter code draws the screen and the metafile alike.
//
// Opaque drawing goes into GDI records, which every reader draws: filled
// areas become polygon records under the path's fill rule (or path records
// with curves), lines become polyline records with geometric pens, text
// becomes EXTTEXTOUTW with its advances and a face that readers resolve to
// the same metrics, images become 32-bit bitmap records. GDI records carry
// no alpha, so a translucent shape, and a small curved one such as a round
// marker, goes in twice: as an EMF+ fill of its path with its alpha, for the
// readers of EMF+, and as a PNG of the shape exactly as the screen draws it,
// with its alpha, for the readers of GDI records alone. The records go to
// the output device as they are made.
#ifndef ORVANE_RENDER_EMF_PAINT_ENGINE_H_
#define ORVANE_RENDER_EMF_PAINT_ENGINE_H_

#include <QIODevice>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainterPath>
#include <QString>
#include <deque>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "render/emf_records.h"

namespace orvane {

class EmfPaintEngine;

class EmfDevice : public QPaintDevice {
 public:
  // A metafile kept in memory (Bytes()).
  EmfDevice(int width, int height);
  // A metafile written to `out`, open for writing and able to seek back to
  // where the metafile began (a file, not a pipe), which must outlive the
  // device.
  EmfDevice(int width, int height, QIODevice* out);
  ~EmfDevice() override;
  QPaintEngine* paintEngine() const override;
  // The metafile kept in memory, complete once the painter has ended.
  const std::vector<std::uint8_t>& Bytes() const;
  // Once the painter has ended: whether the whole metafile was written,
  // and if not, why.
  bool Ok() const;
  QString Error() const;

 protected:
  int metric(PaintDeviceMetric metric) const override;

 private:
  int width_, height_;
  std::unique_ptr<EmfPaintEngine> engine_;
};

class EmfPaintEngine : public QPaintEngine {
 public:
  // Writes to `out`, or keeps the metafile in memory when it is null.
  EmfPaintEngine(int width, int height, QIODevice* out = nullptr);
  ~EmfPaintEngine() override;

  bool begin(QPaintDevice* device) override;
  bool end() override;
  void updateState(const QPaintEngineState& changed) override;
  void drawPath(const QPainterPath& path) override;
  void drawPolygon(const QPointF* points, int count,
                   PolygonDrawMode mode) override;
  void drawPixmap(const QRectF& r, const QPixmap& pm,
                  const QRectF& sr) override;
  void drawImage(const QRectF& r, const QImage& image, const QRectF& sr,
                 Qt::ImageConversionFlags flags) override;
  void drawTextItem(const QPointF& p, const QTextItem& item) override;
  Type type() const override { return QPaintEngine::User; }

  const std::vector<std::uint8_t>& Bytes() const { return memory_.Bytes(); }
  bool Ok() const { return error_.isEmpty(); }
  const QString& Error() const { return error_; }

 private:
  // The COLORREF of a colour blended with white by its alpha and the
  // painter's opacity.
  std::uint32_t Blend(const QColor& c) const;
  void UsePen(bool on);
  void UseBrush(bool on);
  void Fill(const std::vector<QPolygonF>& polygons, Qt::FillRule rule);
  void Stroke(const QPolygonF& polyline, bool closed);
  bool Translucent(const QColor& c) const;
  // The GDI records that follow are drawn by readers of EMF+ too; the
  // records of a run make and release their own objects.
  void GdiRun();
  void EndGdiRun();
  // The path in the painter's colours, with their alpha, in EMF+ and as a
  // PNG fallback.
  void DrawBlended(const QPainterPath& path);
  void DrawCurves(const QPainterPath& path);
  // The PNG of the path as the screen draws it, at `area`; none, with the
  // failure recorded, when there is no memory for its image.
  const std::vector<std::uint8_t>& PngOf(const QPainterPath& path,
                                         const QRect& area);
  // Records that an image could not be allocated, after which nothing more
  // is drawn: a metafile without part of its drawing is not written.
  // Returns an empty PNG.
  const std::vector<std::uint8_t>& MemoryLacks();
  bool NoMemory() const { return no_memory_; }

  int width_, height_;
  QIODevice* out_;
  emf::MemorySink memory_;
  std::unique_ptr<emf::RecordSink> device_sink_;
  std::unique_ptr<emf::RecordWriter> writer_;
  QString error_;
  bool no_memory_ = false;
  QPen pen_;
  QBrush brush_;
  QTransform transform_;
  qreal opacity_ = 1;
  QPainter::RenderHints hints_;
  bool gdi_run_ = true;  // the writer opens the metafile with a run
  // PNGs made lately, by the shape (relative to its image) and the
  // painter's state: markers repeat one image at every point.
  struct PngEntry {
    QPainterPath shape;
    QSize size;
    QPen pen;
    QBrush brush;
    qreal opacity;
    QTransform linear;
    std::vector<std::uint8_t> png;
  };
  std::deque<PngEntry> pngs_;
  // The GDI objects selected now, and what they were made from.
  std::uint32_t pen_handle_ = 0, brush_handle_ = 0;
  std::uint32_t pen_color_ = 0, brush_color_ = 0;
  std::uint32_t pen_width_ = 0;
  Qt::PenCapStyle pen_cap_ = Qt::SquareCap;
  bool pen_selected_ = false, brush_selected_ = false;
  std::uint32_t fill_mode_ = 0;
  // Fonts made so far, by face, height, weight and slant; the selected one.
  std::map<std::tuple<std::u16string, int, int, bool>, std::uint32_t> fonts_;
  std::uint32_t font_selected_ = 0;
  std::uint32_t text_color_ = 0xFFFFFFFF;
};

}  // namespace orvane

#endif  // ORVANE_RENDER_EMF_PAINT_ENGINE_H_
