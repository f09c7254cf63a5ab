#include "text/encoded_words.h"

#include <array>
#include <vector>

#include "text/ascii.h"
#include "text/code_page.h"
#include "text/encoded_word_scanner.h"
#include "text/utf8.h"

namespace quillon {

namespace {

// 8-bit text without a declared charset. Mailers put raw UTF-8 into headers far more often than
// anything else, and a legacy text that happens to be valid UTF-8 is rare, so UTF-8 is tried
// first and the ANSI code page takes the rest.
std::u16string DecodeUntaggedText(std::string_view bytes, int ansiCodePage) {
  if (HasNonAsciiByte(bytes) && IsValidUtf8(bytes)) return Utf8ToUtf16(bytes);
  return AnsiToUtf16(bytes, ansiCodePage);
}

// How the bytes of one encoded word become text. Adjacent words with equal conversions are
// converted together.
struct WordConversion {
  enum class Kind { kCodePage, kNamedCharset };
  Kind kind = Kind::kNamedCharset;
  int codePage = 0;
  std::string charsetName;  // lower case, for kNamedCharset

  bool operator==(const WordConversion&) const = default;
};

bool IsIso2022(const WordConversion& conversion) {
  if (conversion.kind == WordConversion::Kind::kCodePage) {
    return conversion.codePage == 50220 || conversion.codePage == 50221 ||
           conversion.codePage == 50225;
  }
  return conversion.charsetName.starts_with("iso-2022");
}

bool IsHz(const WordConversion& conversion) {
  if (conversion.kind == WordConversion::Kind::kCodePage) return conversion.codePage == 52936;
  return conversion.charsetName.starts_with("hz");
}

// Length of the ISO 2022 escape sequence (ESC, intermediate bytes 0x20-0x2F, one final byte
// 0x30-0x7E) that ends `bytes`, or 0.
std::size_t TrailingEscapeLength(std::string_view bytes) {
  const auto escape = bytes.rfind('\x1B');
  if (escape == std::string_view::npos || bytes.size() - escape < 3) return 0;
  const std::string_view sequence = bytes.substr(escape);
  for (std::size_t i = 1; i + 1 < sequence.size(); ++i) {
    if (sequence[i] < 0x20 || sequence[i] > 0x2F) return 0;
  }
  const char finalByte = sequence.back();
  return (finalByte >= 0x30 && finalByte <= 0x7E) ? sequence.size() : 0;
}

// Appends the next word's bytes. RFC 1468 has every ISO-2022-JP word end in ASCII, yet mailers
// also cut words inside a character, so the bytes are joined; but a shift back to ASCII
// directly followed by the next word's shift out is dropped, since a converter rightly takes
// two escape sequences in a row (or HZ's "~}~{") for an error.
void AppendWordBytes(const WordConversion& conversion, std::string& joined, std::string_view next) {
  if (IsIso2022(conversion) && next.starts_with('\x1B')) {
    joined.resize(joined.size() - TrailingEscapeLength(joined));
  } else if (IsHz(conversion) && joined.ends_with("~}") && next.starts_with("~{")) {
    joined.resize(joined.size() - 2);
    next.remove_prefix(2);
  }
  joined += next;
}

WordConversion ConversionFor(std::string_view text, const EncodedWordSpan& word, int ansiCodePage) {
  WordConversion conversion;
  const std::string_view wordText = text.substr(word.begin, word.end - word.begin);
  if (const CharsetEntry* entry = FindCharsetForEncodedWord(wordText)) {
    const int codePage = ResolveCodePage(entry->codePage, ansiCodePage);
    if (IsCodePageAvailable(codePage)) {
      conversion.kind = WordConversion::Kind::kCodePage;
      conversion.codePage = codePage;
      return conversion;
    }
  }
  // A charset the table lacks (gb18030, utf-16, iso-8859-13 ...) is still worth a try by
  // name; a label nobody knows ("unknown-8bit", "x-user-defined") is read as untagged text
  // rather than dropped, since the bytes are usually fine.
  conversion.kind = WordConversion::Kind::kNamedCharset;
  conversion.charsetName = AsciiLowered(CharsetWithoutLanguage(word.charset));
  return conversion;
}

std::u16string Convert(const WordConversion& conversion, std::string_view bytes, int ansiCodePage) {
  if (conversion.kind == WordConversion::Kind::kCodePage) {
    return CodePageToUtf16(conversion.codePage, bytes);
  }
  std::u16string text;
  if (ConvertByCharsetName(conversion.charsetName, bytes, text)) return text;
  return DecodeUntaggedText(bytes, ansiCodePage);
}

struct HeaderPiece {
  bool isWord = false;
  std::string_view plainText;  // when !isWord
  EncodedWordSpan word;        // when isWord
};

std::vector<HeaderPiece> SplitIntoPieces(std::string_view text) {
  std::vector<HeaderPiece> pieces;
  std::size_t position = 0;
  EncodedWordSpan word;
  while (position < text.size() && FindEncodedWord(text, position, word)) {
    if (word.begin > position) {
      pieces.push_back({false, text.substr(position, word.begin - position), {}});
    }
    pieces.push_back({true, {}, word});
    position = word.end;
  }
  if (position < text.size()) pieces.push_back({false, text.substr(position), {}});
  return pieces;
}

bool IsAllLinearWhiteSpace(std::string_view text) {
  for (char c : text) {
    if (!IsLinearWhiteSpace(c)) return false;
  }
  return true;
}

void RemoveNulCharacters(std::u16string& text) {
  std::erase(text, u'\0');
}

// Where the run of encoded words at the start of `text` ends (words separated only by linear
// white space belong to one run); npos when `text` does not start with an encoded word.
std::size_t EndOfLeadingWords(std::string_view text) {
  EncodedWordSpan word;
  if (!FindEncodedWord(text, 0, word) || word.begin != 0) return std::string_view::npos;
  std::size_t runEnd = word.end;
  while (runEnd < text.size() && FindEncodedWord(text, runEnd, word) &&
         IsAllLinearWhiteSpace(text.substr(runEnd, word.begin - runEnd))) {
    runEnd = word.end;
  }
  return runEnd;
}

// Text that holds nothing to decode: printable ASCII, tabs and line breaks, no "=?" that could
// open an encoded word. Most header values are such text, and each found mail has several.
bool IsPlainAsciiText(std::string_view text) {
  return IsPlainAscii(text) && text.find("=?") == std::string_view::npos;
}

}  // namespace

std::u16string DecodeEncodedWord(const CharsetEntry& entry, std::string_view word,
                                 int ansiCodePage) {
  EncodedWordSpan span;
  if (!FindEncodedWord(word, 0, span) || span.begin != 0) return {};
  std::string bytes = DecodeEncodedWordBytes(span);
  if (const auto nul = bytes.find('\0'); nul != std::string::npos) bytes.resize(nul);
  if (bytes.size() < 2) return {};
  return std::u16string(
      TrimWhiteSpace(CodePageToUtf16(ResolveCodePage(entry.codePage, ansiCodePage), bytes)));
}

std::u16string DecodeHeaderText(std::string_view text, int ansiCodePage) {
  // What the steps below would make of it, without a converter.
  if (ReadsPlainAsciiAsItself(ansiCodePage) && IsPlainAsciiText(text))
    return std::u16string(text.begin(), text.end());
  std::vector<HeaderPiece> pieces = SplitIntoPieces(text);

  // RFC 2047 6.2: linear white space between two adjacent encoded words is not displayed.
  std::vector<HeaderPiece> kept;
  kept.reserve(pieces.size());
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const bool betweenWords = i > 0 && i + 1 < pieces.size() && pieces[i - 1].isWord &&
                              pieces[i + 1].isWord && !pieces[i].isWord;
    if (betweenWords && IsAllLinearWhiteSpace(pieces[i].plainText)) continue;
    kept.push_back(pieces[i]);
  }

  std::vector<WordConversion> conversions(kept.size());
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (kept[i].isWord) conversions[i] = ConversionFor(text, kept[i].word, ansiCodePage);
  }

  std::u16string result;
  for (std::size_t i = 0; i < kept.size();) {
    if (!kept[i].isWord) {
      result += DecodeUntaggedText(kept[i].plainText, ansiCodePage);
      ++i;
      continue;
    }
    // RFC 2047 5 lets a long text be split over several words, and mailers split inside a
    // multi-byte character; the bytes of adjacent words in one charset are joined before
    // conversion so that such a character decodes whole.
    const WordConversion& conversion = conversions[i];
    std::string bytes = DecodeEncodedWordBytes(kept[i].word);
    ++i;
    while (i < kept.size() && kept[i].isWord && conversions[i] == conversion) {
      AppendWordBytes(conversion, bytes, DecodeEncodedWordBytes(kept[i].word));
      ++i;
    }
    result += Convert(conversion, bytes, ansiCodePage);
  }
  RemoveNulCharacters(result);
  return result;
}

namespace {

// An address value split as DecodeAddressText reads it: a display name and the rest.
struct AddressParts {
  std::array<std::string_view, 3> parts;
  std::size_t count = 0;
  void Add(std::string_view part) { parts[count++] = part; }
};

// The value falls into a display name and the rest: a quoted name, or a leading run of encoded
// words. Anything else is one part. Quotes inside the angle brackets belong to a quoted local
// part (RFC 5322 3.4.1), not to a name.
AddressParts SplitAddress(std::string_view view) {
  AddressParts split;
  if (!view.starts_with("=?")) {
    const auto firstQuote = view.find('"');
    // Most values have no quote at all: then they are one part, without the other two scans.
    if (firstQuote == std::string_view::npos) {
      split.Add(view);
      return split;
    }
    const auto lastQuote = view.rfind('"');
    const auto angle = view.find('<');
    const bool quoteStartsName = angle == std::string_view::npos || firstQuote < angle;
    if (firstQuote != std::string_view::npos && lastQuote > firstQuote + 1 && quoteStartsName) {
      if (firstQuote > 0) split.Add(view.substr(0, firstQuote));
      split.Add(view.substr(firstQuote + 1, lastQuote - firstQuote - 1));
      if (lastQuote + 1 < view.size()) split.Add(view.substr(lastQuote + 1));
    }
  } else if (const std::size_t runEnd = EndOfLeadingWords(view);
             runEnd != std::string_view::npos && !TrimWhiteSpace(view.substr(runEnd)).empty()) {
    split.Add(view.substr(0, runEnd));
    split.Add(view.substr(runEnd));
  }
  if (split.count == 0) {
    std::string_view single = view;
    while (single.starts_with('"')) single.remove_prefix(1);
    split.Add(single);
  }
  return split;
}

// The parts decoded one by one (`decode` appends a part's text to its first argument), a
// display name of several between double quotes.
template <typename Decode>
std::u16string JoinAddressParts(const AddressParts& split, Decode decode) {
  // Room for every part as itself and the quotes and blank around them: the text most values
  // decode to, made without a second allocation.
  std::size_t room = 3;
  for (std::size_t i = 0; i < split.count; ++i) room += split.parts[i].size();
  std::u16string result;
  result.reserve(room);
  for (std::size_t i = 0; i < split.count; ++i) {
    const std::size_t before = result.size();
    const bool quoted = split.count > 1 && i == 0;
    const bool spaced = split.count > 1 && i > 0 && before > 0;
    if (quoted) result += u'"';
    if (spaced) result += u' ';
    decode(result, TrimWhiteSpace(split.parts[i]));
    if (result.size() == before + (quoted || spaced ? 1 : 0)) {
      result.resize(before);  // nothing decoded: the part leaves no quotes or blank either
      continue;
    }
    if (quoted) result += u'"';
  }
  return result;
}

}  // namespace

std::u16string DecodeAddressText(std::string_view input, int ansiCodePage) {
  const std::string_view trimmed = TrimWhiteSpace(input);
  // Some mailers escape the quotes of the display name itself (\"Name\" <addr>).
  const auto escaped = trimmed.find("\\\"");
  if (escaped == std::string_view::npos || escaped > 2) {
    if (ReadsPlainAsciiAsItself(ansiCodePage) && IsPlainAsciiText(trimmed)) {
      // Most values: each part decodes as itself, widened straight into the result.
      return JoinAddressParts(
          SplitAddress(trimmed),
          [](std::u16string& out, std::string_view part) { out.append(part.begin(), part.end()); });
    }
    return JoinAddressParts(SplitAddress(trimmed),
                            [ansiCodePage](std::u16string& out, std::string_view part) {
                              out += DecodeHeaderText(part, ansiCodePage);
                            });
  }
  std::string unescaped;
  for (std::size_t i = 0; i < trimmed.size(); ++i) {
    if (trimmed[i] == '\\' && i + 1 < trimmed.size() && trimmed[i + 1] == '"') continue;
    unescaped += trimmed[i];
  }
  return JoinAddressParts(SplitAddress(unescaped),
                          [ansiCodePage](std::u16string& out, std::string_view part) {
                            out += DecodeHeaderText(part, ansiCodePage);
                          });
}

namespace {

// RFC 2231 4: ext-octet := "%" 2(DIGIT / "A".."F"); a "%" without two hex digits stays as is.
std::string PercentDecode(std::string_view text) {
  auto hexValue = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
        hexValue(text[i + 2]) >= 0) {
      decoded += static_cast<char>(hexValue(text[i + 1]) << 4 | hexValue(text[i + 2]));
      i += 2;
      continue;
    }
    decoded += text[i];
  }
  return decoded;
}

}  // namespace

bool DecodesAsItself(std::string_view text, int ansiCodePage) {
  return ReadsPlainAsciiAsItself(ansiCodePage) && IsPlainAsciiText(text);
}

bool AddressDecodesAsItself(std::string_view text, int ansiCodePage) {
  // Without a quote the value is one part, and one with nothing to trim is that part as is.
  return text.find('"') == std::string_view::npos && TrimWhiteSpace(text).size() == text.size() &&
         DecodesAsItself(text, ansiCodePage);
}

std::u16string DecodeExtendedParameter(std::string_view value, int ansiCodePage) {
  value = TrimWhiteSpace(value);
  // The value is a token, but some mailers quote it anyway.
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  // RFC 2231 4: charset'language'encoded-value; either name may be empty.
  const auto firstQuote = value.find('\'');
  const auto secondQuote =
      firstQuote == std::string_view::npos ? firstQuote : value.find('\'', firstQuote + 1);
  if (secondQuote == std::string_view::npos) return AnsiToUtf16(PercentDecode(value), ansiCodePage);

  const std::string_view charset = TrimWhiteSpace(value.substr(0, firstQuote));
  const std::string bytes = PercentDecode(value.substr(secondQuote + 1));
  if (charset.empty()) return DecodeUntaggedText(bytes, ansiCodePage);
  if (const CharsetEntry* entry = FindCharsetForParameter(charset); entry != nullptr) {
    const int codePage = ResolveCodePage(entry->codePage, ansiCodePage);
    if (IsCodePageAvailable(codePage)) return CodePageToUtf16(codePage, bytes);
  }
  std::u16string text;
  if (ConvertByCharsetName(charset, bytes, text)) return text;
  return DecodeUntaggedText(bytes, ansiCodePage);
}

}  // namespace quillon
