// SPDX-License-Identifier: MIT
#include "support/file_bytes.h"

#include <fstream>
#include <sstream>

namespace orvane::testing_support {

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteWholeFile(const std::filesystem::path& path,
                    const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace orvane::testing_support
