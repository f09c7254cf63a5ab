// Conversion between 8-bit text in a code page and UTF-16. Untagged 8-bit text is read in "the
// system's" ANSI code page, which is not held here: the caller passes the one its options carry
// (the command line's --codepage, the window's setting, else AnsiCodePageFromEnvironment()).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "text/charset_table.h"

namespace quillon {

// The code page a charset table row converts with: its own, or `ansiCodePage` for the rows
// whose code page is 0 ("system").
int ResolveCodePage(int codePage, int ansiCodePage);

// The code pages that can stand for the ANSI code page on this machine: every byte-oriented
// code page of the charset table that converts here, once, in ascending order, with the first
// name the table gives it.
struct CodePageChoice {
  int codePage = 0;
  std::string_view name;
};
std::vector<CodePageChoice> AnsiCodePageChoices();

// True when bytes in `codePage` can be converted on this machine.
bool IsCodePageAvailable(int codePage);

// Whether `codePage` reads printable ASCII, tab, carriage return and line feed as ASCII does:
// every single-byte Windows and ISO 8859 page, US-ASCII and UTF-8 (not EBCDIC, nor the pages
// that shift on "~{" or ESC).
bool ReadsPlainAsciiAsItself(int codePage);

// Converts bytes in `codePage` to UTF-16. Invalid sequences become
// U+FFFD; a code page this machine cannot convert gives the empty string.
std::u16string CodePageToUtf16(int codePage, std::string_view bytes);
// Converts UTF-16 to bytes in `codePage`; characters the page lacks become its substitute.
std::string Utf16ToCodePage(std::u16string_view text, int codePage);

std::u16string AnsiToUtf16(std::string_view bytes, int ansiCodePage);
std::string Utf16ToAnsi(std::u16string_view text, int ansiCodePage);
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

// Conversion of a text in a table charset: trailing '?' and '=' removed; a text of 0 or 1 byte
// gives the empty string; the result is trimmed of white space.
std::u16string DecodeWithCharset(const CharsetEntry& entry, std::string_view text,
                                 int ansiCodePage);

// Re-encodes UTF-8 bytes in the ANSI code page, in place; unchanged when the result is empty.
void Utf8ToAnsi(std::string& text, int ansiCodePage);

// Converts bytes in a charset the table does not list ("gb18030", "utf-16", "iso-8859-13") by
// the name the mail gives it, when this machine has a converter of that name. UTF-16 without a
// byte-order mark is read in the byte order its zero bytes point to. False (and `text` empty)
// when no converter is known.
[[nodiscard]] bool ConvertByCharsetName(std::string_view charsetName, std::string_view bytes,
                                        std::u16string& text);

}  // namespace quillon
