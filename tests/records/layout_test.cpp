// Layout texts compiled into element lists: elements, reversion point, every
// fault message, and the cache.
#include "records/layout.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace ringave {
namespace {

// The elements separated by blanks, each with its repeat count when not 1.
std::string dump(const Layout& l) {
  static const char* const kName[] = {"I", "A", "F", "X", "T", "/", "$", "", "(", ")", "END"};
  std::string out;
  for (const Element& e : l.elements()) {
    out += out.empty() ? "" : " ";
    if (e.rep != 1) out += std::to_string(e.rep);
    out += kName[static_cast<int>(e.op)];
    if (e.op <= Op::T && e.w > 0) out += std::to_string(e.w);
    if (e.op == Op::F) out += "." + std::to_string(e.d);
    if (e.op == Op::Literal) out += "<" + l.literals().substr(e.jump, e.w) + ">";
  }
  return out;
}

TEST(LayoutCompile, ElementLists) {
  const struct { const char* text; const char* elements; int reversion; } cases[] = {
      {"(a,A88,f8.0,10i6)", "A A88 F8.0 10I6 END", 0},
      {"(e10.3,d12.4,g9.2,e11.3e2)", "F10.3 F12.4 F9.2 F11.3 END", 0},  // read as F
      {"(4x,x,t83,2/,$)", "X4 X1 T83 2/ $ END", 0},
      {"('it''s',\"say \"\"hi\"\"\",'','a,b) (c')", "<it's> <say \"hi\"> <> <a,b) (c> END", 0},
      {"  ( a   3 , i 1 0 ) trailing (text", "A3 I10 END", 0},  // blanks anywhere; text after ")"
      {"(2(i3,),a,)", "2( I3 ) A END", 0},                      // a comma before ")" is ignored
      {"(1x'abc'/1x,a$)", "X1 <abc> / X1 A $ END", 0},           // commas left out
      {"(1x,5(a3,4x))", "X1 5( A3 X4 ) END", 1},
      {"(i2,(i3),a,2(x,'z'))", "I2 ( I3 ) A 2( X1 <z> ) END", 5},  // the last outermost group
      {"(a,2(i1,3(i2,(i3)),i4),i5)", "A 2( I1 3( I2 ( I3 ) ) I4 ) I5 END", 1},
      {"(2147483647i2147483647)", "2147483647I2147483647 END", 0}, {"()", "END", 0},
  };
  for (const auto& c : cases) {
    const Layout l = Layout::compile(c.text);
    EXPECT_EQ(dump(l), c.elements) << c.text << ": " << l.error();
    EXPECT_EQ(l.reversion(), c.reversion) << c.text;
  }
}

TEST(LayoutCompile, Faults) {
  const std::string deep = std::string(kMaxGroupDepth + 2, '(') + "i1" + std::string(kMaxGroupDepth + 2, ')');
  const std::pair<std::string, const char*> cases[] = {
      {"", kMissingOpen},           {"'(i4)'", kMissingOpen},         {"(i4", kUnmatchedParens},
      {"(2(i4)", kUnmatchedParens}, {"(10F10.", kUnmatchedParens},    {"('it''s)", kUnmatchedQuotes},
      {"(0i4)", kIllegalRepeat},    {"(2'abc')", kNonRepeatable},     {"(2$)", kNonRepeatable},
      {"(2t5)", kNonRepeatable},    {"(q)", kFormatError},            {"(i0)", kFormatError},
      {"(f8)", kFormatError},       {"(t0)", kFormatError},           {"(,i4)", kFormatError},
      {"(i4,,i5)", kFormatError},   {"(i4,())", kFormatError},        {"(2147483648i2)", kFormatError},
      {deep, kFormatError},
  };
  for (const auto& [text, message] : cases) {
    const Layout l = Layout::compile(text);
    EXPECT_EQ(l.error(), message) << text;
    EXPECT_EQ(dump(l), "END") << text;  // a failed layout cannot be walked past its end
  }
  EXPECT_TRUE(Layout::compile(std::string(kMaxGroupDepth + 1, '(') + "i1" + std::string(kMaxGroupDepth + 1, ')')).ok());
}

// Cached by the exact characters of the text, faults too; references stay
// valid while the table grows.
TEST(LayoutCache, SameTextSameLayout) {
  const std::string buffer = "(a8,i4,10i6)(i4";
  const Layout& a = layout("(a8,i4,10i6)");
  const Layout& bad = layout(std::string_view(buffer).substr(12));
  for (int i = 1; i < 2000; ++i) layout("(i" + std::to_string(i) + ")");
  EXPECT_EQ(&layout(std::string_view(buffer).substr(0, 12)), &a);
  EXPECT_EQ(&layout("(i4"), &bad);
  EXPECT_EQ(dump(a) + " " + bad.error(), std::string("A8 I4 10I6 END ") + kUnmatchedParens);
}

}  // namespace
}  // namespace ringave
