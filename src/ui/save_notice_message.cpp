#include "ui/save_notice_message.h"

#include "text/code_page.h"
#include "ui/window_texts.h"

namespace quillon {

namespace {

// Paths and names as the run gives them: UTF-8, what is not valid replaced.
QString Shown(const std::string& text) {
  return QString::fromStdU16String(Utf8ToUtf16(text));
}

}  // namespace

QString SaveNoticeMessage(const SaveNotice& notice) {
  const QString count = QString::number(notice.count);
  switch (notice.kind) {
    case SaveNoticeKind::FolderNotMade:
      return QString(kSaveFolderNotMade) + Shown(notice.path.string());
    case SaveNoticeKind::SourceNotOpened:
      return QString(kSaveSourceNotOpened).arg(Shown(notice.detail));
    case SaveNoticeKind::SavedAsText:
      return QString(kSaveMailsAsText).arg(count);
    case SaveNoticeKind::FilesFailed:
      return QString(kSaveMailsFailed).arg(count) + Shown(notice.detail);
    case SaveNoticeKind::ReportNotWritten:
      return QString(kSaveReportFailed).arg(Shown(notice.path.string())) + Shown(notice.detail);
    case SaveNoticeKind::Saved:
      break;
  }
  QString text = QString(kSavedMails).arg(count);
  if (notice.alreadyThere > 0)
    text += QStringLiteral("\r\n") + QString(kSavedAlreadyThere).arg(notice.alreadyThere);
  return text;
}

QString SavingMailStatus(const std::u16string& baseName) {
  return QStringLiteral("Saving [") + QString::fromStdU16String(baseName) + QStringLiteral("]");
}

}  // namespace quillon
