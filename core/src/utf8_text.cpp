// SPDX-License-Identifier: MIT
#include "core/utf8_text.h"

namespace orvane {

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t n = lead >= 0xC2 && lead <= 0xDF   ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
  if (n == 0 || at + n > text.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return 0;
  }
  const auto second = static_cast<unsigned char>(text[at + 1]);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
    return 0;  // overlong, a surrogate, or beyond U+10FFFF
  }
  return n;
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
    } else if (const std::size_t n = Utf8SequenceLength(text, i); n > 0) {
      i += n;
    } else {
      return false;
    }
  }
  return true;
}

std::string PrintableText(std::string_view text, std::size_t max_bytes) {
  std::string shown;
  for (std::size_t i = 0; i < text.size() && shown.size() < max_bytes;) {
    const auto u = static_cast<unsigned char>(text[i]);
    const std::size_t n = u >= 0x80 ? Utf8SequenceLength(text, i) : 1;
    // U+0080 .. U+009F are C2 80 .. C2 9F.
    const bool c1 =
        n == 2 && u == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if ((n == 1 && u >= 32 && u < 127) || (n > 1 && !c1)) {
      shown.append(text, i, n);
    } else {
      shown.push_back('?');
    }
    i += n > 0 ? n : 1;
  }
  return shown;
}

std::string EscapeInvalidUtf8(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto u = static_cast<unsigned char>(text[i]);
    const std::size_t n = u < 0x80 ? 1 : Utf8SequenceLength(text, i);
    if (n > 0) {
      out.append(text, i, n);
      i += n;
    } else {
      out += "\\x";
      out.push_back(kHex[u >> 4]);
      out.push_back(kHex[u & 15]);
      ++i;
    }
  }
  return out;
}

}  // namespace orvane
