// A writer of Enhanced Metafile records (Microsoft's EMF format, [MS-EMF]):
// the header, GDI objects, drawing and text records and the end record,
// little-endian, every record padded to a multiple of four bytes. Plain
// C++; the paint engine in emf_paint_engine turns QPainter calls into these.
#ifndef ORVANE_RENDER_EMF_RECORDS_H_
#define ORVANE_RENDER_EMF_RECORDS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace orvane::emf {

// Record types used.
enum RecordType : std::uint32_t {
  EMR_HEADER = 1,
  EMR_POLYPOLYGON16 = 91,
  EMR_POLYLINE16 = 87,
  EMR_POLYGON16 = 86,
  EMR_EOF = 14,
  EMR_SETMAPMODE = 17,
  EMR_SETBKMODE = 18,
  EMR_SETPOLYFILLMODE = 19,
  EMR_SETTEXTALIGN = 22,
  EMR_SETTEXTCOLOR = 24,
  EMR_SELECTOBJECT = 37,
  EMR_CREATEBRUSHINDIRECT = 39,
  EMR_DELETEOBJECT = 40,
  EMR_EXTCREATEFONTINDIRECTW = 82,
  EMR_EXTTEXTOUTW = 84,
  EMR_EXTCREATEPEN = 95,
};

// Stock objects selected by index.
inline constexpr std::uint32_t kNullBrush = 0x80000005;
inline constexpr std::uint32_t kNullPen = 0x80000008;
inline constexpr std::uint32_t kSystemFont = 0x8000000D;

inline constexpr std::uint32_t kTextAlignBaseline = 24;  // TA_BASELINE

inline constexpr std::uint32_t kAlternate = 1;  // even-odd polygon filling
inline constexpr std::uint32_t kWinding = 2;

// A COLORREF: 0x00BBGGRR.
inline std::uint32_t ColorRef(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return r | (g << 8) | (b << 16);
}

struct Point16 {
  std::int16_t x, y;
};

struct RectL {
  std::int32_t left, top, right, bottom;
};

struct PenSpec {
  std::uint32_t width = 1;
  std::uint32_t color = 0;  // COLORREF
  bool square_caps = false;
  bool flat_caps = false;
};

struct FontSpec {
  std::int32_t height = -11;  // character height in pixels (negative: em)
  std::int32_t weight = 400;
  bool italic = false;
  std::u16string face;  // at most 31 characters are kept
};

class RecordWriter {
 public:
  // A picture of width x height pixels at `dpi` dots per inch.
  RecordWriter(int width, int height, double dpi = 96.0);

  // Object handles are allocated by the writer; 0 is the metafile itself.
  std::uint32_t CreatePen(const PenSpec& pen);
  std::uint32_t CreateBrush(std::uint32_t color);
  std::uint32_t CreateFont(const FontSpec& font);
  void SelectObject(std::uint32_t handle);  // a handle or a stock object
  void DeleteObject(std::uint32_t handle);

  void SetPolyFillMode(std::uint32_t mode);
  void SetTextColor(std::uint32_t color);
  void SetTextAlign(std::uint32_t mode);

  void Polygon(const std::vector<Point16>& points);
  void Polyline(const std::vector<Point16>& points);
  // Several polygons filled together under the polygon fill mode.
  void PolyPolygon(const std::vector<std::vector<Point16>>& polygons);
  // Text at a baseline reference point, with the advance of each UTF-16
  // unit given, so that readers need not lay it out with their metrics.
  void TextOut(int x, int y, const std::u16string& text,
               const std::vector<std::int32_t>& advances);

  // The finished metafile: header (with the totals), records, end record.
  std::vector<std::uint8_t> Finish();

 private:
  void Begin(std::uint32_t type);
  void End();
  void U32(std::uint32_t v);
  void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
  void U16(std::uint16_t v);
  void F32(float v);
  void Bounds(const std::vector<Point16>& points);
  void Points(const std::vector<Point16>& points);
  void Poly16(std::uint32_t type, const std::vector<Point16>& points);
  std::uint32_t AllocateHandle();
  void Include(int x, int y);

  int width_, height_;
  double dpi_;
  std::vector<std::uint8_t> body_;
  std::size_t record_start_ = 0;
  std::uint32_t records_ = 0;
  std::uint32_t next_handle_ = 1;
  std::uint32_t max_handles_ = 1;
  std::vector<std::uint32_t> free_handles_;
  RectL bounds_{0, 0, -1, -1};  // of everything drawn, inclusive
  bool drawn_ = false;
};

}  // namespace orvane::emf

#endif  // ORVANE_RENDER_EMF_RECORDS_H_
