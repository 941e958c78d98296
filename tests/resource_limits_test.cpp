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

// Serial and parallel runs must agree in every float: 150,000 data pass
// every threshold where a stage shares its work among threads.
TEST(ResourceLimits, NoThreadsGiveTheSameResults) {
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
  const auto free =
      RunProgram(ORVANE_CLI " --json '" + data + "'", folder.path());
  ASSERT_EQ(free.status, 0) << free.err;
  const auto limited =
      RunProgram(prefix + ORVANE_CLI " --json '" + data + "'", folder.path());
  EXPECT_EQ(limited.status, 0) << limited.err;
  EXPECT_TRUE(limited.out == free.out);  // tens of megabytes: no dump
  EXPECT_NE(limited.out.find("\"outcome\":\"limits\""), std::string::npos);
}

// Under a limit of the address space the tool refuses a large file with
// "Not enough memory for n data." instead of aborting, wherever the
// allocation fails: the dataset, the retrodeformed markers or the bootstrap.
TEST(ResourceLimits, OutOfMemoryIsAMessageNotACrash) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "sanitizers need the whole address space";
#endif
  testing_support::TempFolder folder("memory");
  std::string text;
  constexpr int kCount = 3000000;
  text.reserve(static_cast<std::size_t>(kCount) * 12);
  for (int i = 0; i < kCount; ++i) {
    text += std::to_string(1 + (i % 200) / 100.0).substr(0, 4) + " 1 " +
            std::to_string(20 + i % 20) + "\n";
  }
  const std::string data = folder.Write("large.txt", text);
  int refused = 0;
  for (int kib : {150000, 200000, 250000, 300000, 350000}) {
    const auto r = RunProgram("ulimit -v " + std::to_string(kib) + " && " +
                                  ORVANE_CLI " '" + data + "'",
                              folder.path());
    ASSERT_TRUE(r.status == 0 || r.status == 1)
        << "limit " << kib << " KiB: status " << r.status << " " << r.err;
    if (r.status == 1) {
      ++refused;
      EXPECT_EQ(r.err, data + ": Not enough memory for 3000000 data.\n");
      EXPECT_EQ(r.out, "");
    }
  }
  EXPECT_GT(refused, 0) << "no limit was tight enough to test";
}

}  // namespace
}  // namespace orvane
