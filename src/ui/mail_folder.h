// The folders of the tree: "Local Folders [source]" at the root and the "Mail Box" folder below it
// that holds the mails of the scan in the order they were found.
#pragma once

#include <QString>
#include <string_view>
#include <vector>

#include "scan/mail_record.h"

namespace quillon {

inline constexpr char16_t kMailBoxName[] = u"Mail Box";

struct MailFolder {
  QString name;
  std::vector<MailRecordPtr> mails;  // found order
};

// "Local Folders [name]" with the part of the source name after its last '/' (the whole name
// when it has none); just "Local Folders" for an empty name.
QString RootFolderLabel(std::string_view sourceName);

// "Mail Box (n)", the label a folder gets once its scan has ended.
QString CountedFolderLabel(const QString& folderName, std::size_t mailCount);

// The same while copies of other mails are hidden: "Mail Box (2881 + 51714 copies)", the mails
// shown and the copies not shown; "Mail Box (n)" when there are no copies.
QString CountedFolderLabel(const QString& folderName, std::size_t mailCount,
                           std::size_t hiddenCopies);

}  // namespace quillon
