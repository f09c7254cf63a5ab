// Conversion between 8-bit text in a code page and UTF-16, and the ANSI code page that stands
// for "the system's" code page of untagged 8-bit text.
#pragma once

#include <string>
#include <string_view>

#include "text/charset_table.h"

namespace quillon {

// The ANSI code page: QUILLON_CODEPAGE=<number> if set, else derived from the locale the way
// Windows derives it from the user's locale (zh_CN 936, ja 932, ru 1251, ... otherwise 1252).
int AnsiCodePage();
// Overrides the ANSI code page for the rest of the process (the command line's --codepage).
void SetAnsiCodePage(int codePage);

// True when bytes in `codePage` can be converted on this machine.
bool IsCodePageAvailable(int codePage);

// Converts bytes in `codePage` (0 = the ANSI code page) to UTF-16. Invalid sequences become
// U+FFFD; a code page this machine cannot convert gives the empty string.
std::u16string CodePageToUtf16(int codePage, std::string_view bytes);
// Converts UTF-16 to bytes in `codePage`; characters the page lacks become its substitute.
std::string Utf16ToCodePage(std::u16string_view text, int codePage);

std::u16string AnsiToUtf16(std::string_view bytes);
std::string Utf16ToAnsi(std::u16string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

// Conversion of a text in a table charset: trailing '?' and '=' removed; a text of 0 or 1 byte
// gives the empty string; the result is trimmed of white space.
std::u16string DecodeWithCharset(const CharsetEntry& entry, std::string_view text);

// Re-encodes UTF-8 bytes in the ANSI code page, in place; unchanged when the result is empty.
void Utf8ToAnsi(std::string& text);

// Converts bytes in a charset the table does not list ("gb18030", "utf-16", "iso-8859-13") by
// the name the mail gives it, when this machine has a converter of that name. UTF-16 without a
// byte-order mark is read in the byte order its zero bytes point to. False (and `text` empty)
// when no converter is known.
[[nodiscard]] bool ConvertByCharsetName(std::string_view charsetName, std::string_view bytes,
                                        std::u16string& text);

}  // namespace quillon
