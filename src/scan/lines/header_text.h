// Rest-of-line readers over raw carved bytes, and the date normalisation of found mails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

inline constexpr std::size_t kMaxLineValue = 511;
// Folded values (RFC 5322 2.2.3) are joined up to this many bytes in all.
inline constexpr std::size_t kMaxUnfoldedValue = 8192;

// Where a rest-of-line read stopped.
struct LineRead {
  std::string text;      // at most kMaxLineValue bytes; empty when no stop byte was found
  std::size_t stop = 0;  // index of the stop byte (valid when found)
  bool found = false;    // a stop byte lay within the first 512 bytes
};

// Copies bytes up to the first byte below 14 (NUL, TAB, CR, LF and the other low controls).
// Looks at no more than 512 bytes and never past `size`.
LineRead ValueText(const std::uint8_t* data, std::size_t size, std::size_t position);

// Copies bytes up to the first NUL, CR or LF (TAB belongs to the value). Same limits.
LineRead LineText(const std::uint8_t* data, std::size_t size, std::size_t position);

// A continuation line's text behind its leading white space: up to the first byte below 14 other
// than TAB. Same limits.
LineRead ContinuationText(const std::uint8_t* data, std::size_t size, std::size_t position);

// The value of a "boundary=" parameter: quoted up to its closing quote, unquoted up to ';' or
// white space.
std::string BoundaryParameter(std::string_view afterEquals);

// Rewrites a date such as "Mon, 9 Mar 2009 10:11:12 +0800" as "2009-03-09 10:11:12" when its year
// lies in 1991..2049; leaves any other text as it was.
void NormaliseDate(std::string& date);

// Whether `date` is written as older mail programs wrote it, with a two-digit year ("Tue, 8 Oct
// 91 10:25:36 EDT", "3 Mar 08 10:00 GMT"): a day, a month's English name, the year and hh:mm.
// NormaliseDate leaves such a date as it is; a header block's judge still takes it for a date.
bool ReadsAsShortYearDate(std::string_view date);

}  // namespace quillon
