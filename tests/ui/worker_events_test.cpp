// Reports of a worker reach the window thread, in order, and never make the worker wait: the
// worker is joined before a single report is delivered.
#include "ui/worker_events.h"

#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <memory>
#include <thread>

#include "output/save_run.h"
#include "scan/scan_driver.h"
#include "ui/save_notice_message.h"
#include "ui_test_support.h"

namespace quillon {

namespace {

class RecordingListener final : public ScanListener, public SaveRunListener {
 public:
  void ScanStarted() override { Note(QStringLiteral("started")); }
  void ViewsReset(const QString& name) override { Note(QStringLiteral("reset:") + name); }
  void ProgressRange(std::uint64_t total) override { Note(QStringLiteral("range:%1").arg(total)); }
  void Progress(std::uint64_t sector, const QString& text) override {
    lastStatus = text;
    Note(QStringLiteral("progress:%1").arg(sector));
  }
  void MailsFound(const std::vector<MailRecordPtr>& records) override {
    mails.insert(mails.end(), records.begin(), records.end());
    Note(QStringLiteral("mails:%1").arg(records.size()));
  }
  void ScanFinished(int count) override { Note(QStringLiteral("finished:%1").arg(count)); }

  void SaveWritingStarted() override { Note(QStringLiteral("writing")); }
  void SaveProgressRange(std::size_t count) override {
    Note(QStringLiteral("saveRange:%1").arg(count));
  }
  void SaveProgress(std::size_t index, const QString& text) override {
    lastStatus = text;
    Note(QStringLiteral("saveProgress:%1").arg(index));
  }
  void SaveNoticed(const SaveNotice& notice) override {
    Note(QStringLiteral("message:") + SaveNoticeMessage(notice));
  }
  void SaveRunFinished() override { Note(QStringLiteral("runFinished")); }

  QStringList calls;
  std::vector<MailRecordPtr> mails;
  QString lastStatus;
  bool allOnMainThread = true;

 private:
  void Note(const QString& call) {
    allOnMainThread =
        allOnMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
    calls << call;
  }
};

QStringList WithPrefix(const QStringList& calls, const QString& prefix) {
  QStringList out;
  for (const QString& call : calls)
    if (call.startsWith(prefix)) out << call;
  return out;
}

}  // namespace

class WorkerEventsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(directory_.isValid());
    image_ = (directory_.path() + QStringLiteral("/events.img")).toStdString();
    offsets_ =
        test::WriteImage(image_, {test::PlainMail(), test::HtmlMail(), test::MultipartMail()});
  }

  void ScanReportsArriveInOrderOnTheWindowThread() {
    QObject context;
    RecordingListener listener;
    ScanEvents events(&context, listener);
    ScanStatus status;
    FoundMails mails;
    std::thread worker(
        [&] { (void)RunScanOfSource(image_, ScanOptions{}, status, mails, events); });
    // Joined before any report is delivered: a worker that waited for the window would hang here.
    worker.join();
    QVERIFY(listener.calls.isEmpty());

    QCoreApplication::processEvents();
    QVERIFY(listener.allOnMainThread);
    QVERIFY(listener.calls.size() >= 5);
    QCOMPARE(listener.calls.at(0), QStringLiteral("started"));
    QCOMPARE(listener.calls.at(1), QStringLiteral("reset:") + QString::fromStdString(image_));
    QCOMPARE(listener.calls.at(2), QStringLiteral("range:%1").arg((offsets_.size() + 1) * 16));
    QCOMPARE(listener.calls.last(), QStringLiteral("finished:3"));
    // Every mail once, in found order, before the end.
    QCOMPARE(listener.mails.size(), std::size_t{3});
    const auto found = mails.Snapshot();
    for (std::size_t i = 0; i < found.size(); ++i) QCOMPARE(listener.mails[i], found[i]);
    // Reports that piled up are merged: the newest counts are what the window shows, in words.
    QCOMPARE(listener.lastStatus,
             QStringLiteral("Found 3 Mails\r\nProcessing 0 block, total %1 blocks")
                 .arg((offsets_.size() + 1) * 16));
    QVERIFY(WithPrefix(listener.calls, QStringLiteral("progress:")).size() >= 1);
  }

  void UnreadableSourceReportsOnlyTheEnd() {
    QObject context;
    RecordingListener listener;
    ScanEvents events(&context, listener);
    ScanStatus status;
    FoundMails mails;
    std::thread worker([&] {
      (void)RunScanOfSource(directory_.path().toStdString() + "/missing.img", ScanOptions{}, status,
                            mails, events);
    });
    worker.join();
    QCoreApplication::processEvents();
    QCOMPARE(listener.calls, QStringList{QStringLiteral("finished:0")});
  }

  // Reports still queued when the window is gone are dropped, not delivered to a dead window.
  void ReportsForAGoneWindowAreDropped() {
    auto context = std::make_unique<QObject>();
    RecordingListener listener;
    ScanEvents events(context.get(), listener);
    ScanStatus status;
    FoundMails mails;
    std::thread worker(
        [&] { (void)RunScanOfSource(image_, ScanOptions{}, status, mails, events); });
    worker.join();
    context.reset();
    QCoreApplication::processEvents();
    QVERIFY(listener.calls.isEmpty());
  }

  void SaveRunReportsArriveInOrder() {
    ScanStatus status;
    FoundMails mails;
    ScanObserver quiet;
    (void)RunScanOfSource(image_, ScanOptions{}, status, mails, quiet);
    QTemporaryDir target;
    QVERIFY(target.isValid());

    QObject context;
    RecordingListener listener;
    SaveRunEvents events(&context, listener);
    SaveRunRequest request;
    request.format = SaveFormat::Txt;
    request.mails = mails.Snapshot();
    request.targetFolder = target.path().toStdString();
    std::thread worker = StartSaveRun(std::move(request), status, events);
    worker.join();
    QVERIFY(listener.calls.isEmpty());

    QCoreApplication::processEvents();
    QVERIFY(listener.allOnMainThread);
    QVERIFY(listener.calls.contains(QStringLiteral("writing")));
    QVERIFY(listener.calls.contains(QStringLiteral("saveRange:3")));
    QCOMPARE(WithPrefix(listener.calls, QStringLiteral("message:")),
             QStringList{QStringLiteral("message:Saved 3 mails!")});
    QCOMPARE(listener.calls.last(), QStringLiteral("runFinished"));
    QVERIFY(listener.calls.indexOf(QStringLiteral("writing")) <
            listener.calls.indexOf(QStringLiteral("message:Saved 3 mails!")));
  }

  // The window's texts for what a run tells: the ones it has always shown.
  void SaveNoticesAreWorded_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("alreadyThere");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, SaveNoticeKind kind, int count, int already,
                  const QString& path, const QString& detail, const QString& expected) {
      QTest::newRow(name) << static_cast<int>(kind) << count << already << path << detail
                          << expected;
    };
    row("saved", SaveNoticeKind::Saved, 3, 0, {}, {}, QStringLiteral("Saved 3 mails!"));
    row("already there", SaveNoticeKind::Saved, 0, 2, {}, {},
        QStringLiteral("Saved 0 mails!\r\n2 mails were already in the folder."));
    row("folder not made", SaveNoticeKind::FolderNotMade, 0, 0, QStringLiteral("/o/Mail Box"), {},
        QStringLiteral("Create directory unsuccessfully!\r\n/o/Mail Box"));
    row("source not opened", SaveNoticeKind::SourceNotOpened, 0, 0, {}, QStringLiteral("/gone.img"),
        QStringLiteral("The source could not be opened:\r\n/gone.img\r\nThe mails were saved "
                       "as text."));
    row("saved as text", SaveNoticeKind::SavedAsText, 4, 0, {}, {},
        QStringLiteral("4 mails could not be read back from the source and were saved as text."));
    row("files failed", SaveNoticeKind::FilesFailed, 1, 0, {}, QStringLiteral("/o/x.eml: denied"),
        QStringLiteral("1 mails could not be saved.\r\n/o/x.eml: denied"));
    row("report not written", SaveNoticeKind::ReportNotWritten, 0, 0, QStringLiteral("/o"),
        QStringLiteral("no room"),
        QStringLiteral("The report could not be written into /o:\r\nno room"));
  }

  void SaveNoticesAreWorded() {
    QFETCH(int, kind);
    QFETCH(int, count);
    QFETCH(int, alreadyThere);
    QFETCH(QString, path);
    QFETCH(QString, detail);
    QFETCH(QString, expected);
    const SaveNotice notice{static_cast<SaveNoticeKind>(kind), static_cast<std::size_t>(count),
                            static_cast<std::size_t>(alreadyThere), path.toStdString(),
                            detail.toStdString()};
    QCOMPARE(SaveNoticeMessage(notice), expected);
    QCOMPARE(SavingMailStatus(u"Hi_[x]"), QStringLiteral("Saving [Hi_[x]]"));
  }

 private:
  QTemporaryDir directory_;
  std::string image_;
  std::vector<std::uint64_t> offsets_;
};

}  // namespace quillon

QTEST_GUILESS_MAIN(quillon::WorkerEventsTest)
#include "worker_events_test.moc"
