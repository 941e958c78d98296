// The command-line tool under the limits a shared machine may set: no more
// threads for the user. The results must be those of an unlimited run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "run_program.h"
#include "temp_folder.h"

namespace orvane {
namespace {

using testing_support::RunProgram;

// The command that runs what follows it as a user who may start no further
// process or thread, or "" where that cannot be arranged. Root is not held
// to a process limit, so root runs it as the user nobody.
std::string WithoutThreads(const testing_support::TempFolder& folder) {
  const std::string limit = "prlimit --nproc=1 ";
  std::string prefix = limit;
  if (::geteuid() == 0) {
    prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups " + limit;
  }
  const std::string check =
      prefix + "test -x " ORVANE_CLI " -a -r '" + folder.path().string() + "'";
  if (RunProgram(check, folder.path()).status != 0) return "";
  return prefix;
}

TEST(ResourceLimits, NoThreadsGiveTheSameReport) {
  testing_support::TempFolder folder("limits");
  ::chmod(folder.path().c_str(), 0777);  // the scratch files of nobody
  const std::string prefix = WithoutThreads(folder);
  if (prefix.empty()) GTEST_SKIP() << "setpriv or prlimit cannot limit here";
  // Enough data for every parallel stage to ask for threads.
  std::string text;
  for (int i = 0; i < 150000; ++i) {
    text += std::to_string(1.2 + (i % 97) / 40.0) + " 1 " +
            std::to_string(i % 40 + 10) + "\n";
  }
  const std::string data = folder.Write("many.txt", text);
  const auto free = RunProgram(ORVANE_CLI " '" + data + "'", folder.path());
  ASSERT_EQ(free.status, 0) << free.err;
  const auto limited =
      RunProgram(prefix + ORVANE_CLI " '" + data + "'", folder.path());
  EXPECT_EQ(limited.status, 0) << limited.err;
  EXPECT_EQ(limited.out, free.out);
  EXPECT_NE(limited.out.find("** 95% Confidence Limits **"), std::string::npos);
}

}  // namespace
}  // namespace orvane
