// ringave: average the cores of each tree in ring-width files.
#include <cstdio>

#include "records/console.h"
#include "records/outcome.h"
#include "records/report.h"
#include "run/driver.h"

int main() {
  using namespace ringave;
  Console& con = console();
  int status;
  try {
    status = drive(con);
  } catch (const Stop& s) {
    con.flush();
    status = report(s, stderr);
  } catch (const FatalError& f) {
    con.flush();
    status = report(f, stderr);
  }
  con.flush();
  return status;
}
