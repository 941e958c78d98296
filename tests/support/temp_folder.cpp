// SPDX-License-Identifier: MIT
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/file_bytes.h"

namespace orvane::testing_support {

TempFolder::TempFolder(const std::string& tag) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  path_ = std::filesystem::temp_directory_path() /
          ("orvane_" + tag + "_" + std::to_string(::getpid()) + "_" +
           (test ? test->name() : "setup"));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::Write(const std::string& name,
                              const std::string& bytes) const {
  const std::string file = (path_ / name).string();
  WriteWholeFile(file, bytes);
  return file;
}

}  // namespace orvane::testing_support
