// The user guide: a local HTML page installed with the program, so that help works offline and
// points nowhere the program does not control.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace quillon {

// Where the guide may lie, in the order tried: installed beside the program's share folder,
// next to the binary, then the source tree a build-tree binary came from.
QStringList HelpPageCandidates();

// The first candidate that exists, as a file URL; the installed place when none does, so that
// opening it fails visibly instead of showing some other page.
QUrl HelpPageUrl();

}  // namespace quillon
