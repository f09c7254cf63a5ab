#include "ui/text_progress_bar.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QTimerEvent>
#include <algorithm>
#include <array>

namespace quillon {

ProgressTextLines SplitProgressText(const QString& text) {
  ProgressTextLines lines;
  const qsizetype breakAt = text.indexOf(QLatin1String("\r\n"));
  if (breakAt > 0) {
    lines.twoLines = true;
    lines.upper = text.left(breakAt);
    lines.lower = text.mid(breakAt + 2);
    lines.lower.remove(QLatin1Char('\r')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return lines;
  }
  lines.upper = text;
  lines.upper.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
  return lines;
}

namespace {

constexpr int kAnimationIntervalMilliseconds = 60;

int TroughLength(const QRect& rect) {
  return std::max(1, rect.width() - 4);
}

}  // namespace

QRect AnimationBlockRect(const QRect& rect, int step) {
  const int length = TroughLength(rect);
  const int travel = length + kAnimationBlockWidth;
  const int offset = (step * kAnimationStepPixels) % travel;
  // The block slides in from the left edge and out at the right one.
  const QRect block(rect.left() + 2 + offset - kAnimationBlockWidth, rect.top() + 3,
                    kAnimationBlockWidth, rect.height() - 6);
  return block.intersected(rect.adjusted(2, 0, -2, 0));
}

QColor AnimationBlockColour(const QRect& rect, int step) {
  static constexpr std::array<QColor, 3> kColours{QColor(120, 160, 220), QColor(110, 190, 170),
                                                  QColor(170, 150, 215)};
  const int travel = TroughLength(rect) + kAnimationBlockWidth;
  const int pass = (step * kAnimationStepPixels) / travel;
  return kColours[static_cast<std::size_t>(pass) % kColours.size()];
}

void PaintTextProgress(QPainter& painter, const QRect& rect, const QPalette& palette,
                       const ProgressPaintState& state) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.fillRect(rect, palette.color(QPalette::Button));

  // The trough and the filled part: a calm, flat bar with rounded ends.
  const QRectF trough = QRectF(rect).adjusted(1.5, 1.5, -1.5, -1.5);
  const qreal radius = std::min<qreal>(6.0, trough.height() / 2);
  painter.setPen(QPen(QColor(169, 173, 189), 1.0));
  painter.setBrush(QColor(246, 247, 250));
  painter.drawRoundedRect(trough, radius, radius);
  const double fraction = std::clamp(state.fraction, 0.0, 1.0);
  if (fraction > 0.0) {
    QRectF filled = trough.adjusted(1, 1, -1, -1);
    filled.setWidth(std::max<qreal>(2.0 * radius, filled.width() * fraction));
    QLinearGradient gradient(filled.topLeft(), filled.bottomLeft());
    gradient.setColorAt(0.0, QColor(196, 214, 240));
    gradient.setColorAt(1.0, QColor(160, 188, 228));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    QPainterPath clip;
    clip.addRoundedRect(trough.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
    painter.setClipPath(clip);
    painter.drawRect(filled);
    painter.setClipping(false);
  }

  if (state.animating) {
    const QRect block = AnimationBlockRect(rect, state.animationStep);
    if (!block.isEmpty()) {
      QColor colour = AnimationBlockColour(rect, state.animationStep);
      colour.setAlpha(150);
      painter.setPen(Qt::NoPen);
      painter.setBrush(colour);
      painter.drawRoundedRect(QRectF(block), 3, 3);
    }
  }

  painter.setPen(state.animating ? kAnimatedProgressTextColor : kProgressTextColor);
  QFont font = painter.font();
  font.setBold(true);
  painter.setFont(font);
  if (state.lines.twoLines) {
    const int middle = rect.top() + rect.height() / 2;
    const QRect upperHalf(rect.left(), rect.top(), rect.width(), middle - rect.top());
    const QRect lowerHalf(rect.left(), middle, rect.width(), rect.bottom() + 1 - middle);
    painter.drawText(upperHalf, Qt::AlignHCenter | Qt::AlignBottom | Qt::TextSingleLine,
                     state.lines.upper);
    painter.drawText(lowerHalf, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine,
                     state.lines.lower);
  } else {
    painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, state.lines.upper);
  }
  painter.restore();
}

TextProgressBar::TextProgressBar(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TextProgressBar::SetRange(std::uint64_t maximum) {
  maximum_ = maximum;
  position_ = std::min(position_, maximum_);
  UpdateFraction();
}

void TextProgressBar::SetPosition(std::uint64_t position) {
  position_ = std::min(position, maximum_);
  UpdateFraction();
}

void TextProgressBar::SetText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  paintState_.lines = SplitProgressText(text_);
  update();
}

void TextProgressBar::Reset() {
  maximum_ = 0;
  position_ = 0;
  UpdateFraction();
  SetText(QString());
}

void TextProgressBar::SetAnimating(bool animating) {
  if (animating == paintState_.animating) return;
  paintState_.animating = animating;
  paintState_.animationStep = 0;
  if (animating) {
    animationTimer_ = startTimer(kAnimationIntervalMilliseconds);
  } else if (animationTimer_ != 0) {
    killTimer(animationTimer_);
    animationTimer_ = 0;
  }
  update();
}

void TextProgressBar::timerEvent(QTimerEvent* event) {
  if (event->timerId() != animationTimer_) {
    QWidget::timerEvent(event);
    return;
  }
  // Wraps long before an int would, and the block's place depends only on the step modulo the
  // bar's travel.
  paintState_.animationStep = (paintState_.animationStep + 1) % (1 << 20);
  update();
}

void TextProgressBar::UpdateFraction() {
  const double fraction =
      maximum_ == 0 ? 0.0 : static_cast<double>(position_) / static_cast<double>(maximum_);
  if (fraction == paintState_.fraction) return;
  paintState_.fraction = fraction;
  update();
}

QSize TextProgressBar::sizeHint() const {
  const QFontMetrics metrics(font());
  return {metrics.horizontalAdvance(QStringLiteral("Processing 0000000000 block, total "
                                                   "0000000000 blocks")) +
              24,
          2 * metrics.height() + 14};
}

QSize TextProgressBar::minimumSizeHint() const {
  const QFontMetrics metrics(font());
  return {120, 2 * metrics.height() + 14};
}

void TextProgressBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintTextProgress(painter, rect(), palette(), paintState_);
}

}  // namespace quillon
