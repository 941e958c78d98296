// SPDX-License-Identifier: MIT
// Whole files as bytes, for the tests that write their inputs and read back
// what a program wrote.
#ifndef ORVANE_TESTS_SUPPORT_FILE_BYTES_H_
#define ORVANE_TESTS_SUPPORT_FILE_BYTES_H_

#include <filesystem>
#include <string>

namespace orvane::testing_support {

// The bytes of the file `path`; empty when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

// Replaces the file `path` with `bytes`, creating it where it is absent.
void WriteWholeFile(const std::filesystem::path& path,
                    const std::string& bytes);

}  // namespace orvane::testing_support

#endif  // ORVANE_TESTS_SUPPORT_FILE_BYTES_H_
