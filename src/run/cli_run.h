// The command-line run: the arguments parsed (run/command_line.h), each
// input file taken through the driver's steps, one summary line per file
// written on standard output, and one line per warning or error on standard
// error beginning with the file's name.
#pragma once

#include "records/console.h"

namespace ringave {

// Exit status of a usage error on the command line.
inline constexpr int kExitUsage = 2;

// Runs the command line given by argv[1 .. argc) on `con` (whose standard
// input is never read) and returns the exit status: 0 when every file was
// written (or, with -n, read and averaged), 1 when one or more files failed
// or the list file cannot be used, 2 for a usage error; --help and --version
// print their text and give 0. A failed file does not stop the others. Never
// throws: standard output that cannot be written gives 1 with a line on
// standard error.
int run_command_line(int argc, const char* const* argv, Console& con);

}  // namespace ringave
