// orvane-cli: the analysis of data files without a window. It runs the same
// load and analysis as the window's Open and prints the report, or one JSON
// object per file.
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/cli/json_report.h"
#include "core/analysis.h"
#include "io/open_data.h"

namespace {

constexpr const char* kUsage =
    "Usage: orvane-cli [--json] FILE...\n"
    "\n"
    "Rf/phi strain analysis by the hyperbolic vector mean. Each FILE holds\n"
    "one strain marker per line: major axis, minor axis and orientation of\n"
    "the major axis in degrees, separated by white space.\n"
    "\n"
    "For each file the report is written to standard output: the data\n"
    "block, the optimal strain and the 95% bootstrap confidence limits (or\n"
    "the line that says why there are none). A refused file's message goes\n"
    "to standard error and the remaining files are still analysed. With\n"
    "fewer than five data the report has no confidence block and\n"
    "\"Number of data < 5\" goes to standard error.\n"
    "\n"
    "Options:\n"
    "  --json   write one JSON object per file and line instead: the data,\n"
    "           the pre-strain data, the strain, both strain matrices, the\n"
    "           bootstrap solutions, the report lines and the status texts;\n"
    "           every single-precision value as the shortest decimal that\n"
    "           reads back to it. A refused file gives {\"file\", \"error\"}.\n"
    "  --help   show this text.\n"
    "  --       end of options.\n"
    "\n"
    "Numbers in the report use the decimal separator of the locale\n"
    "(LC_NUMERIC); data files always use the full stop.\n"
    "\n"
    "Exit status: 0 when every file was analysed, 1 when a file was\n"
    "refused or held no data, 2 for a usage error.\n";

// The full path the report names, as a file dialog would give it.
std::string FullPath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

void WriteLine(FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
}

// Analyses one file; false when it was refused or held no data.
bool AnalyseFile(const std::string& file, bool json, const std::string& sep) {
  orvane::AnalysisState state;
  orvane::Report report;
  const orvane::OpenOutcome outcome =
      orvane::OpenDataFile(state, report, FullPath(file), sep);
  if (!outcome.loaded) {
    if (json) {
      WriteLine(stdout, orvane::cli::JsonError(file, outcome.error.message));
    } else {
      WriteLine(stderr, outcome.error.message);
    }
    return false;
  }
  if (json) {
    if (outcome.analysis == orvane::AnalysisResult::kNoData) {
      WriteLine(stdout, orvane::cli::JsonError(file, orvane::kMessageNoData));
    } else {
      WriteLine(stdout,
                orvane::cli::JsonResult(file, state, outcome.analysis, report,
                                        orvane::CountStatus(state.Ndat),
                                        state.LimitsStatus));
    }
  } else {
    std::string text;
    for (const std::string& line : report.Lines()) {
      text += line;
      text += '\n';
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    if (outcome.analysis == orvane::AnalysisResult::kNoData) {
      WriteLine(stderr, orvane::kMessageNoData);
    } else if (outcome.analysis == orvane::AnalysisResult::kFewerThanFive) {
      WriteLine(stderr, orvane::kMessageFewerThanFive);
    }
  }
  std::fflush(stdout);
  return outcome.analysis != orvane::AnalysisResult::kNoData;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  const std::string sep = std::localeconv()->decimal_point;

  bool json = false;
  bool options_ended = false;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!options_ended && arg == "--") {
      options_ended = true;
    } else if (!options_ended && (arg == "--help" || arg == "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!options_ended && arg == "--json") {
      json = true;
    } else if (!options_ended && arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "orvane-cli: unknown option %s\n", arg.c_str());
      std::fputs("Try 'orvane-cli --help'.\n", stderr);
      return 2;
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) {
    std::fputs("orvane-cli: no data file given\n", stderr);
    std::fputs("Try 'orvane-cli --help'.\n", stderr);
    return 2;
  }

  bool all_analysed = true;
  for (const std::string& file : files) {
    all_analysed = AnalyseFile(file, json, sep) && all_analysed;
  }
  return all_analysed ? 0 : 1;
}
