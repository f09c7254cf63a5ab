// How output files are named: the default name of a single save, the base name of a mail in a
// save run, the characters and names a file name may not hold, and name clashes within one run.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "output/render_options.h"
#include "output/save_format.h"
#include "scan/mail_record.h"

namespace quillon {

// Makes `name` a name every file system and file manager takes as an ordinary file:
// - each of  " < : > | ? \ / *  and every control character (below 0x20, and 0x7F) becomes one
//   blank, and a lone surrogate U+FFFD;
// - a leading "." (a hidden file) and each "." or blank at the end (dropped by Windows) become
//   "_", so "." and ".." can never name a folder itself;
// - a device name of Windows (CON, PRN, AUX, NUL, COM1..COM9, LPT1..LPT9 in any case, before the
//   first "." or alone) gets a "_" behind it: "con.txt" becomes "con_.txt".
// Only the last rule changes the length.
std::u16string SanitizeFileName(std::u16string_view name);

// The name offered when one mail is saved: the first 20 UTF-16 units of the decoded subject,
// " [", the date text, "].eml" (or "].txt"), sanitized, and shortened like a batch name so that
// it fits into one path component.
std::u16string DefaultFileName(const MailRecord& record, SaveFormat format,
                               const RenderOptions& options);

// The base name of a mail in a save run, without extension: "%s_[%s]" with the first 20 UTF-16
// units of the decoded subject and the date text, sanitized.
std::u16string BatchFileName(const MailRecord& record, const RenderOptions& options);

// The paths (without extension) one save run has handed out. Letter case does not count: a
// folder on vfat, exFAT or NTFS (a USB stick, a Windows disk) takes "Mail" and "mail" for one
// file, and a folder copied there later must not lose one of them.
class UsedNameSet {
 public:
  bool Contains(const std::filesystem::path& path) const;
  void Add(const std::filesystem::path& path);
  // Adds `path`; false when it (in any letter case) was there already.
  bool Insert(const std::filesystem::path& path);
  // The "_N" number from which ReservePath goes on looking for a free name for `stem` (folder,
  // base name and extension length): every smaller one was taken when it last looked, and taken
  // names stay taken, so a base name shared by many mails is not tried from 1 again each time.
  std::size_t& NextNumber(const std::string& stem) { return nextNumbers_[stem]; }

 private:
  // Hashed: a run of a million mails asks once or more for every one of them.
  std::unordered_set<std::u16string> foldedPaths_;
  std::unordered_map<std::string, std::size_t> nextNumbers_;
};

// The path (without extension) under which a run writes a mail: folder + base name, or, when that
// was already handed out in this run, folder + base name + "_N" with the smallest unused N from 1
// on. A name too long for the file system is shortened, keeping its date part, so that the name
// with `extension` fits. The path is reserved in `used`.
std::filesystem::path ReservePath(UsedNameSet& used, const std::filesystem::path& folder,
                                  std::u16string_view baseName, std::string_view extension);

}  // namespace quillon
