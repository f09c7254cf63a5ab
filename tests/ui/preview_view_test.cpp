// The preview pane keeps a carved mail in its box: no resource from outside the document, "app:"
// links dropped, other links handed to the desktop only on a click.
#include "ui/preview_view.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtTest>

namespace quillon {

namespace {

// A 1 x 1 PNG.
constexpr char kPixelPngBase64[] =
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg"
    "==";

}  // namespace

class PreviewViewTest : public QObject {
  Q_OBJECT

 private slots:
  void Classify_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("action");
    const int ignore = static_cast<int>(LinkAction::Ignore);
    const int anchor = static_cast<int>(LinkAction::ScrollToAnchor);
    const int open = static_cast<int>(LinkAction::OpenExternally);
    QTest::newRow("app lower case") << QStringLiteral("app:delete-everything") << ignore;
    QTest::newRow("app upper case") << QStringLiteral("APP:delete") << ignore;
    QTest::newRow("app mixed case with query") << QStringLiteral("aPp:open?x=1") << ignore;
    QTest::newRow("app with slashes") << QStringLiteral("app://host/path") << ignore;
    QTest::newRow("apps is another scheme") << QStringLiteral("apps:x") << ignore;
    QTest::newRow("http") << QStringLiteral("http://harbour.example.com/") << open;
    QTest::newRow("https upper case") << QStringLiteral("HTTPS://harbour.example.com/pier") << open;
    QTest::newRow("mailto") << QStringLiteral("mailto:board@example.org") << open;
    QTest::newRow("ftp") << QStringLiteral("ftp://files.example.org/a.txt") << open;
    QTest::newRow("anchor") << QStringLiteral("#minutes") << anchor;
    QTest::newRow("local file") << QStringLiteral("file:///etc/passwd") << ignore;
    QTest::newRow("script") << QStringLiteral("javascript:alert(1)") << ignore;
    QTest::newRow("inline part") << QStringLiteral("cid:part1@example.org") << ignore;
    QTest::newRow("relative") << QStringLiteral("pier.html") << ignore;
  }

  void Classify() {
    QFETCH(QString, url);
    QFETCH(int, action);
    QCOMPARE(static_cast<int>(ClassifyLink(QUrl(url))), action);
  }

  void DataUrl_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("decoded");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("base64") << QStringLiteral("data:text/plain;base64,SGVsbG8=") << true
                            << QByteArray("Hello");
    QTest::newRow("percent") << QStringLiteral("data:text/plain,Hello%20there") << true
                             << QByteArray("Hello there");
    QTest::newRow("upper-case scheme and tag")
        << QStringLiteral("DATA:text/plain;BASE64,SGk=") << true << QByteArray("Hi");
    QTest::newRow("broken base64")
        << QStringLiteral("data:image/png;base64,@@@") << false << QByteArray();
    QTest::newRow("no comma") << QStringLiteral("data:text/plain") << false << QByteArray();
    QTest::newRow("web address") << QStringLiteral("http://example.org/data:,x") << false
                                 << QByteArray();
  }

  void DataUrl() {
    QFETCH(QString, url);
    QFETCH(bool, decoded);
    QFETCH(QByteArray, bytes);
    const auto result = DecodeDataUrl(QUrl(url));
    QCOMPARE(result.has_value(), decoded);
    if (decoded) QCOMPARE(*result, bytes);
  }

  // Nothing is fetched: not from the web, not from the disk, not by a relative name; only images
  // the document carries inline are shown.
  void LoadResource_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("loaded");
    const int image = QTextDocument::ImageResource;
    QTest::newRow("remote image") << image << QStringLiteral("http://tracker.example.com/p.gif")
                                  << false;
    QTest::newRow("local image") << image << QStringLiteral("file:///usr/share/pixmaps/x.png")
                                 << false;
    QTest::newRow("relative image") << image << QStringLiteral("logo.png") << false;
    QTest::newRow("inline part") << image << QStringLiteral("cid:logo@example.org") << false;
    QTest::newRow("remote style sheet") << static_cast<int>(QTextDocument::StyleSheetResource)
                                        << QStringLiteral("https://example.com/a.css") << false;
    QTest::newRow("inline style sheet") << static_cast<int>(QTextDocument::StyleSheetResource)
                                        << QStringLiteral("data:text/css,p{color:red}") << false;
    QTest::newRow("inline image") << image
                                  << QStringLiteral("data:image/png;base64,") +
                                         QString::fromLatin1(kPixelPngBase64)
                                  << true;
  }

  void LoadResource() {
    QFETCH(int, type);
    QFETCH(QString, url);
    QFETCH(bool, loaded);
    PreviewView view;
    QCOMPARE(view.loadResource(type, QUrl(url)).isValid(), loaded);
  }

  void ClickedLinks_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("handedOn");
    QTest::newRow("web") << QStringLiteral("https://harbour.example.com/pier") << true;
    QTest::newRow("mail") << QStringLiteral("mailto:board@example.org") << true;
    QTest::newRow("app") << QStringLiteral("app:delete-everything") << false;
    QTest::newRow("APP") << QStringLiteral("APP:Delete") << false;
    QTest::newRow("file") << QStringLiteral("file:///etc/passwd") << false;
  }

  void ClickedLinks() {
    QFETCH(QString, url);
    QFETCH(bool, handedOn);
    PreviewView view;
    view.ShowDocument(QStringLiteral("<p><a href=\"%1\">link</a></p>").arg(url));
    QSignalSpy requests(&view, &PreviewView::externalLinkRequested);
    emit view.anchorClicked(QUrl(url));
    QCOMPARE(requests.count(), handedOn ? 1 : 0);
    if (handedOn) QCOMPARE(requests.at(0).at(0).toUrl(), QUrl(url));
    // The view itself never navigates away from the mail.
    QVERIFY(view.source().isEmpty());
    QVERIFY(view.toPlainText().contains(QStringLiteral("link")));
  }

  void ShowDocumentReplacesTheText() {
    PreviewView view;
    view.ShowDocument(QStringLiteral("<pre>first</pre>"));
    QCOMPARE(view.toPlainText(), QStringLiteral("first"));
    view.ShowDocument(QStringLiteral("<p>second <b>part</b></p>"));
    QCOMPARE(view.toPlainText(), QStringLiteral("second part"));
    view.ShowDocument(QString());
    QVERIFY(view.toPlainText().isEmpty());
  }

  // A plain-text body comes in <pre>; its long lines wrap instead of scrolling sideways.
  void PreformattedLinesWrap() {
    PreviewView view;
    view.resize(300, 200);
    const QString longLine = QStringLiteral("word ").repeated(200);
    view.ShowDocument(QStringLiteral("<pre>") + longLine + QStringLiteral("\r\nshort</pre>"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(!view.document()->begin().blockFormat().nonBreakableLines());
    QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
    QVERIFY(view.document()->begin().layout()->lineCount() > 1);
    QVERIFY(view.toPlainText().contains(QStringLiteral("short")));
  }

  // Every place of the text is marked in any letter case, and the first is scrolled into view.
  void HighlightsTheText() {
    PreviewView view;
    view.resize(300, 120);
    const QString filler = QStringLiteral("<p>line</p>").repeated(80);
    view.ShowDocument(filler + QStringLiteral("<p>Kazan \u041a\u0410\u0417\u0410\u041d\u042c "
                                              "\u043a\u0430\u0437\u0430\u043d\u044c</p>"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.verticalScrollBar()->value(), 0);
    QCOMPARE(view.HighlightText(QStringLiteral("\u041a\u0430\u0437\u0430\u043d\u044c")), 2);
    QCOMPARE(view.extraSelections().size(), 2);
    QCOMPARE(view.extraSelections().constFirst().cursor.selectedText(),
             QStringLiteral("\u041a\u0410\u0417\u0410\u041d\u042c"));
    QVERIFY(view.verticalScrollBar()->value() > 0);
    // Nothing to mark clears the marks.
    QCOMPARE(view.HighlightText(QStringLiteral("lighthouse")), 0);
    QVERIFY(view.extraSelections().isEmpty());
    QCOMPARE(view.HighlightText(QString()), 0);
  }

  void MarksAreLimited() {
    PreviewView view;
    view.ShowDocument(QStringLiteral("<p>") + QStringLiteral("a ").repeated(2000) +
                      QStringLiteral("</p>"));
    QCOMPARE(view.HighlightText(QStringLiteral("A")), PreviewView::kMaxHighlights);
  }

  void NamedForTheWindow() {
    PreviewView view;
    QCOMPARE(view.objectName(), QStringLiteral("previewView"));
    QVERIFY(!view.openLinks());
    QVERIFY(!view.openExternalLinks());
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::PreviewViewTest)
#include "preview_view_test.moc"
