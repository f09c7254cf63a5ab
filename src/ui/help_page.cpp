#include "ui/help_page.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace quillon {

namespace {

constexpr char kGuideFile[] = "help/index.html";

}  // namespace

QStringList HelpPageCandidates() {
  const QDir binary(QCoreApplication::applicationDirPath());
  QStringList candidates;
  candidates << QDir::cleanPath(binary.filePath(QStringLiteral("../share/doc/quillon/")) +
                                QLatin1Char('/') + QLatin1String(kGuideFile));
  candidates << binary.filePath(QLatin1String(kGuideFile));
  candidates << QStringLiteral(QUILLON_SOURCE_DIR "/docs/") + QLatin1String(kGuideFile);
  return candidates;
}

QUrl HelpPageUrl() {
  const QStringList candidates = HelpPageCandidates();
  for (const QString& candidate : candidates) {
    if (QFileInfo::exists(candidate)) return QUrl::fromLocalFile(candidate);
  }
  return QUrl::fromLocalFile(candidates.constFirst());
}

}  // namespace quillon
