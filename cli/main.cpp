// vostrel: the command line of the hub library, for scripts and servers.
#include "command_line.h"

int main(int argc, char** argv) { return vostrel::cli::runCommandLine(argc, argv); }
