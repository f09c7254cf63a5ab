#include "ui/screenshot.h"

#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QWidget>

namespace quillon {

bool SaveScreenshot(QWidget& widget, const QString& path) {
  const QFileInfo target(path);
  if (!QDir().mkpath(target.absolutePath())) return false;
  return widget.grab().save(path, "PNG");
}

}  // namespace quillon
