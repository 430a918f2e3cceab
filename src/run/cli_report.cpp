#include "run/cli_report.h"

#include <cctype>

namespace ringave {

LineReporter::LineReporter(Console& con, std::string_view name, bool notes) : con_(con), name_(name), notes_(notes) {}

void LineReporter::say(std::string_view kind, std::string_view words) {
  con_.warn(name_ + ": " + std::string(kind) + ": " + std::string(words));
}

void LineReporter::note(const Finding& finding) {
  if (notes_) say("note", finding.plain_words());
}

void LineReporter::warning(const Finding& finding) { say("warning", finding.plain_words()); }

void LineReporter::file_error(const Finding& finding) { say("error", finding.plain_words()); }

std::string plain_words(const Error& f, std::string_view illegal) {
  if (f.message == kIllegalCharacter) return std::string(illegal);
  if (f.message == kReadPastEnd) return "the file ends in the middle of an item";
  if (f.message == kNumericOverflow) return "a number too large for its item";
  std::string text = f.message;
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

}  // namespace ringave
