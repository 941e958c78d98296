// SPDX-License-Identifier: MIT
// A strain study: several sections of one sample, each a data source that
// Orvane reads (a native data file, a measurement table, grain outlines, a
// label image, or a micro-CT table of grain ellipsoids that the section's
// plane cuts) with the plane it was cut in. The study file is JSON:
//
//   {"name": "HT-17",
//    "sections": [
//      {"name": "XZ", "source": "xz.txt",
//       "normal": [0, 1, 0], "reference": [1, 0, 0]},
//      {"name": "YZ", "source": {"table": "yz.csv", "columns":
//      "major,minor,angle"},
//       "strike": 120, "dip": 60, "reference_rake": 0},
//      {"name": "CT", "source": {"ellipsoids": "grains.csv"},
//       "strike": 30, "dip": 45}]}
//
// Paths are relative to the study file. Each section is analysed as an Open
// of its source would analyse it, with its own bootstrap stream, and the
// ellipsoid is fitted to them (core/ellipsoid.h).
#ifndef ORVANE_IO_STUDY_H_
#define ORVANE_IO_STUDY_H_

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/analysis.h"
#include "core/analysis_state.h"
#include "core/bootstrap_settings.h"
#include "core/ellipsoid.h"
#include "core/report.h"
#include "core/status.h"
#include "io/data_file.h"
#include "io/data_reader.h"
#include "io/open_pipeline.h"
#include "io/outline_file.h"
#include "io/table_import.h"

namespace orvane {

// What a data source is and how it is read: the one description of a
// source that the command-line tool's options, a study file's "source"
// and the window's imports all turn into.
struct SourceChoices {
  enum class Kind { kNative, kTable, kOutlines, kLabelImage, kEllipsoids };
  Kind kind = Kind::kNative;
  TableChoices table;           // kTable: anything not given is detected
  std::string layer;            // kOutlines: empty, the first layer
  LabelImageOptions image;      // kLabelImage
  std::string export_ellipses;  // kOutlines/kLabelImage: the ellipse
                                // table written, or empty
  // kEllipsoids: the plane the grains are cut by, the section's (a study
  // sets it from the section's orientation before it reads the source).
  std::optional<SectionPlane> plane;
};

// Reads `path` as `choices` say into `data`: the data file loader, the
// table import (its layout detected where not chosen; a notice about the
// layout, such as columns Min and Max taken as the axes, into `notice`),
// the outline and label image readers (their ellipses written to
// `export_ellipses` where given: "Cannot write PATH: reason" when that
// fails), or the table of grain ellipsoids. A refusal is the reader's own
// status, as it gives it.
//
// A table of grain ellipsoids (a micro-CT segmentation's) holds a grain a
// row: its radii r1, r2, r3 and its axes a1x, a1y, a1z, a2x, a2y, a2z, a3x,
// a3y, a3z, twelve numbers separated by commas, semicolons, tabs or blanks
// (a line with any comma, semicolon or tab is split at each of them, one
// without at its runs of blanks); cells may be quoted, blank lines are
// skipped, and a first row of which no cell is a number is a header. Each
// grain is cut through its centre by `choices.plane` (CutGrain) and its
// ellipse stored as a data file's datum is (CheckDatum), with no centroid
// nor area. The file is read once, in blocks, its stamp watched as the
// data file loader watches it, and `progress` told of each block. A bad
// row is refused with its line and, as the table import does, its grain's
// number from 1 as the datum: "line 7: 11 cells where a grain has 12: ...",
// "line 7, column 5: not a number", "line 7: the grain's first radius -1
// is not a positive number" (CutGrain's reason; kReadError), or the data
// file loader's code for an ellipse it refuses ("line 7: axial ratio out of
// range (at most 1000)"). No grain at all reads as an empty data file does.
// Without a plane the source is refused (kInvalidSettings).
Status LoadSource(const std::string& path, const SourceChoices& choices,
                  LoadedData& data, const ReadProgress& progress,
                  std::string* notice = nullptr);

// "major,minor,angle", "R,angle", "-,-,a,b,phi", "x,y,area,a,b,angle": the
// roles of the columns from the first (major or a, minor or b, R or Rf,
// angle or phi, x, y, area, - for a column not read; any case); false for
// an unknown word.
bool ParseColumnRoles(std::string_view text, std::vector<ColumnRole>& roles);

struct StudySection {
  std::string name;  // may be empty: messages then number the section
  // The source's path as the study file gives it (relative to the study
  // file, or absolute).
  std::string source;
  SourceChoices choices;
  SectionOrientation orientation;
};

struct Study {
  std::string name;
  std::vector<StudySection> sections;
};

// Reads a study file. Refused with a clear message that begins with the
// path: a missing file ("PATH: the study file does not exist",
// kFileMissing) or one that cannot be read (ReadSmallTextFile's message),
// JSON that does not parse ("PATH: line 3, column 17: " and the parser's
// reason; the column counts characters), and, as kReadError, a section
// without a source or orientation, an orientation given in both forms or in
// neither, a wrong type or unknown key, and a plane refused by PlaneOf. A
// fault of a section names it: "PATH: section \"YZ\": unknown key
// \"colour\" ..." ("section 2", from 1, where it has no name). A section's
// and the study's names are optional; an empty list of sections reads.
Status ReadStudyFile(const std::string& path, Study& study);

// The study as JSON text, so that ReadStudyFile reads the same study back:
// each member of the study and of a section on a line of its own
// (two-space indent), a source's object and a vector on one line; each
// orientation in the form it has, a source with the options that were
// chosen; whole numbers without a fraction. Text that is not UTF-8 shows
// as U+FFFD (WriteStudyFile refuses it).
std::string StudyJson(const Study& study);

// Writes the study to `path` by replacing the file whole (the old file
// stays until the new one is complete). Refused (kWriteFailed) as "Cannot
// write \"PATH\": " and the reason: the system's, or a name that is not
// UTF-8 text or a number that is not finite, which JSON cannot hold.
Status WriteStudyFile(const std::string& path, const Study& study);

// The source's path for reading: `source` itself when absolute, else
// relative to the folder of `study_path`.
std::string SectionPath(const std::string& study_path,
                        const std::string& source);

// One analysed section.
struct SectionResult {
  std::string name;
  std::string path;   // the source as read (SectionPath)
  Status status;      // not ok: refused (the message names the section)
  OpenResult opened;  // how far its analysis went
  AnalysisState state;
  Report report;  // its report, as an Open of it would write it
  // The reading's notice and AnalysisNotice, joined by "; " where both are.
  std::string notice;
  SectionPlane plane;
};

struct StudyResult {
  Status status;  // not ok: a section was refused or the study cancelled
  std::vector<SectionResult> sections;
  EllipsoidResult ellipsoid;
};

// Analyses every section (section i bootstraps from SectionSeed(seed, i)
// with the settings' resamples) and fits the ellipsoid with its limits.
// `progress`, where given, is told the share done (0 to 1: a step per
// section, and the ellipsoid the last) and may be cancelled between and
// during sections: the study then ends with kCancelled ("Cancelled.") and
// fits nothing. `sep` is the reports' decimal separator. A section whose
// plane PlaneOf refuses, that cannot be read, or has no data refuses the
// study with its message after its name ("section \"YZ\": File not
// exits.", "section 2: No data."); the others are still analysed and
// reported, and the ellipsoid's status is the study's. A section without a
// bootstrap (fewer than five data) leaves the ellipsoid without limits, a
// warning naming it. Settings outside their limits refuse the study before
// any section. Allocation failures are thrown as std::bad_alloc.
StudyResult AnalyseStudy(const Study& study, const std::string& study_path,
                         const BootstrapSettings& bootstrap,
                         std::string_view sep,
                         StageProgress* progress = nullptr);

}  // namespace orvane

#endif  // ORVANE_IO_STUDY_H_
