// The Tucson writer: lines byte for byte, a round trip through the reader,
// and its fast formatting (several values at once, a line, whole series in
// the sink's room) against the layout engine's write.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "formats/format_test_util.h"
#include "formats/tucson.h"
#include "formats/tucson_line.h"

namespace ringave {
namespace {

using testing::data_line;
using testing::OwnedSeries;
using testing::Recorder;

std::string write_series(std::int32_t first_year, std::vector<float> values, const char* id = "XXX") {
  MemoryUnit out("", 13);
  Series s;
  s.id = Field<8>(id);
  s.first_year = first_year;
  s.count = static_cast<std::int32_t>(values.size());
  s.values = values;
  write_tucson_series(out, s, Field<6>("AVE"));
  return out.written();
}

std::vector<float> eighths(int n) {  // 0.125, 0.25, ...: exact in thousandths
  std::vector<float> v;
  while (static_cast<int>(v.size()) < n) v.push_back(0.125f * static_cast<float>(v.size() + 1));
  return v;
}

TEST(TucsonWrite, LinesByteForByte) {
  const std::string ave = "  AVE   ";
  EXPECT_EQ(write_series(1901, eighths(9)),
            data_line("XXX     1901", {125, 250, 375, 500, 625, 750, 875, 1000, 1125}) + "XXX     1910 -9999\n");
  EXPECT_EQ(write_series(1900, eighths(10)),
            data_line("XXX     1900", {125, 250, 375, 500, 625, 750, 875, 1000, 1125, 1250}, ave) + "XXX     1910 -9999\n");
  EXPECT_EQ(write_series(1895, eighths(6)), data_line("XXX     1895", {125, 250, 375, 500, 625}) + "XXX     1900   750 -9999\n");
  EXPECT_EQ(write_series(-5, eighths(6)), data_line("XXX       -5", {125, 250, 375, 500, 625}) + "XXX        0   750 -9999\n");
  EXPECT_EQ(write_series(-1005, eighths(16), "ABCDEFGH"),
            data_line("ABCDEFG-1005", {125, 250, 375, 500, 625}) +
                data_line("ABCDEF -1000", {750, 875, 1000, 1125, 1250, 1375, 1500, 1625, 1750, 1875}, ave) +
                "ABCDEFGH-990  2000 -9999\n");
  EXPECT_EQ(write_series(1900, {0.999f, 0.998f, 0.0005f, -0.999f, -1.5f, 1234.5678f, -9.999f, -0.998f}),
            "XXX     1900  1000   998     1 -1000 -1500******-10000  -998 -9999\n");
  EXPECT_EQ(write_series(9999, eighths(2)), "XXX     9999   125\nXXX     ****   250 -9999\n");
  EXPECT_EQ(write_series(1900, {NAN, 0.5f, NAN}), "XXX     1900  -999   500  -999 -9999\n");  // no value: -999
  // A full line, converted four at a time up to the year without a value.
  EXPECT_EQ(write_series(1900, {0.999f, -0.999f, -9.999f, 0.0f, -0.0004f, 1.0f, 2.0f, 3.0f, -0.9985f, NAN}),
            data_line("XXX     1900", {1000, -1000, -10000, 0, 0, 1000, 2000, 3000, -1000, -999}, ave) +
                "XXX     1910 -9999\n");
  EXPECT_EQ(write_series(1900, {}), "");
}

// The narrowest ID field of a series' lines: 8 from the year -999 on; 7 on
// lines of years -9999 to -1001, 6 beyond them and on the line of -1000; the
// stop marker's line counts.
TEST(TucsonWrite, IdColumnsOfASeries) {
  const struct { std::int32_t first, count; int columns; } cases[] = {
      {1990, 30, 8}, {-999, 5, 8}, {-1012, 2, 7}, {-1012, 3, 7}, {-1005, 4, 7}, {-1005, 5, 6},
      {-10005, 2, 6}, {-1500, 3001, 6}, {1990, 0, 8},
  };
  std::vector<float> values(3001, 1.0f);
  for (const auto& c : cases) {
    Series s;
    s.first_year = c.first, s.count = c.count, s.values = values;
    EXPECT_EQ(tucson_id_columns(s), c.columns) << c.first << " " << c.count;
  }
}

TEST(TucsonWrite, RoundTripThroughTheReader) {
  std::vector<float> values;
  for (int i = 0; i < 40; ++i) values.push_back(0.0137f * static_cast<float>((i * 7919) % 600) - 0.5f);
  for (std::int32_t first : {1901, 1895, -5, -1005, -10012}) {
    MemoryUnit unit(write_series(first, values, "ABCDEFGH"));
    Recorder rec;
    OwnedSeries r;
    TucsonReader(unit, rec).next(r.s);
    EXPECT_EQ(r.s.first_year + r.s.count * 10000, first + 400000);
    for (int i = 0; i < r.s.count; ++i) EXPECT_NEAR(r.s.values[i], values[i], 0.00051f) << first << " value " << i;
  }
}

// The conversion of several values at once against the one of a single
// value: halves, 999, -999, -9999, -0, the edges of exact fractions and of 32 bits, not
// a number, infinities, any bit pattern, and ordinary ring widths.
TEST(TucsonFastPath, ThousandthsSeveralAtOnceAgreeOneByOne) {
  const float special[] = {0.999f, 0.9995f, 0.9985f, -0.999f, -0.9985f, -9.999f, -9.9985f, -0.0f, 0.0005f, -0.0005f, 0.0015f, 8388.607f,
                           8388.608f, -8388.608f, 2147483.5f, 2147483.75f, -2147483.75f, 1e30f, NAN, INFINITY,
                           -INFINITY, 123.4565f, 0.12345f};
  std::mt19937 rng(1000);
  for (int i = 0; i < 50000 && !HasFailure(); ++i) {
    float v[10];
    for (float& x : v) {
      const unsigned bits = static_cast<unsigned>(rng());
      const unsigned r = rng() % 4;
      x = r == 0 ? special[rng() % std::size(special)] : r == 1 ? std::bit_cast<float>(bits)
                                                                 : static_cast<float>(rng() % 30000) * 0.001f;
    }
    const int n = 1 + static_cast<int>(rng() % 10);
    std::int32_t got[10];
    thousandths(v, n, got);
    for (int k = 0; k < n; ++k) EXPECT_EQ(got[k], thousandths(v[k])) << v[k] << " of " << n;
  }
}

// One line of the writer (from its table where every field is 0 to 9999)
// against the engine.
TEST(TucsonFastPath, FormatAgreesWithTheEngine) {
  std::mt19937_64 rng(8);
  bool widths = false;  // a line of ring widths, 0 to 9999 thousandths
  auto number = [&] {  // mostly widths the fields hold, sometimes wider, sometimes any 32-bit number
    const std::int64_t span[] = {200, 20000, 2000000, std::int64_t{1} << 32}, s = span[rng() % 4];
    if (widths) return static_cast<std::int64_t>(rng() % (rng() % 2 ? 10000 : 1200));
    return static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(s)) - s / 2;
  };
  for (int i = 0; i < 50000 && !HasFailure(); ++i) {
    widths = rng() % 2 == 0;
    Field<8> id;
    Field<6> tag;
    for (char& c : id.c) c = static_cast<char>(32 + rng() % 95);
    for (char& c : tag.c) c = static_cast<char>(32 + rng() % 95);
    const std::int64_t year = rng() % 8 == 0 ? static_cast<std::int64_t>(rng() >> 30) - (std::int64_t{1} << 33) : number();
    std::int32_t f[10];
    for (std::int32_t& v : f) v = static_cast<std::int32_t>(number());
    const int n = 1 + static_cast<int>(rng() % 10);
    MemoryUnit fast("", 13), general("", 13);
    write_tucson_line(fast, id, year, f, n, tag);
    write_tucson_line_general(general, id, year, f, n, tag);
    EXPECT_EQ(fast.written(), general.written()) << "year " << year << ", " << n << " fields";
  }
}

// A series as the engine writes it, line by line, from the thousandths of
// its values one by one: what write_tucson_series must write.
std::string engine_series(const Series& s, const Field<6>& tag) {
  MemoryUnit out("", 13);
  std::int64_t year = s.first_year, pos = 0;
  for (int fields = decade_fields(year);; fields = 10) {
    const int n = static_cast<int>(std::min<std::int64_t>(fields, s.count - pos));
    std::int32_t f[10];
    for (int k = 0; k < n; ++k) f[k] = thousandths(s.values[static_cast<std::size_t>(pos + k)]);
    if (n < fields) f[n] = -9999;
    write_tucson_line_general(out, s.id, year, f, n < fields ? n + 1 : n, tag);
    if (n < fields) return out.written();
    pos += n;
    year += n;
  }
}

// A sink that takes records through put() only, as the console does.
struct PutOnly final : RecordSink {
  MemoryUnit to{"", 13};
  void put(std::string_view record, bool line_end) override { to.put(record, line_end); }
  std::string unit_label() const override { return "13"; }
};

// Whole series, formatted in the sink's room (lines of ring widths ten at a
// time, the rest one by one) and through put(), against the engine: ring
// widths in millimetres with now and then a value that leaves the table
// (not a number, negative, 10 mm or more, 0.999, beyond 32 bits), first
// years around the ID splits and the end of 32 bits, series longer than
// one room.
TEST(TucsonFastPath, SeriesAgreesWithTheEngine) {
  std::mt19937 rng(17);
  const float odd[] = {NAN, -0.0f, -0.0004f, -0.0005f, -1.25f, 0.999f, 0.9985f, 9.9994f, 9.9995f, 10.0f,
                       8388.608f, 3e6f, INFINITY, -INFINITY};
  const std::int64_t firsts[] = {1901, 1900, -1005, -999, -10, 9990, 2147483600};
  std::vector<float> values(1500);
  int in_room = 0;
  for (int i = 0; i < 3000 && !HasFailure(); ++i) {
    Series s;
    s.id = Field<8>(i % 2 ? "ABC0101" : "ABCDEFGH");
    const Field<6> tag(i % 3 ? "AVE" : "T*g 6c");
    s.first_year = static_cast<std::int32_t>(firsts[rng() % std::size(firsts)] + rng() % 25);
    s.count = static_cast<std::int32_t>(rng() % (i % 10 ? 130 : values.size()));
    const unsigned rare = rng() % 3 == 0 ? 0 : 1 + rng() % 400;  // one value in `rare` leaves the table
    for (float& v : values)
      v = rare != 0 && rng() % rare == 0 ? odd[rng() % std::size(odd)]
                                         : static_cast<float>(rng() % 10000) * (rng() % 2 ? 0.001f : 0.0010003f);
    s.values = std::span<float>(values.data(), static_cast<std::size_t>(s.count) + rng() % 3);
    const std::string want = s.count > 0 ? engine_series(s, tag) : "";
    MemoryUnit room("", 13);
    PutOnly put;
    write_tucson_series(room, s, tag);
    write_tucson_series(put, s, tag);
    EXPECT_TRUE(room.written() == want && put.to.written() == want) << "series " << i << ", first year "
                                                                     << s.first_year << ", " << s.count << " values";
    in_room += s.count > 500;
  }
  EXPECT_GT(in_room, 100);
}

}  // namespace
}  // namespace ringave
