// The user guide: a local HTML page installed with the program, so that help works offline and
// points nowhere the program does not control.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace quillon {

// Where the guide may lie for a program started from `programFolder`, in the order tried:
// the data folder at its installed place relative to the program (an installed program, an
// unpacked package in any folder, and a build-tree program, whose build mirrors that layout),
// then share/quillon in the XDG data folders ($XDG_DATA_HOME, $XDG_DATA_DIRS), which lets a
// user point a program at a guide kept elsewhere.
QStringList HelpPageCandidates(const QString& programFolder);

// The first candidate that exists, as a file URL; the program-relative place when none does, so
// that opening it fails visibly instead of showing some other page.
QUrl FindHelpPage(const QString& programFolder);

// The guide of the running program.
QUrl HelpPageUrl();

}  // namespace quillon
