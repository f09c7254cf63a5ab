// A progress bar that carries a text of one or two lines: "line1\r\nline2" shows line 1 above the
// middle and line 2 below it. Positions are 64-bit sector numbers, so a disk of more than 2^31
// sectors needs no scaling by the caller.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <cstdint>

class QPainter;

namespace quillon {

inline constexpr QColor kProgressTextColor{250, 100, 50};
// The text while a scan runs and the bar is animated.
inline constexpr QColor kAnimatedProgressTextColor{10, 10, 50};
// The block that moves along the bar while it is animated, in device-independent pixels.
inline constexpr int kAnimationBlockWidth = 40;
inline constexpr int kAnimationStepPixels = 8;

struct ProgressTextLines {
  QString upper;  // the only line when twoLines is false
  QString lower;
  bool twoLines = false;
};

// A CR LF that does not start the text splits it in two; otherwise the text is one line (line
// breaks dropped).
ProgressTextLines SplitProgressText(const QString& text);

// Everything a paint needs, worked out when the bar's state changes.
struct ProgressPaintState {
  double fraction = 0.0;  // 0..1 of the bar filled
  ProgressTextLines lines;
  bool animating = false;
  int animationStep = 0;  // how far the block has moved: its place and its colour
};

// Where the block of animation step `step` lies in a bar of `rect`, and its colour (one of three,
// taking turns at each pass along the bar).
QRect AnimationBlockRect(const QRect& rect, int step);
QColor AnimationBlockColour(const QRect& rect, int step);

// Draws the bar into `rect`: background, the filled part, then the text. Tests render it into
// an image.
void PaintTextProgress(QPainter& painter, const QRect& rect, const QPalette& palette,
                       const ProgressPaintState& state);

class TextProgressBar final : public QWidget {
  Q_OBJECT

 public:
  explicit TextProgressBar(QWidget* parent = nullptr);

  void SetRange(std::uint64_t maximum);
  void SetPosition(std::uint64_t position);
  void SetText(const QString& text);
  // Range, position and text back to nothing.
  void Reset();
  // While on, a block moves along the bar and the text turns dark blue.
  void SetAnimating(bool animating);
  bool Animating() const { return paintState_.animating; }
  int AnimationStep() const { return paintState_.animationStep; }

  std::uint64_t Maximum() const { return maximum_; }
  std::uint64_t Position() const { return position_; }
  const QString& Text() const { return text_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void UpdateFraction();

  std::uint64_t maximum_ = 0;
  std::uint64_t position_ = 0;
  QString text_;
  ProgressPaintState paintState_;
  int animationTimer_ = 0;
};

}  // namespace quillon
