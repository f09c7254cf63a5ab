// Where Help finds the user guide: beside an installed or unpacked program, in the XDG data
// folders, and where it points when there is none.
#include "ui/help_page.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace quillon {

namespace {

constexpr char kGuide[] = "quillon/help/index.html";

void WriteGuide(const QString& path) {
  QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
  QFile guide(path);
  QVERIFY(guide.open(QIODevice::WriteOnly));
  guide.write("<title>Quillon user guide</title>");
}

}  // namespace

class HelpPageTest : public QObject {
  Q_OBJECT

 private slots:
  // Every place under a scratch folder: the program lies in <root>/usr/bin, as in the package.
  void FindsTheGuide_data() {
    QTest::addColumn<bool>("besideProgram");
    QTest::addColumn<bool>("inDataFolder");
    QTest::addColumn<QString>("expected");
    QTest::newRow("installed or unpacked") << true << false << "root/usr/share/" + QString(kGuide);
    QTest::newRow("beside the program first")
        << true << true << "root/usr/share/" + QString(kGuide);
    QTest::newRow("XDG data folder") << false << true << "data/" + QString(kGuide);
    QTest::newRow("none: the program's own place")
        << false << false << "root/usr/share/" + QString(kGuide);
  }

  void FindsTheGuide() {
    QFETCH(bool, besideProgram);
    QFETCH(bool, inDataFolder);
    QFETCH(QString, expected);
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QString programFolder = scratch.filePath(QStringLiteral("root/usr/bin"));
    QVERIFY(QDir().mkpath(programFolder));
    if (besideProgram) WriteGuide(scratch.filePath("root/usr/share/" + QString(kGuide)));
    if (inDataFolder) WriteGuide(scratch.filePath("data/" + QString(kGuide)));
    // Only the scratch data folders: a guide installed on this machine must not answer.
    qputenv("XDG_DATA_HOME", scratch.filePath(QStringLiteral("home")).toLocal8Bit());
    qputenv("XDG_DATA_DIRS", scratch.filePath(QStringLiteral("data")).toLocal8Bit());

    QCOMPARE(FindHelpPage(programFolder), QUrl::fromLocalFile(scratch.filePath(expected)));
  }

  // A program moved elsewhere with its tree, or reached through a relative folder name, still
  // finds its own guide and names it by a clean absolute path.
  void CandidatesFollowTheProgram() {
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    qputenv("XDG_DATA_HOME", scratch.filePath(QStringLiteral("home")).toLocal8Bit());
    qputenv("XDG_DATA_DIRS", scratch.filePath(QStringLiteral("data")).toLocal8Bit());
    const QStringList candidates =
        HelpPageCandidates(scratch.filePath(QStringLiteral("moved/usr/bin/../bin")));
    QCOMPARE(candidates.value(0), scratch.filePath("moved/usr/share/" + QString(kGuide)));
    QVERIFY2(candidates.contains(scratch.filePath("data/" + QString(kGuide))),
             qPrintable(candidates.join(QLatin1Char(' '))));
  }
};

}  // namespace quillon

QTEST_GUILESS_MAIN(quillon::HelpPageTest)
#include "help_page_test.moc"
