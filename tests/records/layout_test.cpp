// Layout texts compiled into element lists: the elements, the group links,
// the reversion point, and every fault message.

#include "records/layout.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace ringave {
namespace {

// One line per layout: elements separated by blanks, the repeat count in
// front where it is not 1. Checks the group links and literal bounds on the way.
std::string dump(const Layout& l) {
  std::string out;
  const auto& el = l.elements();
  for (std::size_t i = 0; i < el.size(); ++i) {
    const Element& e = el[i];
    std::string s = e.rep != 1 ? std::to_string(e.rep) : "";
    switch (e.op) {
      case Op::I: s += "I" + std::to_string(e.w); break;
      case Op::A: s += e.w == 0 ? std::string("A") : "A" + std::to_string(e.w); break;
      case Op::F: s += "F" + std::to_string(e.w) + "." + std::to_string(e.d); break;
      case Op::X: s += "X" + std::to_string(e.w); break;
      case Op::T: s += "T" + std::to_string(e.w); break;
      case Op::Slash: s += "/"; break;
      case Op::Dollar: s += "$"; break;
      case Op::Literal:
        EXPECT_LE(static_cast<std::size_t>(e.jump + e.w), l.literals().size());
        s += "<" + l.literals().substr(static_cast<std::size_t>(e.jump), static_cast<std::size_t>(e.w)) + ">";
        break;
      case Op::GroupBegin:
        EXPECT_GT(e.jump, static_cast<std::int32_t>(i));
        EXPECT_EQ(el[static_cast<std::size_t>(e.jump)].op, Op::GroupEnd);
        EXPECT_EQ(el[static_cast<std::size_t>(e.jump)].jump, static_cast<std::int32_t>(i));
        s += "(";
        break;
      case Op::GroupEnd: s += ")"; break;
      case Op::End:
        EXPECT_EQ(i + 1, el.size()) << "End must be the last element";
        s += "END";
        break;
    }
    if (!out.empty()) out += ' ';
    out += s;
  }
  return out;
}

struct Good {
  const char* text;
  const char* elements;
  int reversion;
  bool reversion_has_data;
};

TEST(LayoutCompile, ElementLists) {
  const Good cases[] = {
      // Each element kind.
      {"(i4)", "I4 END", 0, true},
      {"(a)", "A END", 0, true},
      {"(a88)", "A88 END", 0, true},
      {"(f8.0)", "F8.0 END", 0, true},
      {"(F4.2)", "F4.2 END", 0, true},
      {"(e10.3, d12.4, g9.2, e11.3e2, G8.1E3)", "F10.3 F12.4 F9.2 F11.3 F8.1 END", 0, true},
      {"(x)", "X1 END", 0, false},
      {"(4x)", "X4 END", 0, false},
      {"(t83)", "T83 END", 0, false},
      {"(/)", "/ END", 0, false},
      {"(2/)", "2/ END", 0, false},
      {"($)", "$ END", 0, false},
      {"()", "END", 0, false},
      // Repeat counts, upper and lower case.
      {"(10i6)", "10I6 END", 0, true},
      {"(2A3,3F5.1)", "2A3 3F5.1 END", 0, true},
      // Literals: both quote kinds, doubled quotes, empty, blanks kept.
      {"('abc')", "<abc> END", 0, false},
      {"(\"List- file name ==> \")", "<List- file name ==> > END", 0, false},
      {"('it''s')", "<it's> END", 0, false},
      {"(\"say \"\"hi\"\"\")", "<say \"hi\"> END", 0, false},
      {"(\"it's\",'a \"b\"')", "<it's> <a \"b\"> END", 0, false},
      {"('')", "<> END", 0, false},
      {"('a,b) (c')", "<a,b) (c> END", 0, false},
      // Groups: counts, nesting, reversion at the last outermost group.
      {"(2(2x,i8),t23,a)", "2( X2 I8 ) T23 A END", 0, true},
      {"(10(i4,i3))", "10( I4 I3 ) END", 0, true},
      {"(1x,5(a3,4x))", "X1 5( A3 X4 ) END", 1, true},
      {"(i2,(i3),a,2(x,'z'))", "I2 ( I3 ) A 2( X1 <z> ) END", 5, false},
      {"(a,2(i1,3(i2,(i3)),i4),i5)", "A 2( I1 3( I2 ( I3 ) ) I4 ) I5 END", 1, true},
      // The comma before ")" is ignored, also inside a group.
      {"(/2x,' Column 1. An input Filename',)", "/ X2 < Column 1. An input Filename> END", 0, false},
      {"(2(i3,),a)", "2( I3 ) A END", 0, true},
      // Commas left out next to separators, groups and literals.
      {"(1x'abc')", "X1 <abc> END", 0, false},
      {"(/1x,a/1x,a)", "/ X1 A / X1 A END", 0, true},
      {"(2(i2)i3)", "2( I2 ) I3 END", 0, true},
      {"('a'$)", "<a> $ END", 0, false},
      // Blanks anywhere outside literals, inside numbers too; text after
      // the final ")" is ignored.
      {"  ( a8 , i 4 , 1 0i6 )  ", "A8 I4 10I6 END", 0, true},
      {"(f 8 . 0)", "F8.0 END", 0, true},
      {"(\tt 8 3\t)", "T83 END", 0, false},
      {"(i4) trailing (text", "I4 END", 0, true},
      {"(i4))", "I4 END", 0, true},
      // Layouts of the system.
      {"(a8,i4,10i6)", "A8 I4 10I6 END", 0, true},
      {"(a8,i4,10i6,t83,a)", "A8 I4 10I6 T83 A END", 0, true},
      {"(/1x,'Current dimentions are:') ", "/ X1 <Current dimentions are:> END", 0, false},
      {"(1x,' space or comma. The number or rows/files cannot exceed ',i4)",
       "X1 < space or comma. The number or rows/files cannot exceed > I4 END", 0, true},
      {"(/t2,'*** header line read error in sbr cdf: '/     1x,a,1x,2i6,2x,a/1x,a) ",
       "/ T2 <*** header line read error in sbr cdf: > / X1 A X1 2I6 X2 A / X1 A END", 0, true},
      {" (/1x,'Enter input file name :  ',$)", "/ X1 <Enter input file name :  > $ END", 0, false},
      {"(1x,'  Max: files                    = ',i8,/)  ",
       "X1 <  Max: files                    = > I8 / END", 0, true},
      {"(1x,i7,2x,i8,3x,a8) ", "X1 I7 X2 I8 X3 A8 END", 0, true},
      {"(10F8.0)", "10F8.0 END", 0, true},
      {"(26F3.0)", "26F3.0 END", 0, true},
      // A template "(a   ,i       )" with the widths written into it.
      {"(a   3,i      2)", "A3 I2 END", 0, true},
      {"(a3,i2)", "A3 I2 END", 0, true},
      // Largest 32-bit numbers.
      {"(2147483647i2147483647)", "2147483647I2147483647 END", 0, true},
  };
  for (const Good& c : cases) {
    SCOPED_TRACE(c.text);
    const Layout l = Layout::compile(c.text);
    ASSERT_TRUE(l.ok()) << l.error();
    EXPECT_EQ(l.text(), c.text);
    EXPECT_EQ(dump(l), c.elements);
    EXPECT_EQ(l.reversion(), c.reversion);
    EXPECT_EQ(l.reversion_has_data(), c.reversion_has_data);
  }
}

TEST(LayoutCompile, HasData) {
  const struct {
    const char* text;
    bool has_data;
  } cases[] = {
      {"(/1x,'Enter input file name :  ',$)", false},
      {"()", false},
      {"(2(x,'I'),t5)", false},
      {"(1x,a)", true},
      {"(2(2x,i8),t23)", true},
      {"(x,2(x,f3.0))", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Layout::compile(c.text).has_data(), c.has_data);
  }
}

TEST(LayoutCompile, Faults) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      // No opening parenthesis.
      {"", kMissingOpen},
      {"   ", kMissingOpen},
      {"i4)", kMissingOpen},
      {"        ", kMissingOpen},  // a blank data format from a Compact header
      {"'(i4)'", kMissingOpen},
      // Parentheses that do not match, or a text cut off before its ")".
      {"(", kUnmatchedParens},
      {"(i4", kUnmatchedParens},
      {"(i4,", kUnmatchedParens},
      {"(2(i4)", kUnmatchedParens},
      {"((i4)", kUnmatchedParens},
      {"(10F10.", kUnmatchedParens},
      {"(i", kUnmatchedParens},
      {"(2", kUnmatchedParens},
      {"(t", kUnmatchedParens},
      // Literals not closed.
      {"('abc)", kUnmatchedQuotes},
      {"(\"abc')", kUnmatchedQuotes},
      {"('it''s)", kUnmatchedQuotes},
      // Repeat count 0.
      {"(0i4)", kIllegalRepeat},
      {"(0(i4))", kIllegalRepeat},
      {"(0/)", kIllegalRepeat},
      {"(0x)", kIllegalRepeat},
      {"(i2,0 0a)", kIllegalRepeat},
      // Repeat count before an element that takes none.
      {"(2'abc')", kNonRepeatable},
      {"(2\"abc\")", kNonRepeatable},
      {"(2$)", kNonRepeatable},
      {"(2t5)", kNonRepeatable},
      // Everything else.
      {"(q)", kFormatError},
      {"(2q)", kFormatError},
      {"(i4;i5)", kFormatError},
      {"(l2)", kFormatError},
      {"(3hABC)", kFormatError},
      {"(bn,i4)", kFormatError},
      {"(tl4)", kFormatError},
      {"(tr4)", kFormatError},
      {"(i4:)", kFormatError},
      {"(1p,f8.2)", kFormatError},
      {"(i)", kFormatError},
      {"(i0)", kFormatError},
      {"(a0)", kFormatError},
      {"(f8)", kFormatError},
      {"(f8.)", kFormatError},
      {"(f.2)", kFormatError},
      {"(f0.0)", kFormatError},
      {"(e9.2e0)", kFormatError},
      {"(i4.2)", kFormatError},
      {"(t)", kFormatError},
      {"(t0)", kFormatError},
      {"(-2x)", kFormatError},
      {"(+2x)", kFormatError},
      {"(3)", kFormatError},
      {"(i4,3)", kFormatError},
      {"(,i4)", kFormatError},
      {"(,)", kFormatError},
      {"(i4,,i5)", kFormatError},
      {"(i4,())", kFormatError},
      {"(2147483648i2)", kFormatError},
      {"(i99999999999999999999)", kFormatError},
      {"(t2147483648)", kFormatError},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const Layout l = Layout::compile(c.text);
    EXPECT_FALSE(l.ok());
    EXPECT_EQ(l.error(), c.message);
    EXPECT_EQ(l.text(), c.text);
    // A failed layout still ends in End, so a walk over it stops at once.
    ASSERT_EQ(l.elements().size(), 1u);
    EXPECT_EQ(l.elements()[0].op, Op::End);
    EXPECT_FALSE(l.has_data());
  }
}

// The first fault met from the left is the one reported.
TEST(LayoutCompile, FirstFaultWins) {
  EXPECT_EQ(Layout::compile("(0i4,'abc").error(), kIllegalRepeat);
  EXPECT_EQ(Layout::compile("(q,'abc").error(), kFormatError);
  EXPECT_EQ(Layout::compile("('abc").error(), kUnmatchedQuotes);
  EXPECT_EQ(Layout::compile("(2'abc").error(), kNonRepeatable);
}

TEST(LayoutCompile, GroupDepth) {
  auto nested = [](int depth) {
    return "(" + std::string(static_cast<std::size_t>(depth), '(') + "i1" +
           std::string(static_cast<std::size_t>(depth), ')') + ")";
  };
  const Layout deepest = Layout::compile(nested(kMaxGroupDepth));
  ASSERT_TRUE(deepest.ok()) << deepest.error();
  EXPECT_EQ(deepest.elements().size(), static_cast<std::size_t>(2 * kMaxGroupDepth + 2));
  EXPECT_EQ(deepest.reversion(), 0);
  EXPECT_EQ(Layout::compile(nested(kMaxGroupDepth + 1)).error(), kFormatError);
  // Depth counts open groups only: many groups one after another are fine.
  std::string flat = "(";
  for (int i = 0; i < 3 * kMaxGroupDepth; ++i) flat += "(i1),";
  flat += ")";
  const Layout wide = Layout::compile(flat);
  ASSERT_TRUE(wide.ok()) << wide.error();
  EXPECT_EQ(wide.reversion(), 3 * (3 * kMaxGroupDepth - 1));
}

TEST(LayoutCache, SameTextSameLayout) {
  const Layout& a = layout("(a8,i4,10i6)");
  const Layout& b = layout(std::string("(a8,i4,10i6)"));
  EXPECT_EQ(&a, &b);
  EXPECT_TRUE(a.ok());
  // Keyed by the exact text: another spelling is another entry.
  const Layout& c = layout("(a8, i4, 10i6)");
  EXPECT_NE(&a, &c);
  EXPECT_EQ(dump(a), dump(c));
  // A view into a longer buffer finds the entry by its own characters.
  const std::string buffer = "(a8,i4,10i6)(i2)";
  EXPECT_EQ(&layout(std::string_view(buffer).substr(0, 12)), &a);
  EXPECT_EQ(dump(layout(std::string_view(buffer).substr(12))), "I2 END");
}

TEST(LayoutCache, FaultsAreCachedAndReferencesStay) {
  const Layout& bad = layout("(i4");
  EXPECT_EQ(bad.error(), kUnmatchedParens);
  EXPECT_EQ(&layout("(i4"), &bad);
  // Many more entries (the table grows and rehashes) leave earlier
  // references in place.
  const Layout& first = layout("(i1)");
  for (int i = 2; i < 2000; ++i) layout("(i" + std::to_string(i) + ")");
  EXPECT_EQ(&layout("(i1)"), &first);
  EXPECT_EQ(dump(first), "I1 END");
  EXPECT_EQ(dump(layout("(i1999)")), "I1999 END");
}

}  // namespace
}  // namespace ringave
