#include "text/code_page.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "text/ascii.h"
#include "text/converter_names.h"
#include "text/iconv_conversion.h"
#include "text/icu_conversion.h"
#include "text/utf8.h"

namespace quillon {

namespace {

constexpr int kUtf8CodePage = 65001;
constexpr int kLatin1CodePage = 28591;

// UTF-16 and UTF-32 take two or four bytes for every character, ASCII included: text in them
// cannot be untagged 8-bit text.
bool IsByteOriented(int codePage) {
  return codePage != 1200 && codePage != 1201 && codePage != 12000 && codePage != 12001;
}

bool IsUtf16Name(std::string_view loweredName) {
  return loweredName == "utf-16" || loweredName == "utf16" || loweredName == "unicode" ||
         loweredName == "ucs-2" || loweredName == "iso-10646-ucs-2" || loweredName == "csunicode";
}

// RFC 2781 3.2 leaves unmarked UTF-16 to the label; mail labelled just "utf-16" comes in both
// orders, and Latin text shows its order by which byte of each pair is zero.
const char* Utf16ConverterFor(std::string_view& bytes) {
  if (bytes.size() >= 2) {
    const auto first = static_cast<unsigned char>(bytes[0]);
    const auto second = static_cast<unsigned char>(bytes[1]);
    if (first == 0xFE && second == 0xFF) {
      bytes.remove_prefix(2);
      return "UTF-16BE";
    }
    if (first == 0xFF && second == 0xFE) {
      bytes.remove_prefix(2);
      return "UTF-16LE";
    }
  }
  std::size_t zerosAtEven = 0;
  std::size_t zerosAtOdd = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\0') continue;
    ++(i % 2 == 0 ? zerosAtEven : zerosAtOdd);
  }
  return zerosAtOdd > zerosAtEven ? "UTF-16LE" : "UTF-16BE";
}

std::u16string Widened(std::string_view bytes) {
  std::u16string text(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) text[i] = static_cast<unsigned char>(bytes[i]);
  return text;
}

// What the converter would give for `bytes`, where that is known without it: plain ASCII in a
// page that reads it as itself, any byte of Latin-1, well-formed UTF-8 (without a byte-order
// mark, which a converter may take as one). Most header texts are such, and a converter's call
// costs more than the text. Nothing where the machine has no converter for the page either.
std::optional<std::u16string> ConvertedWithoutConverter(int codePage, std::string_view bytes) {
  const bool widens =
      codePage == kLatin1CodePage || (ReadsPlainAsciiAsItself(codePage) && IsPlainAscii(bytes));
  const bool utf8 = !widens && codePage == kUtf8CodePage && !bytes.starts_with("\xEF\xBB\xBF") &&
                    IsValidUtf8(bytes);
  if ((!widens && !utf8) || !IsCodePageAvailable(codePage)) return std::nullopt;
  return widens ? Widened(bytes) : Utf16OfValidUtf8(bytes);
}

}  // namespace

bool ReadsPlainAsciiAsItself(int codePage) {
  return (codePage >= 1250 && codePage <= 1258) || codePage == 874 ||
         (codePage >= 28591 && codePage <= 28599) || codePage == 28603 || codePage == 28605 ||
         codePage == 20127 || codePage == kUtf8CodePage;
}

int ResolveCodePage(int codePage, int ansiCodePage) {
  return codePage == 0 ? ansiCodePage : codePage;
}

std::vector<CodePageChoice> AnsiCodePageChoices() {
  std::vector<CodePageChoice> choices;
  for (const CharsetEntry& entry : CharsetTable()) {
    if (entry.codePage == 0 || !IsByteOriented(entry.codePage)) continue;
    const bool listed = std::any_of(choices.begin(), choices.end(), [&](const CodePageChoice& c) {
      return c.codePage == entry.codePage;
    });
    if (!listed && IsCodePageAvailable(entry.codePage))
      choices.push_back({entry.codePage, entry.name});
  }
  std::stable_sort(
      choices.begin(), choices.end(),
      [](const CodePageChoice& a, const CodePageChoice& b) { return a.codePage < b.codePage; });
  return choices;
}

bool IsCodePageAvailable(int codePage) {
  // Asked for every encoded word of every header decoded; what the machine has does not change
  // while the process runs, and a thread meets a handful of code pages, so each thread keeps
  // its answers (converters are opened per thread anyway).
  struct Known {
    int codePage;
    bool available;
  };
  thread_local std::vector<Known> known;
  for (const Known& each : known)
    if (each.codePage == codePage) return each.available;
  const ConverterNames names = ConverterNamesFor(codePage);
  const bool available = (names.icu != nullptr && IsIcuConverterAvailable(names.icu)) ||
                         (names.iconv != nullptr && IsIconvConverterAvailable(names.iconv));
  if (names.icu != nullptr || names.iconv != nullptr) known.push_back({codePage, available});
  return available;
}

std::u16string CodePageToUtf16(int codePage, std::string_view bytes) {
  std::u16string text;
  if (bytes.empty()) return text;
  if (std::optional<std::u16string> known = ConvertedWithoutConverter(codePage, bytes))
    return std::move(*known);
  const ConverterNames names = ConverterNamesFor(codePage);
  if (names.icu != nullptr && IcuToUtf16(names.icu, bytes, text)) return text;
  if (names.iconv != nullptr && IconvToUtf16(names.iconv, bytes, text)) return text;
  return {};
}

std::string Utf16ToCodePage(std::u16string_view text, int codePage) {
  std::string bytes;
  if (text.empty()) return bytes;
  const ConverterNames names = ConverterNamesFor(codePage);
  if (names.icu != nullptr && IcuFromUtf16(names.icu, text, bytes)) return bytes;
  if (names.iconv != nullptr && IconvFromUtf16(names.iconv, text, bytes)) return bytes;
  return {};
}

std::u16string AnsiToUtf16(std::string_view bytes, int ansiCodePage) {
  return CodePageToUtf16(ansiCodePage, bytes);
}
std::string Utf16ToAnsi(std::u16string_view text, int ansiCodePage) {
  return Utf16ToCodePage(text, ansiCodePage);
}
std::string Utf16ToUtf8(std::u16string_view text) {
  return Utf16ToCodePage(text, kUtf8CodePage);
}
std::u16string Utf8ToUtf16(std::string_view text) {
  return CodePageToUtf16(kUtf8CodePage, text);
}

std::u16string DecodeWithCharset(const CharsetEntry& entry, std::string_view text,
                                 int ansiCodePage) {
  while (!text.empty() && (text.back() == '?' || text.back() == '=')) text.remove_suffix(1);
  if (text.size() < 2) return {};
  std::u16string converted = CodePageToUtf16(ResolveCodePage(entry.codePage, ansiCodePage), text);
  if (const auto nul = converted.find(u'\0'); nul != std::u16string::npos) converted.resize(nul);
  return std::u16string(TrimWhiteSpace(converted));
}

void Utf8ToAnsi(std::string& text, int ansiCodePage) {
  std::string ansi = Utf16ToAnsi(Utf8ToUtf16(text), ansiCodePage);
  if (!ansi.empty()) text = std::move(ansi);
}

bool ConvertByCharsetName(std::string_view charsetName, std::string_view bytes,
                          std::u16string& text) {
  text.clear();
  const std::string lowered = AsciiLowered(TrimWhiteSpace(charsetName));
  // ICU reads options after a ',' in a converter name; a label from a mail sets none.
  if (lowered.find_first_of(",=") != std::string::npos) return false;
  if (IsUtf16Name(lowered)) {
    const char* converter = Utf16ConverterFor(bytes);
    return IcuToUtf16(converter, bytes, text);
  }
  return IcuToUtf16(lowered, bytes, text);
}

}  // namespace quillon
