// quillon-gui [SOURCE] [--screenshot FILE [--select ROW]] | --guide-path
//
// Without a source the window opens the data-source dialog by itself; with one (named as on the
// command line) it scans it at once. --screenshot renders the window once the scan has ended and
// the first mail (or mail ROW, counted from 1) is previewed, writes it as a PNG and exits (works
// without a display under QT_QPA_PLATFORM=offscreen); a picture that cannot be written makes the
// exit status 1. --guide-path prints the user guide that Help opens (exit status 1 when it is
// missing), so that an installed or unpacked program can be checked for its data.
#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string>

#include "ui/help_page.h"
#include "source/source_name.h"
#include "ui/look.h"
#include "ui/main_window.h"
#include "ui/prompts.h"
#include "ui/screenshot.h"
#include "ui/source_list.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillon"));
  QApplication::setApplicationVersion(QStringLiteral(QUILLON_FULL_VERSION));
  QApplication::setDesktopFileName(QStringLiteral(QUILLON_APP_ID));
  quillon::ApplyQuillonLook(application);

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Finds lost e-mails on a drive, a disk or an image."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("source"),
                               QStringLiteral("An image or mail-store file, HD0..HD7, or a device "
                                              "name such as sda1; scanned at once."),
                               QStringLiteral("[SOURCE]"));
  const QCommandLineOption screenshotOption(
      QStringLiteral("screenshot"),
      QStringLiteral("Write a picture of the window after the scan to <file> and exit."),
      QStringLiteral("file"));
  parser.addOption(screenshotOption);
  const QCommandLineOption selectOption(
      QStringLiteral("select"), QStringLiteral("The mail to preview in the picture (default 1)."),
      QStringLiteral("row"), QStringLiteral("1"));
  parser.addOption(selectOption);
  const QCommandLineOption guideOption(
      QStringLiteral("guide-path"),
      QStringLiteral("Print where the user guide that Help opens lies, and exit."));
  parser.addOption(guideOption);
  parser.process(application);

  if (parser.isSet(guideOption)) {
    const QString guide = quillon::HelpPageUrl().toLocalFile();
    std::printf("%s\n", guide.toLocal8Bit().constData());
    return QFileInfo::exists(guide) ? 0 : 1;
  }

  bool rowValid = false;
  const int selectedRow = parser.value(selectOption).toInt(&rowValid) - 1;
  if (!rowValid || selectedRow < 0) {
    std::fputs("quillon-gui: --select needs a row number from 1 on\n", stderr);
    return 2;
  }

  const QStringList positional = parser.positionalArguments();
  if (positional.size() > 1) {
    std::fputs("quillon-gui: give at most one source\n", stderr);
    return 2;
  }
  // The same name means the same source as on the command line: a file in the current folder
  // wins over the device of that name under /dev.
  const std::string source =
      positional.isEmpty()
          ? std::string()
          : quillon::ResolveSourceName(QFile::encodeName(positional.front()).toStdString());
  const QString screenshotPath = parser.value(screenshotOption);
  if (!screenshotPath.isEmpty() && source.empty()) {
    std::fputs("quillon-gui: --screenshot needs a source to scan\n", stderr);
    return 2;
  }
  if (!source.empty()) {
    std::string error;
    if (!quillon::ProbeSource(source, error)) {
      std::fprintf(stderr, "quillon-gui: cannot open %s: %s\n", source.c_str(), error.c_str());
      return 1;
    }
  }

  quillon::DesktopPrompts prompts;
  quillon::MainWindowOptions options;
  options.openDataDialogOnStart = source.empty();
  quillon::MainWindow window(prompts, options);
  window.show();

  int exitCode = 0;
  if (!screenshotPath.isEmpty()) {
    QObject::connect(&window, &quillon::MainWindow::scanFinished, &window, [&] {
      if (auto* list = window.findChild<QTableView*>(QStringLiteral("mailList"));
          list && list->model()->rowCount() > 0)
        list->selectRow(std::min(selectedRow, list->model()->rowCount() - 1));
      // Let the preview lay out its document before the picture is taken.
      QTimer::singleShot(200, &window, [&] {
        if (!quillon::SaveScreenshot(window, screenshotPath)) {
          std::fprintf(stderr, "quillon-gui: cannot write %s\n",
                       screenshotPath.toLocal8Bit().constData());
          exitCode = 1;
        }
        application.exit(exitCode);
      });
    });
  }
  if (!source.empty()) window.StartScan(source);
  const int loopResult = QApplication::exec();
  return exitCode != 0 ? exitCode : loopResult;
}
