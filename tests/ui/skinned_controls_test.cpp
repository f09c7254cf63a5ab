// The painted controls: the button faces for each state, how a button's state follows the mouse,
// and the progress bar's animation. Painting is checked on images rendered by the same functions
// the widgets paint with.
#include <QImage>
#include <QPainter>
#include <QtTest>
#include <set>

#include "ui/icons.h"
#include "ui/look.h"
#include "ui/skinned_button.h"
#include "ui/text_progress_bar.h"

namespace quillon {

namespace {

QImage RenderButton(const ButtonPaintState& state, QSize size = {90, 60}) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  PaintSkinnedButton(painter, image.rect(), QPalette(), state);
  return image;
}

QImage RenderProgress(const ProgressPaintState& state, QSize size = {300, 40}) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  PaintTextProgress(painter, image.rect(), QPalette(), state);
  return image;
}

int CountColour(const QImage& image, const QColor& colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == colour;
  }
  return count;
}

void SendEvent(QWidget& widget, QEvent::Type type) {
  if (type == QEvent::Enter) {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), widget.mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(&widget, &enter);
    return;
  }
  QEvent event(type);
  QApplication::sendEvent(&widget, &event);
}

}  // namespace

class SkinnedControlsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { ApplyQuillonLook(*qApp); }

  void FaceOfState_data() {
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("hovered");
    QTest::addColumn<bool>("down");
    QTest::addColumn<int>("face");
    QTest::newRow("normal") << true << false << false << static_cast<int>(ButtonFace::Normal);
    QTest::newRow("hover") << true << true << false << static_cast<int>(ButtonFace::Hover);
    QTest::newRow("pressed") << true << true << true << static_cast<int>(ButtonFace::Pressed);
    QTest::newRow("held down outside")
        << true << false << true << static_cast<int>(ButtonFace::Pressed);
    QTest::newRow("disabled") << false << false << false << static_cast<int>(ButtonFace::Disabled);
    QTest::newRow("disabled under the mouse")
        << false << true << true << static_cast<int>(ButtonFace::Disabled);
  }

  void FaceOfState() {
    QFETCH(bool, enabled);
    QFETCH(bool, hovered);
    QFETCH(bool, down);
    QFETCH(int, face);
    QCOMPARE(static_cast<int>(FaceOf(enabled, hovered, down)), face);
  }

  // Each face has its own gradient: top and bottom differ, and no two faces look alike. The
  // disabled one is grey.
  void FacesDiffer() {
    std::set<QRgb> tops;
    for (ButtonFace face :
         {ButtonFace::Disabled, ButtonFace::Normal, ButtonFace::Hover, ButtonFace::Pressed}) {
      ButtonPaintState state;
      state.face = face;
      const QImage image = RenderButton(state);
      const QColor top = image.pixelColor(45, 3);
      const QColor bottom = image.pixelColor(45, 56);
      QVERIFY(top != bottom);
      tops.insert(top.rgb());
      QCOMPARE(image.pixelColor(0, 0).alpha(), 0);  // rounded corner left clear
      const ButtonColours colours = ColoursOf(face);
      QVERIFY(qAbs(top.red() - colours.top.red()) <= 6);
      QVERIFY(qAbs(bottom.blue() - colours.bottom.blue()) <= 6);
    }
    QCOMPARE(tops.size(), std::size_t{4});
    const ButtonColours disabled = ColoursOf(ButtonFace::Disabled);
    for (const QColor& colour : {disabled.top, disabled.bottom, disabled.border, disabled.text})
      QVERIFY2(colour.hsvSaturation() < 40, qPrintable(colour.name()));
  }

  void IconAboveCaption() {
    ButtonPaintState state;
    state.text = QStringLiteral("&Find");
    state.icon = ButtonIcon("find");
    state.iconSize = QSize(28, 28);
    const QImage withIcon = RenderButton(state, {80, 64});
    state.icon = QIcon();
    const QImage captionOnly = RenderButton(state, {80, 64});
    // The icon fills rows in the upper half that the caption alone leaves plain.
    QVERIFY(withIcon.copy(0, 6, 80, 24) != captionOnly.copy(0, 6, 80, 24));
    const QSize withIconSize = SkinnedButtonSize(
        QFontMetrics(QApplication::font()),
        {ButtonFace::Normal, QStringLiteral("&Find"), ButtonIcon("find"), QSize(28, 28)});
    QVERIFY(withIconSize.height() > 28 + QFontMetrics(QApplication::font()).height());
  }

  // The state follows the mouse: hover inside, pressed while held (even outside), normal once
  // released outside, grey when disabled.
  void ToolButtonFollowsTheMouse() {
    SkinnedToolButton button;
    button.setText(QStringLiteral("&Data"));
    button.resize(80, 60);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    // Where the test's pointer happens to be must not matter.
    SendEvent(button, QEvent::Leave);
    QCOMPARE(button.PaintState().face, ButtonFace::Normal);
    QCOMPARE(button.PaintState().text, QStringLiteral("&Data"));
    SendEvent(button, QEvent::Enter);
    QCOMPARE(button.PaintState().face, ButtonFace::Hover);
    QTest::mousePress(&button, Qt::LeftButton);
    QCOMPARE(button.PaintState().face, ButtonFace::Pressed);
    SendEvent(button, QEvent::Leave);
    QCOMPARE(button.PaintState().face, ButtonFace::Pressed);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(200, 200));
    QVERIFY(button.PaintState().face != ButtonFace::Pressed);
    SendEvent(button, QEvent::Leave);
    QCOMPARE(button.PaintState().face, ButtonFace::Normal);
    button.setEnabled(false);
    QCOMPARE(button.PaintState().face, ButtonFace::Disabled);
  }

  void PushButtonKnowsItIsTheDefault() {
    QWidget dialog;
    auto* ok = new SkinnedPushButton(QStringLiteral("&OK"), &dialog);
    auto* cancel = new SkinnedPushButton(QStringLiteral("&Cancel"), &dialog);
    ok->setDefault(true);
    cancel->move(0, 40);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(ok->PaintState().isDefault);
    QVERIFY(!cancel->PaintState().isDefault);
    QVERIFY(ok->sizeHint().width() >= 84);
    // Focus by a click leaves the face alone; by Tab it rings the button.
    cancel->setFocus(Qt::MouseFocusReason);
    QVERIFY(!cancel->PaintState().focused);
    cancel->clearFocus();
    cancel->setFocus(Qt::TabFocusReason);
    QVERIFY(cancel->PaintState().focused);
    ok->setFocus(Qt::OtherFocusReason);
    QVERIFY(!cancel->PaintState().focused);
  }

  // The block is 40 pixels wide inside the bar and moves along it step by step, wrapping round.
  void AnimationBlockMoves() {
    const QRect bar(0, 0, 300, 40);
    const QRect first = AnimationBlockRect(bar, 0);
    QVERIFY(first.isEmpty() || first.right() <= bar.left() + 2);  // still outside on the left
    const int middleStep = (150 + kAnimationBlockWidth) / kAnimationStepPixels;
    const QRect middle = AnimationBlockRect(bar, middleStep);
    QCOMPARE(middle.width(), kAnimationBlockWidth);
    const QRect next = AnimationBlockRect(bar, middleStep + 1);
    QCOMPARE(next.left() - middle.left(), kAnimationStepPixels);
    QVERIFY(bar.contains(middle));
    // One whole pass later the block is back where it was, in the next colour.
    const int travel = (bar.width() - 4) + kAnimationBlockWidth;
    QVERIFY(travel % kAnimationStepPixels == 0);
    const int pass = travel / kAnimationStepPixels;
    QCOMPARE(AnimationBlockRect(bar, middleStep + pass), middle);
    QVERIFY(AnimationBlockColour(bar, middleStep + pass) != AnimationBlockColour(bar, middleStep));
    QCOMPARE(AnimationBlockColour(bar, middleStep + 3 * pass),
             AnimationBlockColour(bar, middleStep));
  }

  // Dark blue text while animating, the warm colour otherwise.
  void TextColourFollowsTheAnimation() {
    ProgressPaintState state;
    state.lines = SplitProgressText(QStringLiteral("MMMMMMMM"));
    const QImage still = RenderProgress(state);
    state.animating = true;
    const QImage moving = RenderProgress(state);
    QVERIFY(CountColour(still, kProgressTextColor) > 0);
    QCOMPARE(CountColour(still, kAnimatedProgressTextColor), 0);
    QVERIFY(CountColour(moving, kAnimatedProgressTextColor) > 0);
    QCOMPARE(CountColour(moving, kProgressTextColor), 0);
  }

  void BarAnimatesOnlyWhileOn() {
    TextProgressBar bar;
    bar.resize(300, 40);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QVERIFY(!bar.Animating());
    QTest::qWait(150);
    QCOMPARE(bar.AnimationStep(), 0);
    bar.SetAnimating(true);
    QTRY_VERIFY(bar.AnimationStep() >= 2);
    bar.SetAnimating(false);
    QCOMPARE(bar.AnimationStep(), 0);
    QTest::qWait(150);
    QCOMPARE(bar.AnimationStep(), 0);
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::SkinnedControlsTest)
#include "skinned_controls_test.moc"
