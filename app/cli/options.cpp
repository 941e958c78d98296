// SPDX-License-Identifier: MIT
#include "cli/options.h"

#include <algorithm>
#include <vector>

namespace orvane::cli {
namespace {

constexpr const char* kUsageSynopsis =
    "Usage: orvane-cli [--json] FILE...\n"
    "       orvane-cli --chart PICTURE [--size WxH] [--json] FILE\n"
    "       orvane-cli --csv FILE...\n"
    "       orvane-cli --import [TABLE OPTIONS] [--json | --csv] TABLE...\n"
    "       orvane-cli --outlines [--layer NAME] [--export-ellipses OUT.csv]\n"
    "                  [--json | --csv] OUTLINES...\n"
    "       orvane-cli --label-image [--pixel-size S] [--min-pixels N]\n"
    "                  [--export-ellipses OUT.csv] [--json | --csv] IMAGE...\n"
    "       orvane-cli --chart PICTURE [figure options] [--json] FILE\n"
    "       orvane-cli --methods [--json] FILE...\n"
    "       orvane-cli --import|--outlines|--label-image --fry\n"
    "                  [--fry-method METHOD] [--json | --csv] FILE...\n"
    "       orvane-cli --study [--json | --csv] STUDY.json...\n"
    "       orvane-cli --study --chart PICTURE --plot flinn|hsu|axes "
    "STUDY.json\n"
    "       orvane-cli [--resamples N] [--seed S] [--json | --csv] FILE...\n"
    "       orvane-cli --chart PICTURE --projection elliott FILE\n"
    "       orvane-cli --chart PICTURE --contours [contour options] FILE\n"
    "       orvane-cli --chart PICTURE --plot rfphi [--rf-scale log|linear]\n"
    "                  [--theta-curves LIST] [--size WxH | figure options] "
    "FILE\n";

constexpr const char* kUsageDescription =
    "Rf/phi strain analysis by the hyperbolic vector mean. Each FILE holds\n"
    "one strain marker per line: major axis, minor axis and orientation of\n"
    "the major axis in degrees, separated by white space.\n"
    "\n"
    "For each file the report is written to standard output: the data\n"
    "block, the optimal strain and the 95% bootstrap confidence limits (or\n"
    "the line that says why there are none). A refused file's message goes\n"
    "to standard error and the remaining files are still analysed. With\n"
    "fewer than five data the report has no confidence block and\n"
    "\"Number of data < 5\" goes to standard error. These messages begin\n"
    "with the file as given and a colon, for example\n"
    "\"x.txt: Read error --- #1\". Each FILE is opened as given; the report\n"
    "names it by its full path.\n"
    "\n";

constexpr const char* kFigureHeading =
    "Figure options (for print; any of them makes PICTURE a figure):\n";

constexpr const char* kUsageTail =
    "\n"
    "Whole numbers (--size, --dpi, --resamples, --seed, --contour-steps and\n"
    "a settings file's dpi) are written with digits only; leading zeros are\n"
    "allowed. An option with a value is given at most once; of --json and\n"
    "--csv, and of each pair of table options, only one is given.\n"
    "\n"
    "Numbers in the report use the decimal separator of the locale\n"
    "(LC_NUMERIC); data files always use the full stop.\n"
    "\n"
    "Exit status: 0 when every file was analysed, 1 when a file was\n"
    "refused or held no data or the output could not be written, 2 for a\n"
    "usage error.\n";

// Help texts: a name up to this long shares its line with the text.
constexpr std::size_t kInlineName = 8;
constexpr const char* kIndent = "           ";

constexpr CliOption kOptions[] = {
    {.id = OptionId::kJson,
     .name = "--json",
     .help = "write one JSON object per file and line instead: the data,\n"
             "the pre-strain data, the strain, both strain matrices, the\n"
             "bootstrap solutions, the report lines and the status texts;\n"
             "every single-precision value as the shortest decimal that\n"
             "reads back to it. A refused file gives {\"file\", \"error\"}.",
     .excludes = "--csv"},
    {.id = OptionId::kCsv,
     .name = "--csv",
     .help = "write a table instead, one row per file after a header row:\n"
             "file,N,R_s,phi_s,R_min,R_max,phi_min,phi_max,outcome,message\n"
             "with the figures as the shortest decimals that read back to\n"
             "them, always with a full stop. The limits are empty unless\n"
             "the outcome is \"limits\" (the others: \"null strain\",\n"
             "\"surrounds origin\", \"not run\" and \"refused\"); message\n"
             "holds why a file was refused, or the notices and warnings of\n"
             "its analysis. Messages still go to standard error.",
     .excludes = "--json"},
    {.id = OptionId::kMethods,
     .name = "--methods",
     .help = "after each report, a table of other estimators beside the\n"
             "hyperbolic vector mean's R_s and phi_s: the axial vector\n"
             "mean of phi, the harmonic mean of Rf, the fluctuation F of\n"
             "phi with Ramsay's R_s and R_i from the extreme ratios, and\n"
             "the chi-square test of uniformity of the retrodeformed\n"
             "orientations theta (its classes, degrees of freedom, 95%\n"
             "critical value and \"uniform\" or \"not uniform\"; not\n"
             "tested with fewer than 10 data). With --json each file's\n"
             "object ends with a \"methods\" object of the same figures:\n"
             "R_s, phi_s, axial_phi, axial_length, harmonic_R, Rf_max,\n"
             "Rf_min, F, F_below_90, ramsay_R_s, ramsay_R_i and\n"
             "uniformity {classes, df, chi2, critical, result, reason};\n"
             "a figure that does not exist (no axial mean when the\n"
             "doubled angles cancel, no test) is null. Not with --csv.",
     .needs = kNeedsNotCsv | kNotStudy,
     .family = "--methods goes"},
    {.id = OptionId::kFry,
     .name = "--fry",
     .help = "also estimate the strain from the spacing of the markers'\n"
             "centres, beside the shape-based hyperbolic vector mean, with\n"
             "95% limits from resamples of the markers (--resamples and\n"
             "--seed as for the hyperbolic mean). The data must give the\n"
             "centres: a table's x and y columns (--import), grain\n"
             "outlines or a label image; the normalised methods also need\n"
             "the markers' sizes (an area column, or the axes). The report\n"
             "gains a \"Centre-Based Strain\" block, --json a\n"
             "\"centre_strain\" object {method, R, phi, R_min, R_max,\n"
             "phi_min, phi_max, pairs, resamples, seed, outcome} and --csv\n"
             "the columns centre_method, centre_R, centre_phi,\n"
             "centre_R_min, centre_R_max, centre_phi_min, centre_phi_max,\n"
             "centre_pairs, centre_outcome and centre_message. Data\n"
             "without centres are refused with a message.",
     .needs = kNotStudy},
    {.id = OptionId::kFryMethod,
     .name = "--fry-method",
     .argument = "fry|normalised|enhanced|delaunay",
     .help = "the centre-based method: fry, the Fry plot of the\n"
             "centre-to-centre vectors of neighbours (Fry 1979);\n"
             "normalised (the default), each vector divided by the two\n"
             "markers' radii r = sqrt(A/pi) (Erslev 1988); enhanced, only\n"
             "the pairs within the selection factor (Erslev & Ge 1990);\n"
             "or delaunay, the edges of the centres' Delaunay\n"
             "triangulation fitted to the polar equation of an ellipse\n"
             "(Mulchrone 2003). The Fry methods fit the central vacancy\n"
             "objectively (Waldron & Wallace 2007).",
     .needs = kNeedsFry | kNotStudy,
     .family = "--fry-method goes"},
    {.id = OptionId::kStudy,
     .name = "--study",
     .help = "each FILE is a strain study: a JSON file naming the sections\n"
             "of one sample, each a data source (a data file, or\n"
             "{\"table\": ...}, {\"outlines\": ...}, {\"label_image\": ...}\n"
             "with the import options) and its plane, by \"normal\" and\n"
             "\"reference\" vectors (x east, y north, z up) or by\n"
             "\"strike\", \"dip\" and \"reference_rake\". Each section is\n"
             "analysed as its file would be (section i draws its\n"
             "resamples from its own stretch of the seed's stream), and\n"
             "the strain ellipsoid that fits the sections best is\n"
             "reported: X >= Y >= Z with XYZ = 1, the axes' trends and\n"
             "plunges, Flinn's k, Lode's nu, the octahedral shear strain\n"
             "eps_s, the incompatibility of the sections, and their 95%\n"
             "limits (cones for the axes) from the sections' resamples.\n"
             "--json gives {\"study\", \"name\", \"sections\",\n"
             "\"ellipsoid\"}, --csv one row per study. Not with the\n"
             "table, outline, --fry and --methods options."},
    {.id = OptionId::kResamples,
     .name = "--resamples",
     .argument = "N",
     .help = "draw N bootstrap resamples, from 20 to 100000 (default\n"
             "200); the limits still span the 95% of the solutions\n"
             "nearest to the optimal strain (190 of 200, 475 of 500)."},
    {.id = OptionId::kSeed,
     .name = "--seed",
     .argument = "S",
     .help = "the seed of the bootstrap's generator, from 0 to\n"
             "4294967295 (default 1). Both are written with digits only\n"
             "and go with the plain report, --json, --csv and --chart.\n"
             "Only the defaults, 200 resamples from the seed 1,\n"
             "reproduce the published figures of this method; other\n"
             "settings are named in the report's confidence block, the\n"
             "status text, the JSON's \"bootstrap\" (\"resamples\",\n"
             "\"seed\") and the CSV's message."},
    {.id = OptionId::kChart,
     .name = "--chart",
     .argument = "PICTURE",
     .help = "also draw the equal-area chart of the analysed FILE into\n"
             "PICTURE, in the format of its extension: .emf (Enhanced\n"
             "Metafile), .bmp (32-bit bitmap), .svg, .png or .pdf. No\n"
             "display is needed. An existing PICTURE is replaced."},
    {.id = OptionId::kSize,
     .name = "--size",
     .argument = "WxH",
     .help = "the chart's size: width, x, height, in whole pixels written\n"
             "with digits only, each from 120 to 16384 (default 640x362,\n"
             "the window's). The picture has the window's look, without\n"
             "the data grid's column.",
     .needs = kNeedsChart,
     .family = "--size goes"},
    {.id = OptionId::kProjection,
     .name = "--projection",
     .argument = "equal-area|elliott",
     .help = "the chart's projection: equal-area (the default), radius\n"
             "zeta = sqrt(R) - 1/sqrt(R) = 2 sinh(rho/2); or elliott\n"
             "(equidistant), radius rho = ln R, the disc reaching ln of\n"
             "the largest measured R + 0.5, and \"Elliott projection\"\n"
             "written in the lower left corner of the picture.",
     .needs = kNeedsChart | kNotStudy,
     .family = "--projection goes"},
    {.id = OptionId::kPlot,
     .name = "--plot",
     .argument = "polar|rfphi|fry|flinn|hsu|axes",
     .help = "the plot --chart draws: polar, the equal-area chart (the\n"
             "default), or rfphi, the Rf/phi plot: the orientation phi of\n"
             "the long axis from -90 to 90 degrees across, the axial ratio\n"
             "Rf upwards, the post-strain and pre-strain data, the optimal\n"
             "strain and its theta-curves (the strained shapes of the\n"
             "ellipses of one initial ratio Ri in every initial\n"
             "orientation); or fry, the Fry plot of the markers'\n"
             "centres (implies --fry): the centre-to-centre vectors of\n"
             "neighbours, the fitted vacancy and, for comparison, the\n"
             "hyperbolic mean's strain ellipse of the same area. With\n"
             "--study: flinn (the default), the Flinn plot of X/Y against\n"
             "Y/Z with the resamples' cloud; hsu, the Hsu plot of eps_s\n"
             "against Lode's nu; or axes, the lower-hemisphere equal-area\n"
             "net of the axes with their 95% cones. The size and figure\n"
             "options apply to all of them.",
     .needs = kNeedsChart,
     .family = "--plot, --rf-scale and --theta-curves go",
     .excludes = "--panels"},
    {.id = OptionId::kPanels,
     .name = "--panels",
     .argument = "polar,rfphi",
     .help = "draw both plots side by side in one picture, in the order\n"
             "given (polar,rfphi or rfphi,polar), labelled (a) and (b):\n"
             "the first with the legend, the caption under both. The\n"
             "Rf/phi and projection options apply to their panel.",
     .needs = kNeedsChart | kNotStudy,
     .family = "--plot, --rf-scale and --theta-curves go",
     .excludes = "--plot"},
    {.id = OptionId::kRfScale,
     .name = "--rf-scale",
     .argument = "log|linear",
     .help = "the Rf axis of the Rf/phi plot: logarithmic (the default)\n"
             "or linear, from 1 to a round value above the largest Rf.",
     .needs = kNeedsChart | kNeedsRfPhiPlot | kNotStudy,
     .family = "--plot, --rf-scale and --theta-curves go"},
    {.id = OptionId::kThetaCurves,
     .name = "--theta-curves",
     .argument = "LIST",
     .help = "the initial ratios Ri of the theta-curves, separated by\n"
             "commas, each from 1 to 1000, at most 20 (default\n"
             "1.25,1.5,2,3,5; an empty LIST draws none).",
     .needs = kNeedsChart | kNeedsRfPhiPlot | kNotStudy,
     .family = "--plot, --rf-scale and --theta-curves go"},
    {.id = OptionId::kImport,
     .name = "--import",
     .help = "read each FILE as a measurement table: columns separated by\n"
             "commas, semicolons, tabs or blanks, a header row or none,\n"
             "quoted cells, decimal commas where the comma is no\n"
             "delimiter. The delimiter, the header, the columns and the\n"
             "angle convention are found from the table unless given:",
     .needs = kNotStudy,
     .excludes = "--outlines"},
    {.id = OptionId::kColumns,
     .name = "--columns",
     .argument = "ROLES",
     .help = "the role of each column from the first, separated by\n"
             "commas: major, minor (full or semi-axes), R (the axial\n"
             "ratio alone), angle, x and y (the marker's centroid), area,\n"
             "or - for a column not used; for example\n"
             "-,-,major,minor,angle or R,angle. Found from the header\n"
             "names (Major/Minor/Angle, a/b/phi, R/Rf/phi, Max/Min/Phi,\n"
             "long/short, X/Y/Area, any case), else from the count of\n"
             "columns (three: major,minor,angle; two: R,angle).",
     .needs = kNeedsImport | kNotStudy,
     .family = "the table options go"},
    {.id = OptionId::kAngle,
     .name = "--angle",
     .argument = "CONVENTION",
     .help = "how the table's orientations are measured: ccw-x\n"
             "(counter-clockwise from the x axis, the default), cw-x\n"
             "(clockwise from the x axis), cw-north (clockwise from north:\n"
             "azimuths; the default for a column named Azimuth) or\n"
             "ccw-north. They are converted to ccw-x.",
     .needs = kNeedsImport | kNotStudy,
     .family = "the table options go"},
    {.id = OptionId::kRadians,
     .name = "--radians",
     .help = "the orientations are in radians (the default for a header\n"
             "such as \"phi (rad)\"); --degrees: in degrees.",
     .needs = kNeedsImport | kNotStudy,
     .family = "the table options go",
     .excludes = "--degrees"},
    {.id = OptionId::kDegrees,
     .name = "--degrees",
     .help = nullptr,
     .needs = kNeedsImport | kNotStudy,
     .family = "the table options go",
     .excludes = "--radians"},
    {.id = OptionId::kDelimiter,
     .name = "--delimiter",
     .argument = "comma|semicolon|tab|space",
     .help = "",
     .needs = kNeedsImport | kNotStudy,
     .family = "the table options go"},
    {.id = OptionId::kHeader,
     .name = "--header",
     .help = "the first row names the columns, or is data.",
     .needs = kNeedsImport | kNotStudy,
     .family = "the table options go",
     .excludes = "--no-header",
     .heading = "--header, --no-header"},
    {.id = OptionId::kNoHeader,
     .name = "--no-header",
     .help = nullptr,
     .needs = kNeedsImport | kNotStudy,
     .family = "the table options go",
     .excludes = "--header"},
    {.id = OptionId::kDecimalComma,
     .name = "--decimal-comma",
     .help = "the decimal separator of the table's numbers.",
     .needs = kNeedsImport | kNotStudy,
     .family = "the table options go",
     .excludes = "--decimal-point",
     .heading = "--decimal-comma, --decimal-point"},
    {.id = OptionId::kDecimalPoint,
     .name = "--decimal-point",
     .help = nullptr,
     .needs = kNeedsImport | kNotStudy,
     .family = "the table options go",
     .excludes = "--decimal-comma"},
    {.id = OptionId::kOutlines,
     .name = "--outlines",
     .help = "read each FILE as grain outlines: a Shapefile, GeoPackage,\n"
             "GeoJSON, KML or any other vector file GDAL reads (a CSV\n"
             "with a WKT column too), or a vertex table with the columns\n"
             "id,x,y (a row a vertex, a grain's rows in outline order).\n"
             "Each polygon is a grain, its holes subtracted, analysed as\n"
             "the ellipse of its second moments (the same area and\n"
             "inertia: a = 4 sqrt(l1), b = 4 sqrt(l2), l1 >= l2 the\n"
             "eigenvalues of the central moments; phi counter-clockwise\n"
             "from x with y up). Points, lines and outlines that bound no\n"
             "region are skipped, counted and the first named.",
     .needs = kNotStudy,
     .excludes = "--import"},
    {.id = OptionId::kLabelImage,
     .name = "--label-image",
     .help = "read each FILE as a label or binary image (TIFF, GeoTIFF,\n"
             "PNG or any other raster GDAL reads; the first band, 8 to 32\n"
             "bits): each non-zero value of a label image is a grain, and\n"
             "each 8-connected component of a binary one (0 and one other\n"
             "value). A grain is the ellipse of its pixels' moments, each\n"
             "pixel a square, y upwards. Grains touching the border or of\n"
             "fewer pixels than --min-pixels are left out and counted.",
     .needs = kNotStudy,
     .excludes = "--outlines"},
    {.id = OptionId::kPixelSize,
     .name = "--pixel-size",
     .argument = "S",
     .help = "the side of a pixel in the units wanted (default: a\n"
             "GeoTIFF's own, else 1: pixels).",
     .needs = kNeedsLabelImage | kNotStudy,
     .family = "--pixel-size and --min-pixels go"},
    {.id = OptionId::kMinPixels,
     .name = "--min-pixels",
     .argument = "N",
     .help = "the fewest pixels of a grain, 1 to 10^9 (default 20).",
     .needs = kNeedsLabelImage | kNotStudy,
     .family = "--pixel-size and --min-pixels go"},
    {.id = OptionId::kLayer,
     .name = "--layer",
     .argument = "NAME",
     .help = "the layer of an outline file that holds several\n"
             "(default: the first).",
     .needs = kNeedsOutlines | kNotStudy,
     .family = "--layer goes"},
    {.id = OptionId::kExportEllipses,
     .name = "--export-ellipses",
     .argument = "OUT.csv",
     .help = "also write the grains' ellipses to OUT.csv: a row a grain\n"
             "with id, x, y (the centroid), area, major, minor, angle.",
     .needs = kNeedsGrains | kNotStudy,
     .family = "--export-ellipses goes"},
    {.id = OptionId::kHelp,
     .name = "--help",
     .help = "show this text.",
     .alias = "-h"},
    {.id = OptionId::kVersion,
     .name = "--version",
     .help = "show the program's name and version."},
    {.id = OptionId::kEndOfOptions, .name = "--", .help = "end of options."},
    {.id = OptionId::kFigureSize,
     .name = "--figure-size",
     .argument = "WxH",
     .help = "the figure's size in millimetres, each from 32 to 1000\n"
             "(for example 85x60; default 169.3x95.8, the window's chart\n"
             "at 96 dpi).",
     .group = OptionGroup::kFigure,
     .needs = kNeedsChart,
     .family = "the figure options go"},
    {.id = OptionId::kDpi,
     .name = "--dpi",
     .argument = "N",
     .help = "dots per inch of a .png or .bmp figure, from 96 to 1200\n"
             "(default 300), at most 16384 pixels a side. It sets only\n"
             "the resolution: text, markers and lines keep their size in\n"
             "points. Vector figures (.svg, .pdf, .emf) keep the physical\n"
             "size, up to 1000 mm a side.",
     .group = OptionGroup::kFigure,
     .needs = kNeedsChart,
     .family = "the figure options go"},
    {.id = OptionId::kFigureStyle,
     .name = "--figure-style",
     .help = "a figure's legend (no check boxes, on white, only the\n"
             "series drawn) and labels on the iso-R circles.",
     .group = OptionGroup::kFigure,
     .needs = kNeedsChart,
     .family = "the figure options go"},
    {.id = OptionId::kPalette,
     .name = "--palette",
     .argument = "standard|colour-blind",
     .help = "the window's colours (default) or the Okabe-Ito colours.",
     .group = OptionGroup::kFigure,
     .needs = kNeedsChart,
     .family = "the figure options go"},
    {.id = OptionId::kCaption,
     .name = "--caption",
     .help = "a line under the chart: N, R_s and phi_s with their limits.",
     .group = OptionGroup::kFigure,
     .needs = kNeedsChart,
     .family = "the figure options go"},
    {.id = OptionId::kCloud,
     .name = "--cloud",
     .argument = "below|above|outline",
     .help = "the bootstrap solutions beneath the data (default), above\n"
             "them, or as the outline of the region they cover.",
     .group = OptionGroup::kFigure,
     .needs = kNeedsChart,
     .family = "the figure options go"},
    {.id = OptionId::kLegend,
     .name = "--legend",
     .argument = "outside|inside|none",
     .help = "the legend beside the plot (default), inside its frame in\n"
             "the corner with the fewest data, or none. Where the legend\n"
             "beside it or the caption would leave the plot less than 40 %\n"
             "of the figure's smaller side, the legend goes inside, or out\n"
             "where it would cover more than a quarter of the plot, and the\n"
             "caption is left out; standard error says so.",
     .group = OptionGroup::kFigure,
     .needs = kNeedsChart,
     .family = "the figure options go"},
    {.id = OptionId::kFontSize,
     .name = "--font-size",
     .argument = "PT",
     .help = "the figure's labels and caption in points, from 6 to 24\n"
             "(default 8); ticks, axis titles and the legend a point less,\n"
             "never below 6. Text, markers and lines keep their size in\n"
             "points at any figure size and resolution.",
     .group = OptionGroup::kFigure,
     .needs = kNeedsChart,
     .family = "the figure options go"},
    {.id = OptionId::kMarkerSize,
     .name = "--marker-size",
     .argument = "PT",
     .help = "the data's markers across in points, from 0.5 to 20 (default\n"
             "3, about 1 mm); the other markers in proportion.",
     .group = OptionGroup::kFigure,
     .needs = kNeedsChart,
     .family = "the figure options go"},
    {.id = OptionId::kLineWidth,
     .name = "--line-width",
     .argument = "PT",
     .help = "circles, curves and grid lines in points, from 0.1 to 5\n"
             "(default 0.5); frames and ticks half as wide again.",
     .group = OptionGroup::kFigure,
     .needs = kNeedsChart,
     .family = "the figure options go"},
    {.id = OptionId::kContours,
     .name = "--contours",
     .help = "draw density contours of the data under the markers: at each\n"
             "point of the disc the sum over the data of exp(k (1 - cosh d)),\n"
             "d the hyperbolic distance to the datum, in data per unit of\n"
             "hyperbolic area, filled in greys at equal steps from 0 to its\n"
             "peak (the first step left white), with a note of k.",
     .group = OptionGroup::kFigure,
     .needs = kNeedsChart | kNotStudy,
     .family = "the contour options go"},
    {.id = OptionId::kContourK,
     .name = "--contour-k",
     .argument = "K",
     .help = "the kernel's concentration k, from 0.0001 to 1000 (default\n"
             "40 / N^(1/3): wider for more data); below 0.0001 a datum's\n"
             "kernel is nearly flat over the widest chart. The note gives\n"
             "k to three significant digits, at least two decimals.",
     .group = OptionGroup::kFigure,
     .needs = kNeedsChart | kNotStudy,
     .family = "the contour options go"},
    {.id = OptionId::kContourSteps,
     .name = "--contour-steps",
     .argument = "N",
     .help = "the number of equal steps from 0 to the peak, 2 to 20\n"
             "(default 10).",
     .group = OptionGroup::kFigure,
     .needs = kNeedsChart | kNotStudy,
     .family = "the contour options go"},
    {.id = OptionId::kContourData,
     .name = "--contour-data",
     .argument = "measured|pre-strain",
     .help = "the density of the measured (default) or of the retrodeformed\n"
             "markers. The --contour options imply --contours.",
     .group = OptionGroup::kFigure,
     .needs = kNeedsChart | kNotStudy,
     .family = "the contour options go"},
    {.id = OptionId::kFigureSettings,
     .name = "--figure-settings",
     .argument = "FILE",
     .help = "read the figure's settings from FILE, one \"key = value\"\n"
             "a line (blank lines and lines beginning with # are skipped):\n"
             "figure-size = WxH, dpi = N, figure-style = yes|no,\n"
             "palette = standard|colour-blind, caption = yes|no,\n"
             "cloud = below|above|outline, legend = outside|inside|none,\n"
             "projection = equal-area|elliott, font-size = PT,\n"
             "marker-size = PT, line-width = PT.\n"
             "Options given as well win. The file is UTF-8 text (a leading\n"
             "byte-order mark is skipped) of at most 1 MiB, a regular file.",
     .group = OptionGroup::kFigure,
     .needs = kNeedsChart,
     .family = "the figure options go"},
};

}  // namespace

std::string OptionHeading(const CliOption& o) {
  std::string heading = o.heading ? o.heading : o.name;
  if (!o.heading && o.argument) heading += std::string(" ") + o.argument;
  return heading;
}

namespace {

// An option's lines of --help.
void AppendHelp(std::string& text, const CliOption& o) {
  const std::string heading = OptionHeading(o);
  text += "  " + heading;
  std::string_view help = o.help;
  bool first = heading.size() <= kInlineName && !help.empty();
  if (first) {
    text.append(kInlineName + 1 - heading.size(), ' ');
  } else {
    text += '\n';
  }
  while (!help.empty()) {
    const std::size_t end = std::min(help.find('\n'), help.size());
    if (!first) text += kIndent;
    first = false;
    text.append(help.substr(0, end));
    text += '\n';
    help.remove_prefix(std::min(end + 1, help.size()));
  }
}

}  // namespace

std::span<const CliOption> CliOptions() {
  return kOptions;
}

const CliOption* FindCliOption(std::string_view name) {
  for (const CliOption& o : kOptions) {
    if (name == o.name || (o.alias && name == o.alias)) return &o;
  }
  return nullptr;
}

const CliOption& CliOptionOf(OptionId id) {
  return *std::find_if(std::begin(kOptions), std::end(kOptions),
                       [id](const CliOption& o) { return o.id == id; });
}

std::string UsageText() {
  std::string text = std::string(kUsageSynopsis) + "\n" + kUsageDescription;
  for (const OptionGroup group :
       {OptionGroup::kGeneral, OptionGroup::kFigure}) {
    text += group == OptionGroup::kGeneral ? "Options:\n"
                                           : std::string("\n") + kFigureHeading;
    for (const CliOption& o : kOptions) {
      if (o.group == group && o.help) AppendHelp(text, o);
    }
  }
  return text + kUsageTail;
}

std::string_view UsageSynopsis() {
  return kUsageSynopsis;
}

std::string_view UsageDescription() {
  return kUsageDescription;
}

std::string_view FigureOptionsHeading() {
  return kFigureHeading;
}

std::string_view UsageNotes() {
  return kUsageTail;
}

std::string OptionNames() {
  return NamesNeeding(0);
}

std::string NamesNeeding(unsigned need) {
  // "A, B and C"
  std::vector<const char*> names;
  for (const CliOption& o : kOptions) {
    if (o.id == OptionId::kEndOfOptions) continue;
    if (need == 0 || (o.needs & need) != 0) names.push_back(o.name);
  }
  // "--" ends the list of all.
  if (need == 0) names.push_back(CliOptionOf(OptionId::kEndOfOptions).name);
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text;
}

std::string VersionText() {
  return std::string("orvane-cli ") + ORVANE_VERSION + "\n";
}

}  // namespace orvane::cli
