// The tree-key rules -t names, each through partition_trees over made
// series (whole IDs and fields): the tree ID of every row, or the first row
// that has none with the rule's words.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "averaging/key_rules.h"
#include "averaging/map_rule.h"
#include "averaging/text_rules.h"
#include "averaging/tree_keys.h"

namespace ringave {
namespace {

// Series made of whole IDs and "key=value" fields, row r for row r.
struct Made final : SeriesFields {
  std::vector<Field<8>> ids;
  std::vector<std::string> names;
  std::vector<std::map<std::string, std::string>> fields;
  Made(const std::vector<std::string>& whole, const std::vector<std::map<std::string, std::string>>& f = {})
      : names(whole), fields(f) {
    for (const std::string& w : whole) ids.emplace_back(w);
    fields.resize(whole.size());
  }
  std::optional<std::string_view> value(std::size_t row, std::string_view key) const override {
    for (const auto& [k, v] : fields[row])
      if (std::equal(k.begin(), k.end(), key.begin(), key.end(),
                     [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
        return v;
    return std::nullopt;
  }
  SeriesRows rows() const { return {ids, names, this}; }
};

// The tree ID of each row, or "row N: <plain words>".
std::string trees_of(const std::string& rule_text, const Made& series) {
  const MadeRule made = make_key_rule(rule_text);
  if (!made.rule) return made.error;
  const TreePartition p = partition_trees(*made.rule, series.rows());
  if (p.unreadable) return "row " + std::to_string(p.unreadable->row + 1) + ": " + p.unreadable->plain;
  std::string got;
  for (const std::int32_t k : p.tree) got.append(p.tree_ids[std::size_t(k)]).append(" ");
  return got;
}

TEST(KeyRulesTest, TreesOfMadeSeries) {
  using F = std::map<std::string, std::string>;
  const struct { std::string rule; Made series; std::string got; } cases[] = {
      {"id", Made({"K1_091", "S38-BB", "a-very-long-core-ID", "K1_091"}), "K1_091 S38-BB a-very-long-core-ID K1_091 "},
      {"tag", Made({"3337A", "070622B", "70622A", "142220", "030525A", "30525B", "PLOT12a", "PLOT012b", "0A"}),
       "3337 70622 70622 142220 30525 30525 PLOT12 PLOT12 0 "},
      {"tag", Made({"3337A", "K1_091"}), "row 2: is not a tree tag (letters, a tag number, core letters), as -t tag reads the IDs"},
      {"tag", Made({"ABC"}), "row 1: is not a tree tag (letters, a tag number, core letters), as -t tag reads the IDs"},
      {"column:TAG", Made({"a", "b", "c"}, {F{{"tag", " 30525 "}}, F{{"Tag", "30525"}}, F{{"tag", "1"}}}), "30525 30525 1 "},
      {"column:tag", Made({"a", "b"}, {F{{"tag", "1"}}, F{{"sp", "caco"}}}),
       "row 2: has no column 'tag' (-t column:NAME takes the tree from a metadata column of a table of one series per row)"},
      {"column:tag", Made({"a"}, {F{{"tag", "  "}}}), "row 1: has an empty cell in column 'tag', where its tree should be"},
      {"header", Made({"a", "b", "c"}, {F{{"TREENO", "7"}, {"sitecode", "DOEL"}}, F{{"TreeNumber", "7"}}, F{{"treeno", "7"}}}),
       "DOEL7 7 7 "},
      {"header", Made({"a"}, {F{{"SiteCode", "X"}}}), "row 1: has no TreeNo or TreeNumber in its header, which -t header takes for its tree"},
      {"pattern:(?<site>[A-Z]+)-(?<tree>\\d+)-\\d+-[a-z]", Made({"FS-001-01-a", "FS-001-02-b", "GS-001-01-a"}),
       "FS001 FS001 GS001 "},
      {"pattern:(?<tree>\\d+)", Made({"12", "12a"}), "row 2: does not match the pattern (?<tree>\\d+)"},  // the whole ID
      {"pattern:(?<tree>\\d*)x", Made({"x"}), "row 1: matches the pattern with an empty tree group"},
      {"pattern:(?<tree>\\d+", Made({}), "-t pattern:(?<tree>\\d+: missing closing parenthesis at offset 11"},
      {"pattern:\\d+", Made({}), "-t pattern:\\d+: the pattern has no group named tree: write it as (?<tree>...)"},
      {"column:", Made({}), "-t column needs a NAME after a colon: -t column:NAME"},
      {"id:x", Made({}), "-t id takes nothing after its name: give -t id"},
  };
  for (const auto& c : cases) EXPECT_EQ(trees_of(c.rule, c.series), c.got) << c.rule;
}

// A map file: the tree of each series by its whole ID, site first; what is
// wrong with a map names its file and line.
TEST(KeyRulesTest, MapFiles) {
  const Made series({"K1_091", "S38-BB", "K1_092"});
  const struct { std::string text, got; } cases[] = {
      {"series,tree\nK1_091,1\n\"S38-BB\",2\nK1_092,1\n", "1 2 1 "},
      {"\xEF\xBB\xBFTree,Site,Series,note\r\n1,DOEL,K1_091,x\r\n\r\n2,DOEL,S38-BB,\"a, \"\"b\"\"\"\r\n1,DOEL,K1_092,\r\n",
       "DOEL1 DOEL2 DOEL1 "},
      {"series,tree\nK1_091,1\nS38-BB,2\n", "row 3: is not in the map file m.csv: add a row for it (series,tree)"},
      {"series,tree\nK1_091,1\nS38-BB,2\nK1_091,3\n",
       "m.csv: line 4: series K1_091 is given tree 3 here and tree 1 on line 2"},
      {"core,tree\n", "m.csv: line 1: the header row must name the columns series and tree (and optionally site), e.g. series,tree"},
      {"series,tree\nK1_091\n", "m.csv: line 2: 1 cells, where the header's columns need 2"},
      {"series,tree\nK1_091,\"1\n", "m.csv: line 2: a quoted cell is not closed"},
      {"series,tree\n\"a\nb\",1\nK1_0\"91,1\n", "m.csv: line 4: a quotation mark inside a cell that does not begin with one"},
      {"series,tree\n\"K1\"_091,1\n", "m.csv: line 2: text after the closing quotation mark of a cell"},
      {"series,tree\n,1\n", "m.csv: line 2: the series cell is empty"},
  };
  for (const auto& c : cases) {
    auto map = parse_tree_map(c.text, "m.csv");
    std::string got;
    if (const auto* error = std::get_if<std::string>(&map)) {
      got = *error;
    } else {
      const TreePartition p = partition_trees(*std::get<0>(map), series.rows());
      if (p.unreadable) got = "row " + std::to_string(p.unreadable->row + 1) + ": " + p.unreadable->plain;
      for (const std::int32_t k : p.tree) got.append(p.tree_ids[std::size_t(k)]).append(" ");
    }
    EXPECT_EQ(got, c.got) << c.text;
  }
}

// -t auto takes the tags only where their numbers vary in length.
TEST(KeyRulesTest, TagsVaryInLength) {
  const struct { std::vector<std::string> ids; bool varies; } cases[] = {
      {{"3337A", "70622A", "101092A", "142220"}, true},
      {{"030525A", "30525B"}, true},
      {{"ABC01A", "ABC02A"}, false},   // one length: fixed positions fit
      {{"3337A", "K1_091"}, false},    // not every ID a tag
  };
  for (const auto& c : cases) EXPECT_EQ(tags_vary_in_length(Made(c.ids).rows()), c.varies) << c.ids[0];
}

}  // namespace
}  // namespace ringave
