// The progress bar's text lines and its painting, rendered into images.
#include "ui/text_progress_bar.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

namespace quillon {

namespace {

bool IsTextColour(QRgb pixel) {
  // Anti-aliased glyph edges blend with the bar; the glyph cores keep the pure colour.
  return qAbs(qRed(pixel) - 250) < 12 && qAbs(qGreen(pixel) - 100) < 12 &&
         qAbs(qBlue(pixel) - 50) < 12;
}

// Rows [top, bottom) of the image that hold text-coloured pixels.
int TextPixelsInRows(const QImage& image, int top, int bottom) {
  int count = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = 0; x < image.width(); ++x) count += IsTextColour(image.pixel(x, y)) ? 1 : 0;
  return count;
}

QImage Render(const ProgressPaintState& state, QSize size = {360, 48}) {
  QImage image(size, QImage::Format_ARGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  QPalette palette;
  palette.setColor(QPalette::Button, QColor(236, 237, 242));
  PaintTextProgress(painter, image.rect(), palette, state);
  return image;
}

}  // namespace

class TextProgressBarTest : public QObject {
  Q_OBJECT

 private slots:
  void Split_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("twoLines");
    QTest::addColumn<QString>("upper");
    QTest::addColumn<QString>("lower");
    QTest::newRow("status text") << QStringLiteral(
                                        "Found 3 Mails\r\nProcessing 2048 block, total 3000 blocks")
                                 << true << QStringLiteral("Found 3 Mails")
                                 << QStringLiteral("Processing 2048 block, total 3000 blocks");
    QTest::newRow("one line") << QStringLiteral("Saving [Hello_[2009-03-09]]") << false
                              << QStringLiteral("Saving [Hello_[2009-03-09]]") << QString();
    // A CR LF at the very start does not split: the text is one line.
    QTest::newRow("break at start")
        << QStringLiteral("\r\nonly") << false << QStringLiteral("only") << QString();
    QTest::newRow("break one in") << QStringLiteral("a\r\nb") << true << QStringLiteral("a")
                                  << QStringLiteral("b");
    QTest::newRow("empty lower") << QStringLiteral("a\r\n") << true << QStringLiteral("a")
                                 << QString();
    QTest::newRow("second break") << QStringLiteral("a\r\nb\r\nc") << true << QStringLiteral("a")
                                  << QStringLiteral("b c");
    QTest::newRow("bare LF is no break")
        << QStringLiteral("a\nb") << false << QStringLiteral("ab") << QString();
    QTest::newRow("empty") << QString() << false << QString() << QString();
  }

  void Split() {
    QFETCH(QString, text);
    QFETCH(bool, twoLines);
    QFETCH(QString, upper);
    QFETCH(QString, lower);
    const ProgressTextLines lines = SplitProgressText(text);
    QCOMPARE(lines.twoLines, twoLines);
    QCOMPARE(lines.upper, upper);
    QCOMPARE(lines.lower, lower);
  }

  // Two lines: one above the middle, one below; one line: around the middle only.
  void TextLandsInItsHalf_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("upperHalf");
    QTest::addColumn<bool>("lowerHalf");
    QTest::addColumn<bool>("middleBand");
    QTest::newRow("two lines") << QStringLiteral("Found 12 Mails\r\nProcessing 0 block") << true
                               << true << false;
    QTest::newRow("upper only") << QStringLiteral("Found 12 Mails\r\n") << true << false << false;
    QTest::newRow("one line") << QStringLiteral("Saving [x]") << false << false << true;
    QTest::newRow("no text") << QString() << false << false << false;
  }

  void TextLandsInItsHalf() {
    QFETCH(QString, text);
    QFETCH(bool, upperHalf);
    QFETCH(bool, lowerHalf);
    QFETCH(bool, middleBand);
    ProgressPaintState state;
    state.lines = SplitProgressText(text);
    const QImage image = Render(state, {360, 64});
    // Upper line: bottom-aligned in rows 0..31; lower line: centred in rows 32..63; a single
    // line is centred on row 32, so the outer quarters stay free of it.
    QCOMPARE(TextPixelsInRows(image, 0, 32) > 0, upperHalf || middleBand);
    QCOMPARE(TextPixelsInRows(image, 32, 64) > 0, lowerHalf || middleBand);
    if (middleBand) {
      QCOMPARE(TextPixelsInRows(image, 0, 12), 0);
      QCOMPARE(TextPixelsInRows(image, 52, 64), 0);
    }
    if (upperHalf && !lowerHalf) QCOMPARE(TextPixelsInRows(image, 33, 64), 0);
  }

  void FillFollowsTheFraction_data() {
    QTest::addColumn<double>("fraction");
    QTest::addColumn<bool>("quarterFilled");
    QTest::addColumn<bool>("threeQuartersFilled");
    QTest::newRow("empty") << 0.0 << false << false;
    QTest::newRow("half") << 0.5 << true << false;
    QTest::newRow("full") << 1.0 << true << true;
    QTest::newRow("above 1 is full") << 7.0 << true << true;
  }

  void FillFollowsTheFraction() {
    QFETCH(double, fraction);
    QFETCH(bool, quarterFilled);
    QFETCH(bool, threeQuartersFilled);
    ProgressPaintState state;
    state.fraction = fraction;
    const QImage image = Render(state);
    const QRgb trough = Render(ProgressPaintState{}).pixel(image.width() / 4, 10);
    QCOMPARE(image.pixel(image.width() / 4, 10) != trough, quarterFilled);
    QCOMPARE(image.pixel(3 * image.width() / 4, 10) != trough, threeQuartersFilled);
  }

  void RangeAndPosition_data() {
    QTest::addColumn<qulonglong>("maximum");
    QTest::addColumn<qulonglong>("position");
    QTest::addColumn<qulonglong>("shownPosition");
    QTest::newRow("inside") << 3000ULL << 2048ULL << 2048ULL;
    QTest::newRow("at the end") << 3000ULL << 3000ULL << 3000ULL;
    QTest::newRow("beyond the end") << 3000ULL << 3001ULL << 3000ULL;
    QTest::newRow("no range") << 0ULL << 5ULL << 0ULL;
    QTest::newRow("disk beyond 2^32 sectors")
        << 6'000'000'000ULL << 5'000'000'000ULL << 5'000'000'000ULL;
  }

  void RangeAndPosition() {
    QFETCH(qulonglong, maximum);
    QFETCH(qulonglong, position);
    QFETCH(qulonglong, shownPosition);
    TextProgressBar bar;
    bar.SetRange(maximum);
    bar.SetPosition(position);
    QCOMPARE(bar.Maximum(), maximum);
    QCOMPARE(bar.Position(), shownPosition);
  }

  void ResetClearsEverything() {
    TextProgressBar bar;
    bar.SetRange(10);
    bar.SetPosition(4);
    bar.SetText(QStringLiteral("Found 1 Mails\r\nProcessing 4 block, total 10 blocks"));
    bar.Reset();
    QCOMPARE(bar.Maximum(), 0ULL);
    QCOMPARE(bar.Position(), 0ULL);
    QVERIFY(bar.Text().isEmpty());
  }

  // Two lines of text need two lines of height.
  void TallEnoughForTwoLines() {
    TextProgressBar bar;
    QVERIFY(bar.sizeHint().height() >= 2 * bar.fontMetrics().height());
    QVERIFY(bar.minimumSizeHint().height() >= 2 * bar.fontMetrics().height());
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::TextProgressBarTest)
#include "text_progress_bar_test.moc"
