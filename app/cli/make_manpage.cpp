// SPDX-License-Identifier: MIT
// orvane_make_manpage VERSION DATE: writes the manual page orvane-cli(1), in
// roff, to standard output. Its synopsis, description, options and notes
// are the texts of --help and the option table themselves, so that the
// page can never say other than --help does. DATE is the release's ISO
// date (2011-12-01). Run by the build; not installed.
#include <cstdio>
#include <string>
#include <string_view>

#include "cli/options.h"

namespace {

using orvane::cli::CliOption;

// A man page's text is read by roff: a backslash is its escape, a line
// beginning with '.' or '\'' would be a request, and a '-' that begins an
// option name or stands for a minus sign must be "\-" (a plain '-' may be
// typeset as a hyphen, which cannot be copied into a shell). Hyphens inside
// words ("counter-clockwise") stay hyphens.
std::string Escape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-' && (i == 0 || text[i - 1] == ' ' ||
                            text[i - 1] == '-' || text[i - 1] == '(' ||
                            text[i - 1] == '[' || text[i - 1] == '|' ||
                            text[i - 1] == '"' || text[i - 1] == ',')) {
      out += "\\-";
    } else {
      out += c;
    }
  }
  return out;
}

// A text of --help as lines of roff source: roff fills them into
// paragraphs itself; a blank line starts a new paragraph.
std::string Lines(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.empty()) {
      if (!text.empty()) out += ".PP\n";
      continue;
    }
    if (line.front() == '.' || line.front() == '\'') out += "\\&";
    out += Escape(line);
    out += '\n';
  }
  return out;
}

// An option as a tagged paragraph: its names in bold and the value's name
// in italics, as --help's heading says them, then its help text.
std::string OptionEntry(const CliOption& option) {
  const std::string heading = orvane::cli::OptionHeading(option);
  std::string tag;
  std::string_view rest = heading;
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find(' '), rest.size());
    std::string_view word = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    std::string comma;
    if (word.ends_with(',')) {
      word.remove_suffix(1);
      comma = ",";
    }
    if (!tag.empty()) tag += ' ';
    const bool name = word.starts_with('-');
    tag += (name ? "\\fB" : "\\fI") + Escape(word) + "\\fR" + comma;
  }
  if (option.alias) {
    tag = "\\fB" + Escape(option.alias) + "\\fR, " + tag;
  }
  return ".TP\n" + tag + "\n" + Lines(option.help);
}

// The usage lines without "Usage: ", each invocation set apart, the
// continued lines kept under it as --help indents them.
std::string Synopsis() {
  std::string_view text = orvane::cli::UsageSynopsis();
  std::string out = ".nf\n";
  constexpr std::string_view kUsage = "Usage: ";
  constexpr std::string_view kIndent = "       ";
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.starts_with(kUsage)) line.remove_prefix(kUsage.size());
    if (line.starts_with(kIndent)) line.remove_prefix(kIndent.size());
    const bool invocation = line.starts_with("orvane-cli");
    if (invocation) {
      out += "\\fBorvane\\-cli\\fR" +
             Escape(line.substr(std::string_view("orvane-cli").size())) + "\n";
    } else {
      out += Escape(line) + "\n";
    }
  }
  return out + ".fi\n";
}

// The notes after the options: the paragraph of the exit status has a
// section of its own, as manual pages have it.
std::string Notes() {
  std::string_view text = orvane::cli::UsageNotes();
  constexpr std::string_view kExitStatus = "Exit status: ";
  const std::size_t exit = text.find(kExitStatus);
  std::string out = ".SH NOTES\n" + Lines(text.substr(0, exit));
  if (exit != std::string_view::npos) {
    out +=
        ".SH \"EXIT STATUS\"\n" + Lines(text.substr(exit + kExitStatus.size()));
  }
  return out;
}

std::string ManPage(std::string_view version, std::string_view date) {
  std::string page =
      ".\\\" SPDX-License-Identifier: MIT\n"
      ".\\\" Made by orvane_make_manpage from the option table of "
      "orvane-cli.\n";
  page += ".TH ORVANE\\-CLI 1 " + std::string(date) + " \"Orvane " +
          std::string(version) +
          "\" \"User Commands\"\n"
          // Ragged right, and no words broken: a value list such as the
          // table's header row may be wider than the line.
          ".ad l\n.nh\n";
  page +=
      ".SH NAME\n"
      "orvane\\-cli \\- Rf/phi strain analysis of deformed rocks by the "
      "hyperbolic vector mean\n";
  page += ".SH SYNOPSIS\n" + Synopsis();
  page += ".SH DESCRIPTION\n" + Lines(orvane::cli::UsageDescription());
  page += ".SH OPTIONS\n";
  bool figure = false;
  for (const CliOption& option : orvane::cli::CliOptions()) {
    if (!option.help) continue;  // described with the option before it
    if (option.group == orvane::cli::OptionGroup::kFigure && !figure) {
      figure = true;
      std::string_view heading = orvane::cli::FigureOptionsHeading();
      while (heading.ends_with('\n') || heading.ends_with(':')) {
        heading.remove_suffix(1);
      }
      page += ".SS \"" + Escape(heading) + "\"\n";
    }
    page += OptionEntry(option);
  }
  page += Notes();
  page +=
      ".SH FILES\n"
      ".TP\n"
      ".I /usr/share/orvane/examples\n"
      "Sample data: \\fIsampledata.txt\\fR, a file of 252 markers, and an "
      "example study of three sections in \\fIstudy/\\fR.\n"
      ".SH \"SEE ALSO\"\n"
      ".BR orvane (1)\n";
  return page;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("Usage: orvane_make_manpage VERSION DATE\n", stderr);
    return 2;
  }
  const std::string page = ManPage(argv[1], argv[2]);
  if (std::fwrite(page.data(), 1, page.size(), stdout) != page.size() ||
      std::fflush(stdout) != 0) {
    std::perror("orvane_make_manpage");
    return 1;
  }
  return 0;
}
