// The load-and-analyse sequence of an Open, shared by the window and the
// command-line tool: what happens to the analysis state and the report once
// a file has been chosen (or the choice cancelled).
#ifndef ORVANE_IO_OPEN_DATA_H_
#define ORVANE_IO_OPEN_DATA_H_

#include <string>
#include <string_view>

#include "core/analysis.h"
#include "core/analysis_state.h"
#include "core/report.h"
#include "io/data_file.h"

namespace orvane {

// Replaces Ndat, DatF and DatI (fresh, zeroed, Ndat + 1 records) by the
// loaded data.
void CommitLoadedData(AnalysisState& state, LoadedData&& data);

// Clears the report and writes its data block: "*** Data ***", the file's
// full path and the number of data.
void WriteDataBlock(Report& report, const std::string& path, std::int32_t ndat);

// The text of status panel 0: "N : " and the number of data.
std::string CountStatus(std::int32_t ndat);

// The window caption for a data file: "Orvane  [ name ]", the name without
// its folder.
std::string DataCaption(const std::string& path);

struct OpenOutcome {
  bool loaded = false;  // false: refused, nothing changed
  LoadError error;      // when not loaded
  AnalysisResult analysis = AnalysisResult::kNoData;  // when loaded
};

// Reads the file at `path` (its full path); when it is accepted, commits the
// data, writes the data block and runs the analysis. A refused file leaves
// the state and the report as they were.
OpenOutcome OpenDataFile(AnalysisState& state, Report& report,
                         const std::string& path, std::string_view sep);

// The cancelled-dialog path: the data block is rewritten for the data held
// and the analysis runs again on them.
OpenOutcome RerunOnHeldData(AnalysisState& state, Report& report,
                            const std::string& path, std::string_view sep);

}  // namespace orvane

#endif  // ORVANE_IO_OPEN_DATA_H_
