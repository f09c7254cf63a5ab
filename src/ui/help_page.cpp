#include "ui/help_page.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quillon {

namespace {

constexpr char kGuideFile[] = "help/index.html";

}  // namespace

QStringList HelpPageCandidates(const QString& programFolder) {
  QStringList candidates;
  candidates << QDir::cleanPath(programFolder + QLatin1Char('/') +
                                QLatin1String(QUILLON_DATADIR_FROM_BINDIR) + QLatin1Char('/') +
                                QLatin1String(kGuideFile));
  const QStringList dataFolders =
      QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
  for (const QString& folder : dataFolders)
    candidates << folder + QStringLiteral("/quillon/") + QLatin1String(kGuideFile);
  return candidates;
}

QUrl FindHelpPage(const QString& programFolder) {
  const QStringList candidates = HelpPageCandidates(programFolder);
  for (const QString& candidate : candidates) {
    if (QFileInfo::exists(candidate)) return QUrl::fromLocalFile(candidate);
  }
  return QUrl::fromLocalFile(candidates.constFirst());
}

QUrl HelpPageUrl() {
  return FindHelpPage(QCoreApplication::applicationDirPath());
}

}  // namespace quillon
