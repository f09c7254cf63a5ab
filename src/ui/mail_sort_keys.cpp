#include "ui/mail_sort_keys.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "text/case_folding.h"

namespace quillon {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

int Number(std::string_view digits) {
  int value = 0;
  for (char c : digits.substr(0, 9)) value = value * 10 + (c - '0');
  return value;
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// 1..12 for an English month name or its first three letters, 0 otherwise.
int MonthOf(std::string_view token) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
  if (token.size() < 3) return 0;
  for (std::size_t month = 0; month < kMonths.size(); ++month) {
    bool same = true;
    for (std::size_t i = 0; i < 3; ++i) same = same && Lower(token[i]) == kMonths[month][i];
    if (same) return static_cast<int>(month) + 1;
  }
  return 0;
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar (H. Hinnant's
// days_from_civil).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

struct DateParts {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

std::optional<std::int64_t> SecondsOf(const DateParts& parts) {
  if (parts.day < 1 || parts.day > 31 || parts.month < 0 || parts.month > 12) return std::nullopt;
  // A month the normalisation could not name ("2009-00-09") still dates the mail to its year.
  const int month = parts.month == 0 ? 1 : parts.month;
  const bool timeValid = parts.hour >= 0 && parts.hour < 24 && parts.minute >= 0 &&
                         parts.minute < 60 && parts.second >= 0 && parts.second < 61;
  const std::int64_t seconds =
      timeValid ? parts.hour * 3600 + parts.minute * 60 + parts.second : std::int64_t{0};
  return DaysFromCivil(parts.year, month, parts.day) * kSecondsPerDay + seconds;
}

// "hh:mm" or "hh:mm:ss".
bool ReadTime(std::string_view token, DateParts& parts) {
  const std::size_t first = token.find(':');
  if (first == std::string_view::npos) return false;
  const std::size_t second = token.find(':', first + 1);
  const std::string_view hour = token.substr(0, first);
  const std::string_view minute = token.substr(
      first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1);
  const std::string_view seconds =
      second == std::string_view::npos ? std::string_view("0") : token.substr(second + 1, 2);
  if (!AllDigits(hour) || !AllDigits(minute) || !AllDigits(seconds)) return false;
  parts.hour = Number(hour);
  parts.minute = Number(minute);
  parts.second = Number(seconds);
  return true;
}

// "YYYY-MM-DD", optionally followed by "Thh:mm:ss".
bool ReadIsoDate(std::string_view token, DateParts& parts) {
  if (token.size() < 10 || token[4] != '-' || token[7] != '-') return false;
  if (!AllDigits(token.substr(0, 4)) || !AllDigits(token.substr(5, 2)) ||
      !AllDigits(token.substr(8, 2)))
    return false;
  parts.year = Number(token.substr(0, 4));
  parts.month = Number(token.substr(5, 2));
  parts.day = Number(token.substr(8, 2));
  if (token.size() > 11 && (token[10] == 'T' || token[10] == 't'))
    (void)ReadTime(token.substr(11), parts);
  return true;
}

// RFC 5322 4.3: two-digit years from 50 on are 19xx, below 50 20xx; three-digit ones add 1900.
int FullYear(std::string_view digits) {
  const int year = Number(digits);
  if (digits.size() <= 2) return year < 50 ? 2000 + year : 1900 + year;
  if (digits.size() == 3) return 1900 + year;
  return year;
}

std::vector<std::string_view> Tokens(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const bool separator = i == text.size() || text[i] == ' ' || text[i] == ',' ||
                           text[i] == '\t' || text[i] == '\r' || text[i] == '\n';
    if (!separator) continue;
    if (i > start) tokens.push_back(text.substr(start, i - start));
    start = i + 1;
  }
  return tokens;
}

QStringView Trimmed(QStringView text) {
  return text.trimmed();
}

// The normalised form "YYYY-MM-DD hh:mm:ss", read without splitting it into words.
bool ReadNormalisedDate(std::string_view date, DateParts& parts) {
  if (date.size() != 19 || date[4] != '-' || date[7] != '-' || date[10] != ' ' || date[13] != ':' ||
      date[16] != ':')
    return false;
  for (std::size_t at : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18}) {
    if (!IsDigit(date[at])) return false;
  }
  parts.year = Number(date.substr(0, 4));
  parts.month = Number(date.substr(5, 2));
  parts.day = Number(date.substr(8, 2));
  parts.hour = Number(date.substr(11, 2));
  parts.minute = Number(date.substr(14, 2));
  parts.second = Number(date.substr(17, 2));
  return true;
}

}  // namespace

std::optional<std::int64_t> DateSortSeconds(std::string_view date) {
  DateParts parts;
  if (ReadNormalisedDate(date, parts)) return SecondsOf(parts);
  const std::vector<std::string_view> tokens = Tokens(date);
  std::vector<std::string_view> numbers;
  bool timeSeen = false;
  for (std::string_view token : tokens) {
    if (ReadIsoDate(token, parts)) {
      // The normalised form and ISO dates carry their own order of fields.
      for (std::string_view rest : tokens) {
        if (!timeSeen && rest != token) timeSeen = ReadTime(rest, parts);
      }
      return SecondsOf(parts);
    }
    if (!timeSeen && ReadTime(token, parts)) {
      timeSeen = true;
    } else if (parts.month == 0 && MonthOf(token) != 0) {
      parts.month = MonthOf(token);
    } else if (AllDigits(token)) {
      numbers.push_back(token);
    }
  }
  if (parts.month == 0 || numbers.size() < 2) return std::nullopt;
  // The year is the number that cannot be a day; with two small numbers, the day comes first.
  std::string_view day = numbers[0];
  std::string_view year = numbers[1];
  if (day.size() > 2 || Number(day) > 31) std::swap(day, year);
  parts.day = Number(day);
  parts.year = FullYear(year);
  return SecondsOf(parts);
}

QStringView DisplayNameOf(QStringView address) {
  const QStringView text = Trimmed(address);
  if (text.startsWith(u'"')) {
    const qsizetype close = text.indexOf(u'"', 1);
    const QStringView name = Trimmed(text.mid(1, close < 0 ? -1 : close - 1));
    if (!name.isEmpty()) return name;
  }
  if (const qsizetype open = text.indexOf(u'<'); open >= 0) {
    QStringView name = Trimmed(text.left(open));
    if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"'))
      name = Trimmed(name.mid(1, name.size() - 2));
    if (!name.isEmpty()) return name;
    const qsizetype close = text.indexOf(u'>', open);
    return Trimmed(text.mid(open + 1, close < 0 ? -1 : close - open - 1));
  }
  if (const qsizetype open = text.indexOf(u'('); open > 0) {
    const qsizetype close = text.indexOf(u')', open);
    const QStringView comment = Trimmed(text.mid(open + 1, close < 0 ? -1 : close - open - 1));
    if (!comment.isEmpty()) return comment;
    return Trimmed(text.left(open));
  }
  return text;
}

void AppendFolded(QStringView text, std::u16string& out) {
  AppendFoldedCase(std::u16string_view(text.utf16(), static_cast<std::size_t>(text.size())), out);
}

bool ContainsFolded(QStringView haystack, std::u16string_view foldedNeedle,
                    std::u16string& buffer) {
  if (foldedNeedle.empty()) return true;
  if (static_cast<std::size_t>(haystack.size()) < foldedNeedle.size()) return false;
  buffer.clear();
  AppendFolded(haystack, buffer);
  return std::u16string_view(buffer).find(foldedNeedle) != std::u16string_view::npos;
}

void FoldedTexts::Reserve(std::size_t texts, std::size_t units) {
  spans_.reserve(texts);
  units_.reserve(units);
}

void FoldedTexts::Add(QStringView text) {
  const QStringView compared = text.left(static_cast<qsizetype>(kComparedLength));
  spans_.emplace_back(static_cast<std::uint32_t>(units_.size()),
                      static_cast<std::uint32_t>(compared.size()));
  AppendFolded(compared, units_);
}

void FoldedTexts::AddJoined(std::initializer_list<QStringView> parts) {
  const std::size_t start = units_.size();
  for (QStringView part : parts) {
    if (units_.size() > start) units_ += kFieldSeparator;
    AppendFolded(part, units_);
  }
  spans_.emplace_back(static_cast<std::uint32_t>(start),
                      static_cast<std::uint32_t>(units_.size() - start));
}

void FoldedTexts::Clear() {
  units_.clear();
  spans_.clear();
}

namespace {

struct TextKey {
  std::uint64_t high = 0;
  std::uint64_t low = 0;
  std::uint32_t index = 0;
};

// A unit moved so that units compare as the characters they belong to: the halves of a
// surrogate pair (U+10000 and above) after U+E000..U+FFFF, not between U+D7FF and U+E000.
std::uint64_t CodePointRank(char16_t unit) {
  if (unit >= 0xE000) return unit - 0x800u;
  if (unit >= 0xD800) return unit + 0x2000u;
  return unit;
}

// Units [8 * level, 8 * level + 8) of the text, big end first, zero past its end.
TextKey KeyAt(std::u16string_view text, std::size_t level, std::uint32_t index) {
  TextKey key;
  key.index = index;
  const std::size_t from = level * 8;
  for (std::size_t i = 0; i < 8; ++i) {
    const std::uint64_t unit = from + i < text.size() ? CodePointRank(text[from + i]) : 0;
    if (i < 4)
      key.high |= unit << (16 * (3 - i));
    else
      key.low |= unit << (16 * (7 - i));
  }
  return key;
}

// Whether every text of the run is the same: a run of one sender's name or one subject would
// otherwise be walked eight units a time to its end, reading every text again at each step.
bool AllSame(const FoldedTexts& texts, const TextKey* begin, const TextKey* end) {
  const std::u16string_view first = texts.At(begin->index);
  for (const TextKey* key = begin + 1; key != end; ++key)
    if (texts.At(key->index) != first) return false;
  return true;
}

// `begin`..`end` stand in index order when called.
void SortLevel(const FoldedTexts& texts, TextKey* begin, TextKey* end, std::size_t level) {
  bool allEqual = true;
  for (TextKey* key = begin; key != end; ++key) {
    *key = KeyAt(texts.At(key->index), level, key->index);
    allEqual = allEqual && key->high == begin->high && key->low == begin->low;
  }
  // Rows that share these eight units ("Re: Subj...") need no sort to stay in index order.
  if (!allEqual) {
    std::sort(begin, end, [](const TextKey& left, const TextKey& right) {
      if (left.high != right.high) return left.high < right.high;
      if (left.low != right.low) return left.low < right.low;
      return left.index < right.index;
    });
  }
  // Rows that tie on these eight units and go on beyond them are told apart by the next eight.
  const std::size_t covered = (level + 1) * 8;
  for (TextKey* run = begin; run != end;) {
    TextKey* runEnd = run + 1;
    bool longer = texts.At(run->index).size() > covered;
    while (runEnd != end && runEnd->high == run->high && runEnd->low == run->low) {
      longer = longer || texts.At(runEnd->index).size() > covered;
      ++runEnd;
    }
    if (runEnd - run > 1 && longer && !AllSame(texts, run, runEnd))
      SortLevel(texts, run, runEnd, level + 1);
    run = runEnd;
  }
}

}  // namespace

void SortFoldedTexts(const FoldedTexts& texts, std::vector<std::uint32_t>& order) {
  std::vector<TextKey> keys(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) keys[i].index = order[i];
  if (!std::is_sorted(keys.begin(), keys.end(), [](const TextKey& left, const TextKey& right) {
        return left.index < right.index;
      }))
    std::sort(keys.begin(), keys.end(),
              [](const TextKey& left, const TextKey& right) { return left.index < right.index; });
  if (!keys.empty()) SortLevel(texts, keys.data(), keys.data() + keys.size(), 0);
  for (std::size_t i = 0; i < keys.size(); ++i) order[i] = keys[i].index;
}

int CompareFolded(QStringView left, QStringView right) {
  if (const int folded = left.compare(right, Qt::CaseInsensitive); folded != 0) return folded;
  return left.compare(right, Qt::CaseSensitive);
}

}  // namespace quillon
