// SPDX-License-Identifier: MIT
// The "methods" object of the JSON result on its own: the forms of its
// missing figures.
#include "cli/methods_json.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

namespace orvane::cli {
namespace {

std::string MethodsJson(const MethodsSummary& m) {
  const int fd = ::memfd_create("methods_json_test", 0);
  std::string text;
  {
    BufferedOutput out(fd);
    WriteJsonMethods(out, m);
    EXPECT_TRUE(out.Flush());
    text.resize(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)));
    EXPECT_EQ(::pread(fd, text.data(), text.size(), 0),
              static_cast<ssize_t>(text.size()));
  }
  ::close(fd);
  return text;
}

TEST(MethodsJson, FiguresAndTheirMissingForms) {
  MethodsSummary m;
  m.count = 2;
  m.hyperbolic_ratio = 1.5f;
  m.hyperbolic_phi = -0.1f;
  m.axial_defined = false;  // axes at right angles
  m.axial_resultant_length = 0;
  m.harmonic_ratio = 2.4f;
  m.ratio_min = 2;
  m.ratio_max = 3;
  m.fluctuation = 90;
  m.ramsay_strain_ratio = 1.2247449f;
  m.ramsay_initial_ratio = 2.4494898f;
  m.uniformity.omission = UniformityOmission::kTooFewData;
  EXPECT_EQ(MethodsJson(m),
            "{\"R_s\":1.5,\"phi_s\":-0.1,\"axial_phi\":null,\"axial_length\":0,"
            "\"harmonic_R\":2.4,\"Rf_max\":3,\"Rf_min\":2,\"F\":90,"
            "\"F_below_90\":false,\"ramsay_R_s\":1.2247449,"
            "\"ramsay_R_i\":2.4494898,\"uniformity\":{\"classes\":null,"
            "\"df\":null,\"chi2\":null,\"critical\":null,\"result\":\"not "
            "tested\",\"reason\":\"fewer than 10 data: not two classes "
            "expecting 5 each\"}}");

  m.axial_defined = true;
  m.axial_phi = 45;
  m.uniformity.omission = UniformityOmission::kNone;
  m.uniformity.classes = 2;
  m.uniformity.degrees_of_freedom = 1;
  m.uniformity.chi_square = 6.4f;
  m.uniformity.critical_value = 3.8414588f;
  m.uniformity.uniform = false;
  const std::string made = MethodsJson(m);
  EXPECT_NE(made.find("\"axial_phi\":45,"), std::string::npos) << made;
  EXPECT_NE(made.find("\"uniformity\":{\"classes\":2,\"df\":1,\"chi2\":6.4,"
                      "\"critical\":3.8414588,\"result\":\"not uniform\","
                      "\"reason\":\"\"}}"),
            std::string::npos)
      << made;
}

}  // namespace
}  // namespace orvane::cli
