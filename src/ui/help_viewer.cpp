#include "ui/help_viewer.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "ui/icons.h"
#include "ui/window_texts.h"

namespace quillon {

namespace {

bool IsProgram(const QString& program) {
  if (program.isEmpty()) return false;
  if (program.contains(QLatin1Char('/'))) return QFileInfo(program).isExecutable();
  return !QStandardPaths::findExecutable(program).isEmpty();
}

// The desktop entry registered for web addresses, if the desktop keeps such a list.
bool DesktopHasWebHandler() {
  const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
  if (query.isEmpty()) return false;
  QProcess process;
  process.start(query, {QStringLiteral("query"), QStringLiteral("default"),
                        QStringLiteral("x-scheme-handler/http")});
  if (!process.waitForFinished(2000)) {
    process.kill();
    return false;
  }
  return process.exitCode() == 0 &&
         !QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed().isEmpty();
}

}  // namespace

bool ShowsInBrowser(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  return url.isLocalFile() || scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool WebBrowserInstalled() {
  // xdg-open reads $BROWSER as a list of commands, each possibly with "%s" for the address.
  for (const QString& command :
       qEnvironmentVariable("BROWSER").split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    if (IsProgram(command.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty))) return true;
  }
  for (const char* program :
       {"x-www-browser", "gnome-www-browser", "firefox", "firefox-esr", "chromium",
        "chromium-browser", "google-chrome", "google-chrome-stable", "epiphany-browser", "epiphany",
        "konqueror", "falkon", "midori", "qutebrowser", "vivaldi", "brave-browser",
        "microsoft-edge", "opera"}) {
    if (IsProgram(QString::fromLatin1(program))) return true;
  }
  return DesktopHasWebHandler();
}

HelpViewer::HelpViewer(const QUrl& page, std::function<bool(const QUrl&)> openElsewhere,
                       QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("helpViewer"));
  setWindowTitle(QString(kGuideLinkText));
  setWindowIcon(AppIcon());
  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("guideView"));
  browser_->setOpenLinks(false);
  browser_->setSource(page);
  connect(browser_, &QTextBrowser::anchorClicked, this,
          [this, openElsewhere = std::move(openElsewhere)](const QUrl& link) {
            // The guide's own pages and anchors stay here; the rest leaves the guide.
            const QUrl target = browser_->source().resolved(link);
            if (target.isLocalFile() || link.toString().startsWith(QLatin1Char('#')))
              browser_->setSource(target);
            else if (openElsewhere)
              (void)openElsewhere(target);
          });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser_, 1);
  layout->addWidget(buttons);
  resize(780, 620);
}

}  // namespace quillon
