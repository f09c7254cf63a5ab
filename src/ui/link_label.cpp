#include "ui/link_label.h"

#include <QApplication>
#include <QMouseEvent>

namespace quillon {

LinkLabel::LinkLabel(const QString& text, const QUrl& target, QWidget* parent)
    : QLabel(text, parent), target_(target) {
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  setCursor(Qt::PointingHandCursor);
  setToolTip(target_.toString());
  setFocusPolicy(Qt::NoFocus);
  ApplyColour();
}

void LinkLabel::MarkVisited() {
  visited_ = true;
  ApplyColour();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
  if (target_.isEmpty()) return;
  emit linkRequested(target_);
}

void LinkLabel::OpenWith(std::function<bool(const QUrl&)> open) {
  connect(this, &LinkLabel::linkRequested, this, [this, open = std::move(open)](const QUrl& url) {
    if (open(url))
      MarkVisited();
    else
      QApplication::beep();
  });
}

void LinkLabel::ApplyColour() {
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, visited_ ? QColor(110, 70, 150) : QColor(40, 80, 160));
  setPalette(colours);
}

}  // namespace quillon
