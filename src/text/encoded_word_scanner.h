// Finds RFC 2047 encoded words in a header value and undoes their B or Q encoding. Private to
// src/text; encoded_words.h is the public face.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

// One encoded word "=?charset?B|Q?encoded-text?=" inside a header value.
struct EncodedWordSpan {
  std::size_t begin = 0;     // offset of its "=?"
  std::size_t end = 0;       // offset just past its "?=", or the end of the value when cut short
  std::string_view charset;  // as written, with any RFC 2231 "*language" suffix
  char encoding = 'B';       // 'B' or 'Q', upper case
  std::string_view encodedText;  // between "?B?" / "?Q?" and "?="
};

// The first encoded word at or after `from`. A word cut short at the very end of the value (a
// carved header often is) still counts, provided no blank follows its "?B?" / "?Q?". False
// when there is none.
[[nodiscard]] bool FindEncodedWord(std::string_view text, std::size_t from, EncodedWordSpan& word);

// The bytes the word stands for: base64 (RFC 2047 4.1) or the Q encoding (RFC 2047 4.2).
std::string DecodeEncodedWordBytes(const EncodedWordSpan& word);

// The charset name without its RFC 2231 5 language suffix: "utf-8*en" gives "utf-8".
std::string_view CharsetWithoutLanguage(std::string_view charset);

// True for the blanks and line-break bytes that count as linear white space between words.
constexpr bool IsLinearWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace quillon
