// The ANSI code page for untagged 8-bit text, chosen from the locale the way Windows chooses
// it from the user's locale.
#pragma once

#include <string_view>

namespace quillon {

// The code page for a POSIX locale name such as "ru_RU.UTF-8", "zh_TW" or "sr_RS@latin":
// zh_CN/zh_SG 936, zh_TW/zh_HK 950, ja 932, ko 949, Cyrillic languages 1251, Central European
// 1250, el 1253, tr 1254, he 1255, ar/fa 1256, Baltic 1257, vi 1258, th 874, otherwise 1252.
int CodePageForLocale(std::string_view localeName);

// QUILLON_CODEPAGE=<number> when set to a positive number, else the code page of the first
// non-empty one of LC_ALL, LC_CTYPE and LANG (the POSIX order of precedence).
int AnsiCodePageFromEnvironment();

}  // namespace quillon
