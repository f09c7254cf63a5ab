// `quillon save`: scans a source and saves every mail it found into a folder.
#pragma once

#include "app/cli/arguments.h"

namespace quillon {

// Writes the found mails into <--out>/Mail Box/ as a save run of the "Mail Box" folder does,
// creating <--out> first when it is missing. Exit status 0 when every mail was written, 1 when
// the folder could not be created or a file could not be written, 130 when interrupted.
int RunSaveCommand(const Arguments& arguments);

}  // namespace quillon
