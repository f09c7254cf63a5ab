#include "ui/skinned_button.h"

#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

namespace quillon {

namespace {

constexpr qreal kCornerRadius = 6.0;
constexpr int kIconGap = 3;

// Events after which the face or the caption may look different.
bool ChangesTheFace(QEvent::Type type) {
  switch (type) {
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::EnabledChange:
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::Polish:
    case QEvent::Show:
    case QEvent::FontChange:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      return true;
    default:
      return false;
  }
}

// Tracks the mouse over the button: true on Enter, false on Leave, unchanged otherwise.
bool HoverAfter(const QEvent* event, bool hovered) {
  if (event->type() == QEvent::Enter) return true;
  if (event->type() == QEvent::Leave) return false;
  return hovered;
}

// The focus ring shows only when the focus came by Tab: a button that merely has the window's
// first focus should not look different from its neighbours.
bool KeyboardFocusAfter(const QEvent* event, bool focused) {
  if (event->type() == QEvent::FocusOut) return false;
  if (event->type() != QEvent::FocusIn) return focused;
  const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
  return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason;
}

}  // namespace

ButtonFace FaceOf(bool enabled, bool hovered, bool down) {
  if (!enabled) return ButtonFace::Disabled;
  if (down) return ButtonFace::Pressed;
  return hovered ? ButtonFace::Hover : ButtonFace::Normal;
}

ButtonColours ColoursOf(ButtonFace face) {
  switch (face) {
    case ButtonFace::Disabled:
      return {QColor(238, 238, 242), QColor(226, 226, 232), QColor(198, 200, 210),
              QColor(154, 156, 171)};
    case ButtonFace::Hover:
      return {QColor(255, 255, 255), QColor(219, 229, 246), QColor(111, 143, 199),
              QColor(31, 36, 51)};
    case ButtonFace::Pressed:
      return {QColor(207, 218, 238), QColor(232, 237, 247), QColor(85, 119, 180),
              QColor(31, 36, 51)};
    case ButtonFace::Normal:
      break;
  }
  return {QColor(253, 253, 254), QColor(228, 230, 238), QColor(169, 173, 189), QColor(31, 36, 51)};
}

void PaintSkinnedButton(QPainter& painter, const QRect& rect, const QPalette& palette,
                        const ButtonPaintState& state) {
  Q_UNUSED(palette);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  const ButtonColours colours = ColoursOf(state.face);
  const QRectF face = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
  QLinearGradient gradient(face.topLeft(), face.bottomLeft());
  gradient.setColorAt(0.0, colours.top);
  gradient.setColorAt(1.0, colours.bottom);
  const bool ringed = state.face != ButtonFace::Disabled && (state.isDefault || state.focused);
  painter.setPen(QPen(ringed ? ColoursOf(ButtonFace::Hover).border : colours.border, 1.0));
  painter.setBrush(gradient);
  painter.drawRoundedRect(face, kCornerRadius, kCornerRadius);
  if (state.focused && state.face != ButtonFace::Disabled) {
    painter.setPen(QPen(QColor(111, 143, 199, 110), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(face.adjusted(1.5, 1.5, -1.5, -1.5), kCornerRadius - 1.5,
                            kCornerRadius - 1.5);
  }

  // A pressed face moves its content down by a pixel, as if pushed in.
  QRect content = rect.adjusted(4, 3, -4, -3);
  if (state.face == ButtonFace::Pressed) content.translate(0, 1);
  const QFontMetrics metrics(painter.font());
  if (!state.icon.isNull() && state.iconSize.isValid()) {
    const QIcon::Mode mode = state.face == ButtonFace::Disabled ? QIcon::Disabled : QIcon::Normal;
    const int block = state.iconSize.height() + kIconGap + metrics.height();
    const int top = content.top() + std::max(0, (content.height() - block) / 2);
    const QRect iconRect(content.left() + (content.width() - state.iconSize.width()) / 2, top,
                         state.iconSize.width(), state.iconSize.height());
    state.icon.paint(&painter, iconRect, Qt::AlignCenter, mode);
    content.setTop(iconRect.bottom() + 1 + kIconGap);
    content.setHeight(metrics.height());
  }
  painter.setPen(colours.text);
  painter.drawText(content, Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextSingleLine,
                   state.text);
  painter.restore();
}

QSize SkinnedButtonSize(const QFontMetrics& metrics, const ButtonPaintState& state) {
  QString caption = state.text;
  caption.remove(QLatin1Char('&'));
  const int textWidth = metrics.horizontalAdvance(caption);
  if (!state.icon.isNull() && state.iconSize.isValid()) {
    return {std::max({64, textWidth + 16, state.iconSize.width() + 16}),
            state.iconSize.height() + kIconGap + metrics.height() + 12};
  }
  return {std::max(84, textWidth + 36), metrics.height() + 14};
}

// --- the widgets ---------------------------------------------------------------------------------

SkinnedToolButton::SkinnedToolButton(QWidget* parent) : QToolButton(parent) {
  setAttribute(Qt::WA_Hover, true);
  setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  connect(this, &QAbstractButton::pressed, this, &SkinnedToolButton::Refresh);
  connect(this, &QAbstractButton::released, this, &SkinnedToolButton::Refresh);
}

void SkinnedToolButton::Refresh() {
  ButtonPaintState next;
  next.face = FaceOf(isEnabled(), hovered_, isDown());
  next.text = text();
  next.icon = icon();
  next.iconSize = iconSize();
  next.focused = keyboardFocus_ && hasFocus();
  state_ = next;
  update();
}

bool SkinnedToolButton::event(QEvent* event) {
  hovered_ = HoverAfter(event, hovered_);
  keyboardFocus_ = KeyboardFocusAfter(event, keyboardFocus_);
  const bool handled = QToolButton::event(event);
  if (ChangesTheFace(event->type())) Refresh();
  return handled;
}

QSize SkinnedToolButton::sizeHint() const {
  ButtonPaintState sizing = state_;
  sizing.text = text();
  sizing.icon = icon();
  sizing.iconSize = iconSize();
  return SkinnedButtonSize(fontMetrics(), sizing);
}

void SkinnedToolButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintSkinnedButton(painter, rect(), palette(), state_);
}

SkinnedPushButton::SkinnedPushButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent) {
  setAttribute(Qt::WA_Hover, true);
  connect(this, &QAbstractButton::pressed, this, &SkinnedPushButton::Refresh);
  connect(this, &QAbstractButton::released, this, &SkinnedPushButton::Refresh);
}

void SkinnedPushButton::Refresh() {
  ButtonPaintState next;
  next.face = FaceOf(isEnabled(), hovered_, isDown());
  next.text = text();
  next.isDefault = isDefault();
  next.focused = keyboardFocus_ && hasFocus();
  state_ = next;
  update();
}

bool SkinnedPushButton::event(QEvent* event) {
  hovered_ = HoverAfter(event, hovered_);
  keyboardFocus_ = KeyboardFocusAfter(event, keyboardFocus_);
  const bool handled = QPushButton::event(event);
  if (ChangesTheFace(event->type())) Refresh();
  return handled;
}

QSize SkinnedPushButton::sizeHint() const {
  ButtonPaintState sizing;
  sizing.text = text();
  return SkinnedButtonSize(fontMetrics(), sizing);
}

void SkinnedPushButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintSkinnedButton(painter, rect(), palette(), state_);
}

}  // namespace quillon
