// SPDX-License-Identifier: MIT
// A writer of Enhanced Metafile records (Microsoft's EMF format, [MS-EMF]):
// the header, GDI objects, drawing, text and bitmap records and the end
// record, little-endian, every record padded to a multiple of four bytes.
// The metafile is written in dual mode: records of the GDI+ extension
// (EMF+, carried in comment records) come first and draw with alpha in the
// readers that play them; readers that do not play them draw the plain GDI
// records. Records go to a sink as they are made, so that a picture of any size
// needs only the memory of its largest record; the header, which holds the
// totals, is written first as a placeholder and completed at the end. Plain
// C++; the paint engine in emf_paint_engine turns QPainter calls into these.
#ifndef ORVANE_RENDER_EMF_RECORDS_H_
#define ORVANE_RENDER_EMF_RECORDS_H_

#include <cstddef>
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
  EMR_STRETCHDIBITS = 81,
  EMR_COMMENT = 70,
  EMR_MOVETOEX = 27,
  EMR_BEGINPATH = 59,
  EMR_ENDPATH = 60,
  EMR_CLOSEFIGURE = 61,
  EMR_FILLPATH = 62,
  EMR_STROKEANDFILLPATH = 63,
  EMR_STROKEPATH = 64,
  EMR_POLYBEZIERTO16 = 88,
  EMR_POLYLINETO16 = 89,
};

// The tag of a comment record that holds EMF+ records ("EMF+").
inline constexpr std::uint32_t kEmfPlusTag = 0x2B464D45;

// EMF+ record types used.
enum PlusRecordType : std::uint16_t {
  kPlusHeader = 0x4001,
  kPlusEndOfFile = 0x4002,
  kPlusGetDC = 0x4004,
  kPlusObject = 0x4008,
  kPlusFillPath = 0x4014,
  kPlusSetPageTransform = 0x4030,
};

// The version of GDI+ whose records these are (1.1), with its signature.
inline constexpr std::uint32_t kPlusVersion = 0xDBC01002;

// An EMF+ colour: 0xAARRGGBB, straight (not premultiplied) alpha.
inline std::uint32_t Argb(std::uint8_t a, std::uint8_t r, std::uint8_t g,
                          std::uint8_t b) {
  return (static_cast<std::uint32_t>(a) << 24) | (r << 16) | (g << 8) | b;
}

// A figure of lines and cubic curves: EMF+ path point types, each point
// one of kStart (a new figure), kLine or kBezier (three in a row: two
// control points and the end), with kCloseFigure added to a figure's last.
struct PathF {
  enum PointType : std::uint8_t {
    kStart = 0,
    kLine = 1,
    kBezier = 3,
    kCloseFigure = 0x80,
  };
  struct Point {
    float x, y;
  };
  std::vector<Point> points;
  std::vector<std::uint8_t> types;
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

// Where the records go: appended in order, and the header rewritten in
// place at the end.
class RecordSink {
 public:
  virtual ~RecordSink() = default;
  // False when the bytes could not be written; Error() then says why.
  virtual bool Append(const std::uint8_t* data, std::size_t size) = 0;
  virtual bool Overwrite(std::uint64_t offset, const std::uint8_t* data,
                         std::size_t size) = 0;
  virtual std::string Error() const = 0;
};

// A sink that keeps the metafile in memory.
class MemorySink : public RecordSink {
 public:
  bool Append(const std::uint8_t* data, std::size_t size) override;
  bool Overwrite(std::uint64_t offset, const std::uint8_t* data,
                 std::size_t size) override;
  std::string Error() const override { return {}; }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// The header's sizes are 32-bit: a metafile holds at most this many bytes.
inline constexpr std::uint64_t kMaxMetafileBytes = 0xFFFFFFFFull;

inline constexpr const char* kMessageMetafileTooLarge =
    "the metafile would exceed 4 GiB, the largest size its header can hold.";

class RecordWriter {
 public:
  // A picture of width x height pixels at `dpi` dots per inch, written to
  // `sink`, which must outlive the writer. A metafile that would grow past
  // `max_bytes` is refused: nothing more is written and Ok() turns false.
  RecordWriter(RecordSink& sink, int width, int height, double dpi = 96.0,
               std::uint64_t max_bytes = kMaxMetafileBytes);

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

  // A bitmap of width x height pixels stretched over dest_width x
  // dest_height pixels at (x, y): 32 bits per pixel, each pixel's bytes
  // blue, green, red and a fourth that readers ignore, rows from `top_row`
  // on, `stride` bytes apart, top to bottom. The rows go to the sink as
  // they are, not copied.
  void StretchBits(int x, int y, int dest_width, int dest_height, int width,
                   int height, const std::uint8_t* top_row,
                   std::ptrdiff_t stride);

  // The same as a path of 16-bit points for the GDI records: figures of
  // lines and curves, filled with the selected brush, stroked with the
  // selected pen, or both.
  enum class PathDraw { kFill, kStroke, kStrokeAndFill };
  void Path(const PathF& path, PathDraw draw);

  // An EMF+ fill of the path in one colour (ARGB), which readers of EMF+
  // draw with its alpha; readers of GDI records alone skip it.
  void PlusFillPath(const PathF& path, std::uint32_t argb);
  // Tells readers of EMF+ to draw the GDI records that follow, up to the
  // next EMF+ record (opaque drawing and text, which both kinds draw alike).
  void PlusGetDC();

  // A PNG image (any colour type, straight alpha) stretched over
  // dest_width x dest_height pixels at (x, y): the GDI fallback of a
  // translucent shape, which readers blend by the image's alpha.
  void StretchPng(int x, int y, int dest_width, int dest_height, int width,
                  int height, const std::vector<std::uint8_t>& png);

  // Ends the metafile: the end record, then the header with the totals.
  // False when anything could not be written (see Error()).
  bool Finish();
  bool Ok() const { return error_.empty(); }
  // Why the metafile is incomplete; empty while all is well.
  const std::string& Error() const { return error_; }

 private:
  void Begin(std::uint32_t type);
  void End();
  // Sends bytes to the sink, unless the metafile has failed or they would
  // carry it past its size limit.
  void Emit(const std::uint8_t* data, std::size_t size);
  bool Fits(std::uint64_t size);
  void Fail(const std::string& reason);
  void U32(std::uint32_t v);
  void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
  void U16(std::uint16_t v);
  void F32(float v);
  void Bounds(const std::vector<Point16>& points);
  void Points(const std::vector<Point16>& points);
  // Begins an EMR_STRETCHDIBITS of a width x height image over dest_width
  // x dest_height pixels at (x, y), and writes its fixed part and bitmap
  // header: `bit_count` and `compression` as BITMAPINFOHEADER has them,
  // `image_bytes` the size of the image data that follows.
  void BeginStretchDibits(int x, int y, int dest_width, int dest_height,
                          int width, int height, std::uint16_t bit_count,
                          std::uint32_t compression, std::uint32_t image_bytes);
  void Poly16(std::uint32_t type, const std::vector<Point16>& points);
  // One comment record holding the EMF+ records gathered in plus_.
  void EmitPlus();
  void PlusRecord(std::uint16_t type, std::uint16_t flags,
                  const std::vector<std::uint8_t>& data);
  std::uint32_t AllocateHandle();
  void Include(int x, int y);

  RecordSink& sink_;
  int width_, height_;
  double dpi_;
  std::uint64_t max_bytes_;
  std::vector<std::uint8_t> body_;  // the record being made
  std::vector<std::uint8_t> plus_;  // EMF+ records for the next comment
  std::size_t record_start_ = 0;
  std::uint64_t total_ = 0;  // bytes sent to the sink
  std::uint32_t records_ = 0;
  std::string error_;
  std::uint32_t next_handle_ = 1;
  std::uint32_t max_handles_ = 1;
  std::vector<std::uint32_t> free_handles_;
  RectL bounds_{0, 0, -1, -1};  // of everything drawn, inclusive
  bool drawn_ = false;
};

}  // namespace orvane::emf

#endif  // ORVANE_RENDER_EMF_RECORDS_H_
