#include "render/vector_fonts.h"

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

}  // namespace orvane
