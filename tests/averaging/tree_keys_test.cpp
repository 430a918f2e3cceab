#include "averaging/tree_keys.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "records/layout.h"
#include "records/outcome.h"

namespace ringave {
namespace {

TEST(TreeKeysTest, NodupsKeepsOrderOfFirstAppearance) {
  struct Case {
    std::vector<std::int32_t> keys;
    std::vector<std::int32_t> want;
  };
  const Case cases[] = {
      {{7, 12, 7, 3, 12}, {7, 12, 3}},
      {{5, 3, 5, 3}, {5, 3}},
      {{9, 4, 1, 0}, {9, 4, 1, 0}},
      {{2, 2, 2}, {2}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::int32_t> distinct(c.keys.size() + 1, -77);
    std::int32_t count = -1;
    nodups(c.keys, static_cast<std::int32_t>(c.keys.size()), distinct, count);
    ASSERT_EQ(count, static_cast<std::int32_t>(c.want.size()));
    for (std::size_t i = 0; i < c.want.size(); ++i) EXPECT_EQ(distinct[i], c.want[i]) << i;
    EXPECT_EQ(distinct[c.want.size()], -77);  // nothing written past the count
  }
}

TEST(TreeKeysTest, KeyReadIgnoresBlanksAndLeadingZeros) {
  struct Case {
    const char* id;
    std::int32_t start, stop, want;
  };
  const Case cases[] = {
      {"ABC07A", 4, 5, 7},   {"ABC7 A", 4, 5, 7},  {"ABC 7A", 4, 5, 7},   {"ABC12B", 4, 5, 12},
      {"X001A", 2, 4, 1},    {"AB0012CD", 3, 6, 12}, {"12345678", 1, 8, 12345678}, {"ABC+7A", 4, 5, 7},
      {"ABC7,A", 4, 5, 7},   {"ABC00A", 4, 5, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(read_tree_key(Field<8>(c.id), c.start, c.stop), c.want) << c.id;
  }
}

TEST(TreeKeysTest, UnreadableKeysAreFatal) {
  struct Case {
    const char* id;
    std::int32_t start, stop;
    const char* message;
  };
  const Case cases[] = {
      {"ABC  A", 4, 5, kReadPastEnd},         // all blank
      {"ABC07A", 5, 4, kReadPastEnd},         // stop before start: no characters
      {"ABC,7A", 4, 5, kReadPastEnd},         // a comma first: a null value
      {"ABC /A", 4, 5, kReadPastEnd},         // a slash first
      {"AB2*A", 3, 4, kReadPastEnd},          // "r*": null values only
      {"ABC0XA", 4, 5, kIllegalCharacter},    // a letter
      {"ABC7.A", 4, 5, kIllegalCharacter},    // a point
      {"AB-5A", 3, 4, kIllegalCharacter},     // negative tree number
      {"AB-05A", 3, 5, kIllegalCharacter},
  };
  for (const Case& c : cases) {
    try {
      read_tree_key(Field<8>(c.id), c.start, c.stop);
      ADD_FAILURE() << c.id << ": no error";
    } catch (const FatalError& e) {
      EXPECT_EQ(e.message, c.message) << c.id;
      EXPECT_EQ(e.statement, "READ") << c.id;
      EXPECT_EQ(e.unit, "INTERNAL") << c.id;
    }
  }
}

TEST(TreeKeysTest, SiteCodeIsTheTextBeforeTheTreeNumber) {
  struct Case {
    const char* id;
    std::int32_t start, stop;
    const char* want;
  };
  const Case cases[] = {
      {"ABC01A", 4, 5, "ABC"}, {"X001A", 2, 4, "X"}, {"ABC01A", 1, 3, ""}, {"ABCDEFGH", 9, 9, "ABCDEFGH"},
      {"ABC01A", -3, 2, ""},
  };
  for (const Case& c : cases) {
    Field<8> site("junkjunk");
    site_code(Field<8>(c.id), c.start, c.stop, site);
    EXPECT_EQ(site, Field<8>(c.want)) << c.id;
  }
}

TEST(TreeKeysTest, TreeIdLayoutAndTreeId) {
  struct Case {
    std::int32_t start, stop;
    const char* layout_text;
    const char* core_id;
    const char* tree_id;
  };
  const Case cases[] = {
      {4, 5, "(a3,i2)", "ABC07A", "ABC07   "},
      {4, 5, "(a3,i2)", "ABC7 B", "ABC07   "},
      {3, 6, "(a2,i4)", "AB0012CD", "AB0012  "},
      {2, 4, "(a1,i3)", "X001A", "X001    "},
      {1, 3, "(i3)", "7  A", "007     "},
      {1, 8, "(i8)", "1234", "00001234"},
      {8, 8, "(a7,i1)", "ABCDEFG5", "ABCDEFG5"},
      // Positions outside the ID are cut to it.
      {0, 3, "(i3)", "042", "042     "},
      {6, 12, "(a5,i3)", "SITE1003", "SITE1003"},
  };
  for (const Case& c : cases) {
    Field<15> text("garbage garbage");
    tree_id_layout(c.start, c.stop, text);
    EXPECT_EQ(text.trimmed(), c.layout_text) << c.start << "," << c.stop;

    const Field<8> core(c.core_id);
    Field<8> site;
    site_code(core, c.start, c.stop, site);
    const std::int32_t key = read_tree_key(core, c.start, c.stop);
    Field<8> id("????????");
    compose_tree_id(layout(text.trimmed()), site, key, c.start, c.stop, id);
    EXPECT_EQ(id.view(), c.tree_id) << c.core_id;
    // A tree ID reads back as its own key.
    EXPECT_EQ(read_tree_key(id, c.start, c.stop), key) << c.core_id;
  }
}

}  // namespace
}  // namespace ringave
