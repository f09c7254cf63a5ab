#include "output/mbox_writer.h"

#include <array>
#include <cstdio>

namespace quillon {

namespace {

constexpr std::array<const char*, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int Number(std::string_view text) {
  int value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  return value;
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar (H. Hinnant's
// days_from_civil), whose weekday follows from it.
long DaysFromCivil(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const long yearOfEra = year - era * 400;
  const long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

std::string Format(int year, int month, int day, int hour, int minute, int second) {
  const long days = DaysFromCivil(year, month, day);
  const auto weekday = static_cast<std::size_t>(((days % 7) + 11) % 7);  // 1970-01-01: Thursday
  char text[64];
  std::snprintf(text, sizeof text, "%s %s %2d %02d:%02d:%02d %d", kWeekdays[weekday],
                kMonths[static_cast<std::size_t>(month - 1)], day, hour, minute, second, year);
  return text;
}

bool PrintableWord(std::string_view word) {
  if (word.empty()) return false;
  for (char c : word)
    if (c <= ' ' || c > '~') return false;
  return true;
}

}  // namespace

std::string EnvelopeSender(std::string_view value) {
  std::string_view address;
  const std::size_t open = value.find('<');
  const std::size_t close = open == std::string_view::npos ? open : value.find('>', open);
  if (close != std::string_view::npos) {
    address = value.substr(open + 1, close - open - 1);
  } else {
    for (std::size_t at = 0; at < value.size();) {
      const std::size_t end = value.find_first_of(" \t\r\n,;", at);
      std::string_view word = value.substr(at, end == std::string_view::npos ? end : end - at);
      while (!word.empty() && (word.front() == '<' || word.front() == '(')) word.remove_prefix(1);
      while (!word.empty() && (word.back() == '>' || word.back() == ')')) word.remove_suffix(1);
      if (word.find('@') != std::string_view::npos) {
        address = word;
        break;
      }
      if (end == std::string_view::npos) break;
      at = end + 1;
    }
  }
  // The From_ line is split at blanks by its readers: a sender must be one printable word.
  if (address.find('@') == std::string_view::npos || !PrintableWord(address))
    return "MAILER-DAEMON";
  return std::string(address);
}

std::optional<std::string> EnvelopeDate(std::string_view date) {
  // "YYYY-MM-DD HH:MM:SS"
  static constexpr std::string_view kShape = "0000-00-00 00:00:00";
  if (date.size() != kShape.size()) return std::nullopt;
  for (std::size_t i = 0; i < kShape.size(); ++i)
    if (kShape[i] == '0' ? !IsDigit(date[i]) : date[i] != kShape[i]) return std::nullopt;
  const int year = Number(date.substr(0, 4));
  const int month = Number(date.substr(5, 2));
  const int day = Number(date.substr(8, 2));
  const int hour = Number(date.substr(11, 2));
  const int minute = Number(date.substr(14, 2));
  const int second = Number(date.substr(17, 2));
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 60)
    return std::nullopt;
  return Format(year, month, day, hour, minute, second);
}

std::string EnvelopeDate(std::time_t time) {
  std::tm parts{};
  gmtime_r(&time, &parts);
  return Format(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min,
                parts.tm_sec);
}

std::string QuoteFromLines(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + 64);
  std::size_t lineStart = 0;
  while (lineStart < bytes.size()) {
    std::size_t end = bytes.find('\n', lineStart);
    end = end == std::string_view::npos ? bytes.size() : end + 1;
    const std::string_view line = bytes.substr(lineStart, end - lineStart);
    const std::size_t quotes = line.find_first_not_of('>');
    if (quotes != std::string_view::npos && line.substr(quotes).starts_with("From ")) out += '>';
    out.append(line);
    lineStart = end;
  }
  return out;
}

MboxWriter::MboxWriter(std::ostream& out, std::time_t scanTime) : out_(out), scanTime_(scanTime) {}

void MboxWriter::Add(const MboxMessage& message) {
  const std::optional<std::string> date = EnvelopeDate(message.date);
  std::string text = "From " + EnvelopeSender(message.sender) + " " +
                     (date ? *date : EnvelopeDate(scanTime_)) + "\n";
  text += QuoteFromLines(message.bytes);
  // A mail ends with its line break; the empty line after it parts it from the next From_ line.
  if (!message.bytes.empty() && message.bytes.back() != '\n') text += '\n';
  text += '\n';
  out_ << text;
}

bool MboxWriter::Finish() {
  out_.flush();
  return static_cast<bool>(out_);
}

}  // namespace quillon
