#include "averaging/pattern_rule.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace ringave {

namespace {

std::string pcre2_message(int code) {
  PCRE2_UCHAR text[256];
  const int n = pcre2_get_error_message(code, text, sizeof text);
  return n < 0 ? "error " + std::to_string(code) : std::string(reinterpret_cast<const char*>(text), std::size_t(n));
}

}  // namespace

// The pattern, the numbers of its groups, and match data made once for it
// (a match is one call per series, with no allocation).
struct PatternRule::Compiled {
  pcre2_code* code = nullptr;
  pcre2_match_data* match = nullptr;
  int tree = -1;
  int site = -1;  // -1: no group named site
  ~Compiled() {
    pcre2_match_data_free(match);
    pcre2_code_free(code);
  }
};

PatternRule::PatternRule(std::string regex, std::shared_ptr<Compiled> compiled)
    : regex_(std::move(regex)), compiled_(std::move(compiled)) {}

std::variant<std::shared_ptr<const PatternRule>, std::string> PatternRule::make(std::string_view regex) {
  auto c = std::make_shared<Compiled>();
  int error = 0;
  PCRE2_SIZE offset = 0;
  // Whole IDs: anchored at both ends. IDs that are not valid UTF-8 are
  // matched as far as they are, never read past.
  c->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(regex.data()), regex.size(),
                          PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_ANCHORED | PCRE2_ENDANCHORED, &error, &offset,
                          nullptr);
  if (!c->code) return pcre2_message(error) + " at offset " + std::to_string(offset);
  c->tree = pcre2_substring_number_from_name(c->code, reinterpret_cast<PCRE2_SPTR>("tree"));
  if (c->tree < 0) return std::string("the pattern has no group named tree: write it as (?<tree>...)");
  c->site = pcre2_substring_number_from_name(c->code, reinterpret_cast<PCRE2_SPTR>("site"));
  c->match = pcre2_match_data_create_from_pattern(c->code, nullptr);
  if (!c->match) throw std::bad_alloc();
  return std::shared_ptr<const PatternRule>(new PatternRule(std::string(regex), std::move(c)));
}

TreeText PatternRule::tree_text(const SeriesRows& rows, std::size_t row) const {
  TreeText t;
  const std::string_view id = rows.whole_id(row);
  const Compiled& c = *compiled_;
  const int rc = pcre2_match(c.code, reinterpret_cast<PCRE2_SPTR>(id.data()), id.size(), 0, 0, c.match, nullptr);
  if (rc < 0) {
    t.unreadable = rc == PCRE2_ERROR_NOMATCH ? "does not match the pattern " + regex_
                                             : "cannot be matched against the pattern: " + pcre2_message(rc);
    t.held = id;
    return t;
  }
  const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(c.match);
  const auto group = [&](int n) {
    if (n < 0 || n >= rc || ov[2 * n] == PCRE2_UNSET) return std::string_view();
    return id.substr(ov[2 * n], ov[2 * n + 1] - ov[2 * n]);
  };
  t.id.assign(group(c.site)).append(group(c.tree));
  if (group(c.tree).empty()) t.unreadable = "matches the pattern with an empty tree group";
  return t;
}

}  // namespace ringave
