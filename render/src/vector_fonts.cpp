// SPDX-License-Identifier: MIT
#include "render/vector_fonts.h"

#include <vector>

#include <utility>

#include <map>

#include <cctype>

#include <QRegularExpression>

namespace orvane {

namespace {

const QStringList& ArialMetricFamilies() {
  static const QStringList families = {"Arial", "Liberation Sans", "Arimo",
                                       "Helvetica"};
  return families;
}

bool Generic(const QString& family) {
  return family == "serif" || family == "sans-serif" || family == "monospace" ||
         family == "cursive" || family == "fantasy";
}

constexpr char kAttribute[] = "font-family=\"";
constexpr qsizetype kAttributeSize = sizeof(kAttribute) - 1;

}  // namespace

QStringList PortableFamilies(const QStringList& families) {
  for (const QString& f : families) {
    if (f.compare("Arial Unicode MS", Qt::CaseInsensitive) == 0 ||
        ArialMetricFamilies().contains(f, Qt::CaseInsensitive)) {
      return ArialMetricFamilies() + QStringList{"sans-serif"};
    }
  }
  QStringList out;
  for (const QString& f : families) {
    if (!f.isEmpty() && !out.contains(f)) out.append(f);
  }
  if (out.isEmpty() || !Generic(out.back())) out.append("sans-serif");
  return out;
}

QStringList PortableFamilies(const QFont& font) {
  QStringList families = font.families();
  if (families.isEmpty()) families.append(font.family());
  return PortableFamilies(families);
}

QString CssFamilyList(const QStringList& families) {
  QStringList parts;
  for (const QString& f : families) {
    bool plain = !f.isEmpty();
    for (const QChar c : f) plain = plain && c.isLetterOrNumber();
    if (plain || Generic(f)) {
      parts.append(f);
    } else {
      QString quoted = f;
      quoted.remove('\'');
      quoted.remove('"');
      parts.append("'" + quoted + "'");
    }
  }
  return parts.join(", ");
}

SvgFontFamilies::SvgFontFamilies(QIODevice& target) : target_(target) {
  open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool SvgFontFamilies::Send(const QByteArray& bytes) {
  if (failed_) return false;
  for (qsizetype done = 0; done < bytes.size();) {
    const qint64 n =
        target_.write(bytes.constData() + done, bytes.size() - done);
    if (n <= 0) {
      failed_ = true;
      setErrorString(target_.errorString());
      return false;
    }
    done += n;
  }
  return true;
}

qint64 SvgFontFamilies::writeData(const char* data, qint64 len) {
  QByteArray out;
  for (qint64 i = 0; i < len; ++i) {
    const char c = data[i];
    if (in_value_) {
      if (c != '"') {
        held_.append(c);
        continue;
      }
      // The family named, XML-escaped as the generator writes it.
      const QString family = QString::fromUtf8(held_)
                                 .replace("&amp;", "&")
                                 .replace("&apos;", "'")
                                 .replace("&quot;", "\"");
      const QString list = CssFamilyList(PortableFamilies(QStringList{family}));
      out.append(list.toHtmlEscaped().toUtf8());
      out.append('"');
      held_.clear();
      in_value_ = false;
      continue;
    }
    held_.append(c);
    if (held_.size() == kAttributeSize && held_ == kAttribute) {
      out.append(held_);
      held_.clear();
      in_value_ = true;
      continue;
    }
    // Keep only the longest end of what is held that starts the attribute.
    qsizetype keep = held_.size();
    while (
        keep > 0 &&
        !QByteArray(kAttribute, kAttributeSize).startsWith(held_.right(keep))) {
      --keep;
    }
    out.append(held_.left(held_.size() - keep));
    held_ = held_.right(keep);
  }
  if (!Send(out)) return -1;
  return len;
}

bool SvgFontFamilies::Flush() {
  const QByteArray rest = held_;
  held_.clear();
  return Send(rest);
}

QByteArray TagSubsetFontNames(const QByteArray& pdf) {
  // The tag of each subset's face, from its descriptor.
  static const QRegularExpression kTagged(
      "/FontName /([A-Z]{6})\\+([A-Za-z0-9_.-]+)");
  std::map<QByteArray, QByteArray> tag_of;
  for (auto it = kTagged.globalMatch(QString::fromLatin1(pdf)); it.hasNext();) {
    const auto m = it.next();
    tag_of.emplace(m.captured(2).toLatin1(), m.captured(1).toLatin1() + "+");
  }
  if (tag_of.empty()) return pdf;
  // The bare names, and where the tags go.
  const QByteArray key = "/BaseFont /";
  std::vector<std::pair<qsizetype, QByteArray>> inserts;
  for (qsizetype at = pdf.indexOf(key); at >= 0;
       at = pdf.indexOf(key, at + 1)) {
    const qsizetype name = at + key.size();
    qsizetype end = name;
    while (end < pdf.size() &&
           !std::isspace(static_cast<unsigned char>(pdf[end])) &&
           pdf[end] != '/' && pdf[end] != '>') {
      ++end;
    }
    const auto found = tag_of.find(pdf.mid(name, end - name));
    if (found != tag_of.end()) inserts.emplace_back(name, found->second);
  }
  if (inserts.empty()) return pdf;
  // The old offsets moved by the tags before them.
  auto moved = [&inserts](qint64 offset) {
    qint64 shift = 0;
    for (const auto& [at, tag] : inserts) {
      if (at < offset) shift += tag.size();
    }
    return offset + shift;
  };
  const qsizetype start = pdf.lastIndexOf("startxref");
  if (start < 0) return pdf;
  bool ok = false;
  const qint64 xref =
      pdf.mid(start + 9).trimmed().split('\n').value(0).trimmed().toLongLong(
          &ok);
  if (!ok || xref < 0 || xref >= start || !pdf.mid(xref).startsWith("xref")) {
    return pdf;
  }
  QByteArray out;
  out.reserve(pdf.size() + static_cast<qsizetype>(inserts.size()) * 7);
  qsizetype from = 0;
  for (const auto& [at, tag] : inserts) {
    out += pdf.mid(from, at - from);
    out += tag;
    from = at;
  }
  out += pdf.mid(from, start - from);
  // The table's entries: "oooooooooo ggggg n" lines after each "first
  // count" line, each offset of a used entry moved.
  const qint64 table = moved(xref);
  qsizetype line = out.indexOf('\n', table) + 1;
  while (line > 0 && line < out.size() &&
         !out.mid(line).startsWith("trailer")) {
    const qsizetype next = out.indexOf('\n', line);
    if (next < 0) return pdf;
    const QByteArray text = out.mid(line, next - line);
    if (text.size() >= 18 && text[10] == ' ' && text[16] == ' ') {
      if (text[17] == 'n') {
        const qint64 offset = text.left(10).toLongLong(&ok);
        if (!ok) return pdf;
        const QByteArray placed =
            QByteArray::number(moved(offset)).rightJustified(10, '0');
        if (placed.size() != 10) return pdf;
        out.replace(line, 10, placed);
      }
    } else if (text.trimmed().split(' ').size() != 2) {
      return pdf;  // neither an entry nor a subsection's heading
    }
    line = next + 1;
  }
  out += "startxref\n" + QByteArray::number(table) + "\n%%EOF\n";
  return out;
}

}  // namespace orvane
