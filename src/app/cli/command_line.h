// The `quillon` command: parses the arguments and runs one command. Returns the exit status:
// 0 done, 1 the work failed (a source that cannot be opened, a folder that cannot be created),
// 2 a usage error.
#pragma once

namespace quillon {

int RunCommandLine(int argc, char** argv);

}  // namespace quillon
