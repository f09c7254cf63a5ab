#include "output/mail_file_time.h"

#include <array>
#include <chrono>
#include <string>
#include <system_error>
#include <vector>

#include "text/ascii.h"

namespace quillon {

namespace {

constexpr std::string_view kTextSeparator = "---------- Text ---------";

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar (H. Hinnant's
// days_from_civil).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

bool IsLeap(std::int64_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned DaysInMonth(std::int64_t year, unsigned month) {
  static constexpr std::array<unsigned, 12> kDays = {31, 28, 31, 30, 31, 30,
                                                     31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

std::optional<std::int64_t> Moment(std::int64_t year, unsigned month, unsigned day, unsigned hour,
                                   unsigned minute, unsigned second, std::int64_t zoneSeconds) {
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 60)
    return std::nullopt;
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - zoneSeconds;
}

std::vector<std::string_view> Words(std::string_view value) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at < value.size()) {
    while (at < value.size() && (value[at] == ' ' || value[at] == '\t' || value[at] == ',' ||
                                 value[at] == '\r' || value[at] == '\n'))
      ++at;
    std::size_t end = at;
    while (end < value.size() && value[end] != ' ' && value[end] != '\t' && value[end] != ',' &&
           value[end] != '\r' && value[end] != '\n')
      ++end;
    if (end > at) words.push_back(value.substr(at, end - at));
    at = end;
  }
  return words;
}

std::optional<unsigned> Digits(std::string_view text, std::size_t minimum, std::size_t maximum) {
  if (text.size() < minimum || text.size() > maximum) return std::nullopt;
  unsigned number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  return number;
}

std::optional<unsigned> Month(std::string_view word) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
  if (word.size() < 3) return std::nullopt;
  for (unsigned i = 0; i < kMonths.size(); ++i)
    if (StartsWithNoCase(word.substr(0, 3), kMonths[i])) return i + 1;
  return std::nullopt;
}

// The zone's offset east of UTC in seconds; 0 for none or one not known (RFC 5322 4.3: an
// unknown zone is taken as UTC).
std::int64_t ZoneSeconds(std::string_view word) {
  if (word.size() == 5 && (word[0] == '+' || word[0] == '-')) {
    const std::optional<unsigned> hours = Digits(word.substr(1, 2), 2, 2);
    const std::optional<unsigned> minutes = Digits(word.substr(3, 2), 2, 2);
    if (!hours || !minutes || *minutes > 59) return 0;
    const std::int64_t offset = *hours * 3600 + *minutes * 60;
    return word[0] == '-' ? -offset : offset;
  }
  static constexpr std::array<std::pair<std::string_view, int>, 8> kNames = {{{"EST", -5},
                                                                              {"EDT", -4},
                                                                              {"CST", -6},
                                                                              {"CDT", -5},
                                                                              {"MST", -7},
                                                                              {"MDT", -6},
                                                                              {"PST", -8},
                                                                              {"PDT", -7}}};
  for (const auto& [name, hours] : kNames)
    if (word.size() == name.size() && StartsWithNoCase(word, name)) return hours * 3600;
  return 0;
}

std::optional<std::int64_t> FoundMailForm(std::string_view value) {
  // "YYYY-MM-DD HH:MM:SS"
  if (value.size() != 19 || value[4] != '-' || value[7] != '-' || value[10] != ' ' ||
      value[13] != ':' || value[16] != ':')
    return std::nullopt;
  const auto year = Digits(value.substr(0, 4), 4, 4);
  const auto month = Digits(value.substr(5, 2), 2, 2);
  const auto day = Digits(value.substr(8, 2), 2, 2);
  const auto hour = Digits(value.substr(11, 2), 2, 2);
  const auto minute = Digits(value.substr(14, 2), 2, 2);
  const auto second = Digits(value.substr(17, 2), 2, 2);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  return Moment(*year, *month, *day, *hour, *minute, *second, 0);
}

}  // namespace

std::optional<std::int64_t> MailDateSeconds(std::string_view value) {
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\r' || value.back() == '\n'))
    value.remove_suffix(1);
  if (const std::optional<std::int64_t> found = FoundMailForm(value)) return found;

  std::vector<std::string_view> words = Words(value);
  // A day name in front ("Mon,") is passed by.
  if (!words.empty() && !words[0].empty() && (words[0][0] < '0' || words[0][0] > '9'))
    words.erase(words.begin());
  if (words.size() < 4) return std::nullopt;
  const std::optional<unsigned> day = Digits(words[0], 1, 2);
  const std::optional<unsigned> month = Month(words[1]);
  std::optional<unsigned> year = Digits(words[2], 2, 4);
  if (!day || !month || !year) return std::nullopt;
  // RFC 5322 4.3: two digits are 1950..2049, three are counted from 1900.
  if (words[2].size() == 2) *year += *year < 50 ? 2000 : 1900;
  if (words[2].size() == 3) *year += 1900;

  const std::string_view time = words[3];
  const std::size_t colon = time.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::size_t second = time.find(':', colon + 1);
  const auto hour = Digits(time.substr(0, colon), 1, 2);
  const auto minute = Digits(
      time.substr(colon + 1, second == std::string_view::npos ? second : second - colon - 1), 2, 2);
  const auto seconds = second == std::string_view::npos ? std::optional<unsigned>(0)
                                                        : Digits(time.substr(second + 1), 2, 2);
  if (!hour || !minute || !seconds) return std::nullopt;
  const std::int64_t zone = words.size() > 4 ? ZoneSeconds(words[4]) : 0;
  return Moment(*year, *month, *day, *hour, *minute, *seconds, zone);
}

std::optional<std::int64_t> ContentDateSeconds(std::string_view content) {
  for (std::size_t line = 0; line < content.size();) {
    const std::size_t next = content.find('\n', line);
    const std::size_t end = next == std::string_view::npos ? content.size() : next;
    std::string_view text = content.substr(line, end - line);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (text.empty() || text == kTextSeparator) return std::nullopt;
    if (StartsWithNoCase(text, "Date:")) {
      // A folded value goes on in the lines that start with white space.
      std::string value(text.substr(5));
      for (std::size_t more = end + 1; next != std::string_view::npos && more < content.size();) {
        if (content[more] != ' ' && content[more] != '\t') break;
        const std::size_t moreEnd = content.find('\n', more);
        value += ' ';
        value += content.substr(
            more, (moreEnd == std::string_view::npos ? content.size() : moreEnd) - more);
        if (moreEnd == std::string_view::npos) break;
        more = moreEnd + 1;
      }
      return MailDateSeconds(value);
    }
    if (next == std::string_view::npos) break;
    line = next + 1;
  }
  return std::nullopt;
}

bool StampMailFileTime(const std::filesystem::path& path, std::string_view content) {
  const std::optional<std::int64_t> seconds = ContentDateSeconds(content);
  if (!seconds) return false;
  // The file clock counts nanoseconds in 64 bits around its own epoch: a date of a carved mail
  // centuries away (a damaged or forged header) would overflow it. Such a date names no moment a
  // file could have been written at; the file keeps its own time.
  constexpr std::int64_t kYear1900 = -2208988800;
  constexpr std::int64_t kYear2400 = 13569465600;
  if (*seconds < kYear1900 || *seconds >= kYear2400) return false;
  const auto moment = std::chrono::sys_seconds(std::chrono::seconds(*seconds));
  std::error_code error;
  std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(moment), error);
  return !error;
}

}  // namespace quillon
