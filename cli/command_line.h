// The program's command line: its commands, their arguments and options.
#pragma once

namespace vostrel::cli {

// Reads the command line, runs the command it names and returns the exit
// status: 0 done, 1 failed, 2 a command line that does not say what to do.
// Messages go to standard error.
int runCommandLine(int argc, char** argv);

}  // namespace vostrel::cli
