// SPDX-License-Identifier: MIT
// Font names for vector pictures. A reader of an SVG or a metafile lays the
// text out with a face of its own machine: the names written must resolve,
// on every machine, to a face with the advance widths of the one the
// chart was measured with, or titles run out of the legend.
#ifndef ORVANE_RENDER_VECTOR_FONTS_H_
#define ORVANE_RENDER_VECTOR_FONTS_H_

#include <QFont>
#include <QIODevice>
#include <QString>
#include <QStringList>

namespace orvane {

// The families to name for text in `font`, best first, ending with a
// generic family. Faces with Arial's advance widths (Arial, Arial Unicode
// MS, Liberation Sans, Arimo, Helvetica) are named as that set, Arial
// first, which readers without Arial map to Liberation Sans.
QStringList PortableFamilies(const QFont& font);
QStringList PortableFamilies(const QStringList& families);

// The families as the value of a CSS font-family property: names with
// anything but letters and digits quoted, generic families bare.
QString CssFamilyList(const QStringList& families);

// Passes an SVG on to `target`, each font-family attribute (one family, as
// Qt's generator writes it) replaced by the portable family list. Writes
// fail when the target's do.
class SvgFontFamilies : public QIODevice {
 public:
  explicit SvgFontFamilies(QIODevice& target);
  bool isSequential() const override { return true; }
  // Sends what is held back; false when the target refused it.
  bool Flush();

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 len) override;

 private:
  bool Send(const QByteArray& bytes);
  QIODevice& target_;
  QByteArray held_;  // a part of the attribute's name, or its value
  bool in_value_ = false;
  bool failed_ = false;
};

// A PDF whose embedded fonts are subsets named as such throughout: Qt tags
// a subset's /FontName ("QQAAAA+LiberationSans") but leaves the /BaseFont
// of its font dictionaries bare, so that readers report the font as
// embedded whole. Each such /BaseFont gets the tag of its descriptor, and
// the cross-reference table's offsets follow the bytes inserted. A PDF
// that does not read as expected (no table, an offset out of place) comes
// back as it was.
QByteArray TagSubsetFontNames(const QByteArray& pdf);

}  // namespace orvane

#endif  // ORVANE_RENDER_VECTOR_FONTS_H_
