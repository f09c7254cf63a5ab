// The button table of the main window, stage by stage, without a window.
#include "ui/command_states.h"

#include <QtTest>

namespace quillon {

namespace {

// Applies one named step; false for a name the table does not know.
bool Apply(CommandStates& states, const QString& step) {
  if (step == QLatin1String("dataBegin"))
    states.DataFlowStarted();
  else if (step == QLatin1String("dataEnd"))
    states.DataFlowEnded();
  else if (step == QLatin1String("scanStarting"))
    states.ScanStarting();
  else if (step == QLatin1String("viewsReset"))
    states.ViewsReset();
  else if (step == QLatin1String("rowAdded"))
    states.MailRowAdded();
  else if (step == QLatin1String("scanFinishedWithRows"))
    states.ScanFinished(true);
  else if (step == QLatin1String("scanFinishedEmpty"))
    states.ScanFinished(false);
  else if (step == QLatin1String("stop"))
    states.StopConfirmed();
  else if (step == QLatin1String("folderWithRows"))
    states.FolderSelected(true);
  else if (step == QLatin1String("folderEmpty"))
    states.FolderSelected(false);
  else if (step == QLatin1String("saveChoosing"))
    states.SaveRunChoosingFolder();
  else if (step == QLatin1String("saveAbandoned"))
    states.SaveRunAbandoned();
  else if (step == QLatin1String("saveWriting"))
    states.SaveRunWriting();
  else if (step == QLatin1String("saveFinished"))
    states.SaveRunFinished();
  else
    return false;
  return true;
}

const QStringList kScanWithMails = {"dataBegin",  "scanStarting", "dataEnd",
                                    "viewsReset", "rowAdded",     "scanFinishedWithRows"};

}  // namespace

class CommandStatesTest : public QObject {
  Q_OBJECT

 private slots:
  void FlagsAfterSteps_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("data");
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("stop");
    QTest::addColumn<bool>("find");
    QTest::addColumn<bool>("busy");

    QTest::newRow("after start-up") << QStringList{} << true << false << false << false << false;
    QTest::newRow("data dialog open")
        << QStringList{"dataBegin"} << false << false << false << false << false;
    QTest::newRow("data dialog cancelled")
        << QStringList{"dataBegin", "dataEnd"} << true << false << false << false << false;
    // The flow re-enables "Data" after starting the thread; the scan keeps it off.
    QTest::newRow("scan starting, dialog closed")
        << QStringList{"dataBegin", "scanStarting", "dataEnd"} << false << false << true << false
        << true;
    QTest::newRow("scan running, no row yet")
        << QStringList{"dataBegin", "scanStarting", "dataEnd", "viewsReset"} << false << false
        << true << false << true;
    QTest::newRow("scan running, first row")
        << QStringList{"dataBegin", "scanStarting", "dataEnd", "viewsReset", "rowAdded"} << false
        << false << true << true << true;
    // Selecting the folder again during the scan must not offer a save run.
    QTest::newRow("scan running, folder selected")
        << QStringList{"scanStarting", "viewsReset", "rowAdded", "folderWithRows"} << false << false
        << true << true << true;
    QTest::newRow("stop confirmed") << QStringList{"scanStarting", "viewsReset", "stop"} << false
                                    << false << false << false << true;
    QTest::newRow("scan ended with mails")
        << kScanWithMails << true << true << false << true << false;
    QTest::newRow("scan ended without mails")
        << QStringList{"scanStarting", "viewsReset", "scanFinishedEmpty"} << true << false << false
        << false << false;
    QTest::newRow("root selected after scan")
        << (kScanWithMails + QStringList{"folderEmpty"}) << true << false << false << true << false;
    QTest::newRow("mail box selected again")
        << (kScanWithMails + QStringList{"folderEmpty", "folderWithRows"}) << true << true << false
        << true << false;
    QTest::newRow("save run choosing folder") << (kScanWithMails + QStringList{"saveChoosing"})
                                              << false << false << false << true << true;
    QTest::newRow("save run folder cancelled")
        << (kScanWithMails + QStringList{"saveChoosing", "saveAbandoned"}) << true << true << false
        << true << false;
    QTest::newRow("save run writing")
        << (kScanWithMails + QStringList{"saveChoosing", "saveWriting"}) << false << false << true
        << true << true;
    QTest::newRow("save run stopped")
        << (kScanWithMails + QStringList{"saveChoosing", "saveWriting", "stop"}) << false << false
        << false << true << true;
    QTest::newRow("save run ended")
        << (kScanWithMails + QStringList{"saveChoosing", "saveWriting", "saveFinished"}) << true
        << true << false << true << false;
    QTest::newRow("re-scan resets find")
        << (kScanWithMails + QStringList{"dataBegin", "scanStarting", "dataEnd", "viewsReset"})
        << false << false << true << false << true;
  }

  void FlagsAfterSteps() {
    QFETCH(QStringList, steps);
    QFETCH(bool, data);
    QFETCH(bool, save);
    QFETCH(bool, stop);
    QFETCH(bool, find);
    QFETCH(bool, busy);
    CommandStates states;
    for (const QString& step : steps) QVERIFY2(Apply(states, step), qPrintable(step));
    const CommandFlags& flags = states.Flags();
    QCOMPARE(flags.data, data);
    QCOMPARE(flags.save, save);
    QCOMPARE(flags.stop, stop);
    QCOMPARE(flags.find, find);
    QCOMPARE(states.Busy(), busy);
  }

  void ActivityFollowsTheWorker_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("activity");
    QTest::newRow("idle") << QStringList{} << static_cast<int>(Activity::Idle);
    QTest::newRow("scanning") << QStringList{"scanStarting"}
                              << static_cast<int>(Activity::Scanning);
    QTest::newRow("choosing") << QStringList{"saveChoosing"}
                              << static_cast<int>(Activity::ChoosingSaveFolder);
    QTest::newRow("saving") << QStringList{"saveChoosing", "saveWriting"}
                            << static_cast<int>(Activity::Saving);
    QTest::newRow("stop keeps scanning")
        << QStringList{"scanStarting", "stop"} << static_cast<int>(Activity::Scanning);
  }

  void ActivityFollowsTheWorker() {
    QFETCH(QStringList, steps);
    QFETCH(int, activity);
    CommandStates states;
    for (const QString& step : steps) QVERIFY(Apply(states, step));
    QCOMPARE(static_cast<int>(states.CurrentActivity()), activity);
  }
};

}  // namespace quillon

QTEST_APPLESS_MAIN(quillon::CommandStatesTest)
#include "command_states_test.moc"
