#include "text/encoded_word_scanner.h"

#include <algorithm>

#include "text/base64.h"
#include "text/quoted_printable.h"

namespace quillon {

namespace {

// RFC 2047 2: a charset is a token, so blanks and control bytes end the attempt.
bool CanBeInCharset(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte > ' ' && byte != 0x7F && c != '?';
}

bool IsLineBreak(char c) {
  return c == '\r' || c == '\n';
}

bool IsBlankOrLineBreak(char c) {
  return c == ' ' || c == '\t' || IsLineBreak(c);
}

// The first byte from `position` on that `matches`, or npos. A plain loop: the library's
// find_first_of looks each byte up in the set of bytes, several times the work for a set of two
// or four.
template <typename Matches>
std::size_t FindFirst(std::string_view text, std::size_t position, Matches matches) {
  for (; position < text.size(); ++position) {
    if (matches(text[position])) return position;
  }
  return std::string_view::npos;
}

// The first line break in [from, end), or npos: a long value unfolded onto one line is not
// searched to its end for every word in it.
std::size_t LineBreakBefore(std::string_view text, std::size_t from, std::size_t end) {
  end = std::min(end, text.size());
  for (; from < end; ++from) {
    if (IsLineBreak(text[from])) return from;
  }
  return std::string_view::npos;
}

}  // namespace

bool FindEncodedWord(std::string_view text, std::size_t from, EncodedWordSpan& word) {
  // The next "?=", line break and blank after a position, remembered so that a value full of
  // failed candidates is still scanned in linear time.
  std::size_t nextClose = 0;
  std::size_t nextLineBreak = 0;
  std::size_t nextBlank = 0;
  std::size_t nextOpening = 0;
  bool searched = false;
  auto refresh = [&](std::size_t position) {
    const bool closeMoved = !searched || nextClose < position;
    if (closeMoved) nextClose = text.find("?=", position);
    if (!searched || nextBlank < position)
      nextBlank = FindFirst(text, position, IsBlankOrLineBreak);
    // No line break lies before the next blank, the line breaks being blanks too. Only one in
    // front of the next "?=" matters: npos stands for none there.
    if (closeMoved || nextLineBreak < position)
      nextLineBreak = LineBreakBefore(text, std::max(position, nextBlank), nextClose);
    if (!searched || nextOpening < position) nextOpening = text.find("=?", position);
    searched = true;
  };

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
    refresh(encodedBegin);
    word.begin = start;
    word.charset = text.substr(charsetBegin, charsetEnd - charsetBegin);
    word.encoding = (encoding == 'b' || encoding == 'B') ? 'B' : 'Q';

    // RFC 2047 2: the word ends at the first "?=" after the encoding. Like common readers we
    // accept blanks inside, but a word never spans a line break, nor blanks and the start of
    // another word (a stray "=?x?Q?" must not swallow the text up to a later word).
    const bool spansAnotherWord = nextBlank < nextClose && nextOpening != std::string_view::npos &&
                                  nextOpening + 2 <= nextClose;
    if (nextClose != std::string_view::npos && nextLineBreak > nextClose && !spansAnotherWord) {
      word.encodedText = text.substr(encodedBegin, nextClose - encodedBegin);
      word.end = nextClose + 2;
      return true;
    }
    // Cut short: only when it runs to the end of the value, and without the "?" of a "?=" that
    // lost its "=".
    if (nextBlank != std::string_view::npos) continue;
    std::string_view rest = text.substr(encodedBegin);
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
