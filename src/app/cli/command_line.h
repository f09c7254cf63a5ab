// The `quillon` command: parses the arguments and runs one command. Returns the exit status:
// 0 done, 1 the work failed (a source that cannot be opened, a folder that cannot be created,
// standard output that cannot be written), 2 a usage error, 128 + the signal that stopped the
// run (129 SIGHUP, 130 SIGINT, 143 SIGTERM), 141 when the reader of standard output went away.
#pragma once

namespace quillon {

int RunCommandLine(int argc, char** argv);

}  // namespace quillon
