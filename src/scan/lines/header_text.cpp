#include "scan/lines/header_text.h"

#include <array>
#include <cstdio>
#include <string_view>
#include <vector>

#include "text/ascii.h"

namespace quillon {

namespace {
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
int MonthNumber(std::string_view token) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
      "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
  if (!token.empty() && token.back() == '.') token.remove_suffix(1);
  if (token.size() < 3) return 1;
  for (std::size_t i = 0; i < kMonths.size(); ++i) {
    if (token.size() <= kMonths[i].size() && StartsWithNoCase(kMonths[i], token))
      return static_cast<int>(i) + 1;
  }
  return 1;
}
}  // namespace

LineRead ValueText(const std::uint8_t* data, std::size_t size, std::size_t position) {
  return ReadUntil(data, size, position, [](std::uint8_t c) { return c < 14; });
}

LineRead LineText(const std::uint8_t* data, std::size_t size, std::size_t position) {
  return ReadUntil(data, size, position,
                   [](std::uint8_t c) { return c == 0 || c == '\r' || c == '\n'; });
}

LineRead ContinuationText(const std::uint8_t* data, std::size_t size, std::size_t position) {
  return ReadUntil(data, size, position, [](std::uint8_t c) { return c < 14 && c != '\t'; });
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

  // Tokens split at ',', ' ' and ':'; the last token counts at the end of the text too, so a
  // date whose seconds end the text keeps them.
  std::vector<std::string_view> tokens;
  std::string_view rest(date);
  rest.remove_prefix(first);
  std::size_t start = 0;
  for (std::size_t i = 0; i <= rest.size() && tokens.size() < 6; ++i) {
    const bool atEnd = i == rest.size();
    if (atEnd || rest[i] == ',' || rest[i] == ' ' || rest[i] == ':') {
      if (i > start) tokens.push_back(rest.substr(start, i - start));
      start = i + 1;
    }
  }
  auto token = [&](std::size_t index) {
    return index < tokens.size() ? tokens[index] : std::string_view();
  };
  const long day = DecimalValue(token(0));
  const int month = MonthNumber(token(1));
  const long year = DecimalValue(token(2));
  const long hour = DecimalValue(token(3));
  const long minute = DecimalValue(token(4));
  const long second = DecimalValue(token(5));
  if (year <= 1990 || year >= 2050) return;

  char text[64];
  std::snprintf(text, sizeof text, "%ld-%02d-%02ld %02ld:%02ld:%02ld", year, month, day, hour,
                minute, second);
  date = text;
}

}  // namespace quillon
