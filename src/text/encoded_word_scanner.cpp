#include "text/encoded_word_scanner.h"

#include "text/base64.h"
#include "text/quoted_printable.h"

namespace quillon {

namespace {

// RFC 2047 2: a charset is a token, so blanks and control bytes end the attempt.
bool CanBeInCharset(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte > ' ' && byte != 0x7F && c != '?';
}

bool ContainsLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

bool ContainsWhiteSpace(std::string_view text) {
  for (char c : text) {
    if (IsLinearWhiteSpace(c)) return true;
  }
  return false;
}

}  // namespace

bool FindEncodedWord(std::string_view text, std::size_t from, EncodedWordSpan& word) {
  for (std::size_t start = text.find("=?", from); start != std::string_view::npos;
       start = text.find("=?", start + 1)) {
    const std::size_t charsetBegin = start + 2;
    std::size_t charsetEnd = charsetBegin;
    while (charsetEnd < text.size() && CanBeInCharset(text[charsetEnd])) ++charsetEnd;
    if (charsetEnd == charsetBegin || charsetEnd + 2 >= text.size()) continue;
    if (text[charsetEnd] != '?' || text[charsetEnd + 2] != '?') continue;
    const char encoding = text[charsetEnd + 1];
    if (encoding != 'B' && encoding != 'b' && encoding != 'Q' && encoding != 'q') continue;

    const std::size_t encodedBegin = charsetEnd + 3;
    word.begin = start;
    word.charset = text.substr(charsetBegin, charsetEnd - charsetBegin);
    word.encoding = (encoding == 'b' || encoding == 'B') ? 'B' : 'Q';

    // RFC 2047 2: the word ends at the first "?=" after the encoding. Like common readers we
    // accept blanks inside, but a word never spans a line break.
    const std::size_t close = text.find("?=", encodedBegin);
    if (close != std::string_view::npos &&
        !ContainsLineBreak(text.substr(encodedBegin, close - encodedBegin))) {
      word.encodedText = text.substr(encodedBegin, close - encodedBegin);
      word.end = close + 2;
      return true;
    }
    // Cut short: only when it runs to the end of the value, and without the "?" of a "?=" that
    // lost its "=".
    std::string_view rest = text.substr(encodedBegin);
    if (ContainsWhiteSpace(rest)) continue;
    while (!rest.empty() && rest.back() == '?') rest.remove_suffix(1);
    word.encodedText = rest;
    word.end = text.size();
    return true;
  }
  return false;
}

std::string DecodeEncodedWordBytes(const EncodedWordSpan& word) {
  return word.encoding == 'B' ? Base64Decode(word.encodedText) : QEncodingDecode(word.encodedText);
}

std::string_view CharsetWithoutLanguage(std::string_view charset) {
  return charset.substr(0, charset.find('*'));
}

}  // namespace quillon
