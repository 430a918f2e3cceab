#include "run/output_name.h"

#include <gtest/gtest.h>

#include <string>

namespace ringave {
namespace {

// The input name up to its first "." or blank, then "_AVE.raw", cut to 50. A full-length name without
// either gives the input name itself, which must be refused rather than written over.
TEST(OutputName, PrefixUpToFirstPointOrBlank) {
  const std::string n42(42, 'y'), n45(45, 'x'), n50(50, 'n');
  const struct { std::string input, output; } cases[] = {
      {"bcc.rwl_ind1.txt", "bcc_AVE.raw"},
      {"LPSD_ALL.txt", "LPSD_ALL_AVE.raw"},
      {"data/site.rwl", "data/site_AVE.raw"},
      {"../site.rwl", "_AVE.raw"},
      {"my cores.rwl", "my_AVE.raw"},
      {n42, n42 + "_AVE.raw"},
      {n45, n45 + "_AVE."},
      {n50, n50},
  };
  for (const auto& c : cases) {
    const Field<50> out = output_name(Field<50>(c.input));
    EXPECT_EQ(out.trimmed(), c.output) << c.input;
  }
}

}  // namespace
}  // namespace ringave
