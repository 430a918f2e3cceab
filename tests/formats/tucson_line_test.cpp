// The reader's quick path for later Tucson lines, every version of it, against
// the full parse on every line: lines as files hold them, and every real line
// as it is and with a column changed; and a block of lines at once against
// one line at a time.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>
#include <vector>

#include "formats/tucson_line.h"
#include "test_files.h"

namespace ringave {
namespace {

// A record as the full parse sees it: cut or padded with blanks to a full line.
std::string full_line(std::string_view record) {
  std::string line(record.substr(0, kTucsonLineLength - 1));
  line.resize(kTucsonLineLength, ' ');
  return line;
}

// The mask of the first 6, 7 or 8 ID columns.
std::uint64_t id_mask(unsigned columns) { return columns == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * columns)) - 1; }

// The reader's quick path for later lines against the full parse: a line it
// takes is a data line without a tag that carries the expected ID (on the
// columns of the mask) and year, no value negative or 999, its values
// stored as hundredths; every implementation the processor runs agrees. The ID
// and year expected are the line's own, now and then changed.
const std::vector<QuickPath> kPaths = quick_paths();

bool expect_sound_quick_take(const std::string& record, std::mt19937& rng) {
  const std::string line = full_line(record);
  TucsonFields general;
  const bool data = parse_tucson_line(line.data(), general);
  LineExpectation expect;
  std::memcpy(&expect.id, line.data(), 8);
  if (rng() % 8 == 0) expect.id ^= std::uint64_t{1} << (8 * (rng() % 8));
  expect.id_mask = id_mask(6 + rng() % 3);
  expect.year = data ? general.year + (rng() % 8 == 0 ? 10 : 0) : static_cast<std::int64_t>(rng() % 3000);
  float quick[10];
  std::fill(quick, quick + 10, -1.0f);
  const bool took = take_plain_line(record, expect, quick);
  for (const QuickPath& path : kPaths) {
    float other[10];
    std::fill(other, other + 10, -1.0f);
    EXPECT_EQ(path.line(record, expect, other), took) << path.name << " [" << record << "]";
    EXPECT_TRUE(std::memcmp(other, quick, sizeof quick) == 0) << path.name << " [" << record << "]";
  }
  if (!took) return false;
  std::uint64_t id;
  std::memcpy(&id, line.data(), 8);
  EXPECT_TRUE(data && !general.tagged && general.year == expect.year && ((id ^ expect.id) & expect.id_mask) == 0)
      << "[" << record << "]";
  for (int k = 0; k < 10; ++k) {
    EXPECT_TRUE(general.f[k] >= 0 && general.f[k] != 999) << "[" << record << "] field " << k;
    const float want = static_cast<float>(general.f[k]) * 0.01f;
    EXPECT_EQ(std::bit_cast<std::uint32_t>(quick[k]), std::bit_cast<std::uint32_t>(want)) << "[" << record << "]";
  }
  return true;
}

// Lines as files hold them: right-justified fields (a sign, digits, blanks
// before them), a tag or not, cut anywhere, and now and then a column
// changed to what the quick path must refuse or read differently.
TEST(TucsonFastPath, QuickPathAgreesWithTheFullParse) {
  std::mt19937 rng(16);
  auto pick = [&](const char* from) { return from[rng() % std::strlen(from)]; };
  auto field = [&](std::size_t w) {
    std::string text = rng() % 4 == 0 ? std::string(1, pick("-+-")) : "";
    for (std::size_t n = rng() % (w + 1 - text.size()); n > 0; --n) text += pick("0123456789");
    return std::string(w - text.size(), ' ') + text;
  };
  int quick = 0;
  for (int i = 0; i < 100000 && !HasFailure(); ++i) {
    std::string rec;
    for (int c = 0; c < 8; ++c) rec += c >= 6 && rng() % 20 == 0 ? '-' : pick("ABC01 ");
    rec += field(4);
    for (int k = 0; k < 10; ++k) rec += field(6);
    if (rng() % 2) rec += pick(" A") + std::string(9, ' ') + pick(" AVE") + "VE   ";  // columns 73-88, a tag or not
    if (rng() % 4 == 0) rec.resize(rng() % rec.size());
    for (int n = rng() % 3 == 0 ? 1 + static_cast<int>(rng() % 2) : 0; n > 0 && !rec.empty(); --n)
      rec[rng() % rec.size()] = pick(" +-09.,Ee\tA#*\x80");
    quick += expect_sound_quick_take(rec, rng);
  }
  EXPECT_GT(quick, 500);  // a sign in any value field sends a line the full way
}

// Every line of the real Tucson files, as it is and with one column changed.
TEST(TucsonFastPath, RealLinesAgreeWithTheFullParse) {
  std::mt19937 rng(533);
  int quick = 0;
  for (const char* name : {"anos1.rwl", "anos1_p001.rwl", "ca533.rwl", "gp.rwl", "gp_p001.rwl", "nm046.rwl",
                           "nm046_p001.rwl", "wa082.rwl", "wa082_p001.rwl"}) {
    std::ifstream in(std::string(RINGAVE_TEST_DATA) + "/" + name, std::ios::binary);
    ASSERT_TRUE(in) << name;
    for (std::string line; std::getline(in, line) && !HasFailure();) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      quick += expect_sound_quick_take(line, rng);
      if (line.empty()) continue;
      line[rng() % line.size()] = "- +0A."[rng() % 6];
      quick += expect_sound_quick_take(line, rng);
    }
  }
  EXPECT_GT(quick, 5000);
}

// The lines taken at once are the longest run that the one-line quick path
// takes line by line (lines of exactly 72 columns, none beyond the most
// asked for), with the same values; a line feed in an ID column the mask
// leaves out ends the run.
TEST(TucsonFastPath, LinesTakenAtOnceAsOneByOne) {
  std::mt19937 rng(72);
  std::size_t runs = 0, taken_lines = 0;
  for (const char* name : {"ca533.rwl", "gp_p001.rwl", "nm046.rwl", "wa082_p001.rwl"}) {
    std::string text = testing::test_data(name);
    std::erase(text, '\r');
    for (std::size_t start = 0; start < text.size() && !HasFailure(); start = text.find('\n', start) + 1) {
      if (rng() % 3 == 0) text[start + rng() % 80 % (text.size() - start)] = " 0-A\n"[rng() % 5];
      LineExpectation expect;
      std::memcpy(&expect.id, text.data() + start, 8);
      expect.id_mask = id_mask(6 + rng() % 3);
      TucsonFields first;
      const std::string_view rest = std::string_view(text).substr(start);
      expect.year = parse_tucson_line(full_line(rest.substr(0, rest.find('\n'))).data(), first) ? first.year : 0;
      const std::size_t most = rng() % 4 == 0 ? rng() % 5 : 1000;
      std::vector<float> at_once(10 * 1000 + 10, -1.0f), one_by_one(10 * 1000 + 10, -1.0f);
      LineExpectation moved = expect;
      const std::size_t n = take_plain_lines(std::string_view(text).substr(start), moved, at_once.data(), most);
      for (const QuickPath& path : kPaths) {
        std::vector<float> other(at_once.size(), -1.0f);
        LineExpectation other_moved = expect;
        EXPECT_EQ(path.lines(std::string_view(text).substr(start), other_moved, other.data(), most), n) << path.name;
        EXPECT_TRUE(other == at_once && other_moved.year == moved.year) << path.name << " " << name << " at " << start;
      }
      std::size_t k = 0;
      for (std::size_t at = start; k < most; ++k, at += 73, expect.year += 10) {
        const std::size_t lf = text.find('\n', at);
        if (lf != at + 72 || !take_plain_line(std::string_view(text).substr(at, 72), expect, &one_by_one[10 * k])) break;
      }
      ASSERT_EQ(n, k) << name << " at byte " << start;
      EXPECT_EQ(moved.year, expect.year);
      EXPECT_TRUE(std::memcmp(at_once.data(), one_by_one.data(), 40 * n) == 0) << name << " at byte " << start;
      runs += n > 0;
      taken_lines += n;
    }
  }
  EXPECT_GT(runs, 300u);
  EXPECT_GT(taken_lines, 3000u);
  // "ABCDEF" then a line feed in column 7: two records, not one data line.
  const std::string text = "ABCDEF\nG1001" + std::string(60, '1') + "\n";
  LineExpectation expect{0, (std::uint64_t{1} << 48) - 1, 1001};
  std::memcpy(&expect.id, "ABCDEFGH", 8);
  float values[10];
  for (const QuickPath& path : kPaths) {
    LineExpectation e = expect;
    EXPECT_EQ(path.lines(text, e, values, 10), 0u) << path.name;
    e.id_mask = ~std::uint64_t{0};
    EXPECT_EQ(path.lines("ABCDEFGH1001" + std::string(60, '1') + "\n", e, values, 10), 1u) << path.name;
  }
}

}  // namespace
}  // namespace ringave
