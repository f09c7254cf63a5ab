// Private to the main window's source files.
#pragma once

#include <QApplication>

namespace quillon {

inline constexpr int kListPaneMinimum = 100;
// Found mails join the list at most this often, so that a fast scan of a full disk does not lay
// the list out anew for every mail; a long list waits longer, up to the second value.
inline constexpr int kRowBatchMilliseconds = 100;
inline constexpr int kLongestRowBatchMilliseconds = 2000;

class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace quillon
