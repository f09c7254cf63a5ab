// The program's own viewer of its user guide, for machines without a web browser, and the test
// that tells whether there is one.
#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

class QTextBrowser;

namespace quillon {

// Web pages and local files go to a web browser; mail addresses to the mail program.
bool ShowsInBrowser(const QUrl& url);

// Whether a web browser is installed: the programs $BROWSER names, the desktop's browser
// alternatives, the common browsers, or a handler the desktop registered for web addresses.
bool WebBrowserInstalled();

class HelpViewer final : public QDialog {
  Q_OBJECT

 public:
  // `openElsewhere` takes the links that lead out of the guide (web and mail addresses).
  HelpViewer(const QUrl& page, std::function<bool(const QUrl&)> openElsewhere,
             QWidget* parent = nullptr);

  QTextBrowser* Browser() const { return browser_; }

 private:
  QTextBrowser* browser_ = nullptr;
};

}  // namespace quillon
