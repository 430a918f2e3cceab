// Record sources and sinks: where records come from and go to. A record is a
// run of characters without terminator, columns numbered from 1.
//
// Sources: an input file (FileUnit), the console (Console), and an internal
// record (a fixed-length field read as exactly one record). Sinks: an output
// file, the console, and an internal record written from column 1 and filled
// with blanks.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ringave {

class RecordSource {
 public:
  virtual ~RecordSource() = default;
  // Take the next record. Returns false at end of file; the view stays valid
  // until the next call on this source. May throw the fatal report ("READ") when
  // the source itself fails.
  virtual bool next(std::string_view& record) = 0;
  // The unit as the fatal report names it: "12", "*" or "INTERNAL".
  virtual std::string unit_label() const = 0;
};

class RecordSink {
 public:
  virtual ~RecordSink() = default;
  // Write one record, followed by a line end unless line_end is false. May
  // throw the fatal report ("WRITE") when the sink itself fails.
  virtual void put(std::string_view record, bool line_end) = 0;
  virtual std::string unit_label() const = 0;

  // Room to format records in place, for a writer of many short lines:
  // `size` writable bytes, or nullptr when the sink cannot give that much
  // at once or takes records through put() only (the default). The records
  // formatted there, each followed by its line feed, are taken by commit();
  // nothing else is called on the sink in between. May throw what put()
  // throws.
  virtual char* room(std::size_t /*size*/) { return nullptr; }
  // Takes the bytes from the last room() up to `end` as `records` records,
  // as put() takes them: carriage returns dropped. Never throws but for
  // memory.
  virtual void commit(const char* /*end*/, std::size_t /*records*/) {}
};

// What Unit::take_lines hands the lines that follow to.
class LineTaker {
 public:
  // `text`: the lines that follow as the file holds them, each followed by
  // a line feed, none needing cleaning (no carriage return, no tab unless
  // the unit keeps tabs), the
  // first of them the record the next read would deliver. Takes whole
  // lines from its start, as many as it will: returns the bytes taken
  // (each line with its line feed) and sets `lines` to their number.
  virtual std::size_t take(std::string_view text, std::size_t& lines) = 0;

 protected:
  ~LineTaker() = default;
};

// A unit: a file connected for sequential reading or writing. Readers and the
// writer take a Unit, so tests can hand them in-memory files (MemoryUnit)
// and the driver real ones (FileUnit).
class Unit : public RecordSource, public RecordSink {
 public:
  // The line number of the record taken last (0 before the first), for
  // messages that name a line.
  virtual std::int64_t line() const = 0;

  // Make the next read deliver the last record taken again, by the one rule
  // of RecordCursor (record_cursor.h): one record of history; after a read
  // that met end of file only the end-of-file state is cleared; at the start
  // of the file nothing. Never throws.
  virtual void step_back() = 0;

  // Hand the lines that follow, as far as the unit holds them in memory
  // and they need no cleaning, to `taker`, and go past the ones it takes:
  // the same as a next() for each of them. Returns the number of lines
  // taken; this unit hands nothing over. Lets a reader go through a long
  // run of ordinary lines without a call per line.
  virtual std::size_t take_lines(LineTaker& taker) {
    (void)taker;
    return 0;
  }

  // From the next record on, records keep their tabs instead of having
  // them expanded to blanks (a tab-separated table needs them as its
  // separator); carriage returns still go. Called by a reader before its
  // first read of the file; opening the unit again expands them again.
  // Lines handed to a LineTaker may then hold tabs.
  virtual void keep_tabs() = 0;
};

// Turn one raw line of a text file (without its line feed) into a record:
// carriage returns are dropped wherever they stand and a tab is replaced by
// blanks up to the next tab stop (every 8 columns; the character after a tab
// in column 1 or 5 stands in column 9). Columns are counted after this.
// Returns a view into `raw` itself when nothing but carriage returns at its
// end had to go, else a view of `scratch`. With `expand_tabs` false a tab
// stays as it is (a table's separator; see Unit::keep_tabs).
std::string_view clean_record(std::string_view raw, std::string& scratch, bool expand_tabs = true);

// Append one record as an output text file holds it to `out`: the record's
// characters without its carriage returns (a record never writes a line end
// of its own), then a line feed when line_end is true.
void append_record(std::string& out, std::string_view record, bool line_end);

// A fixed-length character field read as one record; a second record is end
// of file.
class InternalSource final : public RecordSource {
 public:
  explicit InternalSource(std::string_view field) : field_(field) {}
  bool next(std::string_view& record) override {
    if (taken_) return false;
    taken_ = true;
    record = field_;
    return true;
  }
  std::string unit_label() const override { return "INTERNAL"; }

 private:
  std::string_view field_;
  bool taken_ = false;
};

// A fixed-length character field written as one record: the text starts in
// column 1 and the rest of the field is blanks. Text past the field's length,
// and any record after the first, is dropped.
class InternalSink final : public RecordSink {
 public:
  InternalSink(char* field, std::size_t length) : field_(field), length_(length) {}
  void put(std::string_view record, bool /*line_end*/) override {
    if (written_) return;
    written_ = true;
    std::size_t i = 0;
    for (; i < length_ && i < record.size(); ++i) field_[i] = record[i];
    for (; i < length_; ++i) field_[i] = ' ';
  }
  std::string unit_label() const override { return "INTERNAL"; }

 private:
  char* field_;
  std::size_t length_;
  bool written_ = false;
};

}  // namespace ringave
