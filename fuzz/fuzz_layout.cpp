// Fuzzes the layout compiler and formatted transfer: the input's first line
// is a layout text, the rest is the record (and, over a memory unit, the
// records) it is applied to. A read fills items of every kind; a write puts
// the same items out through an internal record and a memory unit. Layout
// faults and unhandled outcomes throw the fatal report, which is a defined end.
//
// Layout::compile is called directly: the layout cache keeps every text for
// the life of the process, which would grow without bound here.
//
// A layout such as "(i900000000)" or "(99999(99999x),i1)" is a valid text
// whose transfer moves through billions of columns. Layouts that reach a
// transfer from input are at most 8 characters (a Compact or block header's
// layout field), and writes use only the program's own layouts, so such
// texts are compiled here but not transferred.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "records/field.h"
#include "records/layout.h"
#include "records/memory_unit.h"
#include "records/outcome.h"
#include "records/record_io.h"
#include "records/transfer.h"

using namespace ringave;

namespace {

struct Vars {
  std::int32_t i1 = 7;
  float r1 = 1.5f;
  Field<8> id;
  std::int32_t i2 = -3;
  Field<50> name;
  float run[12] = {};
  bool flag = false;
};

// Columns and steps one pass over the layout costs, at most.
double work_of(const Layout& lay) {
  std::vector<double> mult{1.0};
  double work = 0;
  for (const Element& e : lay.elements()) {
    const double rep = e.rep < 1 ? 1.0 : e.rep;
    if (e.op == Op::GroupBegin) {
      mult.push_back(mult.back() * rep);
    } else if (e.op == Op::GroupEnd) {
      if (mult.size() > 1) mult.pop_back();
    } else {
      work += mult.back() * rep * (1.0 + (e.w > 0 ? e.w : 0));
    }
  }
  return work;
}

void read_into(RecordSource& src, const Layout& lay, Vars& v) {
  try {
    (void)read_formatted(src, lay, {v.i1, v.r1, v.id, v.i2, v.name, std::span<float>(v.run), v.flag}, Handles::both);
  } catch (const Error&) {
  }
}

void write_from(RecordSink& sink, const Layout& lay, const Vars& v) {
  try {
    write_formatted(sink, lay, {v.i1, v.r1, v.id, v.i2, v.name, std::span<const float>(v.run), v.flag});
  } catch (const Error&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  const std::size_t nl = in.find('\n');
  const std::string_view text = in.substr(0, nl);
  const std::string_view rest = nl == std::string_view::npos ? std::string_view() : in.substr(nl + 1);

  const Layout lay = Layout::compile(text);
  if (lay.ok() && work_of(lay) > 1e6) return 0;

  // One internal record (a second record is end of file).
  Vars v;
  InternalSource one(rest.substr(0, rest.find('\n')));
  read_into(one, lay, v);

  // The same layout over every record of the input.
  Vars w;
  MemoryUnit unit(rest);
  read_into(unit, lay, w);

  // Writes of what was read.
  char field[80];
  InternalSink internal(field, sizeof field);
  write_from(internal, lay, v);
  MemoryUnit out;
  write_from(out, lay, w);
  return 0;
}
