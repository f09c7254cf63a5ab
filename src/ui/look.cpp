#include "ui/look.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include "ui/icons.h"

namespace quillon {

namespace {

// The push buttons draw themselves (skinned_button.h); the sheet styles the views around them.
constexpr char kStyleSheet[] = R"(
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
