#include "ui/mail_list_view.h"

#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>

#include "ui/mail_list_model.h"

namespace quillon {

MailListView::MailListView(QWidget* parent) : QTableView(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Tab moves on to the next control, as in any other list.
  setTabKeyNavigation(false);
  setWordWrap(false);
  setTextElideMode(Qt::ElideRight);
  verticalHeader()->hide();
  horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
  columnMenu_ = new QMenu(this);
  columnMenu_->setObjectName(QStringLiteral("columnMenu"));
  connect(horizontalHeader(), &QHeaderView::customContextMenuRequested, this,
          [this](const QPoint& at) { columnMenu_->popup(horizontalHeader()->mapToGlobal(at)); });
}

void MailListView::SetUpColumns() {
  columnMenu_->clear();
  for (int column = MailListModel::kStandardColumnCount; column < MailListModel::ColumnCount;
       ++column) {
    QAction* toggle =
        columnMenu_->addAction(model()->headerData(column, Qt::Horizontal).toString());
    toggle->setObjectName(QStringLiteral("showColumn%1").arg(column));
    toggle->setCheckable(true);
    toggle->setChecked(false);
    setColumnHidden(column, true);
    connect(toggle, &QAction::toggled, this, [this, column](bool shown) {
      setColumnHidden(column, !shown);
      // A column shown again stands at the end, where the wide subject column leaves no room:
      // it goes in front of the subject instead.
      QHeaderView* header = horizontalHeader();
      if (shown)
        header->moveSection(header->visualIndex(column),
                            header->visualIndex(MailListModel::SubjectColumn));
    });
  }
}

void MailListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  // Rows are selected whole: bringing the clicked cell's column into view would push the marks,
  // sender and date columns out of sight.
  const int horizontal = horizontalScrollBar()->value();
  QTableView::scrollTo(index, hint);
  horizontalScrollBar()->setValue(horizontal);
}

QModelIndex MailListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
  const QModelIndex current = currentIndex();
  const int column = current.isValid() ? current.column() : 0;
  const int rows = model() ? model()->rowCount() : 0;
  switch (cursorAction) {
    case MoveHome:
      return rows > 0 ? model()->index(0, column) : current;
    case MoveEnd:
      return rows > 0 ? model()->index(rows - 1, column) : current;
    case MoveLeft:
    case MoveRight: {
      // Left and right look along the row rather than move to another cell.
      QScrollBar* bar = horizontalScrollBar();
      bar->setValue(bar->value() +
                    (cursorAction == MoveLeft ? -bar->singleStep() : bar->singleStep()) * 4);
      return current;
    }
    default:
      return QTableView::moveCursor(cursorAction, modifiers);
  }
}

}  // namespace quillon
