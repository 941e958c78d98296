// SPDX-License-Identifier: MIT
// The report: the text lines of the results pane. It is only ever cleared
// or extended by one line at a time; each block of the analysis appends its
// own lines.
#ifndef ORVANE_CORE_REPORT_H_
#define ORVANE_CORE_REPORT_H_

#include <string>
#include <utility>
#include <vector>

namespace orvane {

class Report {
 public:
  void Clear() { lines_.clear(); }
  // Appends one line; an empty text appends an empty line.
  void Append(std::string line) { lines_.push_back(std::move(line)); }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

}  // namespace orvane

#endif  // ORVANE_CORE_REPORT_H_
