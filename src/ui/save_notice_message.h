// How the window words what a save run tells (output/save_run.h): the texts of its message boxes
// and of the progress bar while a run saves.
#pragma once

#include <QString>
#include <string>

#include "output/save_run.h"

namespace quillon {

// The message box's text: "Saved 3 mails!", "Create directory unsuccessfully!\r\n<folder>", ...
QString SaveNoticeMessage(const SaveNotice& notice);

// The progress bar's text while a mail is saved: "Saving [<base name>]".
QString SavingMailStatus(const std::u16string& baseName);

}  // namespace quillon
