// SPDX-License-Identifier: MIT
// Runs a program as a user runs it, through the shell, and collects its exit
// status, standard output and standard error.
#ifndef ORVANE_TESTS_SUPPORT_PROGRAM_RUN_H_
#define ORVANE_TESTS_SUPPORT_PROGRAM_RUN_H_

#include <filesystem>
#include <string>

namespace orvane::testing_support {

struct ProgramRun {
  int status = -1;  // the exit status; -1 when the program did not exit
  std::string out, err;
};

// Runs `command` (a shell command line) with its standard error, and its
// standard output, sent to files in `scratch`. `output`, when given, is
// where the standard output goes instead, written after the shell's '>' as
// it stands ("/dev/full", or "&-" for a closed output); `out` then holds it
// only where it is a regular file.
ProgramRun RunProgram(const std::string& command,
                      const std::filesystem::path& scratch,
                      const std::string& output = {});

// Runs `command` in the folder `folder` under `locale` (an assignment for
// env), its output kept in the folder.
ProgramRun RunInFolder(const std::string& command,
                       const std::filesystem::path& folder,
                       const std::string& locale = "LC_ALL=C");

}  // namespace orvane::testing_support

#endif  // ORVANE_TESTS_SUPPORT_PROGRAM_RUN_H_
