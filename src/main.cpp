// ringave: average the cores of each tree in ring-width files.
#include <csignal>
#include <cstdio>

#include "records/console.h"
#include "records/file_unit.h"
#include "records/interrupt.h"
#include "records/outcome.h"
#include "records/report.h"
#include "run/cli_run.h"
#include "run/driver.h"

int main(int argc, char** argv) {
  using namespace ringave;
  // Past a file-size limit a write fails and is reported like any failed
  // write, instead of the signal killing the run with a temporary file left.
  std::signal(SIGXFSZ, SIG_IGN);
  // Likewise a reader of standard output that has gone away: the write fails
  // with the fatal report instead of the signal killing the run while an
  // output file is still being written.
  std::signal(SIGPIPE, SIG_IGN);
  // Ctrl-C, a closed terminal or a kill removes the output being written
  // (never a committed one) and ends the run by that signal.
  install_interrupt_cleanup();

  // However the run ends (other than by a signal), the folders that received
  // outputs are flushed to disk before the process exits.
  struct SyncFoldersAtExit {
    ~SyncFoldersAtExit() { sync_output_folders(); }
  } sync_at_exit;

  Console& con = console();
  // Arguments: the command line. None: the dialogue.
  if (argc > 1) return run_command_line(argc, argv, con);
  try {
    const int status = drive(con);
    con.flush();
    return status;
  } catch (const Error& e) {
    try {
      con.flush();  // the dialogue so far comes before the stop message or report
    } catch (const Error& flush) {
      // The console itself cannot be written: after a stop its report says
      // why; the fatal report in hand says why already.
      if (!e.fatal()) return report(flush, stderr);
    }
    return report(e, stderr);
  }
}
