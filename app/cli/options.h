// SPDX-License-Identifier: MIT
// orvane-cli's options as data: each option's name, the name of its value,
// its help text, the section of --help it is listed in and what it goes
// with. Parsing, --help and the list in the unknown option's message all
// come from this one table, as can a manual page.
#ifndef ORVANE_APP_CLI_OPTIONS_H_
#define ORVANE_APP_CLI_OPTIONS_H_

#include <span>
#include <string>
#include <string_view>

namespace orvane::cli {

enum class OptionId {
  kJson,
  kCsv,
  kMethods,
  kFry,
  kFryMethod,
  kStudy,
  kResamples,
  kSeed,
  kChart,
  kSize,
  kProjection,
  kPlot,
  kPanels,
  kRfScale,
  kThetaCurves,
  kImport,
  kColumns,
  kAngle,
  kRadians,
  kDegrees,
  kDelimiter,
  kHeader,
  kNoHeader,
  kDecimalComma,
  kDecimalPoint,
  kOutlines,
  kLayer,
  kExportEllipses,
  kLabelImage,
  kPixelSize,
  kMinPixels,
  kHelp,
  kVersion,
  kEndOfOptions,
  kFigureSize,
  kDpi,
  kFigureStyle,
  kPalette,
  kCaption,
  kCloud,
  kLegend,
  kFontSize,
  kMarkerSize,
  kLineWidth,
  kContours,
  kContourK,
  kContourSteps,
  kContourData,
  kFigureSettings,
};

// The sections of --help.
enum class OptionGroup {
  kGeneral,  // "Options:"
  kFigure,   // "Figure options (for print; ...):"
};

// What an option goes with, as bits: refused without it.
inline constexpr unsigned kNeedsChart = 1;        // --chart
inline constexpr unsigned kNeedsImport = 2;       // --import
inline constexpr unsigned kNeedsRfPhiPlot = 4;    // --plot rfphi
inline constexpr unsigned kNeedsNotCsv = 8;       // the report or --json
inline constexpr unsigned kNeedsOutlines = 16;    // --outlines
inline constexpr unsigned kNeedsLabelImage = 32;  // --label-image
inline constexpr unsigned kNeedsGrains = 64;      // --outlines or --label-image
inline constexpr unsigned kNeedsFry = 128;        // --fry (or --plot fry)
// Refused with --study: a study file says how each section is read.
inline constexpr unsigned kNotStudy = 256;

struct CliOption {
  OptionId id;
  const char* name;  // "--chart"
  const char* argument =
      nullptr;  // the value's name ("PICTURE"); a flag has none
  // The help text, its lines apart by '\n' and without the indent; nullptr
  // for an option described with the one before it (--degrees).
  const char* help = nullptr;
  OptionGroup group = OptionGroup::kGeneral;
  unsigned needs = 0;  // kNeeds... bits
  // The subject of the refusal when the option is given without what it
  // needs: "the contour options go" (with --chart).
  const char* family = nullptr;
  // The option that contradicts this one ("--csv" for --json).
  const char* excludes = nullptr;
  // --help's heading where it is not the name and the value's name
  // ("--header, --no-header").
  const char* heading = nullptr;
  const char* alias = nullptr;  // "-h" for --help
};

// Every option, in the order of --help.
std::span<const CliOption> CliOptions();

// The option named `name` (or its alias), or nullptr.
const CliOption* FindCliOption(std::string_view name);

// The option `id`.
const CliOption& CliOptionOf(OptionId id);

// The option's heading in --help: its `heading`, or its name and the
// value's name ("--chart PICTURE").
std::string OptionHeading(const CliOption& option);

// The text of --help.
std::string UsageText();

// The texts of --help around the option table, for a manual page made from
// the same words: the usage lines ("Usage: orvane-cli ...", continued
// lines indented), the description after them (paragraphs apart by a
// blank line), the heading of the figure options and the closing notes
// (after a blank line). UsageText() is the synopsis, a blank line, the
// description, the option table and the notes.
std::string_view UsageSynopsis();
std::string_view UsageDescription();
std::string_view FigureOptionsHeading();
std::string_view UsageNotes();

// Every option's name, in the order of --help: "--json, --csv, ... and --".
std::string OptionNames();

// The names of the options that need `need` (a kNeeds... bit), in the
// order of --help: "--rf-scale and --theta-curves"; every option's for 0.
std::string NamesNeeding(unsigned need);

// "--version": the program's name and version, one line.
std::string VersionText();

}  // namespace orvane::cli

#endif  // ORVANE_APP_CLI_OPTIONS_H_
