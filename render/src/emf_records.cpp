// SPDX-License-Identifier: MIT
#include "render/emf_records.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orvane::emf {

namespace {

constexpr std::uint32_t kHeaderSize = 108;  // with both header extensions

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back((v >> (8 * i)) & 0xFF);
}

void PutF32(std::vector<std::uint8_t>& out, float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, 4);
  Put32(out, bits);
}

std::int16_t Round16(float v) {
  return static_cast<std::int16_t>(
      std::clamp<long>(std::lround(v), -32767, 32767));
}

}  // namespace

bool MemorySink::Append(const std::uint8_t* data, std::size_t size) {
  bytes_.insert(bytes_.end(), data, data + size);
  return true;
}

bool MemorySink::Overwrite(std::uint64_t offset, const std::uint8_t* data,
                           std::size_t size) {
  if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
  std::copy(data, data + size, bytes_.begin() + static_cast<long>(offset));
  return true;
}

RecordWriter::RecordWriter(RecordSink& sink, int width, int height, double dpi,
                           std::uint64_t max_bytes)
    : sink_(sink),
      width_(std::max(1, width)),
      height_(std::max(1, height)),
      dpi_(dpi),
      max_bytes_(std::min(max_bytes, kMaxMetafileBytes)) {
  // Room for the header, which is written at the end.
  const std::vector<std::uint8_t> placeholder(kHeaderSize, 0);
  Emit(placeholder.data(), placeholder.size());
  // The EMF+ header, first after the metafile's own: dual mode (the GDI
  // records stand in for readers without EMF+), video display, then pages
  // in pixels at scale 1, so that EMF+ and GDI coordinates are the same.
  std::vector<std::uint8_t> header;
  Put32(header, kPlusVersion);
  Put32(header, 1);
  const std::uint32_t dots = static_cast<std::uint32_t>(std::lround(dpi_));
  Put32(header, dots);
  Put32(header, dots);
  PlusRecord(kPlusHeader, 0x0001, header);
  std::vector<std::uint8_t> scale;
  PutF32(scale, 1.0f);
  PlusRecord(kPlusSetPageTransform, 2, scale);  // UnitTypePixel
  EmitPlus();
  // Pixel coordinates.
  PlusGetDC();
  Begin(EMR_SETMAPMODE);
  U32(1);  // MM_TEXT
  End();
}

void RecordWriter::PlusRecord(std::uint16_t type, std::uint16_t flags,
                              const std::vector<std::uint8_t>& data) {
  const std::uint32_t padded =
      (static_cast<std::uint32_t>(data.size()) + 3) / 4 * 4;
  plus_.push_back(static_cast<std::uint8_t>(type & 0xFF));
  plus_.push_back(static_cast<std::uint8_t>(type >> 8));
  plus_.push_back(static_cast<std::uint8_t>(flags & 0xFF));
  plus_.push_back(static_cast<std::uint8_t>(flags >> 8));
  Put32(plus_, 12 + padded);
  Put32(plus_, padded);
  plus_.insert(plus_.end(), data.begin(), data.end());
  while (plus_.size() % 4 != 0) plus_.push_back(0);
}

void RecordWriter::EmitPlus() {
  if (plus_.empty()) return;
  Begin(EMR_COMMENT);
  U32(4 + static_cast<std::uint32_t>(plus_.size()));
  U32(kEmfPlusTag);
  body_.insert(body_.end(), plus_.begin(), plus_.end());
  plus_.clear();
  End();
}

void RecordWriter::PlusGetDC() {
  PlusRecord(kPlusGetDC, 0, {});
  EmitPlus();
  // Readers of EMF+ skip the GDI records outside these runs: each run sets
  // the state its text needs.
  Begin(EMR_SETBKMODE);
  U32(1);  // TRANSPARENT
  End();
}

void RecordWriter::PlusFillPath(const PathF& path, std::uint32_t argb) {
  if (path.points.empty() || path.points.size() != path.types.size()) return;
  // The path as object 0, then the fill naming it, its colour inline.
  std::vector<std::uint8_t> object;
  Put32(object, kPlusVersion);
  Put32(object, static_cast<std::uint32_t>(path.points.size()));
  Put32(object, 0);  // float points, absolute
  float left = path.points[0].x, top = path.points[0].y;
  float right = left, bottom = top;
  for (const PathF::Point& p : path.points) {
    PutF32(object, p.x);
    PutF32(object, p.y);
    left = std::min(left, p.x);
    right = std::max(right, p.x);
    top = std::min(top, p.y);
    bottom = std::max(bottom, p.y);
  }
  object.insert(object.end(), path.types.begin(), path.types.end());
  PlusRecord(kPlusObject, 3 << 8, object);  // kind 3: a path; slot 0
  std::vector<std::uint8_t> colour;
  Put32(colour, argb);
  PlusRecord(kPlusFillPath, 0x8000, colour);  // colour inline; path slot 0
  EmitPlus();
  Include(static_cast<int>(std::floor(left)),
          static_cast<int>(std::floor(top)));
  Include(static_cast<int>(std::ceil(right)),
          static_cast<int>(std::ceil(bottom)));
}

void RecordWriter::Path(const PathF& path, PathDraw draw) {
  if (path.points.empty() || path.points.size() != path.types.size()) return;
  std::vector<Point16> all;
  for (const PathF::Point& p : path.points) {
    all.push_back({Round16(p.x), Round16(p.y)});
  }
  Begin(EMR_BEGINPATH);
  End();
  const std::size_t n = all.size();
  for (std::size_t i = 0; i < n;) {
    const std::uint8_t kind = path.types[i] & 0x0F;
    if (kind == PathF::kStart) {
      Begin(EMR_MOVETOEX);
      I32(all[i].x);
      I32(all[i].y);
      End();
      if (path.types[i] & PathF::kCloseFigure) {
        Begin(EMR_CLOSEFIGURE);
        End();
      }
      ++i;
      continue;
    }
    // A run of points of one kind, up to the end of the figure.
    std::size_t j = i;
    bool closed = false;
    while (j < n && (path.types[j] & 0x0F) == kind) {
      closed = (path.types[j] & PathF::kCloseFigure) != 0;
      ++j;
      if (closed) break;
    }
    std::vector<Point16> run(all.begin() + static_cast<long>(i),
                             all.begin() + static_cast<long>(j));
    if (kind == PathF::kBezier) run.resize(run.size() / 3 * 3);
    if (!run.empty()) {
      Begin(kind == PathF::kBezier ? EMR_POLYBEZIERTO16 : EMR_POLYLINETO16);
      Bounds(run);
      U32(static_cast<std::uint32_t>(run.size()));
      Points(run);
      End();
    }
    if (closed) {
      Begin(EMR_CLOSEFIGURE);
      End();
    }
    i = j;
  }
  Begin(EMR_ENDPATH);
  End();
  Begin(draw == PathDraw::kFill     ? EMR_FILLPATH
        : draw == PathDraw::kStroke ? EMR_STROKEPATH
                                    : EMR_STROKEANDFILLPATH);
  Bounds(all);
  End();
}

void RecordWriter::BeginStretchDibits(int x, int y, int dest_width,
                                      int dest_height, int width, int height,
                                      std::uint16_t bit_count,
                                      std::uint32_t compression,
                                      std::uint32_t image_bytes) {
  const std::uint32_t fixed = 8 + 16 + 8 + 16 + 16 + 8 + 8;
  const std::uint32_t info = 40;  // BITMAPINFOHEADER
  Include(x, y);
  Include(x + dest_width - 1, y + dest_height - 1);
  Begin(EMR_STRETCHDIBITS);
  I32(x);  // bounds, inclusive
  I32(y);
  I32(x + dest_width - 1);
  I32(y + dest_height - 1);
  I32(x);  // destination
  I32(y);
  I32(0);  // source: the whole bitmap
  I32(0);
  I32(width);
  I32(height);
  U32(fixed);  // offBmiSrc
  U32(info);   // cbBmiSrc
  U32(fixed + info);
  U32(image_bytes);
  U32(0);           // DIB_RGB_COLORS
  U32(0x00CC0020);  // SRCCOPY
  I32(dest_width);
  I32(dest_height);
  U32(info);
  I32(width);
  I32(height);
  U16(1);
  U16(bit_count);
  U32(compression);
  U32(image_bytes);
  const std::int32_t per_metre =
      static_cast<std::int32_t>(std::lround(dpi_ / 0.0254));
  I32(per_metre);
  I32(per_metre);
  U32(0);
  U32(0);
}

void RecordWriter::StretchPng(int x, int y, int dest_width, int dest_height,
                              int width, int height,
                              const std::vector<std::uint8_t>& png) {
  if (width <= 0 || height <= 0 || dest_width <= 0 || dest_height <= 0 ||
      png.empty()) {
    return;
  }
  // No bit count, BI_PNG, the size of the PNG file; SRCCOPY, since the
  // image's alpha blends it all the same.
  BeginStretchDibits(x, y, dest_width, dest_height, width, height, 0, 5,
                     static_cast<std::uint32_t>(png.size()));
  body_.insert(body_.end(), png.begin(), png.end());
  End();
}

void RecordWriter::U32(std::uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    body_.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
  }
}

void RecordWriter::U16(std::uint16_t v) {
  body_.push_back(static_cast<std::uint8_t>(v & 0xFF));
  body_.push_back(static_cast<std::uint8_t>(v >> 8));
}

void RecordWriter::F32(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, 4);
  U32(bits);
}

void RecordWriter::Fail(const std::string& reason) {
  if (error_.empty()) error_ = reason;
}

bool RecordWriter::Fits(std::uint64_t size) {
  if (!error_.empty()) return false;
  if (size > max_bytes_ - total_) {
    Fail(kMessageMetafileTooLarge);
    return false;
  }
  return true;
}

void RecordWriter::Emit(const std::uint8_t* data, std::size_t size) {
  if (!Fits(size)) return;
  if (!sink_.Append(data, size)) {
    Fail(sink_.Error());
    return;
  }
  total_ += size;
}

void RecordWriter::Begin(std::uint32_t type) {
  body_.clear();
  record_start_ = 0;
  U32(type);
  U32(0);  // size, filled in by End
}

void RecordWriter::End() {
  while ((body_.size() - record_start_) % 4 != 0) body_.push_back(0);
  const std::uint32_t size =
      static_cast<std::uint32_t>(body_.size() - record_start_);
  for (int i = 0; i < 4; ++i) {
    body_[record_start_ + 4 + i] = (size >> (8 * i)) & 0xFF;
  }
  ++records_;
  Emit(body_.data(), body_.size());
  body_.clear();
}

void RecordWriter::Include(int x, int y) {
  if (!drawn_) {
    bounds_ = {x, y, x, y};
    drawn_ = true;
    return;
  }
  bounds_.left = std::min(bounds_.left, x);
  bounds_.top = std::min(bounds_.top, y);
  bounds_.right = std::max(bounds_.right, x);
  bounds_.bottom = std::max(bounds_.bottom, y);
}

void RecordWriter::Bounds(const std::vector<Point16>& points) {
  RectL r{0, 0, -1, -1};
  if (!points.empty()) {
    r = {points[0].x, points[0].y, points[0].x, points[0].y};
    for (const Point16& p : points) {
      r.left = std::min<std::int32_t>(r.left, p.x);
      r.top = std::min<std::int32_t>(r.top, p.y);
      r.right = std::max<std::int32_t>(r.right, p.x);
      r.bottom = std::max<std::int32_t>(r.bottom, p.y);
      Include(p.x, p.y);
    }
  }
  I32(r.left);
  I32(r.top);
  I32(r.right);
  I32(r.bottom);
}

std::uint32_t RecordWriter::AllocateHandle() {
  if (!free_handles_.empty()) {
    const std::uint32_t handle = free_handles_.back();
    free_handles_.pop_back();
    return handle;
  }
  max_handles_ = std::max(max_handles_, next_handle_ + 1);
  return next_handle_++;
}

std::uint32_t RecordWriter::CreatePen(const PenSpec& pen) {
  const std::uint32_t handle = AllocateHandle();
  Begin(EMR_EXTCREATEPEN);
  U32(handle);
  U32(0);  // offBmi
  U32(0);  // cbBmi
  U32(0);  // offBits
  U32(0);  // cbBits
  // LogPenEx: PS_GEOMETRIC | PS_SOLID, the end caps, mitred joins.
  std::uint32_t style = 0x00010000;
  if (pen.square_caps) style |= 0x00000100;  // PS_ENDCAP_SQUARE
  if (pen.flat_caps) style |= 0x00000200;    // PS_ENDCAP_FLAT
  style |= 0x00002000;                       // PS_JOIN_MITER
  U32(style);
  U32(pen.width);
  U32(0);  // BS_SOLID
  U32(pen.color);
  U32(0);  // hatch
  U32(0);  // no style entries
  End();
  return handle;
}

std::uint32_t RecordWriter::CreateBrush(std::uint32_t color) {
  const std::uint32_t handle = AllocateHandle();
  Begin(EMR_CREATEBRUSHINDIRECT);
  U32(handle);
  U32(0);  // BS_SOLID
  U32(color);
  U32(0);  // hatch
  End();
  return handle;
}

std::uint32_t RecordWriter::CreateFont(const FontSpec& font) {
  const std::uint32_t handle = AllocateHandle();
  Begin(EMR_EXTCREATEFONTINDIRECTW);
  U32(handle);
  // LogFontW, 92 bytes.
  I32(font.height);
  I32(0);  // width
  I32(0);  // escapement
  I32(0);  // orientation
  I32(font.weight);
  body_.push_back(font.italic ? 1 : 0);
  body_.push_back(0);  // underline
  body_.push_back(0);  // strike out
  body_.push_back(1);  // DEFAULT_CHARSET
  body_.push_back(0);  // OUT_DEFAULT_PRECIS
  body_.push_back(0);  // CLIP_DEFAULT_PRECIS
  body_.push_back(5);  // CLEARTYPE_QUALITY
  body_.push_back(0);  // DEFAULT_PITCH | FF_DONTCARE
  for (std::size_t i = 0; i < 32; ++i) {
    U16(i < font.face.size() && i < 31 ? font.face[i] : 0);
  }
  End();
  return handle;
}

void RecordWriter::SelectObject(std::uint32_t handle) {
  Begin(EMR_SELECTOBJECT);
  U32(handle);
  End();
}

void RecordWriter::DeleteObject(std::uint32_t handle) {
  Begin(EMR_DELETEOBJECT);
  U32(handle);
  End();
  free_handles_.push_back(handle);
}

void RecordWriter::SetPolyFillMode(std::uint32_t mode) {
  Begin(EMR_SETPOLYFILLMODE);
  U32(mode);
  End();
}

void RecordWriter::SetTextColor(std::uint32_t color) {
  Begin(EMR_SETTEXTCOLOR);
  U32(color);
  End();
}

void RecordWriter::SetTextAlign(std::uint32_t mode) {
  Begin(EMR_SETTEXTALIGN);
  U32(mode);
  End();
}

void RecordWriter::Poly16(std::uint32_t type,
                          const std::vector<Point16>& points) {
  if (points.size() < 2) return;
  Begin(type);
  Bounds(points);
  U32(static_cast<std::uint32_t>(points.size()));
  Points(points);
  End();
}

void RecordWriter::Points(const std::vector<Point16>& points) {
  for (const Point16& p : points) {
    U16(static_cast<std::uint16_t>(p.x));
    U16(static_cast<std::uint16_t>(p.y));
  }
}

void RecordWriter::Polygon(const std::vector<Point16>& points) {
  Poly16(EMR_POLYGON16, points);
}

void RecordWriter::Polyline(const std::vector<Point16>& points) {
  Poly16(EMR_POLYLINE16, points);
}

void RecordWriter::PolyPolygon(
    const std::vector<std::vector<Point16>>& polygons) {
  std::vector<Point16> all;
  std::vector<std::uint32_t> counts;
  for (const auto& p : polygons) {
    if (p.size() < 2) continue;
    all.insert(all.end(), p.begin(), p.end());
    counts.push_back(static_cast<std::uint32_t>(p.size()));
  }
  if (counts.empty()) return;
  if (counts.size() == 1) {
    Polygon(all);
    return;
  }
  Begin(EMR_POLYPOLYGON16);
  Bounds(all);
  U32(static_cast<std::uint32_t>(counts.size()));
  U32(static_cast<std::uint32_t>(all.size()));
  for (std::uint32_t c : counts) U32(c);
  Points(all);
  End();
}

void RecordWriter::TextOut(int x, int y, const std::u16string& text,
                           const std::vector<std::int32_t>& advances) {
  if (text.empty()) return;
  const std::uint32_t n = static_cast<std::uint32_t>(text.size());
  std::int32_t width = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    width += i < advances.size() ? advances[i] : 0;
  }
  Include(x, y);
  Include(x + width, y);
  Begin(EMR_EXTTEXTOUTW);
  // Bounds: not computed (all zero is allowed).
  I32(0);
  I32(0);
  I32(-1);
  I32(-1);
  U32(1);     // GM_COMPATIBLE
  F32(0.0f);  // exScale
  F32(0.0f);  // eyScale
  // EmrText
  I32(x);
  I32(y);
  U32(n);
  const std::uint32_t fixed = 8 + 16 + 4 + 8 + 8 + 4 + 4 + 4 + 16 + 4;
  const std::uint32_t off_string = fixed;
  const std::uint32_t string_bytes = (2 * n + 3) / 4 * 4;
  U32(off_string);
  U32(0);  // options
  I32(0);  // rectangle (unused without clipping or opaquing)
  I32(0);
  I32(-1);
  I32(-1);
  U32(off_string + string_bytes);  // offDx
  for (char16_t c : text) U16(static_cast<std::uint16_t>(c));
  while ((body_.size() - record_start_) % 4 != 0) body_.push_back(0);
  for (std::uint32_t i = 0; i < n; ++i) {
    I32(i < advances.size() ? advances[i] : 0);
  }
  End();
}

void RecordWriter::StretchBits(int x, int y, int dest_width, int dest_height,
                               int width, int height,
                               const std::uint8_t* top_row,
                               std::ptrdiff_t stride) {
  if (width <= 0 || height <= 0 || dest_width <= 0 || dest_height <= 0) {
    return;
  }
  const std::uint32_t fixed = 8 + 16 + 8 + 16 + 16 + 8 + 8;
  const std::uint32_t info = 40;  // BITMAPINFOHEADER
  const std::uint64_t row_bytes = 4ull * static_cast<std::uint64_t>(width);
  const std::uint64_t bits = row_bytes * static_cast<std::uint64_t>(height);
  const std::uint64_t size = fixed + info + bits;
  // The record's own size field is 32 bits as well.
  if (size > kMaxMetafileBytes || !Fits(size)) {
    Fail(kMessageMetafileTooLarge);
    return;
  }
  // Bottom-up rows, 32 bits, BI_RGB.
  BeginStretchDibits(x, y, dest_width, dest_height, width, height, 32, 0,
                     static_cast<std::uint32_t>(bits));
  // The size field covers the bits, which follow row by row.
  for (int i = 0; i < 4; ++i) {
    body_[4 + i] = (static_cast<std::uint32_t>(size) >> (8 * i)) & 0xFF;
  }
  ++records_;
  Emit(body_.data(), body_.size());
  body_.clear();
  for (int row = height - 1; row >= 0; --row) {
    Emit(top_row + row * stride, static_cast<std::size_t>(row_bytes));
  }
}

bool RecordWriter::Finish() {
  PlusRecord(kPlusEndOfFile, 0, {});
  EmitPlus();
  // The end record.
  Begin(EMR_EOF);
  U32(0);   // no palette entries
  U32(16);  // offPalEntries
  U32(20);  // nSizeLast
  End();
  if (!error_.empty()) return false;

  // The header, now that the totals are known, over its placeholder.
  const double mm_per_px = 25.4 / dpi_;
  const std::uint32_t total = static_cast<std::uint32_t>(total_);
  Begin(EMR_HEADER);
  // Bounds: the picture's drawn extent in pixels, inclusive.
  if (drawn_) {
    I32(std::max(0, bounds_.left));
    I32(std::max(0, bounds_.top));
    I32(std::min(width_ - 1, bounds_.right));
    I32(std::min(height_ - 1, bounds_.bottom));
  } else {
    I32(0);
    I32(0);
    I32(-1);
    I32(-1);
  }
  // Frame: the whole picture in units of 0.01 mm, inclusive.
  I32(0);
  I32(0);
  I32(static_cast<std::int32_t>(std::lround(width_ * mm_per_px * 100)) - 1);
  I32(static_cast<std::int32_t>(std::lround(height_ * mm_per_px * 100)) - 1);
  U32(0x464D4520);  // " EMF"
  U32(0x00010000);  // version
  U32(total);
  U32(records_ + 1);  // the records and the header itself
  U16(static_cast<std::uint16_t>(max_handles_));
  U16(0);
  U32(0);  // no description
  U32(0);
  U32(0);  // no palette
  // The reference device: a screen of 50 inches a side at the given
  // resolution, whose size in whole millimetres and pixels gives readers
  // that scale by them the resolution exactly (the picture's own size in
  // whole millimetres would not).
  const std::int32_t device = static_cast<std::int32_t>(std::lround(dpi_ * 50));
  I32(device);
  I32(device);
  I32(1270);
  I32(1270);
  U32(0);  // no pixel format
  U32(0);
  U32(0);  // not OpenGL
  I32(1270000);
  I32(1270000);
  while (body_.size() % 4 != 0) body_.push_back(0);
  for (int i = 0; i < 4; ++i) body_[4 + i] = (kHeaderSize >> (8 * i)) & 0xFF;
  if (!sink_.Overwrite(0, body_.data(), body_.size())) {
    Fail(sink_.Error());
  }
  body_.clear();
  return error_.empty();
}

}  // namespace orvane::emf
