#include "run/output_name.h"

#include <gtest/gtest.h>

#include <string>

namespace ringave {
namespace {

TEST(OutputName, PrefixUpToFirstPointOrBlank) {
  const std::string n45(45, 'x');
  const std::string n42(42, 'y');
  struct Case {
    std::string input, output;
  } cases[] = {
      {"tst.rwl", "tst_AVE.raw"},
      {"bcc.rwl_ind1.txt", "bcc_AVE.raw"},
      {"LPSD_ALL.txt", "LPSD_ALL_AVE.raw"},
      {"data/site.rwl", "data/site_AVE.raw"},
      {"../site.rwl", "_AVE.raw"},
      {"site", "site_AVE.raw"},
      {"my cores.rwl", "my_AVE.raw"},
      {" lead.rwl", "_AVE.raw"},
      {"", "_AVE.raw"},
      {n45, n45 + "_AVE."},
      {n42, n42 + "_AVE.raw"},
      {n42 + "A.rwl", n42 + "A_AVE.ra"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    const Field<50> out = output_name(Field<50>(c.input));
    EXPECT_EQ(out.trimmed(), c.output);
    EXPECT_EQ(out.view().size(), 50u);
  }
}

TEST(OutputName, FullLengthNameWithoutPointWouldReplaceInput) {
  const Field<50> full(std::string(50, 'n'));
  EXPECT_EQ(output_name(full), full);
  EXPECT_TRUE(output_replaces_input(full, output_name(full)));

  const Field<50> shorter(std::string(49, 'n'));
  EXPECT_FALSE(output_replaces_input(shorter, output_name(shorter)));
  EXPECT_FALSE(output_replaces_input(Field<50>("tst.rwl"), Field<50>("tst_AVE.raw")));
}

}  // namespace
}  // namespace ringave
