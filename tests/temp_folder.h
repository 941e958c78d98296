// A fresh folder for the files of one test, removed with everything in it
// when the test ends.
#ifndef ORVANE_TEMP_FOLDER_H_
#define ORVANE_TEMP_FOLDER_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace orvane::testing_support {

class TempFolder {
 public:
  // A folder named after `tag`, the process and the running test.
  explicit TempFolder(const std::string& tag) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("orvane_" + tag + "_" + std::to_string(::getpid()) + "_" +
             (test ? test->name() : "setup"));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Writes `bytes` to the file `name` in the folder; returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string file = (path_ / name).string();
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace orvane::testing_support

#endif  // ORVANE_TEMP_FOLDER_H_
