// Runs a program as a user runs it, through the shell, and collects its exit
// status, standard output and standard error.
#ifndef ORVANE_RUN_PROGRAM_H_
#define ORVANE_RUN_PROGRAM_H_

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace orvane::testing_support {

struct ProgramRun {
  int status = -1;  // the exit status; -1 when the program did not exit
  std::string out, err;
};

inline std::string ReadWholeFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs `command` (a shell command line) with its output sent to files in
// `scratch`.
inline ProgramRun RunProgram(const std::string& command,
                             const std::filesystem::path& scratch) {
  const std::filesystem::path out = scratch / "stdout",
                              err = scratch / "stderr";
  const std::string line =
      command + " >'" + out.string() + "' 2>'" + err.string() + "'";
  const int raw = std::system(line.c_str());
  ProgramRun r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadWholeFile(out);
  r.err = ReadWholeFile(err);
  return r;
}

#ifdef ORVANE_CLI
// Runs orvane-cli with `args` in the folder `folder`, under `locale` (an
// assignment for env), its output kept in the folder.
inline ProgramRun RunCli(const std::string& args,
                         const std::filesystem::path& folder,
                         const std::string& locale = "LC_ALL=C") {
  return RunProgram("cd '" + folder.string() + "' && env " + locale + " " +
                        ORVANE_CLI + " " + args,
                    folder);
}
#endif

}  // namespace orvane::testing_support

#endif  // ORVANE_RUN_PROGRAM_H_
