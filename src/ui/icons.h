// The drawn icons of the windows, from the resource file.
#pragma once

#include <QIcon>

namespace quillon {

// Registers the resource file of this library; needed once before the first icon, because a
// static library's resources are not registered on their own.
void LoadUiResources();

QIcon AppIcon();
// "save", "data", "help", "find", "about", "stop".
QIcon ButtonIcon(const char* name);
// By SourceIconKind: 0 disk, 1 image file, 2 drive.
QIcon SourceIcon(int kind);
QIcon RootFolderIcon();
QIcon MailFolderIcon();

}  // namespace quillon
