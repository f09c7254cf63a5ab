// How output files are named: the default name of a single save, the base name of a mail in a
// save run, the characters a file name may not hold, and name clashes within one run.
#pragma once

#include <cstddef>
#include <filesystem>
#include <set>
#include <string>

#include "output/save_format.h"
#include "scan/mail_record.h"

namespace quillon {

// Replaces each of  " < : > | ? \ / *  and every control character (below 0x20, and 0x7F) by
// one blank. The result never names a parent or the current folder ("." and ".." become "_").
std::u16string SanitizeFileName(std::u16string_view name);

// The name offered when one mail is saved: the first 20 UTF-16 units of the decoded subject,
// " [", the date text, "].eml" (or "].txt"), sanitized.
std::u16string DefaultFileName(const MailRecord& record, SaveFormat format);

// The base name of a mail in a save run, without extension: "%s_[%s]" with the first 20 UTF-16
// units of the decoded subject and the date text, sanitized.
std::u16string BatchFileName(const MailRecord& record);

// The paths (without extension) one save run has handed out.
class UsedNameSet {
 public:
  bool Contains(const std::filesystem::path& path) const { return paths_.count(path) > 0; }
  void Add(const std::filesystem::path& path) { paths_.insert(path); }

 private:
  std::set<std::filesystem::path> paths_;
};

// The path (without extension) under which a run writes a mail: folder + base name, or, when that
// was already handed out in this run, folder + base name + "_N" with the smallest unused N from 1
// on. A name too long for the file system is shortened, keeping its date part, so that the name
// with `extension` fits. The path is reserved in `used`.
std::filesystem::path ReservePath(UsedNameSet& used, const std::filesystem::path& folder,
                                  std::u16string_view baseName, std::string_view extension);

}  // namespace quillon
