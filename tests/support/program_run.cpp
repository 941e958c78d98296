// SPDX-License-Identifier: MIT
#include "support/program_run.h"

#include <sys/wait.h>

#include <cstdlib>

#include "support/file_bytes.h"

namespace orvane::testing_support {

ProgramRun RunProgram(const std::string& command,
                      const std::filesystem::path& scratch,
                      const std::string& output) {
  const std::filesystem::path out = output.empty()
                                        ? scratch / "stdout"
                                        : std::filesystem::path(output),
                              err = scratch / "stderr";
  const std::string out_target =
      output.empty() ? "'" + out.string() + "'" : output;
  const std::string line =
      command + " >" + out_target + " 2>'" + err.string() + "'";
  const int raw = std::system(line.c_str());
  ProgramRun r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (std::filesystem::is_regular_file(out)) r.out = ReadWholeFile(out);
  r.err = ReadWholeFile(err);
  return r;
}

ProgramRun RunInFolder(const std::string& command,
                       const std::filesystem::path& folder,
                       const std::string& locale) {
  return RunProgram(
      "cd '" + folder.string() + "' && env " + locale + " " + command, folder);
}

}  // namespace orvane::testing_support
