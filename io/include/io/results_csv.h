// SPDX-License-Identifier: MIT
// The results of an analysis as comma-separated values, for spreadsheets and
// scripts. Every single-precision figure is written as the shortest decimal
// that reads back to the same single, with a full stop whatever the locale;
// lines end with a line feed; a field holding a comma, a double quote, a
// line break or a '#' is quoted, its quotes doubled; bytes
// of a file name that are not UTF-8 are written as \xHH.
//
// The summary of a file (a batch of files gives one row each):
//   file,N,R_s,phi_s,R_min,R_max,phi_min,phi_max,outcome,message
// outcome is "limits", "null strain", "surrounds origin", "not run" (fewer
// than five data) or "refused"; the limits are empty unless it is "limits".
// message holds why a file was refused, or the notices and warnings of its
// analysis joined by "; ", led by the bootstrap settings ("500 resamples,
// seed 7") when they are not the defaults and the outcome depends on them.
//
// The results of one file: the summary's figures as comment lines
// ("# file,...", "# N,...", ... "# outcome,...", then "# resamples,..." and
// "# seed,..." when the message would name them), then a header row and one
// row per datum: its number, the measured a, b, phi and R, and R and phi
// retrodeformed by the optimal strain; then, for data that give them, the
// centroid x,y and the area (the header names them), as the shortest
// decimals that read back to the doubles.
#ifndef ORVANE_IO_RESULTS_CSV_H_
#define ORVANE_IO_RESULTS_CSV_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "core/analysis_state.h"
#include "core/centre_strain.h"
#include "core/ellipsoid.h"

namespace orvane {

inline constexpr const char* kSummaryCsvHeader =
    "file,N,R_s,phi_s,R_min,R_max,phi_min,phi_max,outcome,message\n";
inline constexpr const char* kDataCsvHeader =
    "number,a,b,phi,R,R_pre,phi_pre\n";
inline constexpr const char* kRefusedOutcome = "refused";

// Appends `text` as one CSV field, quoted when it must be. A text that is
// not well-formed UTF-8 (a file name) has each stray byte written as \xHH,
// as in the JSON (EscapeInvalidUtf8); well-formed text is kept byte for
// byte.
void AppendCsvField(std::string& line, std::string_view text);

// The columns a summary row gains when the centre-based strain was asked
// for, after its message: the method, R and phi, their limits (empty
// unless there are limits; phi's also when the solutions surround R = 1),
// the pairs, the outcome ("limits", "surrounds origin", "not run" or
// "refused") and why no estimate was made or what to heed, joined by "; ".
inline constexpr const char* kCentreCsvColumns =
    ",centre_method,centre_R,centre_phi,centre_R_min,centre_R_max,"
    "centre_phi_min,centre_phi_max,centre_pairs,centre_outcome,"
    "centre_message";

// Those fields of a result, each led by its comma; every field empty but
// the outcome ("refused") for none (a refused file).
std::string CentreCsvFields(const CentreStrainResult* result);

// The summary row of an analysed file (count >= 1), line feed included.
std::string SummaryCsvRow(std::string_view file, const AnalysisState& state,
                          std::string_view message);

// The summary row of a refused file, line feed included.
std::string RefusedCsvRow(std::string_view file, std::string_view message);

// The columns of orvane-cli --study --csv, a row a study: the study file and
// its name, the sections, the stretches and axial ratios, the axes' trends
// and plunges, the shape, the incompatibility, the 95 % limits (empty
// without them), the resamples, and what went wrong or what to heed.
inline constexpr const char* kStudyCsvHeader =
    "study,name,sections,X,Y,Z,X/Y,Y/Z,X_trend,X_plunge,Y_trend,Y_plunge,"
    "Z_trend,Z_plunge,k,nu,eps_s,incompatibility,X/Y_min,X/Y_max,Y/Z_min,"
    "Y/Z_max,k_min,k_max,nu_min,nu_max,eps_s_min,eps_s_max,X_cone,Y_cone,"
    "Z_cone,resamples,message\n";

// The row of a study with `sections` sections, line feed included: the
// figures of `result` where it was fitted, else empty fields and its
// message. An infinite k or an undefined nu is an empty field.
std::string StudyCsvRow(std::string_view file, std::string_view name,
                        std::size_t sections, const EllipsoidResult& result,
                        std::string_view message);

// Receives the text a piece at a time; false stops the writing (the target
// failed).
using TextSink = std::function<bool(std::string_view)>;

// Writes the results of the analysed state to `sink`, in pieces of about
// `piece_size` bytes, so that memory stays bounded however many data there
// are. False when the sink refused a piece.
bool WriteResultsCsv(std::string_view file, const AnalysisState& state,
                     const TextSink& sink, std::size_t piece_size = 1 << 16);

}  // namespace orvane

#endif  // ORVANE_IO_RESULTS_CSV_H_
