#include "ui/mail_folder.h"

namespace quillon {

QString RootFolderLabel(std::string_view sourceName) {
  QString label = QStringLiteral("Local Folders");
  if (sourceName.empty()) return label;
  const std::size_t slash = sourceName.rfind('/');
  const std::string_view last =
      slash == std::string_view::npos ? sourceName : sourceName.substr(slash + 1);
  return label + QStringLiteral(" [") +
         QString::fromUtf8(last.data(), static_cast<qsizetype>(last.size())) + QLatin1Char(']');
}

QString CountedFolderLabel(const QString& folderName, std::size_t mailCount) {
  return folderName + QStringLiteral(" (%1)").arg(static_cast<qulonglong>(mailCount));
}

QString CountedFolderLabel(const QString& folderName, std::size_t mailCount,
                           std::size_t hiddenCopies) {
  if (hiddenCopies == 0 || hiddenCopies > mailCount)
    return CountedFolderLabel(folderName, mailCount);
  return folderName +
         QStringLiteral(" (%1 + %2 %3)")
             .arg(static_cast<qulonglong>(mailCount - hiddenCopies))
             .arg(static_cast<qulonglong>(hiddenCopies))
             .arg(hiddenCopies == 1 ? QStringLiteral("copy") : QStringLiteral("copies"));
}

}  // namespace quillon
