// How the command line words what a save run tells (output/save_run.h): the window's texts, one
// line break (LF) where a message box has CR LF.
#pragma once

#include <string>

#include "output/save_run.h"

namespace quillon {

// "Saved 3 mails!", "Saved 0 mails!\n2 mails were already in the folder.", "1 mails could not
// be saved.\n<path>: <reason>", ... UTF-8, no final line break.
std::string SaveNoticeText(const SaveNotice& notice);

// The progress line of a mail being saved: "Saving [<base name>]".
std::u16string SavingMailText(const std::u16string& baseName);

}  // namespace quillon
