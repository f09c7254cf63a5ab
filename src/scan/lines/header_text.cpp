#include "scan/lines/header_text.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

#include "scan/lines/line_scan.h"
#include "text/ascii.h"

namespace quillon {

namespace {

// A value runs up to its first byte below this one: NUL, TAB, CR, LF and the other low controls.
constexpr std::uint8_t kFirstValueByte = 14;

template <typename IsStop>
LineRead ReadUntil(const std::uint8_t* data, std::size_t size, std::size_t position,
                   IsStop isStop) {
  LineRead read;
  if (position >= size) return read;
  const std::size_t limit = std::min<std::size_t>(size - position, kMaxLineValue + 1);
  for (std::size_t i = 0; i < limit; ++i) {
    if (isStop(data[position + i])) {
      read.text.assign(reinterpret_cast<const char*>(data + position), i);
      read.stop = position + i;
      read.found = true;
      return read;
    }
  }
  return read;
}

long DecimalValue(std::string_view token) {
  long value = 0;
  for (char c : token) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > 100000) break;
  }
  return value;
}

// The month a token names: its three-letter abbreviation (RFC 5322 3.3), or any longer start of
// its English name ("Sept", "March", "September"), in any letter case, a closing dot allowed.
// A token that names none gives January.
// As MonthNumber, 0 for a token that names no month.
int NamedMonth(std::string_view token) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
      "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
  if (!token.empty() && token.back() == '.') token.remove_suffix(1);
  if (token.size() < 3) return 0;
  for (std::size_t i = 0; i < kMonths.size(); ++i) {
    if (token.size() <= kMonths[i].size() && StartsWithNoCase(kMonths[i], token))
      return static_cast<int>(i) + 1;
  }
  return 0;
}

int MonthNumber(std::string_view token) {
  const int month = NamedMonth(token);
  return month == 0 ? 1 : month;
}

// The first `tokens.size()` tokens of `date` from its first digit on, split at ',', ' ' and
// ':'; the last token counts at the end of the text too. Returns how many there were.
template <std::size_t kCount>
std::size_t DateTokens(std::string_view date, std::array<std::string_view, kCount>& tokens) {
  std::size_t first = 0;
  while (first < date.size() && (date[first] < '0' || date[first] > '9')) ++first;
  const std::string_view rest = date.substr(first);
  std::size_t count = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= rest.size() && count < tokens.size(); ++i) {
    const bool atEnd = i == rest.size();
    if (atEnd || rest[i] == ',' || rest[i] == ' ' || rest[i] == ':') {
      if (i > start) tokens[count++] = rest.substr(start, i - start);
      start = i + 1;
    }
  }
  return count;
}

bool AllDigits(std::string_view token) {
  return !token.empty() &&
         std::all_of(token.begin(), token.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Writes `value` (never negative here: DecimalValue reads digits only, at most seven) in decimal
// at `out`, a 0 in front of a single digit; returns the end of what it wrote.
char* PutTwoDigitsAtLeast(char* out, long value) {
  if (value < 100) {
    out[0] = static_cast<char>('0' + value / 10);
    out[1] = static_cast<char>('0' + value % 10);
    return out + 2;
  }
  char digits[24];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  while (count > 0) *out++ = digits[--count];
  return out;
}
}  // namespace

LineRead ValueText(const std::uint8_t* data, std::size_t size, std::size_t position) {
  LineRead read;
  if (position >= size) return read;
  const std::size_t limit = std::min<std::size_t>(size - position, kMaxLineValue + 1);
  const std::size_t stop = FindByteBelow(data + position, limit, kFirstValueByte);
  if (stop == limit) return read;
  read.text.assign(reinterpret_cast<const char*>(data + position), stop);
  read.stop = position + stop;
  read.found = true;
  return read;
}

LineRead LineText(const std::uint8_t* data, std::size_t size, std::size_t position) {
  return ReadUntil(data, size, position,
                   [](std::uint8_t c) { return c == 0 || c == '\r' || c == '\n'; });
}

LineRead ContinuationText(const std::uint8_t* data, std::size_t size, std::size_t position) {
  LineRead read;
  if (position >= size) return read;
  const std::size_t limit = std::min<std::size_t>(size - position, kMaxLineValue + 1);
  std::size_t stop = 0;
  while ((stop += FindByteBelow(data + position + stop, limit - stop, kFirstValueByte)) < limit &&
         data[position + stop] == '\t')
    ++stop;
  if (stop == limit) return read;
  read.text.assign(reinterpret_cast<const char*>(data + position), stop);
  read.stop = position + stop;
  read.found = true;
  return read;
}

std::string BoundaryParameter(std::string_view afterEquals) {
  std::string value;
  if (!afterEquals.empty() && afterEquals.front() == '"') {
    afterEquals.remove_prefix(1);
    const std::size_t close = afterEquals.find('"');
    value = afterEquals.substr(0, close);
  } else {
    const std::size_t end = afterEquals.find_first_of("; \t\r\n");
    value = afterEquals.substr(0, end);
  }
  while (!value.empty() && value.back() == '"') value.pop_back();
  return value;
}

void NormaliseDate(std::string& date) {
  std::size_t first = 0;
  while (first < date.size() && (date[first] < '0' || date[first] > '9')) ++first;
  if (first == date.size()) return;

  // The last token counts at the end of the text too, so a date whose seconds end the text
  // keeps them.
  std::array<std::string_view, 6> tokens;
  DateTokens(date, tokens);
  const long day = DecimalValue(tokens[0]);
  const int month = MonthNumber(tokens[1]);
  const long year = DecimalValue(tokens[2]);
  const long hour = DecimalValue(tokens[3]);
  const long minute = DecimalValue(tokens[4]);
  const long second = DecimalValue(tokens[5]);
  if (year <= 1990 || year >= 2050) return;

  // "YYYY-MM-DD hh:mm:ss", each number at least two digits; written by hand into a buffer on the
  // stack and copied once, as every found mail's date passes here: a formatted print, or a new
  // string for the result, cost more than the rest of the record.
  std::array<char, 64> buffer;  // six numbers of at most seven digits and five separators
  char* out = PutTwoDigitsAtLeast(buffer.data(), year);
  *out++ = '-';
  out = PutTwoDigitsAtLeast(out, month);
  *out++ = '-';
  out = PutTwoDigitsAtLeast(out, day);
  *out++ = ' ';
  out = PutTwoDigitsAtLeast(out, hour);
  *out++ = ':';
  out = PutTwoDigitsAtLeast(out, minute);
  *out++ = ':';
  out = PutTwoDigitsAtLeast(out, second);
  date.assign(buffer.data(), static_cast<std::size_t>(out - buffer.data()));
}

bool ReadsAsShortYearDate(std::string_view date) {
  std::array<std::string_view, 5> tokens;
  if (DateTokens(date, tokens) < tokens.size()) return false;
  const long day = DecimalValue(tokens[0]);
  const long hour = DecimalValue(tokens[3]);
  const long minute = DecimalValue(tokens[4]);
  return AllDigits(tokens[0]) && day >= 1 && day <= 31 && NamedMonth(tokens[1]) != 0 &&
         tokens[2].size() == 2 && AllDigits(tokens[2]) && AllDigits(tokens[3]) && hour < 24 &&
         tokens[4].size() == 2 && AllDigits(tokens[4]) && minute < 60;
}

}  // namespace quillon
