// Tree files of the real ring-width collections in tests/data, checked
// independently of the program: the golden tree files (which the scenarios
// realdata_list and realdata_single_compact require the program to write for
// every input form) are read back with the Tucson reader and compared with
// tree means computed here in double precision from the Tucson data lines of
// each Tucson input form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/tree_means.h"

namespace {

using namespace ringave::testing;

// gp and ca533 hold missing rings (0) in every core of a tree in some years:
// those years stay in place, written as 0.
TEST(RealDataE2E, GoldenTreeFilesHoldTheTreeMeans) {
  struct Site {
    const char* name;
    int key_first, key_last;
    bool thousandths;  // a <name>_p001.rwl form is kept too
  };
  for (const Site& site : {Site{"nm046", 4, 5, true}, Site{"wa082", 4, 5, true}, Site{"anos1", 6, 7, true},
                           Site{"gp", 1, 2, true}, Site{"ca533", 4, 5, false}}) {
    const std::vector<PlainSeries> got = read_back(slurp_data(std::string("golden/") + site.name + "_AVE.raw"));
    for (const std::string form : {".rwl", "_p001.rwl"}) {
      if (form != ".rwl" && !site.thousandths) continue;
      SCOPED_TRACE(site.name + form);
      expect_trees(got, tree_means(parse_tucson(slurp_data(site.name + form)), site.key_first, site.key_last));
    }
  }
}

}  // namespace
