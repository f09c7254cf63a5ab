// The window's push buttons, drawn by the program: a rounded face with a vertical gradient for
// each of the disabled, normal, hover and pressed states, and on the main window's buttons the
// icon above the caption. The widgets keep what a paint needs up to date as their state changes;
// a paint only draws it, through PaintSkinnedButton, which tests also render into images.
#pragma once

#include <QIcon>
#include <QPushButton>
#include <QSize>
#include <QString>
#include <QToolButton>

class QFontMetrics;
class QPainter;

namespace quillon {

enum class ButtonFace { Disabled, Normal, Hover, Pressed };

// Disabled wins; a button held down stays pressed even when the mouse has left it.
ButtonFace FaceOf(bool enabled, bool hovered, bool down);

struct ButtonPaintState {
  ButtonFace face = ButtonFace::Normal;
  QString text;  // "&" marks the mnemonic, drawn underlined
  QIcon icon;    // above the caption when not null
  QSize iconSize;
  bool isDefault = false;
  bool focused = false;  // by the keyboard
};

// The face's gradient, top and bottom, and its border.
struct ButtonColours {
  QColor top;
  QColor bottom;
  QColor border;
  QColor text;
};
ButtonColours ColoursOf(ButtonFace face);

void PaintSkinnedButton(QPainter& painter, const QRect& rect, const QPalette& palette,
                        const ButtonPaintState& state);
QSize SkinnedButtonSize(const QFontMetrics& metrics, const ButtonPaintState& state);

// A main-window command: icon above caption.
class SkinnedToolButton final : public QToolButton {
  Q_OBJECT

 public:
  explicit SkinnedToolButton(QWidget* parent = nullptr);

  const ButtonPaintState& PaintState() const { return state_; }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Refresh();

  ButtonPaintState state_;
  bool hovered_ = false;
  bool keyboardFocus_ = false;
};

// A dialog's OK or Cancel: caption only, the default one ringed.
class SkinnedPushButton final : public QPushButton {
  Q_OBJECT

 public:
  explicit SkinnedPushButton(const QString& text, QWidget* parent = nullptr);

  const ButtonPaintState& PaintState() const { return state_; }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Refresh();

  ButtonPaintState state_;
  bool hovered_ = false;
  bool keyboardFocus_ = false;
};

}  // namespace quillon
