// SPDX-License-Identifier: MIT
// A fresh folder for the files of one test, removed with everything in it
// when the test ends.
#ifndef ORVANE_TESTS_SUPPORT_TEMP_FOLDER_H_
#define ORVANE_TESTS_SUPPORT_TEMP_FOLDER_H_

#include <filesystem>
#include <string>

namespace orvane::testing_support {

class TempFolder {
 public:
  // A folder named after `tag`, the process and the running test, emptied
  // if an earlier run left it behind.
  explicit TempFolder(const std::string& tag);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Writes `bytes` to the file `name` in the folder; returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::filesystem::path path_;
};

}  // namespace orvane::testing_support

#endif  // ORVANE_TESTS_SUPPORT_TEMP_FOLDER_H_
