// `quillon show`: scans a source and prints one found mail.
#pragma once

#include "app/cli/arguments.h"

namespace quillon {

// Writes mail --index N (1-based, found order) to stdout: its .eml bytes exactly as a save would
// write them, or with --txt its text rendering. Exit status 1 when N is out of range, the mail
// cannot be read back or standard output cannot be written, 128 + the signal that stopped the
// run (130, 143, 129): a stopped run prints no mail.
int RunShowCommand(const Arguments& arguments);

}  // namespace quillon
