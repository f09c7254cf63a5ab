// The application's look: one style, one palette and the button faces on every desktop, so that
// the window looks the same on a developer's machine, in the tests and in the screenshots.
#pragma once

#include <QColor>

class QApplication;

namespace quillon {

inline constexpr QColor kDialogBackground{220, 220, 228};

void ApplyQuillonLook(QApplication& application);

}  // namespace quillon
