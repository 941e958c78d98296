// SPDX-License-Identifier: MIT
// Text from outside the program (file names, table headers, settings,
// options) as it may be shown or written: checked for well-formed UTF-8,
// made safe to quote in a message on a terminal, or escaped byte by byte
// where it must still name the same file.
#ifndef ORVANE_CORE_UTF8_TEXT_H_
#define ORVANE_CORE_UTF8_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace orvane {

// The bytes of the well-formed UTF-8 sequence of two to four bytes that
// begins at text[at], or 0 (an ASCII byte, a stray continuation byte, an
// overlong form, a surrogate, a code point beyond U+10FFFF, a cut
// sequence). REQUIRES: at < text.size().
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

// True when the whole text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// The text as a message may quote it: printable ASCII and well-formed
// UTF-8 of printable characters are kept; every control character (C0,
// DEL, and the C1 controls U+0080 to U+009F that some terminals obey, so
// no escape sequence survives) and every byte that is not part of
// well-formed UTF-8 shows as '?'. The text stops once `max_bytes` bytes are
// kept; a character is never cut.
std::string PrintableText(std::string_view text,
                          std::size_t max_bytes = std::string_view::npos);

// The text with each byte that is not part of well-formed UTF-8 written as
// "\xHH" (a backslash, 'x' and two lower-case hexadecimal digits), so that
// the result is UTF-8 and still tells the bytes of a file name that is not
// (bad\xff\xfe). Well-formed text comes back unchanged, byte for byte.
std::string EscapeInvalidUtf8(std::string_view text);

}  // namespace orvane

#endif  // ORVANE_CORE_UTF8_TEXT_H_
