// `quillon save`: scans a source and saves every mail it found into a folder.
#pragma once

#include "app/cli/arguments.h"

namespace quillon {

// Writes the found mails into <--out>/Mail Box/ as a save run of the "Mail Box" folder does,
// making <--out> (with its parents) first when it is missing; folders it made stay only when a
// file was written into them. Exit status 0 when every mail was saved (or was there already),
// 1 when the source or a folder could not be opened or made, a file could not be written or
// standard output failed, 128 + the signal that stopped the run (130, 143, 129).
int RunSaveCommand(const Arguments& arguments);

}  // namespace quillon
