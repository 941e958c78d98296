// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the table import, as a file would bring them. The
// first byte chooses what the user would have chosen in the import dialog
// (the delimiter, the header, the decimal comma, the angle convention, or
// leaves each to be found); the rest is the table. Whatever the bytes, the
// preview and the import must return a refusal with a message or data they
// have checked, the import must read what the preview's layout says, and the
// report of accepted data must show no NaN or infinity. Read a few bytes a
// block, the table must give the same layout, data and refusals.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "support/piece_source.h"
#include "fuzz_checks.h"
#include "io/byte_source.h"
#include "io/open_pipeline.h"
#include "io/table_import.h"

namespace {

using orvane::fuzz::CheckAccepted;
using orvane::fuzz::CheckAnalysis;
using orvane::fuzz::CheckRefusal;
using orvane::fuzz::Fail;

orvane::TableChoices ChoicesOf(std::uint8_t mode) {
  orvane::TableChoices choices;
  if ((mode & 7) < 4)
    choices.delimiter = static_cast<orvane::Delimiter>(mode & 7);
  if ((mode >> 3 & 3) == 1) choices.header = true;
  if ((mode >> 3 & 3) == 2) choices.header = false;
  if ((mode >> 5 & 1) != 0) choices.decimal_comma = (mode >> 6 & 1) != 0;
  if ((mode >> 7 & 1) != 0) {
    choices.convention =
        orvane::AngleConvention{static_cast<orvane::AngleReference>(mode & 1),
                                static_cast<orvane::AngleSense>(mode >> 1 & 1),
                                static_cast<orvane::AngleUnit>(mode >> 2 & 1)};
  }
  return choices;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes,
                                      std::size_t size) {
  if (size == 0) return 0;
  const orvane::TableChoices choices = ChoicesOf(bytes[0]);
  const std::string_view text(reinterpret_cast<const char*>(bytes + 1),
                              size - 1);

  orvane::MemorySource looked(text);
  orvane::TablePreview preview;
  const orvane::Status found = orvane::PreviewTable(looked, choices, preview);
  if (!found.ok() && found.message().empty()) Fail("preview", "no message");
  for (std::size_t r = 0; r < preview.rows.size(); ++r) {
    orvane::MarkerRecord d;
    const orvane::Status row = orvane::PreviewRowDatum(preview, r, d);
    if (!row.ok() && row.message().empty()) Fail("preview row", "no message");
  }
  if (!found.ok()) return 0;

  orvane::MemorySource source(text);
  orvane::LoadedData data;
  const orvane::Status status =
      orvane::ImportTable(source, preview.layout, data);

  // Lines, line ends and the byte order mark across block ends.
  const std::size_t piece = 1 + size % 7;
  orvane::testing_support::PieceSource looked_piece(text, piece);
  orvane::TablePreview preview_piece;
  const orvane::Status found_piece =
      orvane::PreviewTable(looked_piece, choices, preview_piece);
  if (found_piece.message() != found.message() ||
      !(preview_piece.layout == preview.layout)) {
    Fail("preview in pieces", found_piece.message() + " / " + found.message());
  }
  orvane::testing_support::PieceSource read_piece(text, piece);
  orvane::LoadedData data_piece;
  const orvane::Status status_piece =
      orvane::ImportTable(read_piece, preview.layout, data_piece);
  if (status_piece.message() != status.message() ||
      data_piece.measured.size() != data.measured.size() ||
      (!data.measured.empty() &&
       std::memcmp(data_piece.measured.data(), data.measured.data(),
                   data.measured.size() * sizeof(orvane::MarkerRecord)) != 0)) {
    Fail("import in pieces", status_piece.message() + " / " + status.message());
  }
  if (!status.ok()) {
    CheckRefusal(status, data);
    return 0;
  }
  CheckAccepted(data, 1);
  CheckAnalysis(std::move(data));
  return 0;
}
