// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the loader, as a file would bring them, and, when
// the loader accepts them, analyses the data as an Open does. Whatever the
// bytes, the loader must return a refusal or data it has checked, and the
// report of accepted data must show no NaN or infinity. A progress hook that
// lets the read go on must change nothing of the result.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "fuzz_checks.h"
#include "io/byte_source.h"
#include "io/data_file.h"
#include "io/open_pipeline.h"

namespace {

using orvane::fuzz::CheckAccepted;
using orvane::fuzz::CheckAnalysis;
using orvane::fuzz::CheckRefusal;
using orvane::fuzz::Fail;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes,
                                      std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(bytes), size);

  orvane::MemorySource source(text);
  orvane::LoadedData data;
  const orvane::Status status = orvane::ReadDataFile(source, data);

  orvane::MemorySource again(text);
  orvane::LoadedData watched;
  const orvane::Status watched_status = orvane::ReadDataFile(
      again, watched, [](std::uint64_t done, std::uint64_t total) {
        if (done > total) {
          Fail("progress",
               std::to_string(done) + " of " + std::to_string(total));
        }
        return true;
      });
  if (watched_status.code() != status.code() ||
      watched_status.message() != status.message() ||
      watched.count != data.count ||
      watched.measured.size() != data.measured.size() ||
      (!data.measured.empty() &&
       std::memcmp(watched.measured.data(), data.measured.data(),
                   data.measured.size() * sizeof(orvane::MarkerRecord)) != 0)) {
    Fail("progress hook", "changed the result");
  }

  if (!status.ok()) {
    CheckRefusal(status, data);
    return 0;
  }
  CheckAccepted(data, 0);

  CheckAnalysis(std::move(data));
  return 0;
}
