// Renders a window into a PNG file, for the README picture and the tests' visual checks.
#pragma once

#include <QString>

class QWidget;

namespace quillon {

// The widget as it is drawn now, at the screen's device-pixel ratio. False when the file cannot
// be written.
[[nodiscard]] bool SaveScreenshot(QWidget& widget, const QString& path);

}  // namespace quillon
