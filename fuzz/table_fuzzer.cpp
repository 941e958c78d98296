// Feeds arbitrary bytes to the table import, as a file would bring them. The
// first byte chooses what the user would have chosen in the import dialog
// (the delimiter, the header, the decimal comma, the angle convention, or
// leaves each to be found); the rest is the table. Whatever the bytes, the
// preview and the import must return a refusal with a message or data they
// have checked, the import must read what the preview's layout says, and the
// report of accepted data must show no NaN or infinity.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

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
  if (!status.ok()) {
    CheckRefusal(status, data);
    return 0;
  }
  CheckAccepted(data, 1);
  CheckAnalysis(std::move(data));
  return 0;
}
