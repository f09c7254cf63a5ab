#include "app/cli/save_notice_text.h"

#include "text/code_page.h"

namespace quillon {

namespace {

// Paths and names are shown as the window shows them: read as UTF-8, what is not valid replaced.
std::string Shown(const std::string& text) {
  return Utf16ToUtf8(Utf8ToUtf16(text));
}

// The message box's text: CR LF between its lines.
std::string MessageText(const SaveNotice& notice) {
  const std::string count = std::to_string(notice.count);
  switch (notice.kind) {
    case SaveNoticeKind::FolderNotMade:
      return "Create directory unsuccessfully!\r\n" + Shown(notice.path.string());
    case SaveNoticeKind::SourceNotOpened:
      return "The source could not be opened:\r\n" + Shown(notice.detail) +
             "\r\nThe mails were saved as text.";
    case SaveNoticeKind::SavedAsText:
      return count + " mails could not be read back from the source and were saved as text.";
    case SaveNoticeKind::FilesFailed:
      return count + " mails could not be saved.\r\n" + Shown(notice.detail);
    case SaveNoticeKind::ReportNotWritten:
      return "The report could not be written into " + Shown(notice.path.string()) + ":\r\n" +
             Shown(notice.detail);
    case SaveNoticeKind::Saved:
      break;
  }
  std::string text = "Saved " + count + " mails!";
  if (notice.alreadyThere > 0)
    text += "\r\n" + std::to_string(notice.alreadyThere) + " mails were already in the folder.";
  return text;
}

}  // namespace

std::string SaveNoticeText(const SaveNotice& notice) {
  // A terminal wants LF where a message box has CR LF.
  const std::string text = MessageText(notice);
  std::string clean;
  clean.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    clean += text[i];
  }
  return clean;
}

std::u16string SavingMailText(const std::u16string& baseName) {
  return u"Saving [" + baseName + u"]";
}

}  // namespace quillon
