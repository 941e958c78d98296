// SPDX-License-Identifier: MIT
// The metafile read back record by record: the EMF+ records that carry
// alpha and curves, the GDI runs that readers of EMF+ play, the PNG
// fallbacks, and the font names of vector pictures.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <cmath>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "render/chart_render.h"
#include "render/emf_paint_engine.h"
#include "render/emf_records.h"
#include "render/picture_export.h"
#include "render/vector_fonts.h"
#include "support/analysed_chart.h"

namespace orvane {
namespace {

using testing_support::AnalysedChart;
const QSize kDesignSize(kDesignChartWidth, kDesignChartHeight);

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= std::uint32_t(b.at(at + i)) << (8 * i);
  return v;
}

float F32(const std::vector<std::uint8_t>& b, std::size_t at) {
  const std::uint32_t bits = U32(b, at);
  float v;
  std::memcpy(&v, &bits, 4);
  return v;
}

// One EMF+ record of a comment.
struct PlusRecord {
  std::uint16_t type, flags;
  std::vector<std::uint8_t> data;
};

// One metafile record; `plus` holds the EMF+ records of an EMF+ comment.
struct Record {
  std::uint32_t type;
  std::vector<std::uint8_t> bytes;  // the whole record
  std::vector<PlusRecord> plus;
  bool IsPlus() const { return !plus.empty(); }
};

// The records, each EMF+ comment split into its records; a record that
// does not fit fails the test.
std::vector<Record> ReadBack(const std::vector<std::uint8_t>& emf) {
  std::vector<Record> out;
  std::size_t at = 0;
  while (at + 8 <= emf.size()) {
    const std::uint32_t type = U32(emf, at), size = U32(emf, at + 4);
    EXPECT_GE(size, 8u);
    EXPECT_EQ(size % 4, 0u);
    if (size < 8 || at + size > emf.size()) break;
    Record r{type, {emf.begin() + at, emf.begin() + at + size}, {}};
    if (type == emf::EMR_COMMENT && size >= 16 &&
        U32(emf, at + 12) == emf::kEmfPlusTag) {
      const std::size_t end = at + 12 + U32(emf, at + 8);
      EXPECT_LE(end, at + size);
      for (std::size_t p = at + 16; p + 12 <= end;) {
        const std::uint32_t plus_size = U32(emf, p + 4);
        EXPECT_EQ(U32(emf, p + 8), plus_size - 12);
        EXPECT_EQ(plus_size % 4, 0u);
        if (plus_size < 12 || p + plus_size > end) break;
        r.plus.push_back({static_cast<std::uint16_t>(U32(emf, p) & 0xFFFF),
                          static_cast<std::uint16_t>(U32(emf, p) >> 16),
                          {emf.begin() + p + 12, emf.begin() + p + plus_size}});
        p += plus_size;
      }
    }
    out.push_back(std::move(r));
    at += size;
  }
  EXPECT_EQ(at, emf.size()) << "records do not tile the metafile";
  return out;
}

// A path object read back: points and their types.
struct Path {
  std::vector<QPointF> points;
  std::vector<std::uint8_t> types;
};

Path PathOf(const PlusRecord& object) {
  Path p;
  const std::uint32_t n = U32(object.data, 4);
  EXPECT_EQ(U32(object.data, 0), emf::kPlusVersion);
  EXPECT_EQ(U32(object.data, 8), 0u);  // float points
  for (std::uint32_t i = 0; i < n; ++i) {
    p.points.emplace_back(F32(object.data, 12 + 8 * i),
                          F32(object.data, 16 + 8 * i));
    p.types.push_back(object.data.at(12 + 8 * n + i));
  }
  return p;
}

// The fills of a metafile: path and colour (ARGB).
struct Fill {
  Path path;
  std::uint32_t argb;
};

std::vector<Fill> FillsOf(const std::vector<Record>& records) {
  std::vector<Fill> fills;
  for (const Record& r : records) {
    Path path;
    for (const PlusRecord& p : r.plus) {
      if (p.type == emf::kPlusObject && (p.flags >> 8 & 0x7F) == 3) {
        path = PathOf(p);
      }
      if (p.type == emf::kPlusFillPath) {
        EXPECT_EQ(p.flags & 0x8000, 0x8000);  // the colour inline
        fills.push_back({path, U32(p.data, 0)});
      }
    }
  }
  return fills;
}

// The PNG of a BI_PNG bitmap record, or a null image for other records.
QImage PngOf(const Record& r) {
  if (r.type != emf::EMR_STRETCHDIBITS || U32(r.bytes, 80 + 16) != 5) {
    return QImage();
  }
  const std::uint32_t off = U32(r.bytes, 56), size = U32(r.bytes, 60);
  return QImage::fromData(r.bytes.data() + off, static_cast<int>(size), "PNG");
}

std::vector<std::uint8_t> Draw(const std::function<void(QPainter&)>& paint,
                               QSize size = QSize(100, 100)) {
  EmfDevice device(size.width(), size.height());
  {
    QPainter painter(&device);
    paint(painter);
  }
  EXPECT_TRUE(device.Ok());
  return device.Bytes();
}

std::vector<std::uint8_t> ChartMetafile(const EqualAreaChart& chart) {
  const QByteArray bytes = MetafileOf(chart, kDesignSize);
  return {bytes.begin(), bytes.end()};
}

// Readers of EMF+ play only the GDI records after a GetDC; readers of GDI
// alone play them all and draw the PNG after each EMF+ fill.
TEST(MetafileRecords, DualModeLayout) {
  const auto records =
      ReadBack(ChartMetafile(AnalysedChart(testing_support::kSixMarkers)));
  ASSERT_GT(records.size(), 4u);
  EXPECT_EQ(records[0].type, emf::EMR_HEADER);
  // The EMF+ header first, in dual mode, then pages in pixels.
  ASSERT_TRUE(records[1].IsPlus());
  ASSERT_EQ(records[1].plus.size(), 2u);
  EXPECT_EQ(records[1].plus[0].type, emf::kPlusHeader);
  EXPECT_EQ(records[1].plus[0].flags, 1);
  EXPECT_EQ(U32(records[1].plus[0].data, 0), emf::kPlusVersion);
  EXPECT_EQ(U32(records[1].plus[0].data, 8), 96u);
  EXPECT_EQ(records[1].plus[1].type, emf::kPlusSetPageTransform);
  EXPECT_EQ(records[1].plus[1].flags & 0xFF, 2);  // pixels
  EXPECT_EQ(F32(records[1].plus[1].data, 0), 1.0f);
  // The end of the EMF+ records, then the metafile's.
  EXPECT_EQ(records.back().type, emf::EMR_EOF);
  const Record& last_plus = records[records.size() - 2];
  ASSERT_TRUE(last_plus.IsPlus());
  EXPECT_EQ(last_plus.plus.back().type, emf::kPlusEndOfFile);

  bool in_run = false, after_fill = false;
  int runs = 0, fills = 0, pngs = 0, texts = 0;
  for (std::size_t i = 2; i + 1 < records.size(); ++i) {
    const Record& r = records[i];
    if (r.IsPlus()) {
      in_run = r.plus.back().type == emf::kPlusGetDC;
      runs += in_run;
      after_fill = r.plus.back().type == emf::kPlusFillPath;
      fills += after_fill;
      continue;
    }
    if (!PngOf(r).isNull()) {
      // The fallback of the EMF+ fill just before it.
      EXPECT_TRUE(after_fill) << "record " << i;
      ++pngs;
      continue;
    }
    // Every other GDI record, objects and state included, in a run.
    EXPECT_TRUE(in_run) << "record " << i << " of type " << r.type;
    texts += r.type == emf::EMR_EXTTEXTOUTW;
  }
  EXPECT_GT(runs, 2);
  EXPECT_GT(fills, 6);
  EXPECT_GT(pngs, 6);
  EXPECT_EQ(texts, 4);  // the legend titles, as GDI text
}

// The translucent markers carry the series' colours with their alpha, in
// EMF+ and in the PNG, not colours mixed with white.
TEST(MetafileRecords, TranslucentMarkersCarryTheirAlpha) {
  const EqualAreaChart chart = AnalysedChart(testing_support::kSixMarkers);
  const auto records = ReadBack(ChartMetafile(chart));
  std::set<std::uint32_t> colours;
  for (const Fill& f : FillsOf(records)) colours.insert(f.argb);
  auto argb = [](Rgb rgb, int transparency) {
    return ToQColor(rgb, transparency).rgba();
  };
  const SeriesStyle& optimal = chart.optimal.Style();
  const SeriesStyle& pre = chart.retrodeformed.Style();
  const SeriesStyle& post = chart.measured.Style();
  EXPECT_TRUE(colours.count(argb(*optimal.outline, optimal.transparency)));
  EXPECT_TRUE(colours.count(argb(*pre.fill, pre.transparency)));
  EXPECT_TRUE(colours.count(argb(*post.outline, post.transparency)));
  EXPECT_EQ(argb(0xFF0000, 34), 0xA8FF0000u);  // the cross: red, alpha 168

  // The PNGs hold the same colours, straight, with their alpha.
  std::set<QRgb> png_colours;
  for (const Record& r : records) {
    const QImage png = PngOf(r).convertToFormat(QImage::Format_ARGB32);
    if (png.isNull()) continue;
    EXPECT_EQ(png.width(), static_cast<int>(U32(r.bytes, 72)));  // 1:1
    EXPECT_EQ(png.height(), static_cast<int>(U32(r.bytes, 76)));
    for (int y = 0; y < png.height(); ++y) {
      for (int x = 0; x < png.width(); ++x) {
        if (qAlpha(png.pixel(x, y)) != 0) png_colours.insert(png.pixel(x, y));
      }
    }
  }
  // Straight from premultiplied: within a step or two of the colour.
  auto in_png = [&png_colours](QRgb c) {
    for (const QRgb p : png_colours) {
      if (qAlpha(p) == qAlpha(c) && std::abs(qRed(p) - qRed(c)) <= 2 &&
          std::abs(qGreen(p) - qGreen(c)) <= 2 &&
          std::abs(qBlue(p) - qBlue(c)) <= 2) {
        return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(in_png(argb(*optimal.outline, optimal.transparency)));
  EXPECT_TRUE(in_png(argb(*pre.fill, pre.transparency)));
}

// A PNG fallback shows the pixels that the screen's painter draws: over
// white it is the raster's picture of the same shapes.
TEST(MetafileRecords, FallbackImageIsWhatTheScreenDraws) {
  auto paint = [](QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 160, 176));
    p.drawRect(QRectF(20.5, 30.5, 7, 7));
    QPen pen(QColor(255, 0, 0, 168), 4);
    pen.setCapStyle(Qt::SquareCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(50.5, 47.5), QPointF(56.5, 47.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(149, 180, 67));
    p.drawEllipse(QPointF(70.5, 70.5), 3, 3);
  };
  QImage screen(100, 100, QImage::Format_RGB32);
  screen.fill(Qt::white);
  {
    QPainter p(&screen);
    paint(p);
  }
  QImage replayed(100, 100, QImage::Format_RGB32);
  replayed.fill(Qt::white);
  int images = 0;
  {
    QPainter p(&replayed);
    for (const Record& r : ReadBack(Draw(paint))) {
      const QImage png = PngOf(r);
      if (png.isNull()) continue;
      ++images;
      p.drawImage(static_cast<int>(U32(r.bytes, 24)),
                  static_cast<int>(U32(r.bytes, 28)), png);
    }
  }
  EXPECT_EQ(images, 3);  // the square, the translucent line, the circle
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 100; ++x) {
      ASSERT_EQ(screen.pixel(x, y), replayed.pixel(x, y))
          << "at " << x << ", " << y;
    }
  }
}

// A translucent area too large for a picture of it is, for readers without
// EMF+, mixed with white in GDI records outside the runs that readers of
// EMF+ play; the EMF+ fill keeps its alpha.
TEST(MetafileRecords, LargeTranslucentAreaFallsBackToMixedColour) {
  const auto records = ReadBack(Draw(
      [](QPainter& p) {
        p.fillRect(QRect(0, 0, 3000, 2000), QColor(0, 0, 255, 128));
        p.fillRect(QRect(10, 10, 5, 5), Qt::black);
      },
      QSize(3000, 2000)));
  const auto fills = FillsOf(records);
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fills[0].argb, 0x800000FFu);
  bool in_run = false;
  int mixed = 0, pngs = 0, black = 0;
  for (const Record& r : records) {
    if (r.IsPlus()) in_run = r.plus.back().type == emf::kPlusGetDC;
    pngs += !PngOf(r).isNull();
    if (r.type == emf::EMR_CREATEBRUSHINDIRECT &&
        U32(r.bytes, 16) == 0x00FF7F7F) {
      EXPECT_FALSE(in_run);
      ++mixed;
    }
    if (r.type == emf::EMR_CREATEBRUSHINDIRECT && U32(r.bytes, 16) == 0) {
      EXPECT_TRUE(in_run);
      ++black;
    }
  }
  EXPECT_EQ(mixed, 1);
  EXPECT_EQ(pngs, 0);
  EXPECT_EQ(black, 1);  // the black square after it, in a run of its own
}

// A circle stays a curve, symmetric about its centre: an EMF+ path of
// Bézier segments for a small one, GDI Bézier records for a large one.
TEST(MetafileRecords, CirclesAreCurvesSymmetricAboutTheirCentre) {
  const QPointF centre(40.5, 30.5);
  const auto records = ReadBack(Draw([&](QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(149, 180, 67));
    p.drawEllipse(centre, 3, 3);  // a round marker
    p.setBrush(QColor(255, 128, 64, 138));
    p.drawEllipse(centre, 6, 6);  // a translucent one
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(50, 50), 45, 45);  // the disc
  }));
  const auto fills = FillsOf(records);
  ASSERT_EQ(fills.size(), 2u);
  for (const Fill& f : fills) {
    int curves = 0;
    for (std::uint8_t t : f.path.types) curves += (t & 0x0F) == 3;
    EXPECT_GE(curves, 12);  // four quarters of three points
    EXPECT_EQ(curves % 3, 0);
    // Every point mirrored through the centre is a point of the path too.
    for (const QPointF& q : f.path.points) {
      const QPointF mirrored = 2 * centre - q;
      bool found = false;
      for (const QPointF& r : f.path.points) {
        found = found || (std::abs(r.x() - mirrored.x()) < 1e-4 &&
                          std::abs(r.y() - mirrored.y()) < 1e-4);
      }
      EXPECT_TRUE(found) << q.x() << ", " << q.y();
    }
  }
  EXPECT_EQ(fills[0].argb, 0xFF95B443u);  // opaque, as it is
  EXPECT_EQ(fills[1].argb >> 24, 138u);
  // The disc: one path of Bézier curves, stroked and filled.
  int beziers = 0, stroked_fills = 0, polygons = 0;
  for (const Record& r : records) {
    beziers += r.type == emf::EMR_POLYBEZIERTO16;
    stroked_fills += r.type == emf::EMR_STROKEANDFILLPATH;
    polygons +=
        r.type == emf::EMR_POLYGON16 || r.type == emf::EMR_POLYPOLYGON16;
  }
  EXPECT_GE(beziers, 1);
  EXPECT_EQ(stroked_fills, 1);
  EXPECT_EQ(polygons, 0);
}

// Text names a face that readers resolve to Arial's advance widths, not
// the face this machine had, and keeps its advances.
TEST(VectorFonts, MetafileAndSvgNamePortableFamilies) {
  EXPECT_EQ(PortableFamilies(LegendFont()),
            QStringList({"Arial", "Liberation Sans", "Arimo", "Helvetica",
                         "sans-serif"}));
  EXPECT_EQ(PortableFamilies(QStringList{"Noto Serif"}),
            QStringList({"Noto Serif", "sans-serif"}));
  EXPECT_EQ(CssFamilyList({"Arial", "Liberation Sans", "sans-serif"}),
            "Arial, 'Liberation Sans', sans-serif");

  const EqualAreaChart chart = AnalysedChart(testing_support::kSixMarkers);
  int fonts = 0;
  for (const Record& r : ReadBack(ChartMetafile(chart))) {
    if (r.type != emf::EMR_EXTCREATEFONTINDIRECTW) continue;
    ++fonts;
    std::u16string face;
    for (std::size_t i = 0; i < 32; ++i) {
      const char16_t c = static_cast<char16_t>(
          r.bytes[12 + 28 + 2 * i] | r.bytes[12 + 28 + 2 * i + 1] << 8);
      if (c == 0) break;
      face.push_back(c);
    }
    EXPECT_EQ(QString::fromStdU16String(face), "Arial");
    EXPECT_EQ(static_cast<std::int32_t>(U32(r.bytes, 12)), -11);  // pixels
  }
  EXPECT_GE(fonts, 1);

  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(
      WriteChartPicture(chart, kDesignSize, PictureFormat::kSvg, buffer).ok());
  const QString svg = QString::fromUtf8(buffer.data());
  // Each text element names the list (other groups name Qt's default
  // font, which draws nothing).
  const QRegularExpression attribute("<text[^>]*font-family=\"([^\"]*)\"");
  int named = 0;
  for (auto it = attribute.globalMatch(svg); it.hasNext(); ++named) {
    EXPECT_EQ(it.next().captured(1).toStdString(),
              "Arial, 'Liberation Sans', Arimo, Helvetica, "
              "sans-serif");
  }
  EXPECT_GT(named, 0);
  EXPECT_TRUE(svg.contains(">Bootstrap Solutions</text>"));
}

// The SVG passes through the renaming in pieces of any size: an attribute
// split between two writes is renamed all the same, and nothing else
// changes.
TEST(VectorFonts, RenamingDoesNotDependOnHowTheSvgIsWritten) {
  const QByteArray svg =
      "<g font-family=\"Arial Unicode MS\" font-size=\"8\">"
      "<text font-family=\"Noto Serif\">font-family=</text>font-fam</g>";
  const QByteArray expected =
      "<g font-family=\"Arial, 'Liberation Sans', Arimo, "
      "Helvetica, sans-serif\" font-size=\"8\">"
      "<text font-family=\"'Noto Serif', sans-serif\">"
      "font-family=</text>font-fam</g>";
  for (const int piece : {1, 3, 7, 1000}) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    SvgFontFamilies renaming(out);
    for (qsizetype at = 0; at < svg.size(); at += piece) {
      ASSERT_EQ(renaming.write(svg.mid(at, piece)),
                std::min<qsizetype>(piece, svg.size() - at));
    }
    ASSERT_TRUE(renaming.Flush());
    EXPECT_EQ(out.data(), expected) << "in pieces of " << piece;
  }
}

// The reference device of the header gives the resolution exactly, at
// any picture size: readers that scale by its millimetres draw the
// picture at its own size.
TEST(MetafileRecords, ReferenceDeviceHasTheResolutionExactly) {
  for (const QSize size : {QSize(640, 362), QSize(641, 363), QSize(97, 5000)}) {
    const auto bytes = Draw([](QPainter&) {}, size);
    const double px_x = U32(bytes, 72), px_y = U32(bytes, 76);
    const double mm_x = U32(bytes, 80), mm_y = U32(bytes, 84);
    EXPECT_DOUBLE_EQ(px_x / mm_x * 25.4, 96.0);
    EXPECT_DOUBLE_EQ(px_y / mm_y * 25.4, 96.0);
    EXPECT_DOUBLE_EQ(U32(bytes, 100) / 1000.0, mm_x);  // micrometres
    // The frame is still the picture, in 0.01 mm.
    EXPECT_EQ(static_cast<std::int32_t>(U32(bytes, 32)),
              std::lround(size.width() * 2540.0 / 96) - 1);
  }
}

}  // namespace
}  // namespace orvane
