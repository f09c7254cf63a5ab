// The modification time a saved mail's file gets: the moment its Date header names, so that a
// folder of saved mails sorts by date in any file manager.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace quillon {

// Seconds since 1970-01-01 UTC of a Date value: RFC 5322 section 3.3 ("Mon, 9 Mar 2009 10:11:12
// +0800", the day name and the seconds optional, two- and three-digit years as section 4.3
// reads them, the obsolete zone names UT, GMT, Z, EST ... PDT; UTC where the zone is missing or
// unknown) or the form found mails carry ("2009-03-09 10:11:12", UTC). None when the value is
// neither or names no real moment.
std::optional<std::int64_t> MailDateSeconds(std::string_view value);

// The Date of a saved file's content: the first "Date:" line of its header lines (those before
// the first empty line, or before the separator line of a .txt rendering).
std::optional<std::int64_t> ContentDateSeconds(std::string_view content);

// Sets the file's modification time to the content's Date; leaves it alone (false) when the
// content has none that parses, names a year before 1900 or from 2400 on, or the time cannot be
// set.
bool StampMailFileTime(const std::filesystem::path& path, std::string_view content);

}  // namespace quillon
