// SPDX-License-Identifier: MIT
// Saving text the program produces (the results table, the report, the
// figure settings) as a file, as pictures are saved: into a temporary file
// beside the target, which replaces the target only once it is complete.
// Only a regular file is replaced; through a link, the file it reaches (see
// FileReplacement).
#ifndef ORVANE_WINDOW_TEXT_SAVE_H_
#define ORVANE_WINDOW_TEXT_SAVE_H_

#include <QString>
#include <functional>

#include "core/status.h"
#include "io/results_csv.h"

namespace orvane {

// Calls `write` with a sink into the temporary file; `write` returns false
// when the sink refused a piece. On any failure the target is left as it
// was and the status (kWriteFailed) reads "Cannot write "path": reason",
// with the system's reason, "it is a folder." or "it is not a regular
// file.".
Status SaveTextFile(const QString& path,
                    const std::function<bool(const TextSink&)>& write);

}  // namespace orvane

#endif  // ORVANE_WINDOW_TEXT_SAVE_H_
