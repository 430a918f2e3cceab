#include "records/report.h"

#include <string_view>

namespace ringave {

namespace {

void put_text(std::string_view text, std::FILE* err) { std::fwrite(text.data(), 1, text.size(), err); }

int report_stop(const Error& stop, std::FILE* err) {
  if (stop.message.find_first_not_of(' ') != std::string::npos) {
    put_text(stop.message, err);
    put_text("\n", err);
    std::fflush(err);
  }
  return stop.status;
}

int report_fatal(const Error& fatal, std::FILE* err) {
  put_text("? ringave: run-time error in the record layer\n", err);
  put_text("? ", err);
  put_text(fatal.message, err);
  put_text("\n? ", err);
  put_text(fatal.statement, err);
  put_text("(UNIT=", err);
  put_text(fatal.unit, err);
  put_text(",...\n", err);
  if (!fatal.where.empty()) {
    put_text("? ", err);
    put_text(fatal.where, err);
    put_text("\n", err);
  }
  std::fflush(err);
  return kExitFatal;
}

}  // namespace

int report(const Error& error, std::FILE* err) {
  return error.fatal() ? report_fatal(error, err) : report_stop(error, err);
}

}  // namespace ringave
