// Tree files that the scenarios over real files from public collections
// (tests/data/wild) and over the files made up beside them require, checked
// independently of the program: each golden tree file is read back with the
// Tucson reader and compared with tree means computed here in double
// precision, -999 left out, from the scenario's input file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/tree_means.h"

namespace {

using namespace ringave::testing;

TEST(WildFilesE2E, GoldenTreeFilesHoldTheTreeMeansWithoutMissingValues) {
  struct Case {
    const char* scenario;
    const char* input;  // in the scenario's files/
    char format;        // 't' Tucson, 'c' Compact
    int header_lines, key_first, key_last;
  };
  const Case cases[] = {
      {"wild_tucson7_missing_values", "Tucson7.rwl", 't', 3, 4, 5},
      {"wild_bcdates_negative_years", "bcdates.rwl", 't', 3, 6, 7},
      {"wild_mixedunits_site_codes_repeated_id", "mixedunits.rwl", 't', 3, 4, 5},
      {"wild_tucsoncompact_blank_lines", "tucsoncompact.rwm", 'c', 0, 5, 6},
      {"long_chronology_single_site", "ss_long.rwl", 't', 3, 3, 5},
      {"missing_values_thousandths", "missing.rwl", 't', 0, 3, 4},
      {"layout_7_5_to_8_4_no_warning", "layouts.rwl", 't', 0, 3, 4},
      {"two_sites_same_tree_numbers_repeated_id", "sites.rwl", 't', 0, 3, 4},
      {"compact_blank_lines_negative_value", "blanks.cmp", 'c', 0, 3, 4},
      {"cli_tree_gap_written_missing_read_back", "nm046gap.rwl", 't', 3, 4, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    const std::string dir = std::string("e2e/") + c.scenario + "/";
    const std::string input = c.input;
    const std::string output = input.substr(0, input.find('.')) + "_AVE.raw";
    const std::string text = slurp_data(dir + "files/" + input);
    const std::vector<PlainSeries> cores = c.format == 't' ? parse_tucson(text, c.header_lines) : parse_compact(text);
    const std::vector<PlainSeries> want = tree_means(cores, c.key_first, c.key_last);
    ASSERT_FALSE(want.empty());
    expect_trees(read_back(slurp_data(dir + "expect/" + output)), want);
  }
}

}  // namespace
