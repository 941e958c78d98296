// SPDX-License-Identifier: MIT
// A byte source that hands out at most a few bytes a read, so that tokens,
// white space, line ends and byte order marks run across block ends.
#ifndef ORVANE_TESTS_SUPPORT_PIECE_SOURCE_H_
#define ORVANE_TESTS_SUPPORT_PIECE_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "io/byte_source.h"

namespace orvane::testing_support {

// Holds a view of `bytes`, as MemorySource does; it has no stamp. Given
// `fail_after`, a failing medium: every read from that byte on is an error.
class PieceSource : public ByteSource {
 public:
  PieceSource(std::string_view bytes, std::size_t piece,
              std::size_t fail_after = std::string_view::npos);
  std::ptrdiff_t Read(std::uint8_t* buffer, std::size_t capacity) override;
  bool Rewind() override;

 private:
  std::string_view bytes_;
  std::size_t piece_, end_;
  bool fails_;
  std::size_t pos_ = 0;
};

}  // namespace orvane::testing_support

#endif  // ORVANE_TESTS_SUPPORT_PIECE_SOURCE_H_
