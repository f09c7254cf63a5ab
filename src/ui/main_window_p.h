// Private to the main window's source files.
#pragma once

#include <QApplication>

namespace quillon {

inline constexpr int kListPaneMinimum = 100;

class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace quillon
