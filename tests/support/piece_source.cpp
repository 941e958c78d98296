// SPDX-License-Identifier: MIT
#include "support/piece_source.h"

#include <algorithm>

namespace orvane::testing_support {

PieceSource::PieceSource(std::string_view bytes, std::size_t piece,
                         std::size_t fail_after)
    : bytes_(bytes),
      piece_(piece),
      end_(std::min(bytes.size(), fail_after)),
      fails_(fail_after <= bytes.size()) {}

std::ptrdiff_t PieceSource::Read(std::uint8_t* buffer, std::size_t capacity) {
  if (fails_ && pos_ >= end_) return -1;
  const std::size_t n = std::min({capacity, end_ - pos_, piece_});
  std::copy_n(bytes_.data() + pos_, n, buffer);
  pos_ += n;
  return static_cast<std::ptrdiff_t>(n);
}

bool PieceSource::Rewind() {
  pos_ = 0;
  return true;
}

}  // namespace orvane::testing_support
