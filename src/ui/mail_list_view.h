// The mail list as a table that behaves like a list of mails: rows are selected whole (several
// with Ctrl and Shift), selecting never scrolls the columns sideways, Home and End go to the
// first and last mail, Tab leaves the list, and a right click on the header shows or hides the
// optional columns.
#pragma once

#include <QTableView>

class QMenu;

namespace quillon {

class MailListView final : public QTableView {
  Q_OBJECT

 public:
  explicit MailListView(QWidget* parent = nullptr);

  // After setModel: the header's menu of optional columns, which start hidden.
  void SetUpColumns();
  QMenu* ColumnMenu() const { return columnMenu_; }

  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

 protected:
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;

 private:
  QMenu* columnMenu_ = nullptr;
};

}  // namespace quillon
