// Feeds arbitrary bytes to the loader, as a file would bring them, and, when
// the loader accepts them, analyses the data as an Open does. Whatever the
// bytes, the loader must return a refusal or data it has checked, and the
// report of accepted data must show no NaN or infinity. A progress hook that
// lets the read go on must change nothing of the result.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "core/analysis.h"
#include "core/analysis_state.h"
#include "core/report.h"
#include "io/byte_source.h"
#include "io/data_file.h"
#include "io/open_pipeline.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "loader_fuzzer: %s: %s\n", what, detail.c_str());
  std::abort();
}

bool ShowsNonFinite(const std::string& line) {
  std::string lower(line);
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return lower.find("nan") != std::string::npos ||
         lower.find("inf") != std::string::npos;
}

void CheckAccepted(const orvane::LoadedData& data) {
  if (data.count < 0 ||
      data.measured.size() != static_cast<std::size_t>(data.count) + 1) {
    Fail("accepted data", "count and records disagree");
  }
  for (std::size_t i = 1; i < data.measured.size(); ++i) {
    const orvane::MarkerRecord& d = data.measured[i];
    if (!(d.minor > 0) || !(d.major >= d.minor) || !(d.ratio >= 1) ||
        !(d.ratio <= orvane::kMaxAxialRatio) || !(d.phi >= -360) ||
        !(d.phi <= 360)) {
      Fail("accepted datum", std::to_string(i));
    }
  }
}

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
      again, watched, [](std::uint64_t done, std::uint64_t total, int pass) {
        if (done > total || (pass != 1 && pass != 2)) {
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
    if (status.message().empty() || !data.measured.empty()) {
      Fail("refusal", status.message());
    }
    return 0;
  }
  CheckAccepted(data);

  orvane::AnalysisState state;
  orvane::CommitLoadedData(state, std::move(data));
  orvane::Report report;
  orvane::RunAnalysis(state, report, ".");
  for (const std::string& line : report.Lines()) {
    if (ShowsNonFinite(line)) Fail("report line", line);
  }
  return 0;
}
