#include "ui/look.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include "ui/icons.h"

namespace quillon {

namespace {

// Rounded faces with a soft vertical gradient; hover, pressed and disabled each have their own.
constexpr char kStyleSheet[] = R"(
QToolButton#saveButton, QToolButton#dataButton, QToolButton#helpButton,
QToolButton#findButton, QToolButton#aboutButton, QToolButton#stopButton, QPushButton {
  color: #1f2433;
  border: 1px solid #a9adbd;
  border-radius: 6px;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fdfdfe, stop:1 #e4e6ee);
}
QToolButton#saveButton, QToolButton#dataButton, QToolButton#helpButton,
QToolButton#findButton, QToolButton#aboutButton, QToolButton#stopButton {
  padding: 3px 4px 2px 4px;
}
QPushButton { padding: 4px 16px; min-width: 64px; }
QToolButton:hover, QPushButton:hover {
  border-color: #6f8fc7;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #dbe5f6);
}
QToolButton:pressed, QPushButton:pressed {
  border-color: #5577b4;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #cfdaee, stop:1 #e8edf7);
}
QToolButton:disabled, QPushButton:disabled {
  color: #9a9cab;
  border-color: #c6c8d2;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #eeeef2, stop:1 #e2e2e8);
}
QPushButton:default { border-color: #6f8fc7; }
QTreeWidget, QTableView, QTextBrowser {
  border: 1px solid #b4b7c6;
  border-radius: 4px;
  background: #ffffff;
}
QHeaderView::section {
  background: #eceef4;
  border: none;
  border-right: 1px solid #d3d6e0;
  border-bottom: 1px solid #c6c9d5;
  padding: 3px 6px;
}
QSplitter::handle { background: transparent; }
)";

}  // namespace

void ApplyQuillonLook(QApplication& application) {
  LoadUiResources();
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
    application.setStyle(fusion);

  QPalette palette = application.style()->standardPalette();
  palette.setColor(QPalette::Window, kDialogBackground);
  palette.setColor(QPalette::Button, QColor(236, 237, 242));
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::AlternateBase, QColor(246, 247, 251));
  palette.setColor(QPalette::Highlight, QColor(61, 104, 176));
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor(196, 208, 230));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText, QColor(31, 36, 51));
  application.setPalette(palette);
  application.setStyleSheet(QString::fromLatin1(kStyleSheet));
  application.setWindowIcon(AppIcon());
}

}  // namespace quillon
