// The labels of the folder tree.
#include "ui/mail_folder.h"

#include <QtTest>

namespace quillon {

class MailFolderTest : public QObject {
  Q_OBJECT

 private slots:
  void RootLabel_data() {
    QTest::addColumn<QByteArray>("sourceName");
    QTest::addColumn<QString>("label");
    QTest::newRow("image path") << QByteArray("/home/ann/images/demo.img")
                                << QStringLiteral("Local Folders [demo.img]");
    QTest::newRow("whole disk") << QByteArray("HD0") << QStringLiteral("Local Folders [HD0]");
    QTest::newRow("device name") << QByteArray("sda1") << QStringLiteral("Local Folders [sda1]");
    QTest::newRow("device path") << QByteArray("/dev/sdb") << QStringLiteral("Local Folders [sdb]");
    QTest::newRow("UTF-8 file name")
        << QByteArray("/tmp/\xe5\xa4\x87\xe4\xbb\xbd.dbx")
        << QString::fromUtf8("Local Folders [\xe5\xa4\x87\xe4\xbb\xbd.dbx]");
    QTest::newRow("no source yet") << QByteArray() << QStringLiteral("Local Folders");
  }

  void RootLabel() {
    QFETCH(QByteArray, sourceName);
    QFETCH(QString, label);
    QCOMPARE(RootFolderLabel(sourceName.toStdString()), label);
  }

  void CountedLabel_data() {
    QTest::addColumn<qulonglong>("count");
    QTest::addColumn<QString>("label");
    QTest::newRow("none") << 0ULL << QStringLiteral("Mail Box (0)");
    QTest::newRow("one") << 1ULL << QStringLiteral("Mail Box (1)");
    QTest::newRow("beyond 32 bits") << 5'000'000'000ULL << QStringLiteral("Mail Box (5000000000)");
  }

  void CountedLabel() {
    QFETCH(qulonglong, count);
    QFETCH(QString, label);
    QCOMPARE(CountedFolderLabel(QString::fromUtf16(kMailBoxName), count), label);
  }

  // While copies are hidden the label tells how many are left out.
  void CountedLabelWithHiddenCopies_data() {
    QTest::addColumn<qulonglong>("count");
    QTest::addColumn<qulonglong>("copies");
    QTest::addColumn<QString>("label");
    QTest::newRow("the issue's image")
        << 54595ULL << 51714ULL << QStringLiteral("Mail Box (2881 + 51714 copies)");
    QTest::newRow("one copy") << 6ULL << 1ULL << QStringLiteral("Mail Box (5 + 1 copy)");
    QTest::newRow("no copies") << 6ULL << 0ULL << QStringLiteral("Mail Box (6)");
    QTest::newRow("all copies but none")
        << 3ULL << 3ULL << QStringLiteral("Mail Box (0 + 3 copies)");
    QTest::newRow("more copies than mails") << 2ULL << 3ULL << QStringLiteral("Mail Box (2)");
  }

  void CountedLabelWithHiddenCopies() {
    QFETCH(qulonglong, count);
    QFETCH(qulonglong, copies);
    QFETCH(QString, label);
    QCOMPARE(CountedFolderLabel(QString::fromUtf16(kMailBoxName), count, copies), label);
  }
};

}  // namespace quillon

QTEST_APPLESS_MAIN(quillon::MailFolderTest)
#include "mail_folder_test.moc"
